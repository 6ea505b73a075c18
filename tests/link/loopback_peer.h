#pragma once
// Small loopback TCP helpers for the Ethernet tests: a listener on 127.0.0.1 with an
// ephemeral port, and whole-buffer send and receive for the peer's side.
#include <chrono>
#include <cstddef>
#include <cstdint>

#include "platform/sockets.h"

class LoopbackListener {
  public:
    LoopbackListener() : m_socket(platform::OpenSocket(platform::SocketKind::Stream)) {
        platform::Bind(m_socket.Get(), {platform::kLoopback, 0});
        platform::Listen(m_socket.Get(), 8);
        m_port = platform::LocalEndpoint(m_socket.Get()).port;
    }

    std::uint16_t Port() const { return m_port; }
    // The connection, closed by the caller with platform::CloseSocket.
    platform::SocketId Accept() const { return platform::Accept(m_socket.Get()); }
    // True when a connection attempt is waiting to be accepted.
    bool HasPending(int waitMs) const {
        return platform::WaitSocket(m_socket.Get(), platform::kReadable,
                                    std::chrono::milliseconds(waitMs)) > 0;
    }

  private:
    platform::Socket m_socket;
    std::uint16_t m_port = 0;
};

// Receives exactly `length` bytes; false when the connection ends first.
inline bool ReceiveAll(platform::SocketId fd, std::uint8_t* data, std::size_t length) {
    std::size_t got = 0;
    while (got < length) {
        const long n = platform::Receive(fd, data + got, length - got);
        if (n <= 0)
            return false;
        got += static_cast<std::size_t>(n);
    }
    return true;
}

inline bool SendAll(platform::SocketId fd, const std::uint8_t* data, std::size_t length) {
    std::size_t done = 0;
    while (done < length) {
        const long n = platform::Send(fd, data + done, length - done);
        if (n <= 0)
            return false;
        done += static_cast<std::size_t>(n);
    }
    return true;
}
