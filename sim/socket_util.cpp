#include "sim/socket_util.h"

namespace pellacor::sim {

bool ParseIpv4(const std::string& text, uint8_t out[4]) {
    std::uint32_t address = 0;
    if (!platform::ParseIpv4Text(text, address)) {
        return false;
    }
    for (int i = 0; i < 4; ++i) {
        out[i] = static_cast<uint8_t>(address >> (24 - 8 * i));
    }
    return true;
}

std::string Ipv4Text(const uint8_t a[4]) {
    return std::to_string(a[0]) + "." + std::to_string(a[1]) + "." + std::to_string(a[2]) + "." +
           std::to_string(a[3]);
}

platform::Endpoint EndpointOf(const uint8_t a[4], uint16_t port) {
    return platform::Endpoint{(std::uint32_t{a[0]} << 24) | (std::uint32_t{a[1]} << 16) |
                                  (std::uint32_t{a[2]} << 8) | a[3],
                              port};
}

Fd BindInet(platform::SocketKind kind, const std::string& host, uint16_t port, std::string* error) {
    std::string ignored;
    std::string& why = error ? *error : ignored;
    std::uint32_t address = 0;
    if (!platform::ParseIpv4Text(host, address)) {
        why = "not an IPv4 address: " + host;
        return Fd{};
    }
    Fd fd(platform::OpenSocket(kind));
    if (!fd.Valid()) {
        why = "socket: " + platform::LastSocketErrorText();
        return Fd{};
    }
    platform::SetReuseAddress(fd.Get());
    if (!platform::Bind(fd.Get(), platform::Endpoint{address, port})) {
        why = "cannot bind " + host + ":" + std::to_string(port) + ": " +
              platform::LastSocketErrorText();
        return Fd{};
    }
    if (kind == platform::SocketKind::Stream && !platform::Listen(fd.Get(), 8)) {
        why = "listen: " + platform::LastSocketErrorText();
        return Fd{};
    }
    return fd;
}

uint16_t LocalPort(int fd) {
    return platform::LocalEndpoint(fd).port;
}

bool SendAll(int fd, const uint8_t* data, size_t size) {
    while (size > 0) {
        const long n = platform::Send(fd, data, size);
        if (n < 0 && platform::LastSocketError() == platform::SocketError::Interrupted) {
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
