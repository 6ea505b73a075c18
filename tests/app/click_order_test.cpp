// Less common orders of clicks through the window's dispatch, with the link held by a test
// thread where a click must land while earlier link work still waits: after each, the window
// tells the truth about the port, the download and the links, and nothing waits forever.
#include <condition_variable>
#include <fstream>
#include <functional>

#include "app_fixture.h"
#include "laminator/firmware_download.h"
#include "tests/support/link_hold.h"

namespace {
using namespace std::chrono_literals;
using Bytes = std::vector<std::uint8_t>;

std::size_t ReceivedOver(pellacor::sim::Simulator& sim, pellacor::sim::Transport t) {
    std::size_t n = 0;
    for (const auto& f : sim.Frames()) {
        if (f.transport == t && f.direction == pellacor::sim::Direction::Received)
            ++n;
    }
    return n;
}

// Message boxes the test answers itself: a question runs `onAsk` on the asking thread and
// answers with its result; a box whose text starts with `holdPrefix` stays up until
// released, as one the user has not dismissed yet.
class ScriptedBoxes : public MessageBoxSink {
  public:
    void Show(const std::string&, const std::string& text) override {
        std::unique_lock lock(m_mutex);
        m_texts.push_back(text);
        m_changed.notify_all();
        if (!holdPrefix.empty() && text.rfind(holdPrefix, 0) == 0)
            m_changed.wait(lock, [&] { return m_released; });
    }
    bool Ask(const std::string&, const std::string& text) override {
        {
            std::lock_guard lock(m_mutex);
            m_texts.push_back(text);
        }
        return onAsk ? onAsk() : false;
    }
    void Release() {
        std::lock_guard lock(m_mutex);
        m_released = true;
        m_changed.notify_all();
    }
    bool WaitFor(const std::string& prefix) {
        std::unique_lock lock(m_mutex);
        return m_changed.wait_for(lock, 20s, [&] {
            for (const std::string& t : m_texts)
                if (t.rfind(prefix, 0) == 0)
                    return true;
            return false;
        });
    }
    std::vector<std::string> Texts() const {
        std::lock_guard lock(m_mutex);
        return m_texts;
    }

    std::function<bool()> onAsk;
    std::string holdPrefix;

  private:
    mutable std::mutex m_mutex;
    std::condition_variable m_changed;
    std::vector<std::string> m_texts;
    bool m_released = false;
};

bool Contains(const std::vector<std::string>& texts, const std::string& prefix) {
    for (const std::string& t : texts)
        if (t.rfind(prefix, 0) == 0)
            return true;
    return false;
}
}  // namespace

class ClickOrderTest : public MainWindowTest {
  protected:
    void TearDown() override {
        boxes.Release();
        SetMessageBoxSink(nullptr);
        MainWindowTest::TearDown();
    }

    void UseScriptedBoxes() { SetMessageBoxSink(&boxes); }

    std::string WriteFile(const std::string& name, std::size_t size) {
        Bytes bytes(size);
        for (std::size_t i = 0; i < size; ++i)
            bytes[i] = static_cast<std::uint8_t>(i * 7 + i / 251);
        const std::filesystem::path path = m_dir / name;
        std::ofstream(path, std::ios::binary)
            .write(reinterpret_cast<const char*>(bytes.data()),
                   static_cast<std::streamsize>(bytes.size()));
        return path.string();
    }

    // Loads the file and waits until Browse's completion is on screen.
    void Browse(const std::string& path) {
        host.nextFileChoice = path;
        Click(kIdBrowse);
        ASSERT_TRUE(host.PumpUntil([&] { return dlg->Item(kIdBrowse).IsEnabled(); }, 20s));
    }

    // The click as the dispatch gets it, without waiting for the link work it starts.
    void Press(int id) {
        Event e;
        e.code = Notify::Clicked;
        e.id = id;
        dlg->Dispatch(e);
    }

    // A user can click only an enabled button.
    void PressIfEnabled(int id) {
        if (dlg->Item(id).IsEnabled())
            Press(id);
    }

    void ActivateHid() {
        dlg->Item(kIdAutoDetect).SetCheck(0);
        Click(kIdActivatePort);
        ASSERT_FALSE(dlg->Item(kIdActivatePort).IsEnabled());
    }

    bool SettleWithin(std::chrono::seconds limit) {
        return host.PumpUntil([] { return RunningWorkerCount() == 0; }, limit) &&
               (host.Pump(), true);
    }

    // Activate Port is enabled exactly when the port is closed; a closed port has no handle.
    void ExpectPortButtonsTruthful() {
        const bool closed = UsbHandleTable()[0] <= 0;
        EXPECT_EQ(dlg->Item(kIdActivatePort).IsEnabled(), closed);
        if (closed && !EthernetLinkActive.load()) {
            EXPECT_FALSE(StatusPollerActive());
        }
    }

    // Read after everything settled: frames reach the laminator.
    void ExpectReadSendsFrames() {
        sim->ClearLog();
        Click(kIdRead);
        ASSERT_TRUE(SettleWithin(20s));
        EXPECT_GT(ReceivedOver(*sim, pellacor::sim::Transport::UsbHid), 0u);
    }

    ScriptedBoxes boxes;
};

// A stop answer belongs to the download it was asked about.
TEST_F(ClickOrderTest, AStoppedDownloadLeavesLaterReadsAndWritesWorking) {
    AttachLaminator();
    OpenWindow();
    UseScriptedBoxes();
    ActivateHid();
    Browse(WriteFile("fw.bin", 20000));
    boxes.onAsk = [] { return true; };
    {
        LinkHold hold;  // the transfer waits before its first frame
        Press(kIdDownload);
        ASSERT_TRUE(dlg->DownloadRunning());
        dlg->m_endProcess = [](int) {};
        Press(kIdExit);  // Yes: stop it
    }
    ASSERT_TRUE(boxes.WaitFor("Download stopped: 0 of"));
    ASSERT_TRUE(SettleWithin(20s));
    Click(kIdActivatePort);  // the transfer closed the port at its end
    ExpectReadSendsFrames();
}

TEST_F(ClickOrderTest, YesAfterTheDownloadEndedStopsNothingAndSaysSo) {
    AttachLaminator();
    OpenWindow();
    UseScriptedBoxes();
    ActivateHid();
    const std::size_t size = 20000;
    Browse(WriteFile("fw.bin", size));
    auto hold = std::make_unique<LinkHold>();
    Press(kIdDownload);
    // The box is not modal: the transfer ends while it is up, then the user says Yes.
    boxes.onAsk = [&] {
        hold.reset();
        while (dlg->DownloadRunning())
            std::this_thread::sleep_for(1ms);
        return true;
    };
    dlg->m_endProcess = [](int) {};
    Press(kIdExit);
    ASSERT_TRUE(SettleWithin(20s));
    EXPECT_TRUE(Contains(boxes.Texts(), "The download had already ended; nothing was stopped."));
    EXPECT_FALSE(Contains(boxes.Texts(), "Download stopped"));
    ASSERT_TRUE(host.PumpUntil([&] { return sim->Firmware(0).complete; }, 20s));
    EXPECT_EQ(sim->Firmware(0).bytes, size);
    Click(kIdActivatePort);
    ExpectReadSendsFrames();
}

// Activate, Deactivate, Download while the Activate still waits behind an exchange: every
// task ends once the exchange does, and the port is shown closed.
TEST_F(ClickOrderTest, DownloadClickedAfterAPendingDeactivateNeverDeadlocks) {
    AttachLaminator();
    OpenWindow();
    dlg->Item(kIdAutoDetect).SetCheck(0);
    Browse(WriteFile("fw.bin", 5000));
    {
        LinkHold hold;
        Press(kIdActivatePort);
        Press(kIdDeactivatePort);
        PressIfEnabled(kIdDownload);
    }
    ASSERT_TRUE(SettleWithin(20s));
    ExpectPortButtonsTruthful();
    // Exit ends at once: nothing holds it back.
    bool ended = false;
    dlg->m_endProcess = [&](int) { ended = true; };
    Click(kIdExit);
    ASSERT_TRUE(host.PumpUntil([&] { return ended; }, 5s));
}

// The port buttons follow the port.
TEST_F(ClickOrderTest, DeactivateBeforeActivatesTaskRanLeavesNoPollerOnTheClosedPort) {
    AttachLaminator();
    OpenWindow();  // Auto detect is on
    {
        LinkHold hold;
        Press(kIdActivatePort);
        Press(kIdDeactivatePort);
    }
    ASSERT_TRUE(dlg->WaitForLinkTasks(20s));
    host.Pump();
    EXPECT_FALSE(StatusPollerActive());
    ExpectPortButtonsTruthful();
    EXPECT_TRUE(dlg->Item(kIdActivatePort).IsEnabled());
}

TEST_F(ClickOrderTest, ActivateWhileTheStoppedDownloadsBoxIsUpLeavesTruthfulButtons) {
    AttachLaminator();
    OpenWindow();
    UseScriptedBoxes();
    ActivateHid();
    Browse(WriteFile("fw.bin", 20000));
    boxes.onAsk = [] { return true; };
    boxes.holdPrefix = "Download stopped";
    {
        LinkHold hold;
        Press(kIdDownload);
        Press(kIdDeactivatePort);  // Yes
    }
    ASSERT_TRUE(boxes.WaitFor("Download stopped"));
    host.Pump();
    PressIfEnabled(kIdActivatePort);
    boxes.Release();
    ASSERT_TRUE(SettleWithin(20s));
    ExpectPortButtonsTruthful();
    // Whatever the port is now, the buttons get it right: Read works once it is open.
    if (dlg->Item(kIdActivatePort).IsEnabled())
        Click(kIdActivatePort);
    ExpectReadSendsFrames();
}

// Unticking the hidden Ethernet box calls off a connect still queued behind link work.
TEST_F(ClickOrderTest, UntickingTheEthernetBoxCancelsAQueuedConnectAndItsPoller) {
    AttachLaminator();
    OpenWindow();  // Auto detect is on: a connect starts a poller
    Store().Set(ParamKey::IpAddress, "127.0.0.1");
    {
        LinkHold hold;
        dlg->Item(kIdAutoDetect).SetCheck(0);
        Press(kIdActivatePort);  // link work the connect queues behind
        dlg->Item(kIdAutoDetect).SetCheck(1);
        dlg->Item(kIdEthernetCheck).SetCheck(1);
        Press(kIdEthernetCheck);
        dlg->Item(kIdEthernetCheck).SetCheck(0);
        Press(kIdEthernetCheck);
    }
    ASSERT_TRUE(dlg->WaitForLinkTasks(20s));
    host.Pump();
    EXPECT_FALSE(StatusPollerActive());
    ASSERT_TRUE(SettleWithin(20s));
    EXPECT_EQ(EthernetLinkActive.load(), 0);
    EXPECT_LE(EthernetSocket.load(), 0);
    EXPECT_EQ(dlg->Item(kIdEthernetCheck).GetCheck(), 0);
    EXPECT_EQ(ReceivedOver(*sim, pellacor::sim::Transport::Tcp), 0u) << "it connected";
}

// A completion writes only what its task owns.
TEST_F(ClickOrderTest, BrowsesCompletionLeavesTheHidBoxAsTheUserSetIt) {
    AttachLaminator();
    OpenWindow();
    const std::string path = WriteFile("fw.bin", 4096);
    host.nextFileChoice = path;
    Press(kIdBrowse);
    dlg->Item(kIdUseHid).SetCheck(0);  // meanwhile, before the completion shows
    ASSERT_TRUE(SettleWithin(20s));
    EXPECT_EQ(dlg->Item(kIdUseHid).GetCheck(), 0);
    EXPECT_EQ(dlg->Item(kIdFirmwarePath).GetText(), path);
    EXPECT_NE(dlg->LoadedFirmware(), nullptr);
}

TEST_F(ClickOrderTest, AFailedConnectClearsOnlyItsOwnBox) {
    AttachLaminator();
    OpenWindow();
    Store().Set(ParamKey::IpAddress, "not an address");
    dlg->Item(kIdEthernetCheck).SetCheck(1);
    Press(kIdEthernetCheck);
    dlg->Item(kIdUseHid).SetCheck(0);
    ASSERT_TRUE(dlg->WaitForLinkTasks(20s));
    ASSERT_TRUE(SettleWithin(20s));
    EXPECT_EQ(dlg->Item(kIdEthernetCheck).GetCheck(), 0);
    EXPECT_EQ(dlg->Item(kIdUseHid).GetCheck(), 0);
}

// Download stays off while a download runs.
TEST_F(ClickOrderTest, BrowseDuringAnEthernetDownloadLeavesDownloadDisabled) {
    AttachLaminator();
    OpenWindow();
    dlg->Item(kIdAutoDetect).SetCheck(0);
    Store().Set(ParamKey::IpAddress, "127.0.0.1");
    dlg->Item(kIdEthernetCheck).SetCheck(1);
    Click(kIdEthernetCheck);
    ASSERT_EQ(EthernetLinkActive.load(), 1);
    Browse(WriteFile("fw.bin", 5000));
    {
        LinkHold hold;
        Press(kIdDownload);
        ASSERT_TRUE(dlg->DownloadRunning());
        Browse(WriteFile("other.bin", 3000));
        EXPECT_FALSE(dlg->Item(kIdDownload).IsEnabled());
        PressIfEnabled(kIdDownload);
    }
    ASSERT_TRUE(SettleWithin(20s));
    ASSERT_TRUE(host.PumpUntil([&] { return sim->Firmware(0).complete; }, 20s));
    // The file loaded when Download was clicked, not the one Browse loaded meanwhile.
    EXPECT_EQ(sim->Firmware(0).bytes, 5000u) << ::testing::PrintToString(Messages());
}

TEST_F(ClickOrderTest, ASecondDownloadOnThePrintingClassPathIsRefusedWithAMessage) {
    AttachLaminator();
    SetUsbBackends({MakeSimulatedUsbBackend(sim->PrinterPath(0), UsbClass::Printer)});
    OpenWindow();
    dlg->Item(kIdAutoDetect).SetCheck(0);
    dlg->Item(kIdUseHid).SetCheck(0);
    Click(kIdActivatePort);
    Browse(WriteFile("fw.bin", 640));
    {
        LinkHold hold;
        Press(kIdDownload);
        ASSERT_TRUE(dlg->DownloadRunning());
        ASSERT_TRUE(dlg->Item(kIdDownload).IsEnabled());  // the printing-class path keeps it
        Press(kIdDownload);
    }
    ASSERT_TRUE(SettleWithin(20s));
    EXPECT_TRUE(
        Contains(Messages(), "A firmware download is already running; wait until it has ended."));
    // One transfer reached the laminator (its blocks pad the file), not two.
    const std::size_t once = FirmwareFrameCount(FirmwareRoute::PrinterClass, 640) * 64u;
    ASSERT_TRUE(host.PumpUntil([&] { return sim->Firmware(0).data.size() >= once; }, 10s));
    SettleWithin(2s);
    EXPECT_EQ(sim->Firmware(0).data.size(), once);
}

// A worker's failure leaves a healthy download alone.
TEST_F(ClickOrderTest, AFailingWorkerNeitherCutsNorUnlocksARunningDownload) {
    AttachLaminator();
    OpenWindow();
    ActivateHid();
    const std::size_t size = 20000;
    Browse(WriteFile("fw.bin", size));
    {
        LinkHold hold;
        Press(kIdDownload);
        StartWorkerThread([]() -> int { throw std::runtime_error("boom"); }, "a test worker");
        ASSERT_TRUE(DefaultMessageBoxRecorder().WaitForCount(1, 10s));
        host.Pump();
        for (int id : {kIdDownload, kIdBrowse, kIdActivatePort})
            EXPECT_FALSE(dlg->Item(id).IsEnabled()) << id;
        EXPECT_GT(UsbHandleTable()[0], 0);
    }
    ASSERT_TRUE(SettleWithin(20s));
    ASSERT_TRUE(host.PumpUntil([&] { return sim->Firmware(0).complete; }, 20s));
    EXPECT_EQ(sim->Firmware(0).bytes, size);
}
