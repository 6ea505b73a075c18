#include "netsetup/discovery_socket.h"

#include <algorithm>

#include "link/frame_trace.h"
#include "platform/interfaces.h"

namespace {
constexpr int kReceiveBufferBytes = 4 << 20;

platform::Endpoint Destination(const SearchTarget& target) {
    return platform::Endpoint{target.address, target.port};
}
}  // namespace

bool DiscoverySocket::Open() {
    Close();
    platform::Socket s(platform::OpenSocket(platform::SocketKind::Datagram));
    if (!s.Valid() || !platform::SetNonBlocking(s.Get(), true))
        return false;
    platform::SetBroadcast(s.Get());
    // Room for a burst of replies from many laminators while the receive thread catches up.
    platform::SetReceiveBuffer(s.Get(), kReceiveBufferBytes);
    m_socket = std::move(s);
    return true;
}

void DiscoverySocket::Close() {
    m_socket.Reset();
}

bool DiscoverySocket::Send(const std::uint8_t* data, std::size_t size) {
    if (!m_socket.Valid())
        return false;
    TraceFrame(TraceLink::Udp, TraceDirection::Sent, data, size);
    if (m_target.IsLimitedBroadcast() && SendOutOfEveryInterface(data, size))
        return true;
    return platform::SendTo(m_socket.Get(), data, size, Destination(m_target)) ==
           static_cast<long>(size);
}

bool DiscoverySocket::SendOutOfEveryInterface(const std::uint8_t* data, std::size_t size) {
    bool any = false;
    for (const platform::BroadcastInterface& b : platform::ListBroadcastInterfaces())
        any = platform::SendThrough(m_socket.Get(), data, size, Destination(m_target), b) || any;
    return any;
}

long DiscoverySocket::ReadDatagram(std::uint8_t* buffer, std::size_t room, bool& failed,
                                   DatagramSender* from) {
    failed = false;
    if (!m_socket.Valid()) {
        failed = true;
        return -1;
    }
    platform::Endpoint sender;
    const long n =
        platform::ReceiveFrom(m_socket.Get(), buffer, room, &sender, platform::Blocking::NoWait);
    if (n >= 0) {
        if (from) {
            from->address = sender.address;
            from->port = sender.port;
        }
        TraceFrame(TraceLink::Udp, TraceDirection::Received, buffer,
                   std::min(static_cast<std::size_t>(n), room));
        return n;
    }
    const platform::SocketError error = platform::LastSocketError();
    if (error != platform::SocketError::TimedOut && error != platform::SocketError::Interrupted)
        failed = true;
    return -1;
}
