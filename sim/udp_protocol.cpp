#include "sim/udp_protocol.h"

#include <algorithm>
#include <cstring>

namespace pellacor::sim {

namespace {
constexpr uint8_t kLogin[6] = {'t', 'i', 'v', 'e', 'l', 0};
}

uint8_t UdpChecksum(const uint8_t* frame, size_t total) {
    unsigned sum = 0;
    for (size_t i = 1; i + 1 < total; ++i) {
        sum += frame[i];
    }
    return static_cast<uint8_t>(sum);
}

std::vector<uint8_t> BuildSearchReply(const LaminatorState& s) {
    std::vector<uint8_t> r(kSearchReplySize, 0);
    r[0] = 0xFF;
    r[1] = static_cast<uint8_t>(kSearchReplySize - 3);
    r[2] = 0x01;
    r[3] = s.params.laminatorId;
    r[4] = 0x00;
    // Address and MAC are stored in the same order the reply carries them.
    std::copy(s.network.bytes.begin() + 3, s.network.bytes.begin() + 7, r.begin() + 5);
    std::copy(s.network.bytes.begin() + 45, s.network.bytes.begin() + 51, r.begin() + 9);
    // "FW Boot": the boot version's first two groups, major in the high byte.
    r[15] = s.bootVersion[1];
    r[16] = s.bootVersion[0];
    std::string name = s.network.Name();
    std::memcpy(r.data() + 19, name.data(), std::min<size_t>(name.size(), 16));
    r[35] = UdpChecksum(r.data(), r.size());
    return r;
}

std::vector<uint8_t> BuildSettingsReply(const LaminatorState& s) {
    std::vector<uint8_t> r(kSettingsReplySize, 0);
    r[0] = 0xFF;
    r[1] = static_cast<uint8_t>(kSettingsReplySize - 3);
    r[2] = 0x03;
    std::copy(s.network.bytes.begin(), s.network.bytes.end(), r.begin() + 3);
    r[68] = UdpChecksum(r.data(), r.size());
    return r;
}

UdpRequest ParseUdpRequest(const uint8_t* data, size_t size) {
    UdpRequest q;
    if (size < 4 || data[0] != 0xFF) {
        q.kind = size < 4 && size > 0 && data[0] == 0xFF ? UdpRequest::Kind::Incomplete
                                                         : UdpRequest::Kind::Invalid;
        q.error = size < 4 ? "datagram shorter than a frame" : "no leading FF";
        return q;
    }
    size_t total = static_cast<size_t>(data[1]) + 3;
    q.command = data[2];
    if (size < total) {
        q.kind = UdpRequest::Kind::Incomplete;
        q.error = "datagram shorter than its length byte says";
        return q;
    }
    if (size > total) {
        q.error = "datagram longer than its length byte says";
        return q;
    }
    if (UdpChecksum(data, total) != data[total - 1]) {
        q.error = "bad checksum";
        return q;
    }
    size_t expected = 0;
    switch (q.command) {
        case 0x01:
            expected = 4;
            break;
        case 0x03:
        case 0x04:
            expected = 22;
            break;
        case 0x05:
            expected = 87;
            break;
        default:
            q.error = "unknown command";
            return q;
    }
    if (total != expected) {
        q.error = "wrong length for its command";
        return q;
    }
    if (q.command == 0x01) {
        q.kind = UdpRequest::Kind::Search;
        return q;
    }
    std::memcpy(q.mac.data(), data + 3, 6);
    if (std::memcmp(data + 9, kLogin, 6) != 0 || std::memcmp(data + 15, kLogin, 6) != 0) {
        q.error = "wrong login";
        return q;
    }
    if (q.command == 0x05) {
        std::memcpy(q.settings.data(), data + 21, kSettingsSize);
        q.kind = UdpRequest::Kind::WriteSettings;
    } else {
        q.kind = q.command == 0x03 ? UdpRequest::Kind::ReadSettings : UdpRequest::Kind::Finish;
    }
    return q;
}

}  // namespace pellacor::sim
