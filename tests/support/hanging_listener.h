#pragma once
// A loopback TCP port whose connects hang: it listens with a full backlog and never accepts,
// so the kernel drops further SYNs and a connect waits until its own time-out.
#include <arpa/inet.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <cstdint>
#include <vector>

class HangingListener {
  public:
    HangingListener() {
        m_listener = socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
        sockaddr_in a{};
        a.sin_family = AF_INET;
        a.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
        socklen_t size = sizeof a;
        if (m_listener < 0 || bind(m_listener, reinterpret_cast<sockaddr*>(&a), size) != 0 ||
            listen(m_listener, 0) != 0 ||
            getsockname(m_listener, reinterpret_cast<sockaddr*>(&a), &size) != 0)
            return;
        m_port = ntohs(a.sin_port);
        // Fill the queue until a connect no longer completes: from then on SYNs are dropped.
        for (int i = 0; i < 16; ++i) {
            const int c = socket(AF_INET, SOCK_STREAM | SOCK_NONBLOCK | SOCK_CLOEXEC, 0);
            m_fillers.push_back(c);
            connect(c, reinterpret_cast<sockaddr*>(&a), sizeof a);
            pollfd p{c, POLLOUT, 0};
            if (poll(&p, 1, 200) == 0) {
                m_hanging = true;
                return;
            }
        }
    }
    ~HangingListener() {
        for (int fd : m_fillers)
            close(fd);
        if (m_listener >= 0)
            close(m_listener);
    }
    HangingListener(const HangingListener&) = delete;
    HangingListener& operator=(const HangingListener&) = delete;

    // True when a connect to Port() is known to hang.
    bool Hanging() const { return m_hanging; }
    std::uint16_t Port() const { return m_port; }

  private:
    int m_listener = -1;
    std::uint16_t m_port = 0;
    bool m_hanging = false;
    std::vector<int> m_fillers;
};
