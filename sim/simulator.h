#pragma once

// pellacor-sim as a library: one or more simulated laminators on loopback.
//
//   pellacor::sim::SimOptions o;
//   o.tcpPort = 0;                 // ephemeral ports for tests
//   o.udpPort = 0;
//   o.usbPath = "/tmp/t/hid";      // optional virtual HID laminator
//   pellacor::sim::Simulator sim(o);
//   std::string error;
//   ASSERT_TRUE(sim.Start(&error)) << error;
//   connect to sim.TcpHost(0):sim.TcpPort(0), send to 127.0.0.1:sim.UdpPort() ...
//   sim.UpdateState(0, [](LaminatorState& s) { s.cardBits = 5; });
//   EXPECT_EQ(sim.State(0).params.laminateMenu, 2);
//   EXPECT_EQ(sim.GetCounters().mixedBracket, 0u);   // frames never interleaved
//   sim.SetFaults({*ParseFault("drop-nth=2@tcp", nullptr)});
//   sim.UnplugUsb(0); sim.ReplugUsb(0, &error);
//   sim.Stop();                    // also done by the destructor
//
// Laminator k listens on the TCP host's last octet + k (127.0.0.1, 127.0.0.2, ...) with the
// same port as laminator 0; its USB sockets are the given paths with "-<k+1>" appended
// for k > 0. One UDP socket answers for all of them.

#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "sim/fault_plan.h"
#include "sim/frame_log.h"
#include "sim/laminator_engine.h"
#include "sim/laminator_state.h"

namespace pellacor::sim {

struct SimOptions {
    int count = 1;
    bool tcp = true;
    std::string tcpHost = "127.0.0.1";
    uint16_t tcpPort = 9100;  // 0 picks a free port
    bool udp = true;
    std::string udpHost = "127.0.0.1";
    uint16_t udpPort = 1901;
    std::string usbPath;        // empty: no virtual HID device
    std::string printerPath;    // empty: no virtual printing-class device
    std::string logFile;        // JSON lines; empty: in memory only
    std::string stateFile;      // restored at Start when it exists, saved at Stop
    std::string firmwareFile;   // each finished firmware transfer is written here
    std::vector<Fault> faults;  // applied to every laminator
    int idleFlushMs = 300;      // a partial TCP request older than this is flagged
};

class Simulator {
  public:
    explicit Simulator(SimOptions options);
    ~Simulator();
    Simulator(const Simulator&) = delete;
    Simulator& operator=(const Simulator&) = delete;

    bool Start(std::string* error);
    void Stop();

    int Count() const { return static_cast<int>(m_units.size()); }
    std::string TcpHost(int laminator = 0) const;
    uint16_t TcpPort(int laminator = 0) const;
    uint16_t UdpPort() const;
    std::string UsbPath(int laminator = 0) const;
    std::string PrinterPath(int laminator = 0) const;

    LaminatorState State(int laminator = 0);
    LaminatorState FactoryState(int laminator = 0) const;
    void UpdateState(int laminator, const std::function<void(LaminatorState&)>& change);
    bool BracketOpen(int laminator = 0);
    FirmwareCapture Firmware(int laminator = 0);

    std::vector<FrameRecord> Frames() const { return m_log.Records(); }
    Counters GetCounters() const { return m_log.GetCounters(); }
    void ClearLog() { m_log.Clear(); }

    // Replaces the faults (and restarts their request counts) of every laminator.
    void SetFaults(const std::vector<Fault>& faults);
    void SetFaults(int laminator, const std::vector<Fault>& faults);

    // Pulls and puts back the USB cable: the HID and the printing-class interface together.
    bool UnplugUsb(int laminator = 0);
    bool ReplugUsb(int laminator, std::string* error);

    bool SaveState(const std::string& path, std::string* error);

    // Describes where everything listens, one line each.
    std::string Describe() const;

  private:
    struct Unit;
    SimOptions m_options;
    FrameLog m_log;
    std::vector<std::unique_ptr<Unit>> m_units;
    struct Udp;
    std::unique_ptr<Udp> m_udp;
    bool m_started = false;
};

}  // namespace pellacor::sim
