#pragma once

// The laminator's command port (9100): one client at a time, like the real port.

#include <atomic>
#include <string>
#include <thread>

#include "sim/laminator_unit.h"
#include "sim/socket_util.h"

namespace pellacor::sim {

class TcpServer {
  public:
    TcpServer(LaminatorUnit& unit, int idleFlushMs) : m_unit(unit), m_idleFlushMs(idleFlushMs) {}
    ~TcpServer() { Stop(); }

    bool Start(const std::string& host, uint16_t port, std::string* error);
    void Stop();
    uint16_t Port() const { return m_port; }
    const std::string& Host() const { return m_host; }

  private:
    void Run();
    void Serve(int client, LaminatorEngine::LinkId link);
    // Handles one whole request; false when the connection is to be closed.
    bool Handle(int client, LaminatorEngine::LinkId link, const std::vector<uint8_t>& request);

    LaminatorUnit& m_unit;
    const int m_idleFlushMs;
    Fd m_listen;
    StopSignal m_stop;
    std::thread m_thread;
    std::string m_host;
    uint16_t m_port = 0;
};

}  // namespace pellacor::sim
