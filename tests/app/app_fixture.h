#pragma once
// The main window on the headless host, in a private working folder, with the simulator's
// virtual USB laminator listed as if plugged in when a test asks for it.
#include <gtest/gtest.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <memory>

#include "app/control_ids.h"
#include "app/corvane_dlg.h"
#include "framework/headless_host.h"
#include "framework/message_box.h"
#include "framework/worker.h"
#include "laminator/param_store.h"
#include "laminator/poll_control.h"
#include "link/ethernet_link.h"
#include "link/link_flags.h"
#include "link/usb_backend.h"
#include "link/usb_link.h"
#include "sim/simulator.h"
#include "tests/support/simulated_laminator.h"

class MainWindowTest : public ::testing::Test {
  protected:
    void SetUp() override {
        m_dir = std::filesystem::temp_directory_path() /
                ("pellacor-app-" + std::to_string(::getpid()) + "-" +
                 ::testing::UnitTest::GetInstance()->current_test_info()->name());
        // A folder an earlier process of the same number left (Windows deletes no file that
        // is still open) must not hand this test its files.
        std::error_code stale;
        std::filesystem::remove_all(m_dir, stale);
        std::filesystem::create_directories(m_dir);
        m_oldCwd = std::filesystem::current_path();
        std::filesystem::current_path(m_dir);
        // A backend that lists no laminator: nothing plugged in.
        SetUsbBackends({MakeSimulatedUsbBackend((m_dir / "absent").string(), UsbClass::Hid)});
        Store().Clear();
        MotorType.store(0);
        EthernetLinkActive.store(0);
        UsbLinkActive.store(0);
        DefaultMessageBoxRecorder().Clear();
    }

    void TearDown() override {
        if (dlg)
            dlg->OnDeactivatePort();
        StopStatusPoller();
        if (WorkerHandle poller = PollThread())
            poller->Join(std::chrono::seconds(5));
        EXPECT_TRUE(WaitForAllWorkers(std::chrono::seconds(10)));
        host.Pump();
        CloseEthernet();
        EthernetLinkActive.store(0);
        UsbLinkActive.store(0);
        CloseUsbLink();
        dlg.reset();
        sim.reset();
        ResetUsbBackends();
        std::filesystem::current_path(m_oldCwd);
        BeforeTheFolderGoes();
        std::error_code ec;
        std::filesystem::remove_all(m_dir, ec);
    }
    // What a test still holds open in its folder, closed once the window is gone.
    virtual void BeforeTheFolderGoes() {}

    void WriteIpIni(const std::string& content) { std::ofstream(m_dir / "IP.ini") << content; }

    // A simulated laminator on loopback whose virtual HID device is listed as plugged in.
    void AttachLaminator() {
        std::string error;
        sim = StartSimulatedLaminator(m_dir, error);
        ASSERT_NE(sim, nullptr) << error;
    }

    void OpenWindow() {
        dlg = std::make_unique<CCorvaneDlg>(&host);
        host.Open(*dlg);
    }

    void ChooseGroup(int index) {
        dlg->Item(kIdGroupList).SetSelection(index);
        Event e;
        e.code = Notify::SelChange;
        e.id = kIdGroupList;
        dlg->Dispatch(e);
    }

    // The port buttons and the Ethernet box do their work on a worker: the click returns
    // once it is done and its result is on screen, as the user sees it a moment later.
    void Click(int id) {
        Event e;
        e.code = Notify::Clicked;
        e.id = id;
        dlg->Dispatch(e);
        if (id == kIdActivatePort || id == kIdDeactivatePort || id == kIdEthernetCheck) {
            ASSERT_TRUE(dlg->WaitForLinkTasks(std::chrono::seconds(10)));
            host.Pump();
        }
    }

    std::vector<std::string> Messages() { return DefaultMessageBoxRecorder().Texts(); }

    // Pumps the window until every worker has ended.
    void Settle() {
        ASSERT_TRUE(host.PumpUntil(
            [] {
                const WorkerHandle poller = PollThread();
                const std::size_t pollers = poller && poller->IsRunning() ? 1 : 0;
                return RunningWorkerCount() <= pollers;
            },
            std::chrono::seconds(10)));
        host.Pump();  // what the last worker posted
    }

    HeadlessHost host;
    std::unique_ptr<CCorvaneDlg> dlg;
    std::unique_ptr<pellacor::sim::Simulator> sim;
    std::filesystem::path m_dir;
    std::filesystem::path m_oldCwd;
};
