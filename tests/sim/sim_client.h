#pragma once

// Minimal clients for talking to the simulator from tests, independent of the tool's
// links. Every socket goes to loopback.

#include <arpa/inet.h>
#include <netinet/in.h>
#include <netinet/tcp.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <chrono>
#include <cstdint>
#include <cstring>
#include <string>
#include <system_error>
#include <vector>

#include "link/usb_sim_transport.h"

namespace simtest {

using Bytes = std::vector<uint8_t>;

inline Bytes Hex(const std::string& text) {
    Bytes out;
    int high = -1;
    for (char c : text) {
        int v = (c >= '0' && c <= '9')   ? c - '0'
                : (c >= 'a' && c <= 'f') ? c - 'a' + 10
                : (c >= 'A' && c <= 'F') ? c - 'A' + 10
                                         : -1;
        if (v < 0) {
            continue;
        }
        if (high < 0) {
            high = v;
        } else {
            out.push_back(static_cast<uint8_t>(high * 16 + v));
            high = -1;
        }
    }
    return out;
}

// A bare Ethernet block: the command bytes, zeros to 64.
inline Bytes Block(const std::string& hex, size_t size = 64) {
    Bytes b = Hex(hex);
    b.resize(size, 0);
    return b;
}

// A USB HID frame: A5, length, the command bytes, zeros to 64.
inline Bytes Frame(const std::string& hex, uint8_t length = 0x3E) {
    Bytes b = {0xA5, length};
    Bytes c = Hex(hex);
    b.insert(b.end(), c.begin(), c.end());
    b.resize(64, 0);
    return b;
}

inline bool Readable(int fd, int timeoutMs) {
    pollfd p{fd, POLLIN, 0};
    return ::poll(&p, 1, timeoutMs) > 0;
}

class TcpClient {
  public:
    TcpClient(const std::string& host, uint16_t port) {
        m_fd = ::socket(AF_INET, SOCK_STREAM, 0);
        sockaddr_in a{};
        a.sin_family = AF_INET;
        a.sin_port = htons(port);
        ::inet_pton(AF_INET, host.c_str(), &a.sin_addr);
        m_ok = ::connect(m_fd, reinterpret_cast<sockaddr*>(&a), sizeof a) == 0;
        int on = 1;
        ::setsockopt(m_fd, IPPROTO_TCP, TCP_NODELAY, &on, sizeof on);
    }
    ~TcpClient() { ::close(m_fd); }
    bool Ok() const { return m_ok; }
    int Fd() const { return m_fd; }
    void Send(const Bytes& b) { ::send(m_fd, b.data(), b.size(), MSG_NOSIGNAL); }
    // Reads until `size` bytes arrived or `timeoutMs` passes without data.
    Bytes Read(size_t size, int timeoutMs = 1000) {
        Bytes out;
        uint8_t buf[1024];
        while (out.size() < size && Readable(m_fd, timeoutMs)) {
            ssize_t n = ::recv(m_fd, buf, std::min(sizeof buf, size - out.size()), 0);
            if (n <= 0) {
                m_closed = true;
                break;
            }
            out.insert(out.end(), buf, buf + n);
        }
        return out;
    }
    // One receive, as the tool does it.
    Bytes ReadOnce(int timeoutMs = 1000) {
        uint8_t buf[1024];
        if (!Readable(m_fd, timeoutMs)) {
            return {};
        }
        ssize_t n = ::recv(m_fd, buf, sizeof buf, 0);
        if (n <= 0) {
            m_closed = true;
            return {};
        }
        return Bytes(buf, buf + n);
    }
    Bytes Exchange(const Bytes& request, size_t replySize = 64, int timeoutMs = 1000) {
        Send(request);
        return Read(replySize, timeoutMs);
    }
    bool Closed() const { return m_closed; }

  private:
    int m_fd = -1;
    bool m_ok = false;
    bool m_closed = false;
};

class UdpClient {
  public:
    explicit UdpClient(uint16_t port) : m_port(port) {
        m_fd = ::socket(AF_INET, SOCK_DGRAM, 0);
        sockaddr_in a{};
        a.sin_family = AF_INET;
        ::inet_pton(AF_INET, "127.0.0.1", &a.sin_addr);
        ::bind(m_fd, reinterpret_cast<sockaddr*>(&a), sizeof a);
    }
    ~UdpClient() { ::close(m_fd); }
    void Send(const Bytes& b) {
        sockaddr_in a{};
        a.sin_family = AF_INET;
        a.sin_port = htons(m_port);
        ::inet_pton(AF_INET, "127.0.0.1", &a.sin_addr);
        ::sendto(m_fd, b.data(), b.size(), 0, reinterpret_cast<sockaddr*>(&a), sizeof a);
    }
    // One datagram, or empty after the timeout.
    Bytes Receive(int timeoutMs = 500) {
        uint8_t buf[2048];
        if (!Readable(m_fd, timeoutMs)) {
            return {};
        }
        ssize_t n = ::recv(m_fd, buf, sizeof buf, 0);
        return n > 0 ? Bytes(buf, buf + n) : Bytes{};
    }

  private:
    int m_fd = -1;
    uint16_t m_port;
};

class UsbClient {
  public:
    explicit UsbClient(const std::string& path) {
        std::error_code why;
        if (auto port = ReadUsbSimPortFile(path)) {
            m_socket = UsbSimSocket::Connect(*port, why);
        }
    }
    bool Ok() const { return m_socket.Valid(); }
    bool Send(const Bytes& b) {
        return m_socket.Send(b.data(), b.size(), std::chrono::milliseconds(1000));
    }
    // True when the device closed the connection within the timeout (no message came).
    bool Gone(int timeoutMs) {
        uint8_t buf[1024];
        return m_socket.Receive(buf, sizeof buf, std::chrono::milliseconds(timeoutMs)) < 0;
    }
    // Bytes as they are, without a frame of their own.
    bool SendRaw(const Bytes& b) {
        return m_socket.SendBytes(b.data(), b.size(), std::chrono::milliseconds(1000));
    }
    // One message, or empty when none comes within the timeout or the device is gone.
    Bytes Receive(int timeoutMs = 1000) {
        uint8_t buf[1024];
        int n = m_socket.Receive(buf, sizeof buf, std::chrono::milliseconds(timeoutMs));
        return n > 0 ? Bytes(buf, buf + n) : Bytes{};
    }

  private:
    UsbSimSocket m_socket;
};

// Checksum of the discovery protocol: sum of bytes 1 .. n-2.
inline uint8_t UdpSum(const Bytes& b) {
    unsigned s = 0;
    for (size_t i = 1; i + 1 < b.size(); ++i) {
        s += b[i];
    }
    return static_cast<uint8_t>(s);
}

inline std::string TempPath(const std::string& name) {
    return "/tmp/pellacor-simtest-" + std::to_string(::getpid()) + "-" + name;
}

}  // namespace simtest
