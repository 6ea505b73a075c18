#include "sim/tcp_server.h"

#include <netinet/in.h>
#include <netinet/tcp.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
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
        pollfd fds[2] = {{client, POLLRDHUP, 0}, {stopFd, POLLIN, 0}};
        const int ready = ::poll(fds, 2, static_cast<int>(left));
        if (ready < 0 && errno != EINTR) {
            return true;
        }
        if (ready > 0) {
            return false;
        }
    }
}
}  // namespace

bool TcpServer::Start(const std::string& host, uint16_t port, std::string* error) {
    m_listen = BindInet(SOCK_STREAM, host, port, error);
    if (!m_listen.Valid()) {
        return false;
    }
    ::setsockopt(m_listen.Get(), SOL_SOCKET, SO_RCVBUF, &kReceiveBuffer, sizeof kReceiveBuffer);
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
        pollfd fds[2] = {{m_listen.Get(), POLLIN, 0}, {m_stop.Fd(), POLLIN, 0}};
        if (::poll(fds, 2, -1) < 0 && errno != EINTR) {
            return;
        }
        if (fds[1].revents != 0) {
            return;
        }
        if ((fds[0].revents & POLLIN) != 0) {
            Fd client(::accept4(m_listen.Get(), nullptr, nullptr, SOCK_CLOEXEC));
            if (client.Valid()) {
                int on = 1;
                ::setsockopt(client.Get(), IPPROTO_TCP, TCP_NODELAY, &on, sizeof on);
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
        pollfd fds[2] = {{client, POLLIN, 0}, {m_stop.Fd(), POLLIN, 0}};
        int ready = ::poll(fds, 2, timeout);
        if (ready < 0 && errno == EINTR) {
            continue;
        }
        if (fds[1].revents != 0) {
            return;
        }
        if (ready == 0) {
            std::vector<uint8_t> partial = parser.TakePartial();
            m_unit.log.Flagged(m_unit.Index(), Transport::Tcp, Flag::Incomplete,
                               "request incomplete when the link went idle", partial.data(),
                               partial.size());
            continue;
        }
        ssize_t n = ::recv(client, buffer, sizeof buffer, 0);
        if (n < 0 && errno == EINTR) {
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
