#include "sim/socket_util.h"

#include <arpa/inet.h>
#include <netinet/in.h>
#include <sys/eventfd.h>
#include <sys/socket.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>

namespace pellacor::sim {

void Fd::Reset(int fd) {
    if (m_fd >= 0) {
        ::close(m_fd);
    }
    m_fd = fd;
}

StopSignal::StopSignal() : m_fd(::eventfd(0, EFD_NONBLOCK | EFD_CLOEXEC)) {}

void StopSignal::Raise() {
    uint64_t one = 1;
    ssize_t n = ::write(m_fd.Get(), &one, sizeof one);
    (void)n;
}

void StopSignal::Clear() {
    uint64_t value = 0;
    ssize_t n = ::read(m_fd.Get(), &value, sizeof value);
    (void)n;
}

bool ParseIpv4(const std::string& text, uint8_t out[4]) {
    in_addr a{};
    if (::inet_pton(AF_INET, text.c_str(), &a) != 1) {
        return false;
    }
    std::memcpy(out, &a.s_addr, 4);
    return true;
}

std::string Ipv4Text(const uint8_t a[4]) {
    return std::to_string(a[0]) + "." + std::to_string(a[1]) + "." + std::to_string(a[2]) + "." +
           std::to_string(a[3]);
}

Fd BindInet(int type, const std::string& host, uint16_t port, std::string* error) {
    sockaddr_in addr{};
    addr.sin_family = AF_INET;
    addr.sin_port = htons(port);
    if (::inet_pton(AF_INET, host.c_str(), &addr.sin_addr) != 1) {
        *error = "not an IPv4 address: " + host;
        return Fd{};
    }
    Fd fd(::socket(AF_INET, type | SOCK_CLOEXEC, 0));
    if (!fd.Valid()) {
        *error = std::string("socket: ") + std::strerror(errno);
        return Fd{};
    }
    int on = 1;
    ::setsockopt(fd.Get(), SOL_SOCKET, SO_REUSEADDR, &on, sizeof on);
    if (::bind(fd.Get(), reinterpret_cast<sockaddr*>(&addr), sizeof addr) != 0) {
        *error = "cannot bind " + host + ":" + std::to_string(port) + ": " + std::strerror(errno);
        return Fd{};
    }
    if (type == SOCK_STREAM && ::listen(fd.Get(), 8) != 0) {
        *error = std::string("listen: ") + std::strerror(errno);
        return Fd{};
    }
    return fd;
}

uint16_t LocalPort(int fd) {
    sockaddr_in addr{};
    socklen_t len = sizeof addr;
    if (::getsockname(fd, reinterpret_cast<sockaddr*>(&addr), &len) != 0) {
        return 0;
    }
    return ntohs(addr.sin_port);
}

bool SendAll(int fd, const uint8_t* data, size_t size) {
    while (size > 0) {
        ssize_t n = ::send(fd, data, size, MSG_NOSIGNAL);
        if (n < 0 && errno == EINTR) {
            continue;
        }
        if (n <= 0) {
            return false;
        }
        data += n;
        size -= static_cast<size_t>(n);
    }
    return true;
}

}  // namespace pellacor::sim
