#include "netsetup/discovery_socket.h"

#include <algorithm>

#include "link/frame_trace.h"

namespace {
constexpr int kReceiveBufferBytes = 4 << 20;

platform::Endpoint Destination(const SearchTarget& target) {
    return platform::Endpoint{target.address, target.port};
}

bool Prepare(platform::SocketId id) {
    if (!platform::SetNonBlocking(id, true))
        return false;
    platform::SetBroadcast(id);
    // Room for a burst of replies from many laminators while the receive thread catches up.
    platform::SetReceiveBuffer(id, kReceiveBufferBytes);
    return true;
}
}  // namespace

bool DiscoverySocket::Open() {
    Close();
    platform::Socket s(platform::OpenSocket(platform::SocketKind::Datagram));
    if (!s.Valid() || !Prepare(s.Get()))
        return false;
    m_socket = std::move(s);
    if (!m_target.IsLimitedBroadcast())
        return true;
    for (const platform::BroadcastInterface& b : platform::ListBroadcastInterfaces()) {
        const platform::SocketId id = platform::SocketThrough(m_socket.Get(), b);
        if (id == platform::kNoSocket)
            continue;  // that interface is left out; the others still serve
        if (id != m_socket.Get()) {
            platform::Socket own(id);
            if (!Prepare(id))
                continue;
            m_own.push_back(std::move(own));
            m_ownFailed.push_back(false);
        }
        m_through.push_back(Through{b, id});
    }
    return true;
}

void DiscoverySocket::Close() {
    m_through.clear();
    m_own.clear();
    m_ownFailed.clear();
    m_socket.Reset();
}

int DiscoverySocket::Wait(std::chrono::milliseconds timeout, platform::SocketId wake,
                          bool& datagram) {
    datagram = false;
    std::vector<platform::WaitEntry> entries;
    entries.push_back({m_socket.Get(), platform::kReadable});
    for (std::size_t i = 0; i < m_own.size(); ++i) {
        if (!m_ownFailed[i])
            entries.push_back({m_own[i].Get(), platform::kReadable});
    }
    const std::size_t sockets = entries.size();
    if (wake != platform::kNoSocket)
        entries.push_back({wake, platform::kReadable});
    const int ready = platform::WaitSockets(entries.data(), entries.size(), timeout);
    for (std::size_t i = 0; i < sockets; ++i)
        datagram = datagram || entries[i].ready;
    return ready;
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
    for (const Through& t : m_through)
        any = platform::SendThrough(t.id, data, size, Destination(m_target), t.interface) || any;
    return any;
}

long DiscoverySocket::ReadDatagram(std::uint8_t* buffer, std::size_t room, bool& failed,
                                   DatagramSender* from) {
    failed = false;
    if (!m_socket.Valid()) {
        failed = true;
        return -1;
    }
    for (std::size_t i = 0; i <= m_own.size(); ++i) {
        if (i > 0 && m_ownFailed[i - 1])
            continue;
        const platform::SocketId id = i == 0 ? m_socket.Get() : m_own[i - 1].Get();
        platform::Endpoint sender;
        const long n = platform::ReceiveFrom(id, buffer, room, &sender, platform::Blocking::NoWait);
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
        if (error == platform::SocketError::TimedOut || error == platform::SocketError::Interrupted)
            continue;
        if (i == 0) {
            failed = true;
            return -1;
        }
        m_ownFailed[i - 1] = true;  // a socket bound to one interface loses only its replies
    }
    return -1;
}
