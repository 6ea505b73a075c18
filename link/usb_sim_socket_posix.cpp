// The virtual USB device's stream on POSIX sockets.
#include <arpa/inet.h>
#include <fcntl.h>
#include <netinet/in.h>
#include <netinet/tcp.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>

#include "link/usb_sim_socket_os.h"
#include "link/usb_sim_transport.h"

namespace {

int Fd(std::intptr_t handle) {
    return static_cast<int>(handle);
}

sockaddr_in Loopback(std::uint16_t port) {
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    address.sin_port = htons(port);
    return address;
}

// Small messages go out at once: each is a whole USB transfer the peer waits for.
void NoDelay(int fd) {
    const int on = 1;
    setsockopt(fd, IPPROTO_TCP, TCP_NODELAY, &on, sizeof on);
}

}  // namespace

namespace usb_sim_os {

void Close(std::intptr_t handle) {
    close(Fd(handle));
}

int ReceiveSome(std::intptr_t handle, std::uint8_t* data, std::size_t capacity,
                std::string& error) {
    for (;;) {
        const ssize_t n = recv(Fd(handle), data, capacity, MSG_DONTWAIT);
        if (n >= 0)
            return static_cast<int>(n);
        if (errno == EAGAIN || errno == EWOULDBLOCK)
            return kNothingWaiting;
        if (errno == ECONNRESET)
            return 0;
        if (errno != EINTR) {
            error = std::strerror(errno);
            return -1;
        }
    }
}

int SendSome(std::intptr_t handle, const std::uint8_t* data, std::size_t length) {
    for (;;) {
        const ssize_t n = send(Fd(handle), data, length, MSG_NOSIGNAL | MSG_DONTWAIT);
        if (n >= 0)
            return static_cast<int>(n);
        if (errno == EAGAIN || errno == EWOULDBLOCK)
            return kNothingWaiting;
        if (errno != EINTR)
            return -1;
    }
}

int Wait(std::intptr_t handle, bool forWriting, std::chrono::milliseconds timeout) {
    pollfd entry{Fd(handle), static_cast<short>(forWriting ? POLLOUT : POLLIN), 0};
    for (;;) {
        const int got = poll(&entry, 1, static_cast<int>(timeout.count()));
        if (got >= 0)
            return got > 0 ? 1 : 0;
        if (errno != EINTR)
            return -1;
    }
}

}  // namespace usb_sim_os

UsbSimSocket UsbSimSocket::Listen(std::uint16_t& port, std::string* error) {
    const int fd = socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    if (fd < 0) {
        *error = std::string("socket: ") + std::strerror(errno);
        return {};
    }
    UsbSimSocket listener(fd);
    sockaddr_in address = Loopback(0);
    socklen_t size = sizeof address;
    if (bind(fd, reinterpret_cast<sockaddr*>(&address), sizeof address) != 0 ||
        listen(fd, 8) != 0 || getsockname(fd, reinterpret_cast<sockaddr*>(&address), &size) != 0) {
        *error = std::string("cannot listen on 127.0.0.1: ") + std::strerror(errno);
        return {};
    }
    port = ntohs(address.sin_port);
    return listener;
}

UsbSimSocket UsbSimSocket::Connect(std::uint16_t port, std::error_code& why) {
    const int fd = socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    if (fd < 0) {
        why = std::error_code(errno, std::generic_category());
        return {};
    }
    UsbSimSocket connection(fd);
    const sockaddr_in address = Loopback(port);
    while (connect(fd, reinterpret_cast<const sockaddr*>(&address), sizeof address) != 0) {
        if (errno != EINTR) {
            why = std::error_code(errno, std::generic_category());
            return {};
        }
    }
    NoDelay(fd);
    why.clear();
    return connection;
}

UsbSimSocket UsbSimSocket::Accept() const {
    const int fd = accept4(Fd(m_handle), nullptr, nullptr, SOCK_CLOEXEC);
    if (fd < 0)
        return {};
    NoDelay(fd);
    return UsbSimSocket(fd);
}

bool WaitUsbSimReadable(const std::vector<const UsbSimSocket*>& sockets, std::vector<bool>& ready,
                        std::chrono::milliseconds timeout) {
    std::vector<pollfd> entries;
    entries.reserve(sockets.size());
    for (const UsbSimSocket* s : sockets)
        entries.push_back({Fd(s->Handle()), POLLIN, 0});
    ready.assign(sockets.size(), false);
    int got = 0;
    do {
        got = poll(entries.data(), entries.size(),
                   timeout.count() < 0 ? -1 : static_cast<int>(timeout.count()));
    } while (got < 0 && errno == EINTR);
    if (got < 0)
        return false;
    for (std::size_t i = 0; i < entries.size(); ++i)
        ready[i] = entries[i].revents != 0;
    return true;
}
