#pragma once

// Small POSIX socket helpers shared by the servers.

#include <cstdint>
#include <string>

namespace pellacor::sim {

// A file descriptor closed on destruction.
class Fd {
  public:
    Fd() = default;
    explicit Fd(int fd) : m_fd(fd) {}
    ~Fd() { Reset(); }
    Fd(Fd&& o) noexcept : m_fd(o.Release()) {}
    Fd& operator=(Fd&& o) noexcept {
        if (this != &o) {
            Reset(o.Release());
        }
        return *this;
    }
    Fd(const Fd&) = delete;
    Fd& operator=(const Fd&) = delete;

    int Get() const { return m_fd; }
    bool Valid() const { return m_fd >= 0; }
    int Release() {
        int fd = m_fd;
        m_fd = -1;
        return fd;
    }
    void Reset(int fd = -1);

  private:
    int m_fd = -1;
};

// An event descriptor that wakes a server thread's poll when it must stop.
class StopSignal {
  public:
    StopSignal();
    int Fd() const { return m_fd.Get(); }
    void Raise();
    void Clear();

  private:
    pellacor::sim::Fd m_fd;
};

bool ParseIpv4(const std::string& text, uint8_t out[4]);
std::string Ipv4Text(const uint8_t a[4]);

// A bound socket of `type` (SOCK_STREAM or SOCK_DGRAM) on host:port; port 0 picks one.
Fd BindInet(int type, const std::string& host, uint16_t port, std::string* error);
uint16_t LocalPort(int fd);
// Sends all bytes, retrying partial sends; false when the peer is gone.
bool SendAll(int fd, const uint8_t* data, size_t size);

}  // namespace pellacor::sim
