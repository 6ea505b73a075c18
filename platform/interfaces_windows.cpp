#include "platform/interfaces.h"

// winsock2.h before windows.h, which would otherwise bring in the old winsock.
// clang-format off
#include <winsock2.h>
#include <ws2tcpip.h>
#include <iphlpapi.h>
#include <windows.h>
// clang-format on

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

SocketId SocketThrough(SocketId, const BroadcastInterface& through) {
    // WSASendMsg's IP_PKTINFO did not choose a limited broadcast's interface under Wine (it
    // left through the default route's); a socket bound to the address does.
    Socket own(OpenSocket(SocketKind::Datagram));
    if (!own.Valid() || !Bind(own.Get(), Endpoint{through.address, 0}))
        return kNoSocket;
    return own.Release();
}

bool SendThrough(SocketId id, const void* data, std::size_t size, Endpoint to,
                 const BroadcastInterface&) {
    return SendTo(id, data, size, to) == static_cast<long>(size);
}

}  // namespace platform
