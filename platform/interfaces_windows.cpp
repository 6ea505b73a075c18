#include "platform/interfaces.h"

// winsock2.h before windows.h, which would otherwise bring in the old winsock.
// clang-format off
#include <winsock2.h>
#include <ws2tcpip.h>
#include <mswsock.h>
#include <iphlpapi.h>
#include <windows.h>
// clang-format on

#include <cstring>

namespace platform {

std::vector<BroadcastInterface> ListBroadcastInterfaces() {
    std::vector<BroadcastInterface> found;
    ULONG size = 16 * 1024;
    std::vector<unsigned char> buffer;
    ULONG result = ERROR_BUFFER_OVERFLOW;
    // The list may grow between asking its size and reading it: a few tries.
    for (int attempt = 0; attempt < 3 && result == ERROR_BUFFER_OVERFLOW; ++attempt) {
        buffer.resize(size);
        result = GetAdaptersAddresses(
            AF_INET, GAA_FLAG_SKIP_ANYCAST | GAA_FLAG_SKIP_MULTICAST | GAA_FLAG_SKIP_DNS_SERVER,
            nullptr, reinterpret_cast<IP_ADAPTER_ADDRESSES*>(buffer.data()), &size);
    }
    if (result != NO_ERROR)
        return found;
    for (auto* a = reinterpret_cast<IP_ADAPTER_ADDRESSES*>(buffer.data()); a; a = a->Next) {
        if (a->OperStatus != IfOperStatusUp || a->IfType == IF_TYPE_SOFTWARE_LOOPBACK ||
            (a->Flags & IP_ADAPTER_NO_MULTICAST) != 0)
            continue;
        for (auto* u = a->FirstUnicastAddress; u; u = u->Next) {
            const sockaddr* s = u->Address.lpSockaddr;
            if (!s || s->sa_family != AF_INET)
                continue;
            BroadcastInterface b;
            b.index = a->IfIndex;
            b.address = ntohl(reinterpret_cast<const sockaddr_in*>(s)->sin_addr.s_addr);
            found.push_back(b);
            break;  // one copy per interface
        }
    }
    return found;
}

bool SendThrough(SocketId id, const void* data, std::size_t size, Endpoint to,
                 const BroadcastInterface& through) {
    // As on Linux, the interface and source address go with each datagram on the one socket,
    // so the replies of every interface arrive on it.
    const SOCKET s = static_cast<SOCKET>(static_cast<std::uintptr_t>(static_cast<unsigned>(id)));
    sockaddr_in target{};
    target.sin_family = AF_INET;
    target.sin_addr.s_addr = htonl(to.address);
    target.sin_port = htons(to.port);
    WSABUF part{static_cast<ULONG>(size), static_cast<char*>(const_cast<void*>(data))};
    alignas(WSACMSGHDR) char control[WSA_CMSG_SPACE(sizeof(IN_PKTINFO))] = {};
    WSAMSG message{};
    message.name = reinterpret_cast<sockaddr*>(&target);
    message.namelen = sizeof target;
    message.lpBuffers = &part;
    message.dwBufferCount = 1;
    message.Control.buf = control;
    message.Control.len = sizeof control;
    WSACMSGHDR* c = WSA_CMSG_FIRSTHDR(&message);
    c->cmsg_level = IPPROTO_IP;
    c->cmsg_type = IP_PKTINFO;
    c->cmsg_len = WSA_CMSG_LEN(sizeof(IN_PKTINFO));
    IN_PKTINFO info{};
    info.ipi_ifindex = through.index;
    info.ipi_addr.s_addr = htonl(through.address);
    std::memcpy(WSA_CMSG_DATA(c), &info, sizeof info);
    DWORD sent = 0;
    return WSASendMsg(s, &message, 0, &sent, nullptr, nullptr) == 0 && sent == size;
}

}  // namespace platform
