// The virtual USB device's stream on Winsock.
#include <winsock2.h>
#include <ws2tcpip.h>

#include <cstring>

#include "link/usb_sim_socket_os.h"
#include "link/usb_sim_transport.h"

namespace {

SOCKET Sock(std::intptr_t handle) {
    return static_cast<SOCKET>(handle);
}

// Winsock needs starting once per process before any socket.
bool WinsockReady() {
    static const bool ready = [] {
        WSADATA data{};
        return WSAStartup(MAKEWORD(2, 2), &data) == 0;
    }();
    return ready;
}

std::string LastErrorText() {
    return "Winsock error " + std::to_string(WSAGetLastError());
}

sockaddr_in Loopback(std::uint16_t port) {
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    address.sin_port = htons(port);
    return address;
}

void NoDelay(SOCKET s) {
    const BOOL on = TRUE;
    setsockopt(s, IPPROTO_TCP, TCP_NODELAY, reinterpret_cast<const char*>(&on), sizeof on);
}

// Blocking calls never wait unseen: every wait goes through WSAPoll with its limit.
void NonBlocking(SOCKET s) {
    u_long on = 1;
    ioctlsocket(s, FIONBIO, &on);
}

}  // namespace

namespace usb_sim_os {

void Close(std::intptr_t handle) {
    closesocket(Sock(handle));
}

int ReceiveSome(std::intptr_t handle, std::uint8_t* data, std::size_t capacity,
                std::string& error) {
    const int n = recv(Sock(handle), reinterpret_cast<char*>(data), static_cast<int>(capacity), 0);
    if (n >= 0)
        return n;
    const int code = WSAGetLastError();
    if (code == WSAEWOULDBLOCK)
        return kNothingWaiting;
    // A reset by the peer is the device gone, as a close is.
    if (code == WSAECONNRESET || code == WSAECONNABORTED)
        return 0;
    error = "Winsock error " + std::to_string(code);
    return -1;
}

int SendSome(std::intptr_t handle, const std::uint8_t* data, std::size_t length) {
    const int n =
        send(Sock(handle), reinterpret_cast<const char*>(data), static_cast<int>(length), 0);
    if (n >= 0)
        return n;
    return WSAGetLastError() == WSAEWOULDBLOCK ? kNothingWaiting : -1;
}

int Wait(std::intptr_t handle, bool forWriting, std::chrono::milliseconds timeout) {
    WSAPOLLFD entry{Sock(handle), static_cast<SHORT>(forWriting ? POLLWRNORM : POLLRDNORM), 0};
    const int got = WSAPoll(&entry, 1, static_cast<INT>(timeout.count()));
    return got < 0 ? -1 : (got > 0 ? 1 : 0);
}

}  // namespace usb_sim_os

UsbSimSocket UsbSimSocket::Listen(std::uint16_t& port, std::string* error) {
    if (!WinsockReady()) {
        *error = "Winsock did not start";
        return {};
    }
    const SOCKET s = socket(AF_INET, SOCK_STREAM, IPPROTO_TCP);
    if (s == INVALID_SOCKET) {
        *error = "socket: " + LastErrorText();
        return {};
    }
    UsbSimSocket listener(static_cast<std::intptr_t>(s));
    // Another program must not take the port over while the device is plugged in.
    const BOOL exclusive = TRUE;
    setsockopt(s, SOL_SOCKET, SO_EXCLUSIVEADDRUSE, reinterpret_cast<const char*>(&exclusive),
               sizeof exclusive);
    sockaddr_in address = Loopback(0);
    int size = sizeof address;
    if (bind(s, reinterpret_cast<sockaddr*>(&address), sizeof address) != 0 || listen(s, 8) != 0 ||
        getsockname(s, reinterpret_cast<sockaddr*>(&address), &size) != 0) {
        *error = "cannot listen on 127.0.0.1: " + LastErrorText();
        return {};
    }
    NonBlocking(s);
    port = ntohs(address.sin_port);
    return listener;
}

UsbSimSocket UsbSimSocket::Connect(std::uint16_t port, std::error_code& why) {
    if (!WinsockReady()) {
        why = std::make_error_code(std::errc::network_down);
        return {};
    }
    const SOCKET s = socket(AF_INET, SOCK_STREAM, IPPROTO_TCP);
    if (s == INVALID_SOCKET) {
        why = std::error_code(WSAGetLastError(), std::system_category());
        return {};
    }
    UsbSimSocket connection(static_cast<std::intptr_t>(s));
    const sockaddr_in address = Loopback(port);
    if (connect(s, reinterpret_cast<const sockaddr*>(&address), sizeof address) != 0) {
        // The system's own text: MinGW's C library has none for the socket errors.
        why = std::error_code(WSAGetLastError(), std::system_category());
        return {};
    }
    NoDelay(s);
    NonBlocking(s);
    why.clear();
    return connection;
}

UsbSimSocket UsbSimSocket::Accept() const {
    const SOCKET s = accept(Sock(m_handle), nullptr, nullptr);
    if (s == INVALID_SOCKET)
        return {};
    NoDelay(s);
    NonBlocking(s);
    return UsbSimSocket(static_cast<std::intptr_t>(s));
}

bool WaitUsbSimReadable(const std::vector<const UsbSimSocket*>& sockets, std::vector<bool>& ready,
                        std::chrono::milliseconds timeout) {
    std::vector<WSAPOLLFD> entries;
    entries.reserve(sockets.size());
    for (const UsbSimSocket* s : sockets)
        entries.push_back({Sock(s->Handle()), POLLRDNORM, 0});
    ready.assign(sockets.size(), false);
    const int got = WSAPoll(entries.data(), static_cast<ULONG>(entries.size()),
                            timeout.count() < 0 ? -1 : static_cast<INT>(timeout.count()));
    if (got < 0)
        return false;
    for (std::size_t i = 0; i < entries.size(); ++i)
        ready[i] = entries[i].revents != 0;
    return true;
}
