#include "netsetup/discovery_socket.h"

#include <arpa/inet.h>
#include <ifaddrs.h>
#include <net/if.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <vector>

#include "link/frame_trace.h"

namespace {
constexpr int kReceiveBufferBytes = 4 << 20;

struct BroadcastInterface {
    unsigned index = 0;
    in_addr local{};
};

std::vector<BroadcastInterface> BroadcastInterfaces() {
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
            continue;  // one copy per interface, whatever its number of addresses
        BroadcastInterface b;
        b.index = index;
        b.local = reinterpret_cast<const sockaddr_in*>(i->ifa_addr)->sin_addr;
        found.push_back(b);
    }
    freeifaddrs(list);
    return found;
}

sockaddr_in Destination(const SearchTarget& target) {
    sockaddr_in to{};
    to.sin_family = AF_INET;
    to.sin_addr.s_addr = htonl(target.address);
    to.sin_port = htons(target.port);
    return to;
}
}  // namespace

bool DiscoverySocket::Open() {
    Close();
    const int fd = socket(AF_INET, SOCK_DGRAM | SOCK_NONBLOCK | SOCK_CLOEXEC, 0);
    if (fd < 0)
        return false;
    const int on = 1;
    setsockopt(fd, SOL_SOCKET, SO_BROADCAST, &on, sizeof on);
    // Room for a burst of replies from many laminators while the receive thread catches up;
    // beyond the system limit only where the process may.
    const int room = kReceiveBufferBytes;
    if (setsockopt(fd, SOL_SOCKET, SO_RCVBUFFORCE, &room, sizeof room) != 0)
        setsockopt(fd, SOL_SOCKET, SO_RCVBUF, &room, sizeof room);
    m_fd = fd;
    return true;
}

void DiscoverySocket::Close() {
    if (m_fd >= 0)
        close(m_fd);
    m_fd = -1;
}

bool DiscoverySocket::Send(const std::uint8_t* data, std::size_t size) {
    if (m_fd < 0)
        return false;
    TraceFrame(TraceLink::Udp, TraceDirection::Sent, data, size);
    if (m_target.IsLimitedBroadcast() && SendOutOfEveryInterface(data, size))
        return true;
    const sockaddr_in to = Destination(m_target);
    const ssize_t sent =
        sendto(m_fd, data, size, 0, reinterpret_cast<const sockaddr*>(&to), sizeof to);
    return sent == static_cast<ssize_t>(size);
}

bool DiscoverySocket::SendOutOfEveryInterface(const std::uint8_t* data, std::size_t size) {
    sockaddr_in to = Destination(m_target);
    bool any = false;
    for (const BroadcastInterface& b : BroadcastInterfaces()) {
        iovec part{const_cast<std::uint8_t*>(data), size};
        alignas(cmsghdr) char control[CMSG_SPACE(sizeof(in_pktinfo))] = {};
        msghdr message{};
        message.msg_name = &to;
        message.msg_namelen = sizeof to;
        message.msg_iov = &part;
        message.msg_iovlen = 1;
        message.msg_control = control;
        message.msg_controllen = sizeof control;
        cmsghdr* c = CMSG_FIRSTHDR(&message);
        c->cmsg_level = IPPROTO_IP;
        c->cmsg_type = IP_PKTINFO;
        c->cmsg_len = CMSG_LEN(sizeof(in_pktinfo));
        in_pktinfo info{};
        info.ipi_ifindex = static_cast<int>(b.index);
        info.ipi_spec_dst = b.local;
        std::memcpy(CMSG_DATA(c), &info, sizeof info);
        any = sendmsg(m_fd, &message, 0) == static_cast<ssize_t>(size) || any;
    }
    return any;
}

long DiscoverySocket::ReadDatagram(std::uint8_t* buffer, std::size_t room, bool& failed,
                                   DatagramSender* from) {
    failed = false;
    if (m_fd < 0) {
        failed = true;
        return -1;
    }
    // MSG_TRUNC reports the datagram's real size while copying no more than the room.
    sockaddr_in sender{};
    socklen_t senderLength = sizeof sender;
    const ssize_t n = recvfrom(m_fd, buffer, room, MSG_TRUNC | MSG_DONTWAIT,
                               reinterpret_cast<sockaddr*>(&sender), &senderLength);
    if (n >= 0) {
        if (from) {
            from->address = ntohl(sender.sin_addr.s_addr);
            from->port = ntohs(sender.sin_port);
        }
        TraceFrame(TraceLink::Udp, TraceDirection::Received, buffer,
                   std::min(static_cast<std::size_t>(n), room));
        return static_cast<long>(n);
    }
    if (errno != EAGAIN && errno != EWOULDBLOCK && errno != EINTR)
        failed = true;
    return -1;
}
