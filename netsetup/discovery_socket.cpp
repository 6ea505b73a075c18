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

// One waiting datagram from `id`, as ReadDatagram reads it; -1 with `error` set when none
// could be read.
long ReadFrom(platform::SocketId id, std::uint8_t* buffer, std::size_t room, DatagramSender* from,
              platform::SocketError& error) {
    platform::Endpoint sender;
    const long n = platform::ReceiveFrom(id, buffer, room, &sender, platform::Blocking::NoWait);
    if (n < 0) {
        error = platform::LastSocketError();
        return -1;
    }
    if (from) {
        from->address = sender.address;
        from->port = sender.port;
    }
    TraceFrame(TraceLink::Udp, TraceDirection::Received, buffer,
               std::min(static_cast<std::size_t>(n), room));
    return n;
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
            m_own.push_back(Own{std::move(own)});
        }
        m_through.push_back(Through{b, id});
    }
    return true;
}

void DiscoverySocket::Close() {
    m_through.clear();
    m_own.clear();
    m_socket.Reset();
}

int DiscoverySocket::Wait(std::chrono::milliseconds timeout, platform::SocketId wake,
                          bool& datagram) {
    datagram = false;
    std::vector<platform::WaitEntry> entries;
    entries.push_back({m_socket.Get(), platform::kReadable});
    for (const Own& own : m_own) {
        if (!own.failed)
            entries.push_back({own.socket.Get(), platform::kReadable});
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
    failed = !m_socket.Valid();
    if (failed)
        return -1;
    const auto nothingWaits = [](platform::SocketError e) {
        return e == platform::SocketError::TimedOut || e == platform::SocketError::Interrupted;
    };
    platform::SocketError error = platform::SocketError::None;
    if (const long n = ReadFrom(m_socket.Get(), buffer, room, from, error); n >= 0)
        return n;
    if (!nothingWaits(error)) {
        failed = true;
        return -1;
    }
    for (Own& own : m_own) {
        if (own.failed)
            continue;
        if (const long n = ReadFrom(own.socket.Get(), buffer, room, from, error); n >= 0)
            return n;
        // A socket bound to one interface that fails loses only that interface's replies.
        own.failed = !nothingWaits(error);
    }
    return -1;
}
