#pragma once
// The UDP socket of one discovery operation. Requests to the limited broadcast leave through
// every IPv4 interface that is up and can broadcast (the system would otherwise send them only
// out of the default route's interface). Where the system needs a socket per interface for
// that, replies arrive on those as well, and every wait and read here covers them all.
#include <chrono>
#include <cstddef>
#include <cstdint>
#include <vector>

#include "netsetup/search_collection.h"
#include "netsetup/search_target.h"
#include "platform/interfaces.h"
#include "platform/sockets.h"

class DiscoverySocket {
  public:
    explicit DiscoverySocket(const SearchTarget& target) : m_target(target) {}
    DiscoverySocket(const DiscoverySocket&) = delete;
    DiscoverySocket& operator=(const DiscoverySocket&) = delete;

    // A fresh non-blocking socket that may broadcast; it is bound by its first send. For the
    // limited broadcast, the interfaces it leaves through are listed here.
    bool Open();
    void Close();
    bool IsOpen() const { return m_socket.Valid(); }

    // Waits for a datagram on any socket, or for `wake` to become readable: the number of
    // sockets ready, 0 on time-out, -1 on failure; `datagram` says whether one waits.
    int Wait(std::chrono::milliseconds timeout, platform::SocketId wake, bool& datagram);

    // True when at least one whole copy of the datagram was sent.
    bool Send(const std::uint8_t* data, std::size_t size);

    // Reads one waiting datagram, copying at most `room` bytes. Returns its real size (a size
    // above `room` means it did not fit and was dropped), or -1 when none waits; a failed
    // read sets `failed`. The sender's address and port go to `from` when given.
    long ReadDatagram(std::uint8_t* buffer, std::size_t room, bool& failed,
                      DatagramSender* from = nullptr);

  private:
    bool SendOutOfEveryInterface(const std::uint8_t* data, std::size_t size);

    struct Through {
        platform::BroadcastInterface interface;
        platform::SocketId id = platform::kNoSocket;  // m_socket's or one of m_own
    };

    SearchTarget m_target;
    platform::Socket m_socket;
    std::vector<Through> m_through;
    // Bound to an interface each, where the system needs it. One whose read failed is no
    // longer waited on (it would be ready for ever); `failed` is touched only by the thread
    // that waits and reads.
    struct Own {
        platform::Socket socket;
        bool failed = false;
    };
    std::vector<Own> m_own;
};
