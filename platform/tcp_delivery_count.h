#pragma once
// What the peer of a TCP connection acknowledged, as far as the system tells: Linux and
// Windows 10 (1703 on) do; elsewhere the count is unknown and a sender must not claim more
// than that its bytes left.
#include <cstdint>

#include "platform/sockets.h"

namespace platform {

struct TcpDeliveryCount {
    bool known = false;  // the system gave the acknowledged count
    bool open = false;   // no error, and the peer has not closed its side
    std::uint64_t acked = 0;
};

TcpDeliveryCount ReadTcpDeliveryCount(SocketId id);

}  // namespace platform
