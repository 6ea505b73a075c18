#pragma once
// The UDP socket of one discovery operation. Requests to the limited broadcast leave through
// every IPv4 interface that is up and can broadcast (Linux would otherwise send them only out
// of the default route's interface); replies of all of them arrive on the one socket.
#include <cstddef>
#include <cstdint>

#include "netsetup/search_collection.h"
#include "netsetup/search_target.h"
#include "platform/sockets.h"

class DiscoverySocket {
  public:
    explicit DiscoverySocket(const SearchTarget& target) : m_target(target) {}
    DiscoverySocket(const DiscoverySocket&) = delete;
    DiscoverySocket& operator=(const DiscoverySocket&) = delete;

    // A fresh non-blocking socket that may broadcast; it is bound by its first send.
    bool Open();
    void Close();
    bool IsOpen() const { return m_socket.Valid(); }
    platform::SocketId Fd() const { return m_socket.Get(); }

    // True when at least one whole copy of the datagram was sent.
    bool Send(const std::uint8_t* data, std::size_t size);

    // Reads one waiting datagram, copying at most `room` bytes. Returns its real size (a size
    // above `room` means it did not fit and was dropped), or -1 when none waits; a failed
    // read sets `failed`. The sender's address and port go to `from` when given.
    long ReadDatagram(std::uint8_t* buffer, std::size_t room, bool& failed,
                      DatagramSender* from = nullptr);

  private:
    bool SendOutOfEveryInterface(const std::uint8_t* data, std::size_t size);

    SearchTarget m_target;
    platform::Socket m_socket;
};
