#include "sim/udp_server.h"

#include <algorithm>
#include <chrono>
#include <cstring>

#include "sim/udp_protocol.h"
#include "sim/udp_strangers.h"

namespace pellacor::sim {

bool UdpServer::Start(const std::string& host, uint16_t port, std::string* error) {
    m_socket = BindInet(platform::SocketKind::Datagram, host, port, error);
    if (!m_socket.Valid()) {
        return false;
    }
    m_host = host;
    m_port = LocalPort(m_socket.Get());
    m_stop.Clear();
    m_thread = std::thread([this] { Run(); });
    return true;
}

void UdpServer::Stop() {
    if (m_thread.joinable()) {
        m_stop.Raise();
        m_thread.join();
    }
    for (std::thread& t : m_tricklers) {
        t.join();
    }
    m_tricklers.clear();
    m_socket.Reset();
    m_ownSockets.clear();
    m_inEffect.clear();
}

platform::SocketId UdpServer::SocketFor(LaminatorUnit& unit) {
    auto effect = m_inEffect.find(unit.Index());
    if (effect == m_inEffect.end()) {
        effect = m_inEffect.emplace(unit.Index(), unit.engine.State().network.Ip()).first;
    }
    const std::array<uint8_t, 4>& ip = effect->second;
    const std::string text = std::to_string(ip[0]) + "." + std::to_string(ip[1]) + "." +
                             std::to_string(ip[2]) + "." + std::to_string(ip[3]);
    if (ip[0] != 127 || text == m_host) {
        return m_socket.Get();
    }
    auto own = m_ownSockets.find(ip);
    if (own == m_ownSockets.end()) {
        std::string ignored;
        own = m_ownSockets.emplace(ip, BindInet(platform::SocketKind::Datagram, text, 0, &ignored))
                  .first;
    }
    return own->second.Valid() ? own->second.Get() : m_socket.Get();
}

void UdpServer::Run() {
    // Larger than any request, so an oversized datagram is seen whole and refused.
    uint8_t buffer[2048];
    for (;;) {
        platform::WaitEntry entries[2] = {{m_socket.Get(), platform::kReadable},
                                          {m_stop.Fd(), platform::kReadable}};
        if (platform::WaitSockets(entries, 2, std::chrono::milliseconds(-1)) < 0) {
            return;
        }
        if (entries[1].ready) {
            return;
        }
        if (!entries[0].ready) {
            continue;
        }
        platform::Endpoint peer;
        const long n = platform::ReceiveFrom(m_socket.Get(), buffer, sizeof buffer, &peer,
                                             platform::Blocking::NoWait);
        if (n < 0) {
            continue;
        }
        size_t size = std::min(static_cast<size_t>(n), sizeof buffer);
        Handle(buffer, size, peer);
    }
}

void UdpServer::Handle(const uint8_t* data, size_t size, const platform::Endpoint& peer) {
    UdpRequest q = ParseUdpRequest(data, size);
    if (q.kind == UdpRequest::Kind::Invalid || q.kind == UdpRequest::Kind::Incomplete) {
        m_log.Add(0, Transport::Udp, Direction::Received, data, size,
                  q.kind == UdpRequest::Kind::Incomplete ? Flag::Incomplete : Flag::ProtocolError,
                  q.error + ", not answered");
        return;
    }
    if (q.kind == UdpRequest::Kind::Search) {
        m_log.Add(0, Transport::Udp, Direction::Received, data, size, Flag::None, "search");
        const platform::Endpoint& to = peer;
        FaultDecision first;
        for (LaminatorUnit* u : m_units) {
            FaultDecision d = u->NextRequest(Transport::Udp);
            if (u == m_units.front()) {
                first = d;
                if (d.stray) {
                    SendStrayFragments(to, m_log);
                }
            }
            Send(*u, BuildSearchReply(u->engine.State()), d, peer);
        }
        if (first.flood > 0) {
            SendFlood(m_socket.Get(), to, first.flood, m_log);
        }
        if (first.trickle > 0 && !m_units.empty()) {
            Trickle(BuildSearchReply(m_units.front()->engine.State()), peer, first.trickle);
        }
        return;
    }
    // Every laminator carrying the MAC takes the request, as on a real network.
    std::vector<LaminatorUnit*> addressed;
    for (LaminatorUnit* u : m_units) {
        if (u->engine.State().network.MacWire() == q.mac) {
            addressed.push_back(u);
        }
    }
    if (addressed.empty()) {
        // Not ours: a real laminator ignores a broadcast meant for another one.
        m_log.Add(0, Transport::Udp, Direction::Received, data, size, Flag::None,
                  "for another MAC, not answered");
        return;
    }
    for (LaminatorUnit* unit : addressed) {
        HandleAddressed(*unit, q, data, size, peer);
    }
}

void UdpServer::HandleAddressed(LaminatorUnit& u, const UdpRequest& q, const uint8_t* data,
                                size_t size, const platform::Endpoint& peer) {
    LaminatorUnit* unit = &u;
    FaultDecision d = unit->NextRequest(Transport::Udp);
    if (d.rogue && q.kind == UdpRequest::Kind::ReadSettings) {
        SendRogueSettings(peer, q.mac, m_log);
    }
    std::vector<uint8_t> reply;
    const char* what = "";
    switch (q.kind) {
        case UdpRequest::Kind::ReadSettings:
            what = "read settings";
            reply = BuildSettingsReply(unit->engine.State());
            break;
        case UdpRequest::Kind::WriteSettings:
            what = "write settings";
            unit->engine.Update([&](LaminatorState& s) {
                std::copy(q.settings.begin(), q.settings.end(), s.network.bytes.begin());
            });
            reply.assign(kWriteAck.begin(), kWriteAck.end());
            if (d.wrongAck) {
                reply[3] = 0x4E;  // 'N'
            }
            break;
        default:
            what = "finish";
            reply.assign(kFinishAck.begin(), kFinishAck.end());
            if (d.wrongAck) {
                reply[3] = 0x4E;
                reply[4] = UdpChecksum(reply.data(), reply.size());
            }
            break;
    }
    m_log.Add(unit->Index(), Transport::Udp, Direction::Received, data, size, Flag::None, what);
    Send(*unit, std::move(reply), d, peer);
    if (q.kind == UdpRequest::Kind::Finish) {
        m_inEffect[unit->Index()] = unit->engine.State().network.Ip();
    }
}

void UdpServer::Trickle(std::vector<uint8_t> reply, const platform::Endpoint& peer, int repeats) {
    const platform::Endpoint to = peer;
    m_tricklers.emplace_back([this, reply = std::move(reply), to, repeats] {
        for (int i = 0; i < repeats; ++i) {
            if (platform::WaitSocket(m_stop.Fd(), platform::kReadable,
                                     std::chrono::milliseconds(400)) != 0) {
                return;
            }
            platform::SendTo(m_socket.Get(), reply.data(), reply.size(), to);
            m_log.Add(0, Transport::Udp, Direction::Sent, reply.data(), reply.size(), Flag::None,
                      "search reply repeated by fault");
        }
    });
}

void UdpServer::Send(LaminatorUnit& unit, std::vector<uint8_t> reply, const FaultDecision& d,
                     const platform::Endpoint& peer) {
    if (d.drop) {
        m_log.Add(unit.Index(), Transport::Udp, Direction::Sent, reply.data(), reply.size(),
                  Flag::Dropped, "reply dropped by fault");
        return;
    }
    ShapeReply(d, reply);
    if (d.delayMs > 0) {
        std::this_thread::sleep_for(std::chrono::milliseconds(d.delayMs));
    }
    const platform::SocketId from = SocketFor(unit);
    size_t first = reply.size();
    if (d.split && reply.size() > 1) {
        // Two datagrams that together carry one reply.
        first = d.splitAt > 0 && d.splitAt < reply.size() ? d.splitAt : reply.size() / 2;
        platform::SendTo(from, reply.data(), first, peer);
        m_log.Add(unit.Index(), Transport::Udp, Direction::Sent, reply.data(), first, Flag::None,
                  "first part of a split reply");
        platform::SendTo(from, reply.data() + first, reply.size() - first, peer);
        m_log.Add(unit.Index(), Transport::Udp, Direction::Sent, reply.data() + first,
                  reply.size() - first, Flag::None, "second part of a split reply");
        return;
    }
    platform::SendTo(from, reply.data(), reply.size(), peer);
    m_log.Add(unit.Index(), Transport::Udp, Direction::Sent, reply.data(), reply.size());
}

}  // namespace pellacor::sim
