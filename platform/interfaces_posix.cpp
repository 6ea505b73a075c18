#include <arpa/inet.h>
#include <ifaddrs.h>
#include <net/if.h>
#include <netinet/in.h>
#include <sys/socket.h>

#include <cstring>

#include "platform/interfaces.h"

namespace platform {

std::vector<BroadcastInterface> ListBroadcastInterfaces() {
    std::vector<BroadcastInterface> found;
    ifaddrs* list = nullptr;
    if (getifaddrs(&list) != 0)
        return found;
    for (ifaddrs* i = list; i; i = i->ifa_next) {
        if (!i->ifa_addr || i->ifa_addr->sa_family != AF_INET)
            continue;
        if (!(i->ifa_flags & IFF_UP) || !(i->ifa_flags & IFF_BROADCAST) ||
            (i->ifa_flags & IFF_LOOPBACK))
            continue;
        const unsigned index = if_nametoindex(i->ifa_name);
        bool known = index == 0;
        for (const BroadcastInterface& b : found)
            known = known || b.index == index;
        if (known)
            continue;
        BroadcastInterface b;
        b.index = index;
        b.address = ntohl(reinterpret_cast<const sockaddr_in*>(i->ifa_addr)->sin_addr.s_addr);
        found.push_back(b);
    }
    freeifaddrs(list);
    return found;
}

SocketId SocketThrough(SocketId shared, const BroadcastInterface&) {
    return shared;
}

bool SendThrough(SocketId id, const void* data, std::size_t size, Endpoint to,
                 const BroadcastInterface& through) {
    // One socket for all interfaces: the interface and source address go with each datagram,
    // so the replies of every interface arrive on that socket.
    sockaddr_in target{};
    target.sin_family = AF_INET;
    target.sin_addr.s_addr = htonl(to.address);
    target.sin_port = htons(to.port);
    iovec part{const_cast<void*>(data), size};
    alignas(cmsghdr) char control[CMSG_SPACE(sizeof(in_pktinfo))] = {};
    msghdr message{};
    message.msg_name = &target;
    message.msg_namelen = sizeof target;
    message.msg_iov = &part;
    message.msg_iovlen = 1;
    message.msg_control = control;
    message.msg_controllen = sizeof control;
    cmsghdr* c = CMSG_FIRSTHDR(&message);
    c->cmsg_level = IPPROTO_IP;
    c->cmsg_type = IP_PKTINFO;
    c->cmsg_len = CMSG_LEN(sizeof(in_pktinfo));
    in_pktinfo info{};
    info.ipi_ifindex = static_cast<int>(through.index);
    info.ipi_spec_dst.s_addr = htonl(through.address);
    std::memcpy(CMSG_DATA(c), &info, sizeof info);
    return sendmsg(id, &message, MSG_NOSIGNAL) == static_cast<ssize_t>(size);
}

}  // namespace platform
