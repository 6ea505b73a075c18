// The simulator's discovery-port request parser over any datagram: a request is accepted
// only whole, with its checksum and logins right, and its MAC and settings are where the
// frame carries them.
#include <algorithm>
#include <cstdint>
#include <cstring>

#include "fuzz/fuzz_check.h"
#include "sim/udp_protocol.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    using pellacor::sim::UdpRequest;
    const UdpRequest q = pellacor::sim::ParseUdpRequest(data, size);
    switch (q.kind) {
        case UdpRequest::Kind::Invalid:
        case UdpRequest::Kind::Incomplete:
            FUZZ_CHECK(!q.error.empty());
            return 0;
        case UdpRequest::Kind::Search:
            FUZZ_CHECK(size == 4);
            break;
        case UdpRequest::Kind::ReadSettings:
        case UdpRequest::Kind::Finish:
            FUZZ_CHECK(size == 22);
            break;
        case UdpRequest::Kind::WriteSettings:
            FUZZ_CHECK(size == 87);
            FUZZ_CHECK(std::memcmp(q.settings.data(), data + 21, q.settings.size()) == 0);
            break;
    }
    FUZZ_CHECK(data[0] == 0xFF);
    FUZZ_CHECK(static_cast<std::size_t>(data[1]) + 3 == size);
    FUZZ_CHECK(pellacor::sim::UdpChecksum(data, size) == data[size - 1]);
    FUZZ_CHECK(q.command == data[2]);
    if (q.kind != UdpRequest::Kind::Search)
        FUZZ_CHECK(std::equal(q.mac.begin(), q.mac.end(), data + 3));
    return 0;
}
