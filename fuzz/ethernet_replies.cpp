// The Ethernet link's reply reassembly: whatever the laminator sends, in whatever pieces, two
// replies read in turn take the stream's bytes in order, none lost, none twice, none beyond
// what was asked. The first byte is how many bytes the first reply expects; the rest is the
// stream, sent over a socket pair whose far end then closes.
#include <sys/socket.h>
#include <unistd.h>

#include <algorithm>
#include <cstdint>
#include <vector>

#include "framework/message_box.h"
#include "fuzz/fuzz_check.h"
#include "laminator/link_exchange.h"
#include "link/ethernet_link.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    if (size == 0 || size > 4096)
        return 0;
    int pair[2];
    if (socketpair(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0, pair) != 0)
        return 0;
    const std::size_t expected = data[0];
    const std::uint8_t* stream = data + 1;
    const std::size_t length = size - 1;
    FUZZ_CHECK(write(pair[1], stream, length) == static_cast<ssize_t>(length));
    shutdown(pair[1], SHUT_WR);
    EthernetSocket = pair[0];
    std::vector<std::uint8_t> taken;
    for (int i = 0; i < 2; ++i) {
        LinkTransaction transaction;
        const Reply reply = ReceiveReply(LinkKind::Ethernet, i == 0 ? expected : 0);
        FUZZ_CHECK(reply.length <= reply.bytes.size());
        FUZZ_CHECK(reply.received == (reply.length > 0));
        taken.insert(taken.end(), reply.bytes.begin(),
                     reply.bytes.begin() + static_cast<std::ptrdiff_t>(reply.length));
    }
    FUZZ_CHECK(taken.size() <= length);
    FUZZ_CHECK(std::equal(taken.begin(), taken.end(), stream));
    EthernetSocket = 0;
    close(pair[0]);
    close(pair[1]);
    DefaultMessageBoxRecorder().Clear();  // each failed receive said so: keep memory flat
    return 0;
}
