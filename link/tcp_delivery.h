#pragma once
// What the laminator has taken of a transfer that gets no replies over the Ethernet link.
// A finished send only means the local TCP stack took the bytes; the connection's own
// acknowledgement count tells what reached the laminator.
#include <chrono>
#include <cstdint>

// A laminator loading firmware may stop reading while it erases flash.
inline constexpr std::chrono::milliseconds kTransferSendTimeout{10000};
// After the last frame, how long the laminator gets to acknowledge everything.
inline constexpr std::chrono::milliseconds kDeliveryWait{2000};

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
    // Waits up to `limit` until the laminator acknowledged `sent` bytes of this transfer;
    // false when the connection broke or time ran out first.
    bool AwaitTaken(std::uint64_t sent, std::chrono::milliseconds limit) const;
    // Bytes of this transfer the laminator acknowledged.
    std::uint64_t BytesTaken() const;

  private:
    int m_fd;
    std::uint64_t m_ackedBefore = 0;
};
