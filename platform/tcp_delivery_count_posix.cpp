#include "platform/tcp_delivery_count.h"

// linux/tcp.h, not netinet/tcp.h: only the kernel's tcp_info has the acknowledged count.
#include <linux/tcp.h>
#include <netinet/in.h>
#include <sys/socket.h>

#include <cstddef>

namespace platform {

namespace {
// The kernel's state number for an established connection (netinet/tcp.h names it, but
// cannot be included next to linux/tcp.h).
constexpr std::uint8_t kTcpEstablished = 1;
}  // namespace

TcpDeliveryCount ReadTcpDeliveryCount(SocketId id) {
    TcpDeliveryCount c;
    tcp_info info{};
    socklen_t size = sizeof info;
    if (id <= 0 || getsockopt(id, IPPROTO_TCP, TCP_INFO, &info, &size) != 0)
        return c;
    if (size >= offsetof(tcp_info, tcpi_bytes_acked) + sizeof info.tcpi_bytes_acked) {
        c.known = true;
        c.acked = info.tcpi_bytes_acked;
    }
    int error = 0;
    socklen_t errorSize = sizeof error;
    getsockopt(id, SOL_SOCKET, SO_ERROR, &error, &errorSize);
    c.open = error == 0 && info.tcpi_state == kTcpEstablished;
    return c;
}

}  // namespace platform
