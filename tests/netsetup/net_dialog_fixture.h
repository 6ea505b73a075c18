#pragma once
// The network dialogs on the headless host, with three simulated laminators on loopback
// (127.0.0.1 to .3) answering the search, and a main window stand-in.
#include <gtest/gtest.h>

#include <memory>

#include "framework/headless_host.h"
#include "framework/message_box.h"
#include "framework/worker.h"
#include "laminator/param_store.h"
#include "laminator/poll_control.h"
#include "link/ethernet_link.h"
#include "link/link_flags.h"
#include "netsetup/found_devices.h"
#include "netsetup/net_resources.h"
#include "netsetup/net_work.h"
#include "sim/simulator.h"

namespace netsetup_test {

class FakeMainWindow : public NetLinkOwner {
  public:
    bool UsbPortOpen() override { return usbOpen; }
    void CloseUsbPort() override {
        usbOpen = false;
        ++usbCloses;
        boxesAtUsbClose = DefaultMessageBoxRecorder().Count();
    }
    bool AutoDetectOn() override { return autoDetect; }
    void StartNetPoller() override { ++pollerStarts; }

    std::atomic<bool> usbOpen{false};
    std::atomic<int> usbCloses{0};
    std::atomic<std::size_t> boxesAtUsbClose{0};
    std::atomic<bool> autoDetect{false};
    std::atomic<int> pollerStarts{0};
};

class NetDialogTest : public ::testing::Test {
  protected:
    void SetUp() override {
        DefaultMessageBoxRecorder().Clear();
        EthernetSocket.store(0);
        EthernetLinkActive.store(0);
        Store().Clear();
        FoundDevices.Clear();
        CurrentDiscovery.store(nullptr);
        // Never the broadcast: a loopback port nobody answers until a test starts laminators.
        target.address = 0x7F000001;
        target.port = 9;
    }
    void TearDown() override {
        if (dlg) {
            host.PumpUntil([&] { return !dlg->IsConnecting() && !dlg->IsBusy(); },
                           std::chrono::seconds(10));
            dlg.reset();
        }
        host.Pump();
        EXPECT_TRUE(WaitForAllWorkers(std::chrono::seconds(10)));
        CloseEthernet();
        EthernetSocket.store(0);
        EthernetLinkActive.store(0);
        sim.reset();
        SetEthernetPort(kLaminatorTcpPort);
    }

    void StartLaminators(int count = 3) {
        pellacor::sim::SimOptions o;
        o.count = count;
        o.tcpPort = 0;
        o.udpPort = 0;
        sim = std::make_unique<pellacor::sim::Simulator>(o);
        std::string error;
        ASSERT_TRUE(sim->Start(&error)) << error;
        SetEthernetPort(sim->TcpPort(0));
        target.address = 0x7F000001;
        target.port = sim->UdpPort();
    }

    void Open() {
        dlg = std::make_unique<CNetWork>(&window, &host, target);
        host.Open(*dlg);
    }

    void Click(Dialog& d, int id) {
        Event e;
        e.code = Notify::Clicked;
        e.id = id;
        d.Dispatch(e);
    }

    // Presses Search and waits until the collection has ended and its rows are listed.
    void SearchAndWait() {
        Click(*dlg, kIdSearch);
        ASSERT_TRUE(host.PumpUntil([&] { return !dlg->IsCollecting(); }, std::chrono::seconds(10)));
    }

    // Read the Configuration waits for the laminator on a worker; the settings dialog (run
    // by the modal script) opens on the window once the read answered.
    void ReadConfigAndWait() {
        Click(*dlg, kIdReadConfig);
        ASSERT_TRUE(host.PumpUntil([&] { return !dlg->IsBusy(); }, std::chrono::seconds(10)));
    }

    void DisconnectAndWait() {
        Click(*dlg, kIdDisconnect);
        ASSERT_TRUE(host.PumpUntil([&] { return !dlg->IsBusy(); }, std::chrono::seconds(20)));
    }

    void ConnectAndWait() {
        Click(*dlg, kIdConnect);
        ASSERT_TRUE(host.PumpUntil([&] { return !dlg->IsConnecting(); }, std::chrono::seconds(20)));
    }

    std::vector<std::string> Row(int row) {
        std::vector<std::string> cells;
        for (int c = 0; c < 5; ++c)
            cells.push_back(dlg->m_deviceList->GetCell(row, c));
        return cells;
    }

    std::string Status() { return dlg->Item(kIdNetStatus).GetText(); }
    std::vector<std::string> Boxes() { return DefaultMessageBoxRecorder().Texts(); }

    HeadlessHost host;
    FakeMainWindow window;
    SearchTarget target;
    std::unique_ptr<pellacor::sim::Simulator> sim;
    std::unique_ptr<CNetWork> dlg;
};

}  // namespace netsetup_test
