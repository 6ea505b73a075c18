#include "sim/udp_strangers.h"

#include <chrono>
#include <string>
#include <thread>
#include <vector>

#include "sim/socket_util.h"
#include "sim/udp_protocol.h"

namespace pellacor::sim {

namespace {
// A search reply of a laminator that is not there: MAC 02:46:4c:xx:xx:xx (shown order).
std::vector<uint8_t> MadeUpReply(uint32_t n, const char* name) {
    std::vector<uint8_t> r(kSearchReplySize, 0);
    r[0] = 0xFF;
    r[1] = static_cast<uint8_t>(kSearchReplySize - 3);
    r[2] = 0x01;
    r[3] = static_cast<uint8_t>(n);
    r[4] = static_cast<uint8_t>(n >> 8);
    r[5] = static_cast<uint8_t>(n);
    r[6] = static_cast<uint8_t>(n >> 8);
    r[7] = 66;
    r[8] = 10;
    r[9] = static_cast<uint8_t>(n);
    r[10] = static_cast<uint8_t>(n >> 8);
    r[11] = static_cast<uint8_t>(n >> 16);
    r[12] = 0x4c;
    r[13] = 0x46;
    r[14] = 0x02;
    for (size_t i = 0; name[i] != '\0' && i < 16; ++i) {
        r[19 + i] = static_cast<uint8_t>(name[i]);
    }
    r[35] = UdpChecksum(r.data(), r.size());
    return r;
}

void SendFrom(const char* host, const platform::Endpoint& peer, const uint8_t* data, size_t size,
              FrameLog& log, const char* note) {
    Fd fd = BindInet(platform::SocketKind::Datagram, host, 0, nullptr);
    if (!fd.Valid()) {
        return;
    }
    platform::SendTo(fd.Get(), data, size, peer);
    log.Add(0, Transport::Udp, Direction::Sent, data, size, Flag::None, note);
}
}  // namespace

void SendStrayFragments(const platform::Endpoint& peer, FrameLog& log) {
    const std::vector<uint8_t> ghost = MadeUpReply(0x4B4A49, "GHOST");
    SendFrom("127.0.0.9", peer, ghost.data(), 20, log, "stray head from 127.0.0.9");
    SendFrom("127.0.0.10", peer, ghost.data() + 20, 16, log, "stray tail from 127.0.0.10");
    SendFrom("127.0.0.11", peer, ghost.data(), 7, log, "stray piece from 127.0.0.11");
}

void SendRogueSettings(const platform::Endpoint& peer, const std::array<uint8_t, 6>& mac,
                       FrameLog& log) {
    std::vector<uint8_t> r(kSettingsReplySize, 0);
    r[0] = 0xFF;
    r[1] = static_cast<uint8_t>(kSettingsReplySize - 3);
    r[2] = 0x03;
    uint8_t* s = r.data() + 3;
    s[0] = 0x80;
    const uint8_t ip[4] = {66, 66, 66, 10};  // last octet first
    std::copy(ip, ip + 4, s + 3);
    const std::string name = "ROGUE";
    std::copy(name.begin(), name.end(), s + 15);
    std::copy(mac.begin(), mac.end(), s + 45);
    r.back() = UdpChecksum(r.data(), r.size());
    SendFrom("127.0.0.12", peer, r.data(), r.size(), log, "rogue settings from 127.0.0.12");
}

void SendFlood(platform::SocketId fd, const platform::Endpoint& peer, int count, FrameLog& log) {
    for (int n = 1; n <= count; ++n) {
        const std::vector<uint8_t> r = MadeUpReply(static_cast<uint32_t>(n), "FLOOD");
        platform::SendTo(fd, r.data(), r.size(), peer);
        if (n % 256 == 0) {
            std::this_thread::sleep_for(std::chrono::milliseconds(2));
        }
    }
    const std::string note = "flood of " + std::to_string(count) + " made-up replies";
    log.Add(0, Transport::Udp, Direction::Sent, nullptr, 0, Flag::None, note);
}

}  // namespace pellacor::sim
