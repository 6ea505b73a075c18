#pragma once
// A loopback TCP port whose connects hang: it listens with a full backlog and never accepts,
// so the kernel drops further SYNs and a connect waits until its own time-out.
#include <chrono>
#include <cstdint>
#include <vector>

#include "platform/sockets.h"

class HangingListener {
  public:
    HangingListener() : m_listener(platform::OpenSocket(platform::SocketKind::Stream)) {
        if (!m_listener.Valid() || !platform::Bind(m_listener.Get(), {platform::kLoopback, 0}) ||
            !platform::Listen(m_listener.Get(), 0))
            return;
        m_port = platform::LocalEndpoint(m_listener.Get()).port;
        if (m_port == 0)
            return;
        // Fill the queue until a connect no longer completes: from then on SYNs are dropped.
        for (int i = 0; i < 16; ++i) {
            platform::Socket& c =
                m_fillers.emplace_back(platform::OpenSocket(platform::SocketKind::Stream));
            platform::SetNonBlocking(c.Get(), true);
            platform::StartConnect(c.Get(), {platform::kLoopback, m_port});
            if (platform::WaitSocket(c.Get(), platform::kWritable,
                                     std::chrono::milliseconds(200)) == 0) {
                m_hanging = true;
                return;
            }
        }
    }
    HangingListener(const HangingListener&) = delete;
    HangingListener& operator=(const HangingListener&) = delete;

    // True when a connect to Port() is known to hang.
    bool Hanging() const { return m_hanging; }
    std::uint16_t Port() const { return m_port; }

  private:
    platform::Socket m_listener;
    std::uint16_t m_port = 0;
    bool m_hanging = false;
    std::vector<platform::Socket> m_fillers;
};
