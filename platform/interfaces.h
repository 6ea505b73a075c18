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

// Sends one datagram to `to` out of `through`, from its address; true when it went whole.
bool SendThrough(SocketId id, const void* data, std::size_t size, Endpoint to,
                 const BroadcastInterface& through);

}  // namespace platform
