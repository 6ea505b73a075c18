#include "link/tcp_delivery.h"

// linux/tcp.h, not netinet/tcp.h: only the kernel's tcp_info has the acknowledged count.
#include <linux/tcp.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>

#include <cstddef>
#include <thread>

#include "link/ethernet_link.h"

namespace {
// The kernel's state number for an established connection (netinet/tcp.h names it, but
// cannot be included next to linux/tcp.h).
constexpr std::uint8_t kTcpEstablished = 1;

struct Connection {
    bool open = false;  // no error, and the laminator has not closed its side
    std::uint64_t acked = 0;
};

Connection Look(int fd) {
    Connection c;
    tcp_info info{};
    socklen_t size = sizeof info;
    if (fd <= 0 || getsockopt(fd, IPPROTO_TCP, TCP_INFO, &info, &size) != 0)
        return c;
    if (size >= offsetof(tcp_info, tcpi_bytes_acked) + sizeof info.tcpi_bytes_acked)
        c.acked = info.tcpi_bytes_acked;
    int error = 0;
    socklen_t errorSize = sizeof error;
    getsockopt(fd, SOL_SOCKET, SO_ERROR, &error, &errorSize);
    c.open = error == 0 && info.tcpi_state == kTcpEstablished;
    return c;
}
}  // namespace

TcpDelivery::TcpDelivery(int fd) : m_fd(fd), m_ackedBefore(Look(fd).acked) {
    SetEthernetSendTimeout(kTransferSendTimeout);
}

TcpDelivery::~TcpDelivery() {
    SetEthernetSendTimeout(kEthernetIoTimeout);
}

bool TcpDelivery::PeerGone() const {
    if (m_fd <= 0)
        return true;
    pollfd p{m_fd, POLLRDHUP, 0};
    if (poll(&p, 1, 0) < 0)
        return false;
    return (p.revents & (POLLRDHUP | POLLHUP | POLLERR)) != 0;
}

TcpDelivery::Wait TcpDelivery::AwaitTaken(std::uint64_t sent, std::chrono::milliseconds noProgress,
                                          const std::function<bool()>& stop) const {
    using Clock = std::chrono::steady_clock;
    Clock::time_point lastProgress = Clock::now();
    std::uint64_t lastAcked = Look(m_fd).acked;
    for (;;) {
        const Connection c = Look(m_fd);
        // Acknowledged is taken, whatever the laminator did with the connection afterwards.
        if (c.acked >= m_ackedBefore && c.acked - m_ackedBefore >= sent)
            return Wait::Taken;
        if (!c.open)
            return Wait::Broken;
        if (stop && stop())
            return Wait::Stopped;
        const Clock::time_point now = Clock::now();
        if (c.acked != lastAcked) {
            lastAcked = c.acked;
            lastProgress = now;
        } else if (now - lastProgress >= noProgress) {
            return Wait::Stalled;
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(1));
    }
}

std::uint64_t TcpDelivery::BytesTaken() const {
    const std::uint64_t acked = Look(m_fd).acked;
    return acked > m_ackedBefore ? acked - m_ackedBefore : 0;
}

void TcpDelivery::DropUnsentOnClose() const {
    if (m_fd <= 0)
        return;
    const linger abort{1, 0};
    setsockopt(m_fd, SOL_SOCKET, SO_LINGER, &abort, sizeof abort);
}
