#include "link/tcp_delivery.h"

#include <atomic>
#include <thread>

#include "link/ethernet_link.h"

namespace {
std::atomic<TcpDeliveryReader> g_reader{nullptr};

platform::TcpDeliveryCount Read(int fd) {
    const TcpDeliveryReader reader = g_reader.load();
    return reader ? reader(fd) : platform::ReadTcpDeliveryCount(fd);
}
}  // namespace

void SetTcpDeliveryReader(TcpDeliveryReader reader) {
    g_reader = reader;
}

TcpDelivery::TcpDelivery(int fd) : m_fd(fd) {
    const platform::TcpDeliveryCount before = Read(fd);
    m_countKnown = before.known;
    m_ackedBefore = before.acked;
    SetEthernetSendTimeout(kTransferSendTimeout);
}

TcpDelivery::~TcpDelivery() {
    SetEthernetSendTimeout(kEthernetIoTimeout);
}

platform::TcpDeliveryCount TcpDelivery::Look() const {
    return Read(m_fd);
}

bool TcpDelivery::PeerGone() const {
    if (m_fd <= 0)
        return true;
    return platform::WaitSocket(m_fd, platform::kHangUp, std::chrono::milliseconds(0)) > 0;
}

TcpDelivery::Wait TcpDelivery::AwaitTaken(std::uint64_t sent, std::chrono::milliseconds noProgress,
                                          const std::function<bool()>& stop) const {
    if (!m_countKnown)
        return PeerGone() ? Wait::Broken : Wait::Unknown;
    using Clock = std::chrono::steady_clock;
    Clock::time_point lastProgress = Clock::now();
    std::uint64_t lastAcked = Look().acked;
    for (;;) {
        const platform::TcpDeliveryCount c = Look();
        // Acknowledged is taken, whatever the laminator did with the connection afterwards.
        if (c.known && c.acked >= m_ackedBefore && c.acked - m_ackedBefore >= sent)
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
    const platform::TcpDeliveryCount c = Look();
    if (!m_countKnown || !c.known)
        return 0;
    return c.acked > m_ackedBefore ? c.acked - m_ackedBefore : 0;
}

void TcpDelivery::DropUnsentOnClose() const {
    if (m_fd <= 0)
        return;
    platform::ResetOnClose(m_fd);
}
