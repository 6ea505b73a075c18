#include <arpa/inet.h>
#include <fcntl.h>
#include <netdb.h>
#include <netinet/in.h>
#include <netinet/tcp.h>
#include <poll.h>
#include <sys/ioctl.h>
#include <sys/socket.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <vector>

#include "platform/sockets.h"

namespace platform {

namespace {
using Clock = std::chrono::steady_clock;

sockaddr_in ToNative(Endpoint e) {
    sockaddr_in a{};
    a.sin_family = AF_INET;
    a.sin_addr.s_addr = htonl(e.address);
    a.sin_port = htons(e.port);
    return a;
}

Endpoint FromNative(const sockaddr_in& a) {
    return Endpoint{ntohl(a.sin_addr.s_addr), ntohs(a.sin_port)};
}

bool SetTimeout(SocketId id, int option, std::chrono::milliseconds limit) {
    timeval value{};
    value.tv_sec = static_cast<time_t>(limit.count() / 1000);
    value.tv_usec = static_cast<suseconds_t>((limit.count() % 1000) * 1000);
    return setsockopt(id, SOL_SOCKET, option, &value, sizeof value) == 0;
}

int Flags(Blocking how) {
    return how == Blocking::NoWait ? MSG_DONTWAIT : 0;
}
}  // namespace

SocketError LastSocketError() {
    switch (errno) {
        case 0:
            return SocketError::None;
        case EAGAIN:
#if EWOULDBLOCK != EAGAIN
        case EWOULDBLOCK:
#endif
            return SocketError::TimedOut;
        case EINTR:
            return SocketError::Interrupted;
        case ECONNRESET:
        case EPIPE:
        case ENOTCONN:
            return SocketError::PeerGone;
        case ECONNREFUSED:
            return SocketError::Refused;
        case EMSGSIZE:
            return SocketError::Oversized;
        case EINPROGRESS:
            return SocketError::InProgress;
        case EADDRINUSE:
            return SocketError::AddressInUse;
        default:
            return SocketError::Other;
    }
}

std::string LastSocketErrorText() {
    return std::strerror(errno);
}

bool StartSockets() {
    return true;
}

SocketId OpenSocket(SocketKind kind) {
    const int type = kind == SocketKind::Stream ? SOCK_STREAM : SOCK_DGRAM;
    const int id = socket(AF_INET, type | SOCK_CLOEXEC, 0);
    return id < 0 ? kNoSocket : id;
}

void CloseSocket(SocketId id) {
    if (id >= 0)
        close(id);
}

bool SetNonBlocking(SocketId id, bool nonBlocking) {
    const int flags = fcntl(id, F_GETFL, 0);
    if (flags < 0)
        return false;
    return fcntl(id, F_SETFL, nonBlocking ? flags | O_NONBLOCK : flags & ~O_NONBLOCK) == 0;
}

bool SetSendTimeout(SocketId id, std::chrono::milliseconds limit) {
    return SetTimeout(id, SO_SNDTIMEO, limit);
}

bool SetReceiveTimeout(SocketId id, std::chrono::milliseconds limit) {
    return SetTimeout(id, SO_RCVTIMEO, limit);
}

bool SetNoDelay(SocketId id) {
    const int on = 1;
    return setsockopt(id, IPPROTO_TCP, TCP_NODELAY, &on, sizeof on) == 0;
}

bool NoDelayIsSet(SocketId id) {
    int on = 0;
    socklen_t size = sizeof on;
    return getsockopt(id, IPPROTO_TCP, TCP_NODELAY, &on, &size) == 0 && on != 0;
}

bool SetReuseAddress(SocketId id) {
    const int on = 1;
    return setsockopt(id, SOL_SOCKET, SO_REUSEADDR, &on, sizeof on) == 0;
}

bool SetBroadcast(SocketId id) {
    const int on = 1;
    return setsockopt(id, SOL_SOCKET, SO_BROADCAST, &on, sizeof on) == 0;
}

bool SetReceiveBuffer(SocketId id, int bytes) {
    return setsockopt(id, SOL_SOCKET, SO_RCVBUFFORCE, &bytes, sizeof bytes) == 0 ||
           setsockopt(id, SOL_SOCKET, SO_RCVBUF, &bytes, sizeof bytes) == 0;
}

bool SetSendBuffer(SocketId id, int bytes) {
    return setsockopt(id, SOL_SOCKET, SO_SNDBUF, &bytes, sizeof bytes) == 0;
}

bool ShutdownConnection(SocketId id) {
    return shutdown(id, SHUT_RDWR) == 0;
}

bool ResetOnClose(SocketId id) {
    const linger abort{1, 0};
    return setsockopt(id, SOL_SOCKET, SO_LINGER, &abort, sizeof abort) == 0;
}

bool Bind(SocketId id, Endpoint local) {
    const sockaddr_in a = ToNative(local);
    return bind(id, reinterpret_cast<const sockaddr*>(&a), sizeof a) == 0;
}

bool Listen(SocketId id, int backlog) {
    return listen(id, backlog) == 0;
}

SocketId Accept(SocketId listening) {
    for (;;) {
        const int id = accept4(listening, nullptr, nullptr, SOCK_CLOEXEC);
        if (id >= 0)
            return id;
        if (errno != EINTR)
            return kNoSocket;
    }
}

Endpoint LocalEndpoint(SocketId id) {
    sockaddr_in a{};
    socklen_t length = sizeof a;
    if (getsockname(id, reinterpret_cast<sockaddr*>(&a), &length) != 0)
        return Endpoint{};
    return FromNative(a);
}

ConnectStart StartConnect(SocketId id, Endpoint to) {
    const sockaddr_in a = ToNative(to);
    if (connect(id, reinterpret_cast<const sockaddr*>(&a), sizeof a) == 0)
        return ConnectStart::Connected;
    // An interrupted connect goes on in the background, as one in progress does.
    return errno == EINPROGRESS || errno == EINTR ? ConnectStart::InProgress : ConnectStart::Failed;
}

bool ConnectSucceeded(SocketId id) {
    int pending = 0;
    socklen_t size = sizeof pending;
    return getsockopt(id, SOL_SOCKET, SO_ERROR, &pending, &size) == 0 && pending == 0;
}

int WaitSockets(WaitEntry* entries, std::size_t count, std::chrono::milliseconds timeout) {
    // poll rather than select: a descriptor above FD_SETSIZE must not overflow an fd_set.
    std::vector<pollfd> fds(count);
    for (std::size_t i = 0; i < count; ++i) {
        short events = 0;
        if (entries[i].wanted & kReadable)
            events |= POLLIN;
        if (entries[i].wanted & kWritable)
            events |= POLLOUT;
        if (entries[i].wanted & kHangUp)
            events |= POLLRDHUP;
        fds[i] = pollfd{entries[i].id, events, 0};
        entries[i].ready = false;
    }
    const bool forever = timeout.count() < 0;
    const Clock::time_point deadline = Clock::now() + (forever ? timeout.zero() : timeout);
    for (;;) {
        int wait = -1;
        if (!forever) {
            const auto left =
                std::chrono::duration_cast<std::chrono::milliseconds>(deadline - Clock::now());
            wait = left.count() > 0 ? static_cast<int>(left.count()) : 0;
        }
        const int ready = poll(fds.data(), static_cast<nfds_t>(count), wait);
        if (ready < 0 && errno == EINTR)
            continue;
        if (ready > 0) {
            for (std::size_t i = 0; i < count; ++i)
                entries[i].ready = fds[i].revents != 0;
        }
        return ready;
    }
}

int WaitSocket(SocketId id, unsigned wanted, std::chrono::milliseconds timeout) {
    WaitEntry entry{id, wanted};
    const int ready = WaitSockets(&entry, 1, timeout);
    return ready > 0 ? 1 : ready;
}

long PendingBytes(SocketId id) {
    int pending = 0;
    if (ioctl(id, FIONREAD, &pending) != 0)
        return -1;
    return pending;
}

long Send(SocketId id, const void* data, std::size_t size, Blocking how) {
    return send(id, data, size, MSG_NOSIGNAL | Flags(how));
}

long Receive(SocketId id, void* data, std::size_t capacity, Blocking how) {
    return recv(id, data, capacity, Flags(how));
}

long SendTo(SocketId id, const void* data, std::size_t size, Endpoint to) {
    const sockaddr_in a = ToNative(to);
    return sendto(id, data, size, MSG_NOSIGNAL, reinterpret_cast<const sockaddr*>(&a), sizeof a);
}

long ReceiveFrom(SocketId id, void* buffer, std::size_t room, Endpoint* from, Blocking how) {
    // MSG_TRUNC reports the datagram's real size while copying no more than the room.
    sockaddr_in sender{};
    socklen_t length = sizeof sender;
    const long n = recvfrom(id, buffer, room, MSG_TRUNC | Flags(how),
                            reinterpret_cast<sockaddr*>(&sender), &length);
    if (n >= 0 && from)
        *from = FromNative(sender);
    return n;
}

bool ParseIpv4Text(const std::string& text, std::uint32_t& address) {
    in_addr a{};
    if (inet_pton(AF_INET, text.c_str(), &a) != 1)
        return false;
    address = ntohl(a.s_addr);
    return true;
}

std::optional<std::uint32_t> ResolveIpv4(const std::string& name, std::string& error) {
    addrinfo hints{};
    hints.ai_family = AF_INET;
    hints.ai_socktype = SOCK_STREAM;
    addrinfo* found = nullptr;
    const int failed = getaddrinfo(name.c_str(), nullptr, &hints, &found);
    if (failed != 0 || !found) {
        error = gai_strerror(failed);
        if (found)
            freeaddrinfo(found);
        return std::nullopt;
    }
    const std::uint32_t address =
        ntohl(reinterpret_cast<const sockaddr_in*>(found->ai_addr)->sin_addr.s_addr);
    freeaddrinfo(found);
    return address;
}

}  // namespace platform
