#pragma once
// What the laminator has taken of a transfer that gets no replies over the Ethernet link.
// A finished send only means the local TCP stack took the bytes; the connection's own
// acknowledgement count tells what reached the laminator.
#include <chrono>
#include <cstdint>
#include <functional>

#include "platform/tcp_delivery_count.h"

// A laminator loading firmware may stop reading while it erases flash.
inline constexpr std::chrono::milliseconds kTransferSendTimeout{10000};
// After the last frame, how long the laminator may acknowledge nothing more before the
// transfer is given up: the same patience a send has, so a slow but steady reader finishes.
inline constexpr std::chrono::milliseconds kDeliveryNoProgress = kTransferSendTimeout;

class TcpDelivery {
  public:
    // On the socket `fd` (from NetBeginUnansweredTransfer): notes what was acknowledged
    // before, and lets each send wait up to kTransferSendTimeout.
    explicit TcpDelivery(int fd);
    // Gives the socket its usual send time-out back.
    ~TcpDelivery();
    TcpDelivery(const TcpDelivery&) = delete;
    TcpDelivery& operator=(const TcpDelivery&) = delete;

    // The laminator closed or reset the connection.
    bool PeerGone() const;
    // False where the system does not tell what the laminator acknowledged: the bytes then
    // count as sent, never as taken.
    bool CountKnown() const { return m_countKnown; }
    enum class Wait { Taken, Broken, Stalled, Stopped, Unknown };
    // Waits until the laminator acknowledged `sent` bytes of this transfer, for as long as
    // the acknowledged count keeps growing: gives up once `noProgress` passed without one
    // more acknowledged byte, when the connection broke, or when `stop` says so. Unknown
    // at once where the system cannot say.
    Wait AwaitTaken(std::uint64_t sent, std::chrono::milliseconds noProgress,
                    const std::function<bool()>& stop = {}) const;
    // Bytes of this transfer the laminator acknowledged.
    std::uint64_t BytesTaken() const;
    // On close the connection is reset: bytes still queued on this side are dropped rather
    // than trickling to the laminator after the transfer was stopped.
    void DropUnsentOnClose() const;

  private:
    platform::TcpDeliveryCount Look() const;

    int m_fd;
    bool m_countKnown = false;
    std::uint64_t m_ackedBefore = 0;
};

// Replaces the system's count for the transfers that start from now on; nullptr gives it
// back. For tests of a system that cannot say.
using TcpDeliveryReader = platform::TcpDeliveryCount (*)(platform::SocketId);
void SetTcpDeliveryReader(TcpDeliveryReader reader);
