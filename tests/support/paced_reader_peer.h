#pragma once
// A loopback TCP peer with a laminator-sized receive buffer that reads at a set pace, or not
// at all until told to finish: what it acknowledged stays close to what it read.
#include <arpa/inet.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <atomic>
#include <chrono>
#include <cstdint>
#include <string>
#include <thread>

class PacedReaderPeer {
  public:
    // Reads `chunk` bytes every `interval`; a zero chunk reads nothing until Finish().
    PacedReaderPeer(std::size_t chunk, std::chrono::milliseconds interval)
        : m_chunk(chunk), m_interval(interval) {
        m_listen = socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
        const int buffer = 4096;
        setsockopt(m_listen, SOL_SOCKET, SO_RCVBUF, &buffer, sizeof buffer);
        sockaddr_in address{};
        address.sin_family = AF_INET;
        address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
        socklen_t size = sizeof address;
        if (bind(m_listen, reinterpret_cast<sockaddr*>(&address), size) != 0 ||
            listen(m_listen, 1) != 0 ||
            getsockname(m_listen, reinterpret_cast<sockaddr*>(&address), &size) != 0)
            return;
        m_port = ntohs(address.sin_port);
        m_thread = std::thread([this] { Serve(); });
    }
    ~PacedReaderPeer() {
        Finish();
        close(m_listen);
    }
    PacedReaderPeer(const PacedReaderPeer&) = delete;
    PacedReaderPeer& operator=(const PacedReaderPeer&) = delete;

    std::string Address() const { return "127.0.0.1:" + std::to_string(m_port); }
    // Reads whatever is left until the sender closes, then ends.
    void Finish() {
        m_finish = true;
        if (m_thread.joinable())
            m_thread.join();
    }
    // Bytes read, all of them once Finish() returned.
    std::size_t Received() const { return m_received; }

  private:
    void Serve() {
        pollfd p{m_listen, POLLIN, 0};
        while (!m_finish && poll(&p, 1, 50) == 0) {
        }
        if (m_finish && !(p.revents & POLLIN))
            return;
        const int fd = accept(m_listen, nullptr, nullptr);
        if (fd < 0)
            return;
        char buffer[65536];
        while (!m_finish) {
            if (m_chunk > 0 && !Read(fd, buffer, m_chunk))
                break;
            std::this_thread::sleep_for(m_interval);
        }
        while (Read(fd, buffer, sizeof buffer)) {
        }
        close(fd);
    }
    bool Read(int fd, char* buffer, std::size_t want) {
        const ssize_t n = recv(fd, buffer, want, 0);
        if (n <= 0)
            return false;
        m_received += static_cast<std::size_t>(n);
        return true;
    }
    std::size_t m_chunk;
    std::chrono::milliseconds m_interval;
    int m_listen = -1;
    std::uint16_t m_port = 0;
    std::atomic<bool> m_finish{false};
    std::atomic<std::size_t> m_received{0};
    std::thread m_thread;
};
