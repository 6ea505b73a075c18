#pragma once
// A laminator's side of the discovery protocol, written for the tests from the frame
// tables alone: a UDP socket on loopback that records every request and answers it with
// the datagrams a script returns.
#include <atomic>
#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <cstdio>
#include <functional>
#include <mutex>
#include <thread>
#include <vector>

#include "netsetup/search_target.h"
#include "platform/sockets.h"
#include "platform/wakeup.h"

namespace netsetup_test {

using Bytes = std::vector<std::uint8_t>;

inline Bytes Hex(const char* text) {
    Bytes out;
    int high = -1;
    for (const char* c = text; *c; ++c) {
        const int v = (*c >= '0' && *c <= '9')   ? *c - '0'
                      : (*c >= 'a' && *c <= 'f') ? *c - 'a' + 10
                      : (*c >= 'A' && *c <= 'F') ? *c - 'A' + 10
                                                 : -1;
        if (v < 0)
            continue;
        if (high < 0) {
            high = v;
        } else {
            out.push_back(static_cast<std::uint8_t>(high * 16 + v));
            high = -1;
        }
    }
    return out;
}

// A 36-byte search reply: id, address (dotted order), MAC as shown, FW Boot and name.
inline Bytes SearchReplyBytes(unsigned id, std::array<std::uint8_t, 4> ip,
                              std::array<std::uint8_t, 6> macShown, unsigned fwBoot,
                              const std::string& name) {
    Bytes r(36, 0);
    r[0] = 0xFF;
    r[1] = 33;
    r[2] = 0x01;
    r[3] = static_cast<std::uint8_t>(id);
    r[4] = static_cast<std::uint8_t>(id >> 8);
    for (int i = 0; i < 4; ++i)
        r[static_cast<std::size_t>(8 - i)] = ip[static_cast<std::size_t>(i)];
    for (int i = 0; i < 6; ++i)
        r[static_cast<std::size_t>(14 - i)] = macShown[static_cast<std::size_t>(i)];
    r[15] = static_cast<std::uint8_t>(fwBoot);
    r[16] = static_cast<std::uint8_t>(fwBoot >> 8);
    for (std::size_t i = 0; i < name.size() && i < 16; ++i)
        r[19 + i] = static_cast<std::uint8_t>(name[i]);
    unsigned sum = 0;
    for (std::size_t i = 1; i < 35; ++i)
        sum += r[i];
    r[35] = static_cast<std::uint8_t>(sum);
    return r;
}

// "127.a.b.c" in host order; the tests speak only to loopback, so anything else is 127.0.0.1.
inline std::uint32_t LoopbackAddress(const char* dotted) {
    unsigned a = 0, b = 0, c = 0, d = 0;
    char end = 0;
    if (std::sscanf(dotted, "%u.%u.%u.%u%c", &a, &b, &c, &d, &end) != 4 || a != 127 || b > 255 ||
        c > 255 || d > 255)
        return platform::kLoopback;
    return (a << 24) | (b << 16) | (c << 8) | d;
}

class UdpPeer {
  public:
    using Script = std::function<std::vector<Bytes>(const Bytes& request)>;
    // Runs before the answer is sent, with the requester's address: other hosts speak first.
    using Before = std::function<void(const Bytes& request, const platform::Endpoint& from)>;

    explicit UdpPeer(Script script, const char* host = "127.0.0.1", Before before = {})
        : m_script(std::move(script)),
          m_before(std::move(before)),
          m_socket(platform::OpenSocket(platform::SocketKind::Datagram)) {
        platform::Bind(m_socket.Get(), {LoopbackAddress(host), 0});
        const platform::Endpoint bound = platform::LocalEndpoint(m_socket.Get());
        m_port = bound.port;
        m_address = bound.address;
        m_thread = std::thread([this] { Run(); });
    }
    ~UdpPeer() { Stop(); }

    // Stops answering at once: the laminator is gone.
    void Stop() {
        if (!m_thread.joinable())
            return;
        m_stop.Raise();
        m_thread.join();
        m_socket.Reset();
    }

    SearchTarget Target() const {
        SearchTarget t;
        t.address = m_address;
        t.port = m_port;
        return t;
    }

    // Pauses a moment after every this many datagrams of one answer (0: never).
    std::atomic<std::size_t> pauseEvery{0};

    std::vector<Bytes> Requests() const {
        std::lock_guard lock(m_mutex);
        return m_requests;
    }
    bool WaitForRequests(std::size_t count,
                         std::chrono::milliseconds timeout = std::chrono::seconds(10)) const {
        std::unique_lock lock(m_mutex);
        return m_changed.wait_for(lock, timeout, [&] { return m_requests.size() >= count; });
    }

    // Waits until this many requests have had their whole answer sent.
    bool WaitForAnswered(std::size_t count,
                         std::chrono::milliseconds timeout = std::chrono::seconds(10)) const {
        std::unique_lock lock(m_mutex);
        return m_changed.wait_for(lock, timeout, [&] { return m_answered >= count; });
    }

  private:
    void Run() {
        std::uint8_t buffer[4096];
        for (;;) {
            platform::WaitEntry waits[2] = {{m_socket.Get()}, {m_stop.Id()}};
            if (platform::WaitSockets(waits, 2, std::chrono::milliseconds(-1)) < 0 ||
                waits[1].ready)
                return;
            platform::Endpoint from;
            const long n = platform::ReceiveFrom(m_socket.Get(), buffer, sizeof buffer, &from);
            if (n < 0 || n > static_cast<long>(sizeof buffer))
                continue;
            const Bytes request(buffer, buffer + n);
            if (m_before)
                m_before(request, from);
            // Recorded before answering: a client that has its answer must find its request
            // in Requests().
            {
                std::lock_guard lock(m_mutex);
                m_requests.push_back(request);
            }
            m_changed.notify_all();
            std::size_t sent = 0;
            for (const Bytes& d : m_script(request)) {
                platform::SendTo(m_socket.Get(), d.data(), d.size(), from);
                if (pauseEvery.load() && ++sent % pauseEvery.load() == 0)
                    std::this_thread::sleep_for(std::chrono::milliseconds(5));
            }
            {
                std::lock_guard lock(m_mutex);
                ++m_answered;
            }
            m_changed.notify_all();
        }
    }

    Script m_script;
    Before m_before;
    platform::Socket m_socket;
    platform::Wakeup m_stop;
    std::uint16_t m_port = 0;
    std::uint32_t m_address = 0;
    mutable std::mutex m_mutex;
    mutable std::condition_variable m_changed;
    std::vector<Bytes> m_requests;
    std::size_t m_answered = 0;
    std::thread m_thread;
};

// One datagram from a socket bound to `host` (another loopback address) to `to`.
inline void SendFrom(const char* host, const platform::Endpoint& to, const Bytes& datagram) {
    platform::Socket s(platform::OpenSocket(platform::SocketKind::Datagram));
    platform::Bind(s.Get(), {LoopbackAddress(host), 0});
    platform::SendTo(s.Get(), datagram.data(), datagram.size(), to);
}

// Waits until the discovery object is idle again (the collection has ended).
template <class Discovery>
bool WaitIdle(Discovery& d, std::chrono::milliseconds timeout = std::chrono::seconds(10)) {
    const auto end = std::chrono::steady_clock::now() + timeout;
    while (!d.IsIdle()) {
        if (std::chrono::steady_clock::now() > end)
            return false;
        d.WaitForReplyOrIdle(std::chrono::milliseconds(100));
        if (d.QueueSize() > 0 && !d.IsIdle())
            std::this_thread::sleep_for(std::chrono::milliseconds(5));
    }
    return true;
}

}  // namespace netsetup_test
