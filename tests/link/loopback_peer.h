#pragma once
// Small loopback TCP helpers for the Ethernet tests: a listener on 127.0.0.1 with an
// ephemeral port, and whole-buffer send and receive for the peer's side.
#include <arpa/inet.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <cstddef>
#include <cstdint>

class LoopbackListener {
  public:
    LoopbackListener() {
        m_fd = socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
        sockaddr_in address{};
        address.sin_family = AF_INET;
        address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
        bind(m_fd, reinterpret_cast<sockaddr*>(&address), sizeof address);
        listen(m_fd, 8);
        socklen_t size = sizeof address;
        getsockname(m_fd, reinterpret_cast<sockaddr*>(&address), &size);
        m_port = ntohs(address.sin_port);
    }
    ~LoopbackListener() { close(m_fd); }
    LoopbackListener(const LoopbackListener&) = delete;
    LoopbackListener& operator=(const LoopbackListener&) = delete;

    std::uint16_t Port() const { return m_port; }
    int Accept() const { return accept(m_fd, nullptr, nullptr); }
    // True when a connection attempt is waiting to be accepted.
    bool HasPending(int waitMs) const {
        pollfd entry{m_fd, POLLIN, 0};
        return poll(&entry, 1, waitMs) > 0;
    }

  private:
    int m_fd = -1;
    std::uint16_t m_port = 0;
};

// Receives exactly `length` bytes; false when the connection ends first.
inline bool ReceiveAll(int fd, std::uint8_t* data, std::size_t length) {
    std::size_t got = 0;
    while (got < length) {
        const ssize_t n = recv(fd, data + got, length - got, 0);
        if (n <= 0) {
            return false;
        }
        got += static_cast<std::size_t>(n);
    }
    return true;
}

inline bool SendAll(int fd, const std::uint8_t* data, std::size_t length) {
    std::size_t done = 0;
    while (done < length) {
        const ssize_t n = send(fd, data + done, length - done, MSG_NOSIGNAL);
        if (n <= 0) {
            return false;
        }
        done += static_cast<std::size_t>(n);
    }
    return true;
}
