#include "sim/tcp_server.h"

#include <algorithm>
#include <chrono>

#include "sim/tcp_request_parser.h"

namespace pellacor::sim {

namespace {
constexpr size_t kBlock = 64;
constexpr size_t kFrameData = 62;
// A laminator's TCP stack has a small receive buffer, so what it acknowledged is close to
// what it took in: a firmware sender can only tell the two apart that way.
constexpr int kReceiveBuffer = 16 * 1024;

// Waits out a reply's delay. False when the client hung up meanwhile or the simulator stops:
// a laminator does not go on answering a connection that is gone, and while it did, the
// one connection it serves would hold up the client's next one.
bool WaitWhileConnected(int client, int stopFd, int ms) {
    using Clock = std::chrono::steady_clock;
    const Clock::time_point end = Clock::now() + std::chrono::milliseconds(ms);
    for (;;) {
        const auto left =
            std::chrono::duration_cast<std::chrono::milliseconds>(end - Clock::now()).count();
        if (left <= 0) {
            return true;
        }
        platform::WaitEntry entries[2] = {{client, platform::kHangUp},
                                          {stopFd, platform::kReadable}};
        const int ready = platform::WaitSockets(entries, 2, std::chrono::milliseconds(left));
        if (ready < 0) {
            return true;
        }
        if (ready > 0) {
            return false;
        }
    }
}
}  // namespace

bool TcpServer::Start(const std::string& host, uint16_t port, std::string* error) {
    m_listen = BindInet(platform::SocketKind::Stream, host, port, error);
    if (!m_listen.Valid()) {
        return false;
    }
    platform::SetReceiveBuffer(m_listen.Get(), kReceiveBuffer);
    m_host = host;
    m_port = LocalPort(m_listen.Get());
    m_stop.Clear();
    m_thread = std::thread([this] { Run(); });
    return true;
}

void TcpServer::Stop() {
    if (m_thread.joinable()) {
        m_stop.Raise();
        m_thread.join();
    }
    m_listen.Reset();
}

void TcpServer::Run() {
    for (;;) {
        platform::WaitEntry entries[2] = {{m_listen.Get(), platform::kReadable},
                                          {m_stop.Fd(), platform::kReadable}};
        if (platform::WaitSockets(entries, 2, std::chrono::milliseconds(-1)) < 0) {
            return;
        }
        if (entries[1].ready) {
            return;
        }
        if (entries[0].ready) {
            Fd client(platform::Accept(m_listen.Get()));
            if (client.Valid()) {
                platform::SetNoDelay(client.Get());
                const LaminatorEngine::LinkId link = LaminatorEngine::NewLinkId();
                Serve(client.Get(), link);
                m_unit.engine.LinkClosed(link);
            }
        }
    }
}

void TcpServer::Serve(int client, LaminatorEngine::LinkId link) {
    TcpRequestParser parser;
    uint8_t buffer[4096];
    for (;;) {
        // While part of a request is buffered, an idle link means it will never be whole.
        int timeout = parser.Pending() > 0 ? m_idleFlushMs : -1;
        platform::WaitEntry entries[2] = {{client, platform::kReadable},
                                          {m_stop.Fd(), platform::kReadable}};
        const int ready = platform::WaitSockets(entries, 2, std::chrono::milliseconds(timeout));
        if (entries[1].ready) {
            return;
        }
        if (ready == 0) {
            std::vector<uint8_t> partial = parser.TakePartial();
            m_unit.log.Flagged(m_unit.Index(), Transport::Tcp, Flag::Incomplete,
                               "request incomplete when the link went idle", partial.data(),
                               partial.size());
            continue;
        }
        const long n = platform::Receive(client, buffer, sizeof buffer);
        if (n < 0 && platform::LastSocketError() == platform::SocketError::Interrupted) {
            continue;
        }
        if (n <= 0) {
            if (parser.Pending() > 0) {
                std::vector<uint8_t> partial = parser.TakePartial();
                m_unit.log.Flagged(m_unit.Index(), Transport::Tcp, Flag::Incomplete,
                                   "request incomplete when the client closed", partial.data(),
                                   partial.size());
            }
            return;
        }
        parser.Feed(buffer, static_cast<size_t>(n));
        while (auto request = parser.Next()) {
            if (!Handle(client, link, *request)) {
                return;
            }
        }
    }
}

bool TcpServer::Handle(int client, LaminatorEngine::LinkId link,
                       const std::vector<uint8_t>& request) {
    bool framed = request[0] == 0xA5;
    LaminatorEngine::Outcome o =
        framed ? m_unit.engine.HandleFrame(request.data(), request.size(), Transport::Tcp, link)
               : m_unit.engine.HandleBlock(request.data(), request.size(), link);
    m_unit.log.Add(m_unit.Index(), Transport::Tcp, Direction::Received, request.data(),
                   request.size(), o.flag, o.note);
    FaultDecision d = m_unit.NextRequest(Transport::Tcp);
    if (o.hasReply) {
        // Every TCP reply is one 64-byte block; a framed request gets a framed reply.
        std::vector<uint8_t> reply;
        if (framed) {
            size_t len = std::min(o.reply.size(), kFrameData);
            reply.assign(kBlock, 0);
            reply[0] = 0xA5;
            reply[1] = static_cast<uint8_t>(len);
            std::copy(o.reply.begin(), o.reply.begin() + static_cast<std::ptrdiff_t>(len),
                      reply.begin() + 2);
        } else {
            reply = o.reply;
            reply.resize(kBlock, 0);
        }
        if (d.drop) {
            m_unit.log.Add(m_unit.Index(), Transport::Tcp, Direction::Sent, reply.data(),
                           reply.size(), Flag::Dropped, "reply dropped by fault");
        } else {
            ShapeReply(d, reply);
            if (d.delayMs > 0 && !WaitWhileConnected(client, m_stop.Fd(), d.delayMs)) {
                m_unit.log.Add(m_unit.Index(), Transport::Tcp, Direction::Sent, reply.data(),
                               reply.size(), Flag::Dropped,
                               "delayed reply abandoned: the client closed the connection");
                return false;
            }
            // Logged before it goes out, so a test that has the reply finds it logged.
            m_unit.log.Add(m_unit.Index(), Transport::Tcp, Direction::Sent, reply.data(),
                           reply.size(), Flag::None, d.split ? "split in two sends" : "");
            bool ok;
            if (d.split && reply.size() > 1) {
                size_t first =
                    d.splitAt > 0 && d.splitAt < reply.size() ? d.splitAt : reply.size() / 2;
                ok = SendAll(client, reply.data(), first);
                // Long enough that the two parts arrive as two receives.
                std::this_thread::sleep_for(std::chrono::milliseconds(20));
                ok = ok && SendAll(client, reply.data() + first, reply.size() - first);
            } else {
                ok = SendAll(client, reply.data(), reply.size());
            }
            if (!ok) {
                return false;
            }
        }
    }
    if (d.closeAfterReply) {
        m_unit.log.Flagged(m_unit.Index(), Transport::Tcp, Flag::None,
                           "connection closed by fault");
        return false;
    }
    return true;
}

}  // namespace pellacor::sim
