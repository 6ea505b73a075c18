#pragma once

// Small socket helpers shared by the servers.

#include <cstdint>
#include <string>

#include "platform/sockets.h"
#include "platform/wakeup.h"

namespace pellacor::sim {

// A socket closed on destruction.
using Fd = platform::Socket;

// Wakes a server thread's wait when it must stop.
class StopSignal {
  public:
    int Fd() const { return m_wake.Id(); }
    void Raise() { m_wake.Raise(); }
    void Clear() { m_wake.Clear(); }

  private:
    platform::Wakeup m_wake;
};

bool ParseIpv4(const std::string& text, uint8_t out[4]);
std::string Ipv4Text(const uint8_t a[4]);
platform::Endpoint EndpointOf(const uint8_t a[4], uint16_t port);

// A bound socket of `kind` on host:port (listening when a stream); port 0 picks one. On
// failure an invalid socket, and the reason in `error` when given.
Fd BindInet(platform::SocketKind kind, const std::string& host, uint16_t port, std::string* error);
uint16_t LocalPort(int fd);
// Sends all bytes, retrying partial sends; false when the peer is gone.
bool SendAll(int fd, const uint8_t* data, size_t size);

}  // namespace pellacor::sim
