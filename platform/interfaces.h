#pragma once
// The IPv4 interfaces a broadcast can leave through, and a datagram sent out of one of them.
// Without choosing, a limited broadcast leaves only through the default route's interface.
#include <cstddef>
#include <cstdint>
#include <vector>

#include "platform/sockets.h"

namespace platform {

struct BroadcastInterface {
    unsigned index = 0;         // the system's interface number
    std::uint32_t address = 0;  // its first IPv4 address, host order
};

// Interfaces that are up, can broadcast and are not loopback; one entry each, whatever
// their number of addresses.
std::vector<BroadcastInterface> ListBroadcastInterfaces();

// A socket to send out of `through` with. Linux lets each datagram on one socket choose its
// interface, so that is `shared` and the replies of every interface arrive on it. Windows takes
// a limited broadcast's interface from the address the socket is bound to, so there it is a
// new datagram socket bound to the interface's address, which the caller owns and whose
// replies it reads as well. kNoSocket when none could be made.
SocketId SocketThrough(SocketId shared, const BroadcastInterface& through);

// Sends one datagram to `to` out of `through` on a socket from SocketThrough; true when it
// went whole.
bool SendThrough(SocketId id, const void* data, std::size_t size, Endpoint to,
                 const BroadcastInterface& through);

}  // namespace platform
