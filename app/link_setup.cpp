#include "app/link_setup.h"

#include <filesystem>
#include <optional>

#include "link/ethernet_link.h"
#include "link/usb_backend.h"
#include "netsetup/search_target.h"
#include "platform/process.h"
#include "sim/roller_warmup.h"
#include "sim/simulator.h"

namespace {
// The demo's folder, removed also when Exit ends the process at once.
std::string g_demoDir;

void RemoveDemoDir() {
    if (g_demoDir.empty())
        return;
    std::error_code ec;
    std::filesystem::remove_all(g_demoDir, ec);
}

class SimulatedDemoLaminator : public DemoLaminator {
  public:
    explicit SimulatedDemoLaminator(pellacor::sim::SimOptions options, std::filesystem::path dir)
        : m_sim(std::move(options)), m_dir(std::move(dir)) {}
    ~SimulatedDemoLaminator() override {
        m_sim.Stop();
        std::error_code ec;
        std::filesystem::remove_all(m_dir, ec);
    }
    bool Start(std::string& error) { return m_sim.Start(&error); }
    pellacor::sim::Simulator& Sim() { return m_sim; }
    std::string Describe() const override { return m_sim.Describe(); }

  private:
    pellacor::sim::Simulator m_sim;
    std::filesystem::path m_dir;
};
}  // namespace

std::unique_ptr<DemoLaminator> SetUpLinks(const ProgramOptions& options, std::string& error) {
    for (const std::string& path : options.usbSimHid)
        AddUsbBackend(MakeSimulatedUsbBackend(path, UsbClass::Hid));
    for (const std::string& path : options.usbSimPrinter)
        AddUsbBackend(MakeSimulatedUsbBackend(path, UsbClass::Printer));
    if (options.tcpPort)
        SetEthernetPort(*options.tcpPort);
    if (options.searchTarget)
        SetSearchTarget(*options.searchTarget);
    if (!options.demo)
        return nullptr;

    // A private folder for the virtual USB sockets, owner-only and under a name nobody can
    // guess or claim first; loopback ports picked by the system.
    const std::optional<std::filesystem::path> made =
        platform::MakePrivateTempFolder("pellacor-demo-", error);
    if (!made)
        return nullptr;
    const std::filesystem::path dir = *made;
    if (g_demoDir.empty())
        platform::AtQuickExit(RemoveDemoDir);
    g_demoDir = dir.string();
    pellacor::sim::SimOptions sim;
    // Three laminators (127.0.0.1 to .3), so the network search has a list to show.
    sim.count = kDemoLaminatorCount;
    if (options.fastWarmup)
        pellacor::sim::SetWarmupTauMs(pellacor::sim::kFastWarmupTauMs);
    sim.tcpHost = "127.0.0.1";
    sim.tcpPort = 0;
    sim.udpHost = "127.0.0.1";
    sim.udpPort = 0;
    sim.usbPath = (dir / "hid").string();
    sim.printerPath = (dir / "lp").string();
    auto demo = std::make_unique<SimulatedDemoLaminator>(sim, dir);  // removes the folder
    if (!demo->Start(error))
        return nullptr;
    AddUsbBackend(MakeSimulatedUsbBackend(demo->Sim().UsbPath(0), UsbClass::Hid));
    AddUsbBackend(MakeSimulatedUsbBackend(demo->Sim().PrinterPath(0), UsbClass::Printer));
    SetEthernetPort(demo->Sim().TcpPort(0));
    if (!options.searchTarget) {
        SearchTarget target;
        target.address = 0x7F000001;  // 127.0.0.1
        target.port = demo->Sim().UdpPort();
        SetSearchTarget(target);
    }
    return demo;
}
