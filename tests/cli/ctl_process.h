#pragma once
// pellacorctl run as a process, its standard output and error captured, against simulated
// laminators on loopback.
#include <cstdint>
#include <filesystem>
#include <functional>
#include <memory>
#include <nlohmann/json.hpp>
#include <string>
#include <vector>

#include "sim/simulator.h"

namespace ctltest {

struct CtlRun {
    int exit = -1;
    std::string out;
    std::string err;
    nlohmann::json Json() const { return nlohmann::json::parse(out); }
};

// The running pellacorctl, for a test to interrupt as Ctrl-C would (SIGINT; Ctrl-Break to
// its own process group on Windows, where Ctrl-C cannot be sent to another group).
class CtlChild {
  public:
    virtual ~CtlChild() = default;
    virtual void Interrupt() const = 0;
};

// Starts pellacorctl with `args`; `whileRunning` is called with the output read so far
// until the process ends (it may interrupt the process).
CtlRun RunCtl(const std::vector<std::string>& args,
              const std::function<void(const CtlRun&, const CtlChild&)>& whileRunning = {});

// A free loopback TCP port, so several simulated laminators can share one.
uint16_t FreeTcpPort();

// A private folder for the virtual USB sockets, removed at the end.
class TempDir {
  public:
    TempDir();
    ~TempDir();
    const std::filesystem::path& Path() const { return m_path; }

  private:
    std::filesystem::path m_path;
};

// Simulated laminators on loopback: TCP (127.0.0.1 + k, one port), UDP, and the virtual
// HID laminator of the first.
class SimulatedLaminators {
  public:
    explicit SimulatedLaminators(int count = 1);
    bool Started() const { return m_started; }
    const std::string& Error() const { return m_error; }
    pellacor::sim::Simulator& Sim() { return *m_sim; }
    std::string Tcp(int k = 0) const;
    std::string Usb() const { return m_sim->UsbPath(0); }
    std::string Printer() const { return m_sim->PrinterPath(0); }
    std::string SearchAddress() const;
    // Frames the laminators received that write parameters (1C 77 over TCP, the same after
    // A5 and a length byte over USB).
    int ParameterWrites() const;
    int FramesReceived() const;

  private:
    TempDir m_dir;
    std::unique_ptr<pellacor::sim::Simulator> m_sim;
    bool m_started = false;
    std::string m_error;
};

}  // namespace ctltest
