#include "platform/sockets.h"

// winsock2.h before windows.h, which would otherwise bring in the old winsock.
// clang-format off
#include <winsock2.h>
#include <ws2tcpip.h>
#include <mswsock.h>
#include <windows.h>
// clang-format on

#include <mutex>
#include <vector>

namespace platform {

namespace {
using Clock = std::chrono::steady_clock;

SOCKET Native(SocketId id) {
    return static_cast<SOCKET>(static_cast<std::uintptr_t>(static_cast<unsigned>(id)));
}

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

// Windows takes socket time-outs as a DWORD of milliseconds; 0 would mean no limit.
bool SetTimeout(SocketId id, int option, std::chrono::milliseconds limit) {
    const DWORD value = static_cast<DWORD>(limit.count() > 0 ? limit.count() : 1);
    return setsockopt(Native(id), SOL_SOCKET, option, reinterpret_cast<const char*>(&value),
                      sizeof value) == 0;
}

// A call asked not to wait: Windows has no per-call flag, and cannot tell whether a socket is
// non-blocking, so the call is made only once the socket is ready.
template <typename Call>
long WithoutWaiting(SocketId id, Blocking how, SHORT readiness, Call call) {
    if (how == Blocking::NoWait) {
        WSAPOLLFD entry{};
        entry.fd = Native(id);
        entry.events = readiness;
        const int ready = WSAPoll(&entry, 1, 0);
        if (ready < 0)
            return -1;
        if (ready == 0) {
            WSASetLastError(WSAEWOULDBLOCK);
            return -1;
        }
    }
    return call();
}
}  // namespace

SocketError LastSocketError() {
    switch (WSAGetLastError()) {
        case 0:
            return SocketError::None;
        case WSAEWOULDBLOCK:
        case WSAETIMEDOUT:
            return SocketError::TimedOut;
        case WSAEINTR:
            return SocketError::Interrupted;
        case WSAECONNRESET:
        case WSAECONNABORTED:
        case WSAENOTCONN:
        case WSAESHUTDOWN:
            return SocketError::PeerGone;
        case WSAECONNREFUSED:
            return SocketError::Refused;
        case WSAEMSGSIZE:
            return SocketError::Oversized;
        case WSAEINPROGRESS:
        case WSAEALREADY:
            return SocketError::InProgress;
        case WSAEADDRINUSE:
            return SocketError::AddressInUse;
        default:
            return SocketError::Other;
    }
}

std::string LastSocketErrorText() {
    const int error = WSAGetLastError();
    char text[256] = {};
    const DWORD n =
        FormatMessageA(FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS, nullptr,
                       static_cast<DWORD>(error), 0, text, sizeof text, nullptr);
    std::string words(text, n);
    while (!words.empty() && (words.back() == '\n' || words.back() == '\r' || words.back() == ' '))
        words.pop_back();
    return words.empty() ? "Windows socket error " + std::to_string(error) : words;
}

bool StartSockets() {
    static std::once_flag once;
    static bool started = false;
    std::call_once(once, [] {
        WSADATA data{};
        started = WSAStartup(MAKEWORD(2, 2), &data) == 0;
    });
    return started;
}

SocketId OpenSocket(SocketKind kind) {
    if (!StartSockets())
        return kNoSocket;
    const bool stream = kind == SocketKind::Stream;
    // Overlapped as socket() makes them: without it the send and receive time-outs are
    // not kept.
    const SOCKET s =
        WSASocketW(AF_INET, stream ? SOCK_STREAM : SOCK_DGRAM, stream ? IPPROTO_TCP : IPPROTO_UDP,
                   nullptr, 0, WSA_FLAG_OVERLAPPED | WSA_FLAG_NO_HANDLE_INHERIT);
    if (s == INVALID_SOCKET)
        return kNoSocket;
    if (!stream) {
        // Otherwise a datagram that met a closed port fails the socket's next receive.
        BOOL off = FALSE;
        DWORD returned = 0;
        WSAIoctl(s, SIO_UDP_CONNRESET, &off, sizeof off, nullptr, 0, &returned, nullptr, nullptr);
    }
    return static_cast<SocketId>(s);
}

void CloseSocket(SocketId id) {
    if (id != kNoSocket)
        closesocket(Native(id));
}

bool SetNonBlocking(SocketId id, bool nonBlocking) {
    u_long value = nonBlocking ? 1 : 0;
    return ioctlsocket(Native(id), FIONBIO, &value) == 0;
}

bool SetSendTimeout(SocketId id, std::chrono::milliseconds limit) {
    return SetTimeout(id, SO_SNDTIMEO, limit);
}

bool SetReceiveTimeout(SocketId id, std::chrono::milliseconds limit) {
    return SetTimeout(id, SO_RCVTIMEO, limit);
}

bool SetNoDelay(SocketId id) {
    const BOOL on = TRUE;
    return setsockopt(Native(id), IPPROTO_TCP, TCP_NODELAY, reinterpret_cast<const char*>(&on),
                      sizeof on) == 0;
}

bool NoDelayIsSet(SocketId id) {
    // Windows may report a BOOL option in one byte: start from zero.
    DWORD on = 0;
    int size = sizeof on;
    if (getsockopt(Native(id), IPPROTO_TCP, TCP_NODELAY, reinterpret_cast<char*>(&on), &size) != 0)
        return false;
    return on != 0;
}

bool SetReuseAddress(SocketId id) {
    // SO_REUSEADDR on Windows lets another process take a port in use: exclusive is closer
    // to what POSIX means (a quick rebind after close).
    (void)id;
    return true;
}

bool SetBroadcast(SocketId id) {
    const BOOL on = TRUE;
    return setsockopt(Native(id), SOL_SOCKET, SO_BROADCAST, reinterpret_cast<const char*>(&on),
                      sizeof on) == 0;
}

bool SetReceiveBuffer(SocketId id, int bytes) {
    return setsockopt(Native(id), SOL_SOCKET, SO_RCVBUF, reinterpret_cast<const char*>(&bytes),
                      sizeof bytes) == 0;
}

bool SetSendBuffer(SocketId id, int bytes) {
    return setsockopt(Native(id), SOL_SOCKET, SO_SNDBUF, reinterpret_cast<const char*>(&bytes),
                      sizeof bytes) == 0;
}

bool ShutdownConnection(SocketId id) {
    return shutdown(Native(id), SD_BOTH) == 0;
}

bool ResetOnClose(SocketId id) {
    linger abort{};
    abort.l_onoff = 1;
    abort.l_linger = 0;
    return setsockopt(Native(id), SOL_SOCKET, SO_LINGER, reinterpret_cast<const char*>(&abort),
                      sizeof abort) == 0;
}

bool Bind(SocketId id, Endpoint local) {
    const sockaddr_in a = ToNative(local);
    return bind(Native(id), reinterpret_cast<const sockaddr*>(&a), sizeof a) == 0;
}

bool Listen(SocketId id, int backlog) {
    return listen(Native(id), backlog) == 0;
}

SocketId Accept(SocketId listening) {
    const SOCKET s = accept(Native(listening), nullptr, nullptr);
    return s == INVALID_SOCKET ? kNoSocket : static_cast<SocketId>(s);
}

Endpoint LocalEndpoint(SocketId id) {
    sockaddr_in a{};
    int length = sizeof a;
    if (getsockname(Native(id), reinterpret_cast<sockaddr*>(&a), &length) != 0)
        return Endpoint{};
    return FromNative(a);
}

ConnectStart StartConnect(SocketId id, Endpoint to) {
    const sockaddr_in a = ToNative(to);
    if (connect(Native(id), reinterpret_cast<const sockaddr*>(&a), sizeof a) == 0)
        return ConnectStart::Connected;
    const int error = WSAGetLastError();
    return error == WSAEWOULDBLOCK || error == WSAEINPROGRESS ? ConnectStart::InProgress
                                                              : ConnectStart::Failed;
}

bool ConnectSucceeded(SocketId id) {
    int pending = 0;
    int size = sizeof pending;
    return getsockopt(Native(id), SOL_SOCKET, SO_ERROR, reinterpret_cast<char*>(&pending), &size) ==
               0 &&
           pending == 0;
}

int WaitSockets(WaitEntry* entries, std::size_t count, std::chrono::milliseconds timeout) {
    std::vector<WSAPOLLFD> fds(count);
    for (std::size_t i = 0; i < count; ++i) {
        SHORT events = 0;
        // WSAPoll reports a closed or reset connection as POLLHUP/POLLERR whatever was asked.
        if (entries[i].wanted & (kReadable | kHangUp))
            events |= POLLRDNORM;
        if (entries[i].wanted & kWritable)
            events |= POLLWRNORM;
        fds[i].fd = Native(entries[i].id);
        fds[i].events = events;
        fds[i].revents = 0;
        entries[i].ready = false;
    }
    const int wait = timeout.count() < 0 ? -1 : static_cast<int>(timeout.count());
    const int ready = WSAPoll(fds.data(), static_cast<ULONG>(count), wait);
    if (ready <= 0)
        return ready < 0 ? -1 : 0;
    int counted = 0;
    for (std::size_t i = 0; i < count; ++i) {
        SHORT seen = fds[i].revents;
        // Data waiting is no hang-up: for kHangUp alone only the end of the stream counts,
        // which a peek that reads nothing shows (Windows may report the close as readable).
        if ((entries[i].wanted & (kReadable | kWritable)) == 0 && (seen & POLLRDNORM) != 0 &&
            (seen & (POLLHUP | POLLERR)) == 0) {
            char byte = 0;
            seen = recv(fds[i].fd, &byte, 1, MSG_PEEK) == 0 ? POLLHUP : 0;
        }
        entries[i].ready = seen != 0;
        counted += entries[i].ready ? 1 : 0;
    }
    return counted;
}

int WaitSocket(SocketId id, unsigned wanted, std::chrono::milliseconds timeout) {
    WaitEntry entry{id, wanted};
    const int ready = WaitSockets(&entry, 1, timeout);
    return ready > 0 ? 1 : ready;
}

long PendingBytes(SocketId id) {
    u_long pending = 0;
    if (ioctlsocket(Native(id), FIONREAD, &pending) != 0)
        return -1;
    return static_cast<long>(pending);
}

long Send(SocketId id, const void* data, std::size_t size, Blocking how) {
    // Windows raises no signal for a peer that has gone: a plain send is safe.
    return WithoutWaiting(id, how, POLLWRNORM, [&] {
        return static_cast<long>(
            send(Native(id), static_cast<const char*>(data), static_cast<int>(size), 0));
    });
}

long Receive(SocketId id, void* data, std::size_t capacity, Blocking how) {
    return WithoutWaiting(id, how, POLLRDNORM, [&] {
        return static_cast<long>(
            recv(Native(id), static_cast<char*>(data), static_cast<int>(capacity), 0));
    });
}

long SendTo(SocketId id, const void* data, std::size_t size, Endpoint to) {
    const sockaddr_in a = ToNative(to);
    return static_cast<long>(sendto(Native(id), static_cast<const char*>(data),
                                    static_cast<int>(size), 0,
                                    reinterpret_cast<const sockaddr*>(&a), sizeof a));
}

long ReceiveFrom(SocketId id, void* buffer, std::size_t room, Endpoint* from, Blocking how) {
    sockaddr_in sender{};
    int length = sizeof sender;
    const long n = WithoutWaiting(id, how, POLLRDNORM, [&] {
        return static_cast<long>(recvfrom(Native(id), static_cast<char*>(buffer),
                                          static_cast<int>(room), 0,
                                          reinterpret_cast<sockaddr*>(&sender), &length));
    });
    if (n < 0 && WSAGetLastError() == WSAEMSGSIZE) {
        // The datagram was longer than the room and its rest is lost; its real size is not
        // told, only that it did not fit.
        if (from)
            *from = FromNative(sender);
        return static_cast<long>(room) + 1;
    }
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
    if (!StartSockets()) {
        error = "Windows sockets did not start";
        return std::nullopt;
    }
    addrinfo hints{};
    hints.ai_family = AF_INET;
    hints.ai_socktype = SOCK_STREAM;
    addrinfo* found = nullptr;
    const int failed = getaddrinfo(name.c_str(), nullptr, &hints, &found);
    if (failed != 0 || !found) {
        WSASetLastError(failed);
        error = LastSocketErrorText();
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
