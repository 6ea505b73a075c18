#pragma once

// Minimal clients for talking to the simulator from tests, independent of the tool's
// links. Every socket goes to loopback.

#include <algorithm>
#include <chrono>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <string>
#include <system_error>
#include <vector>

#include "link/usb_sim_transport.h"
#include "platform/process.h"
#include "platform/sockets.h"

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

inline bool Readable(platform::SocketId id, int timeoutMs) {
    return platform::WaitSocket(id, platform::kReadable, std::chrono::milliseconds(timeoutMs)) > 0;
}

// "127.a.b.c" in host order; every test socket goes to loopback, so anything else is
// 127.0.0.1.
inline std::uint32_t LoopbackHost(const std::string& dotted) {
    unsigned a = 0, b = 0, c = 0, d = 0;
    char end = 0;
    if (std::sscanf(dotted.c_str(), "%u.%u.%u.%u%c", &a, &b, &c, &d, &end) != 4 || a != 127 ||
        b > 255 || c > 255 || d > 255)
        return platform::kLoopback;
    return (a << 24) | (b << 16) | (c << 8) | d;
}

class TcpClient {
  public:
    TcpClient(const std::string& host, uint16_t port)
        : m_socket(platform::OpenSocket(platform::SocketKind::Stream)) {
        m_ok = platform::StartConnect(m_socket.Get(), {LoopbackHost(host), port}) ==
               platform::ConnectStart::Connected;
        platform::SetNoDelay(m_socket.Get());
    }
    bool Ok() const { return m_ok; }
    platform::SocketId Fd() const { return m_socket.Get(); }
    void Send(const Bytes& b) { platform::Send(m_socket.Get(), b.data(), b.size()); }
    // Reads until `size` bytes arrived or `timeoutMs` passes without data.
    Bytes Read(size_t size, int timeoutMs = 1000) {
        Bytes out;
        uint8_t buf[1024];
        while (out.size() < size && Readable(m_socket.Get(), timeoutMs)) {
            const long n =
                platform::Receive(m_socket.Get(), buf, std::min(sizeof buf, size - out.size()));
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
        if (!Readable(m_socket.Get(), timeoutMs)) {
            return {};
        }
        const long n = platform::Receive(m_socket.Get(), buf, sizeof buf);
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
    platform::Socket m_socket;
    bool m_ok = false;
    bool m_closed = false;
};

class UdpClient {
  public:
    explicit UdpClient(uint16_t port)
        : m_socket(platform::OpenSocket(platform::SocketKind::Datagram)), m_port(port) {
        platform::Bind(m_socket.Get(), {platform::kLoopback, 0});
    }
    void Send(const Bytes& b) {
        platform::SendTo(m_socket.Get(), b.data(), b.size(), {platform::kLoopback, m_port});
    }
    // One datagram, or empty after the timeout.
    Bytes Receive(int timeoutMs = 500) {
        uint8_t buf[2048];
        if (!Readable(m_socket.Get(), timeoutMs)) {
            return {};
        }
        const long n = platform::ReceiveFrom(m_socket.Get(), buf, sizeof buf, nullptr);
        return n > 0 && n <= static_cast<long>(sizeof buf) ? Bytes(buf, buf + n) : Bytes{};
    }

  private:
    platform::Socket m_socket;
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
    return (std::filesystem::temp_directory_path() /
            ("pellacor-simtest-" + std::to_string(platform::ProcessId()) + "-" + name))
        .string();
}

}  // namespace simtest
