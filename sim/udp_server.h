#pragma once

// The discovery and configuration port (1901). One socket answers for every simulated
// laminator: a search gets one reply per laminator, the other requests are routed by
// the MAC they carry. Replies go back to the sender's address and port, from the
// laminator's own address when that is a loopback one: a laminator given a new address
// answers from it once the write is finished.

#include <array>
#include <map>
#include <memory>
#include <string>
#include <thread>
#include <vector>

#include "sim/laminator_unit.h"
#include "sim/socket_util.h"

namespace pellacor::sim {

struct UdpRequest;

class UdpServer {
  public:
    UdpServer(std::vector<LaminatorUnit*> units, FrameLog& log)
        : m_units(std::move(units)), m_log(log) {}
    ~UdpServer() { Stop(); }

    bool Start(const std::string& host, uint16_t port, std::string* error);
    void Stop();
    uint16_t Port() const { return m_port; }

  private:
    void Run();
    void Handle(const uint8_t* data, size_t size, const platform::Endpoint& peer);
    // A settings read, write or finish for one laminator carrying the request's MAC.
    void HandleAddressed(LaminatorUnit& unit, const UdpRequest& q, const uint8_t* data, size_t size,
                         const platform::Endpoint& peer);
    void Send(LaminatorUnit& unit, std::vector<uint8_t> reply, const FaultDecision& d,
              const platform::Endpoint& peer);
    // The socket unit's replies leave from: its address in effect when that is loopback and
    // can be bound, else the server's.
    platform::SocketId SocketFor(LaminatorUnit& unit);
    // Sends `reply` again every 400 ms, `repeats` times, until the server stops.
    void Trickle(std::vector<uint8_t> reply, const platform::Endpoint& peer, int repeats);

    std::vector<LaminatorUnit*> m_units;
    FrameLog& m_log;
    Fd m_socket;
    std::string m_host;
    // The address each laminator answers from; a written address takes effect on finish.
    std::map<int, std::array<uint8_t, 4>> m_inEffect;
    std::map<std::array<uint8_t, 4>, Fd> m_ownSockets;
    StopSignal m_stop;
    std::thread m_thread;
    std::vector<std::thread> m_tricklers;
    uint16_t m_port = 0;
};

}  // namespace pellacor::sim
