// Switch Mode, Send, the re-send box, Reset Default, Browse and Download from the window,
// against the simulator, as the technician uses them.
#include <fstream>

#include "app/app_state.h"
#include "app_fixture.h"
#include "laminator/firmware_download.h"
#include "laminator/mode_resender.h"
#include "platform/tcp_delivery_count.h"
#include "tests/support/srecord_file.h"

namespace {
using Bytes = std::vector<std::uint8_t>;

std::vector<Bytes> Received(pellacor::sim::Simulator& sim, pellacor::sim::Transport t) {
    std::vector<Bytes> frames;
    for (const auto& f : sim.Frames()) {
        if (f.transport == t && f.direction == pellacor::sim::Direction::Received)
            frames.push_back(f.bytes);
    }
    return frames;
}

// A well-formed .mot file of about `n` bytes.
Bytes MotFile(std::size_t n) {
    return testsupport::SRecordFile(n);
}
}  // namespace

class ServiceWindowTest : public MainWindowTest {
  protected:
    void TearDown() override {
        StopModeResender();
        MainWindowTest::TearDown();
    }

    std::string WriteFile(const std::string& name, const Bytes& bytes) {
        const std::filesystem::path path = m_dir / name;
        std::ofstream(path, std::ios::binary)
            .write(reinterpret_cast<const char*>(bytes.data()),
                   static_cast<std::streamsize>(bytes.size()));
        return path.string();
    }

    // The file is loaded on a worker; returns once it is loaded or refused.
    void Browse(const std::optional<std::string>& choice) {
        host.nextFileChoice = choice;
        Click(kIdBrowse);
        Settle();
    }

    // Activate Port on the HID path, without the poller.
    void ActivateHid() {
        dlg->Item(kIdAutoDetect).SetCheck(0);
        Click(kIdActivatePort);
        ASSERT_FALSE(dlg->Item(kIdActivatePort).IsEnabled());
        sim->ClearLog();
    }

    void ConnectEthernet() {
        Store().Set(ParamKey::IpAddress, "127.0.0.1");
        dlg->Item(kIdEthernetCheck).SetCheck(1);
        Click(kIdEthernetCheck);
        ASSERT_EQ(EthernetLinkActive.load(), 1);
        sim->ClearLog();
    }
};

TEST_F(ServiceWindowTest, BrowseLoadsTheFileAndDownloadChecksItsPreconditions) {
    AttachLaminator();
    OpenWindow();
    Click(kIdDownload);
    EXPECT_EQ(Messages(), std::vector<std::string>{"Please select a file"});
    const std::string path = WriteFile("fw.mot", MotFile(300));
    Browse(path);
    EXPECT_EQ(dlg->Item(kIdFirmwarePath).GetText(), path);
    ASSERT_NE(dlg->LoadedFirmware(), nullptr);
    EXPECT_EQ(*dlg->LoadedFirmware(), MotFile(300));
    Click(kIdDownload);  // Auto detect is ticked at start
    EXPECT_EQ(Messages().back(), "Turn off auto-detection");
    // Cancelling the dialog leaves no file loaded.
    Browse(std::nullopt);
    EXPECT_EQ(dlg->LoadedFirmware(), nullptr);
    dlg->Item(kIdAutoDetect).SetCheck(0);
    Click(kIdDownload);
    EXPECT_EQ(Messages().back(), "Please select a file");
    EXPECT_TRUE(Received(*sim, pellacor::sim::Transport::UsbHid).empty());
}

TEST_F(ServiceWindowTest, AFileThatCannotBeOpenedIsSaidAndNothingStaysLoaded) {
    OpenWindow();
    Browse(WriteFile("fw.mot", MotFile(100)));
    ASSERT_NE(dlg->LoadedFirmware(), nullptr);
    DefaultMessageBoxRecorder().Clear();
    Browse((m_dir / "gone.mot").string());
    EXPECT_EQ(Messages(), (std::vector<std::string>{"No such file or directory",
                                                    "Failed to obtain the file information!"}));
    EXPECT_EQ(dlg->LoadedFirmware(), nullptr);
}

TEST_F(ServiceWindowTest, AnEmptyOrDamagedMotFileIsNotLoadedUnlessTheUserSaysSo) {
    OpenWindow();
    Browse(WriteFile("empty.mot", {}));
    EXPECT_EQ(Messages(), std::vector<std::string>{"The firmware file is empty."});
    EXPECT_EQ(dlg->LoadedFirmware(), nullptr);
    Bytes damaged = MotFile(300);
    damaged[40] = 'x';  // inside the first data record
    const std::string path = WriteFile("bad.mot", damaged);
    DefaultMessageBoxRecorder().Clear();
    Browse(path);  // the question's default, No
    ASSERT_EQ(Messages().size(), 1u);
    EXPECT_EQ(Messages()[0].rfind(path + ", line 2: ", 0), 0u) << Messages()[0];
    EXPECT_NE(Messages()[0].find("Send this file anyway?"), std::string::npos);
    EXPECT_EQ(dlg->LoadedFirmware(), nullptr);
    DefaultMessageBoxRecorder().SetAnswer(true);
    Browse(path);
    ASSERT_NE(dlg->LoadedFirmware(), nullptr);
    EXPECT_EQ(*dlg->LoadedFirmware(), damaged);  // as it is
}

TEST_F(ServiceWindowTest, DownloadOnAnInactivePortSaysSoAndLeavesBrowseUsable) {
    AttachLaminator();
    OpenWindow();
    Browse(WriteFile("fw.mot", MotFile(100)));
    dlg->Item(kIdAutoDetect).SetCheck(0);
    Click(kIdDownload);
    EXPECT_EQ(Messages(), std::vector<std::string>{"Please activate the port !"});
    EXPECT_TRUE(dlg->Item(kIdBrowse).IsEnabled());
}

TEST_F(ServiceWindowTest, AOneMebibyteFileReachesTheHidLaminatorWholeWithTheBarAt100) {
    AttachLaminator();
    OpenWindow();
    ActivateHid();
    const Bytes file = MotFile(1 << 20);
    Browse(WriteFile("big.mot", file));
    Click(kIdDownload);
    EXPECT_FALSE(dlg->Item(kIdBrowse).IsEnabled());
    Settle();
    // The laminator may still be taking the last frames the link handed over.
    ASSERT_TRUE(
        host.PumpUntil([&] { return sim->Firmware(0).complete; }, std::chrono::seconds(20)));
    const pellacor::sim::FirmwareCapture fw = sim->Firmware(0);
    EXPECT_EQ(fw.bytes, file.size());
    EXPECT_EQ(fw.crc32, pellacor::sim::Crc32(file.data(), file.size()));
    const int frames = FirmwareFrameCount(FirmwareRoute::Hid, file.size());
    EXPECT_EQ(dlg->Item(kIdProgress).GetPosition(), frames);
    EXPECT_EQ(dlg->Item(kIdPercentText).GetText(), "100%");
    // HID row of the state table.
    EXPECT_NE(dlg->LoadedFirmware(), nullptr);
    EXPECT_TRUE(dlg->Item(kIdBrowse).IsEnabled());
    EXPECT_TRUE(dlg->Item(kIdDownload).IsEnabled());
    EXPECT_TRUE(dlg->Item(kIdActivatePort).IsEnabled());
    EXPECT_EQ(UsbHandleTable()[0], -1);
    EXPECT_TRUE(Messages().empty());
    EXPECT_EQ(sim->GetCounters().protocolErrors, 0u);
}

TEST_F(ServiceWindowTest, OverEthernetTheDownloadTakesTheLinkDown) {
    AttachLaminator();
    OpenWindow();
    dlg->Item(kIdAutoDetect).SetCheck(0);
    ConnectEthernet();
    // Where the system does not tell what the laminator acknowledged (Wine), the whole
    // transfer is "sent, not confirmed", never complete.
    const bool countKnown = platform::ReadTcpDeliveryCount(EthernetSocket.load()).known;
    const Bytes file = MotFile(5000);
    Browse(WriteFile("fw.mot", file));
    ASSERT_NE(dlg->LoadedFirmware(), nullptr);
    const int frames = FirmwareFrameCount(FirmwareRoute::Ethernet, dlg->LoadedFirmware()->size());
    Click(kIdDownload);
    EXPECT_EQ(EthernetLinkActive.load(), 0);
    Settle();
    ASSERT_TRUE(
        host.PumpUntil([&] { return sim->Firmware(0).complete; }, std::chrono::seconds(20)));
    EXPECT_EQ(sim->Firmware(0).crc32, pellacor::sim::Crc32(file.data(), file.size()));
    EXPECT_EQ(EthernetSocket.load(), 0);
    if (!countKnown) {
        EXPECT_EQ(Messages(), std::vector<std::string>{DownloadNotConfirmedText(frames, frames)});
        return;
    }
    EXPECT_EQ(dlg->Item(kIdPercentText).GetText(), "100%");  // 81 frames: step 0
    EXPECT_TRUE(Messages().empty());
}

TEST_F(ServiceWindowTest, ThePrintingClassPathDownloadsAndOffersBrowseAgain) {
    AttachLaminator();
    SetUsbBackends({MakeSimulatedUsbBackend(sim->PrinterPath(0), UsbClass::Printer)});
    OpenWindow();
    dlg->Item(kIdAutoDetect).SetCheck(0);
    dlg->Item(kIdUseHid).SetCheck(0);
    Click(kIdActivatePort);
    ASSERT_FALSE(dlg->Item(kIdActivatePort).IsEnabled());
    Browse(WriteFile("fw.mot", MotFile(640)));
    Click(kIdDownload);
    Settle();
    EXPECT_EQ(Messages(), std::vector<std::string>{"Download successfully, please re-open!"});
    EXPECT_EQ(dlg->LoadedFirmware(), nullptr);
    EXPECT_TRUE(dlg->Item(kIdBrowse).IsEnabled());
    EXPECT_TRUE(dlg->Item(kIdActivatePort).IsEnabled());
    // The bytes were handed to the device; the laminator may still be taking them in.
    ASSERT_TRUE(host.PumpUntil([&] { return sim->Firmware(0).data.size() >= 640; },
                               std::chrono::seconds(10)));
    const pellacor::sim::FirmwareCapture fw = sim->Firmware(0);
    EXPECT_TRUE(std::equal(fw.data.begin(), fw.data.begin() + 640, MotFile(640).begin()));
}

TEST_F(ServiceWindowTest, ResetOverUsbStopsThePollerClearsAutoDetectAndReopens) {
    AttachLaminator();
    OpenWindow();
    Click(kIdActivatePort);  // with Auto detect: a poller runs
    ASSERT_TRUE(StatusPollerActive());
    Click(kIdResetDefault);
    EXPECT_FALSE(StatusPollerActive());
    EXPECT_EQ(dlg->Item(kIdAutoDetect).GetCheck(), 0);
    EXPECT_EQ(AutoDetectEnabled.load(), 1);  // not changed by the reset
    Settle();
    EXPECT_TRUE(dlg->Item(kIdActivatePort).IsEnabled());
    EXPECT_GT(UsbHandleTable()[0], 0);
    EXPECT_EQ(sim->GetCounters().mixedBracket, 0u);
    EXPECT_EQ(sim->GetCounters().protocolErrors, 0u);
}

TEST_F(ServiceWindowTest, ResetOverUsbWithThePortInactiveOnlyClearsAutoDetect) {
    AttachLaminator();
    OpenWindow();
    Click(kIdResetDefault);
    Settle();
    EXPECT_EQ(dlg->Item(kIdAutoDetect).GetCheck(), 0);
    EXPECT_TRUE(Received(*sim, pellacor::sim::Transport::UsbHid).empty());
    EXPECT_TRUE(Messages().empty());
}

TEST_F(ServiceWindowTest, ResetOverEthernetSaysThePortIsNotConnectedAndDropsTheLink) {
    AttachLaminator();
    OpenWindow();
    ConnectEthernet();  // Auto detect ticked: the TCP poller runs
    ASSERT_TRUE(StatusPollerActive());
    sim->UpdateState(0, [](pellacor::sim::LaminatorState& s) { s.params.buzzer = 0; });
    Click(kIdResetDefault);
    EXPECT_EQ(Messages(), std::vector<std::string>{"Ethernet Port is not connected"});
    EXPECT_EQ(EthernetLinkActive.load(), 0);
    EXPECT_EQ(dlg->Item(kIdAutoDetect).GetCheck(), 0);
    Settle();
    // The reset frame is not answered: the laminator applies it in its own time.
    EXPECT_TRUE(host.PumpUntil(
        [&] { return sim->State(0).params.buzzer == sim->FactoryState(0).params.buzzer; },
        std::chrono::seconds(10)));
    EXPECT_GT(EthernetSocket.load(), 0);  // not closed here
    // With no poller running the Auto detect value stays as it was.
    dlg->Item(kIdAutoDetect).SetCheck(1);
    dlg->UpdateData(true);
    EthernetLinkActive.store(1);
    StopStatusPoller();
    Click(kIdResetDefault);
    EXPECT_EQ(dlg->Item(kIdAutoDetect).GetCheck(), 1);
}

TEST_F(ServiceWindowTest, SwitchModeAndSendUseTheValuesOfTheLastExchange) {
    AttachLaminator();
    OpenWindow();
    ActivateHid();
    dlg->Item(kIdCommandText).SetText("1c4");
    Click(kIdSend);
    Settle();
    Click(kIdSwitchMode);
    Settle();
    const std::vector<Bytes> frames = Received(*sim, pellacor::sim::Transport::UsbHid);
    ASSERT_EQ(frames.size(), 2u);
    EXPECT_EQ(Bytes(frames[0].begin(), frames[0].begin() + 3), (Bytes{0xA5, 0x01, 0x1C}));
    EXPECT_EQ(Bytes(frames[1].begin(), frames[1].begin() + 4), (Bytes{0xA5, 0x3E, 0x1C, 0x77}));
    const std::vector<std::string> messages = Messages();
    ASSERT_FALSE(messages.empty());
    EXPECT_EQ(messages.back(), "Mode switch successful !");
}

TEST_F(ServiceWindowTest, TickingTheResendBoxTwiceRunsOneResender) {
    AttachLaminator();
    OpenWindow();
    dlg->Item(kIdResendCheck).SetCheck(1);
    Click(kIdResendCheck);
    EXPECT_TRUE(ModeResenderRunning());
    Click(kIdResendCheck);
    dlg->Item(kIdResendCheck).SetCheck(0);
    Click(kIdResendCheck);
    EXPECT_TRUE(ModeResenderRunning());  // unticking leaves it running
}

TEST_F(ServiceWindowTest, AutoDetectStartsAndStopsThePollerOfTheLinkInUse) {
    AttachLaminator();
    OpenWindow();
    // USB with Activate Port enabled: nothing starts, but the flag follows the box.
    dlg->Item(kIdAutoDetect).SetCheck(0);
    Click(kIdAutoDetect);
    EXPECT_EQ(AutoDetectEnabled.load(), 0);
    dlg->Item(kIdAutoDetect).SetCheck(1);
    Click(kIdAutoDetect);
    EXPECT_FALSE(StatusPollerActive());
    EXPECT_EQ(AutoDetectEnabled.load(), 1);
    // USB with the port active.
    dlg->Item(kIdAutoDetect).SetCheck(0);
    Click(kIdActivatePort);
    dlg->Item(kIdAutoDetect).SetCheck(1);
    Click(kIdAutoDetect);
    EXPECT_TRUE(StatusPollerActive());
    dlg->Item(kIdAutoDetect).SetCheck(0);
    Click(kIdAutoDetect);
    EXPECT_FALSE(StatusPollerActive());
    Click(kIdDeactivatePort);
    // Ethernet.
    ConnectEthernet();
    dlg->Item(kIdAutoDetect).SetCheck(1);
    Click(kIdAutoDetect);
    EXPECT_TRUE(StatusPollerActive());
    WorkerHandle poller = PollThread();
    ASSERT_TRUE(
        host.PumpUntil([&] { return !Received(*sim, pellacor::sim::Transport::Tcp).empty(); },
                       std::chrono::seconds(10)));
    dlg->Item(kIdAutoDetect).SetCheck(0);
    Click(kIdAutoDetect);
    EXPECT_FALSE(StatusPollerActive());
    EXPECT_TRUE(poller->Join(std::chrono::seconds(5)));
    EXPECT_EQ(AutoDetectEnabled.load(), 0);
}

TEST_F(ServiceWindowTest, TheFirstCycleAfterActivatePortReadsTheGroupOnScreen) {
    AttachLaminator();
    OpenWindow();
    Click(kIdActivatePort);
    ASSERT_TRUE(
        host.PumpUntil([&] { return dlg->ReadOnFirstPoll.load() == 0; }, std::chrono::seconds(10)));
    ASSERT_TRUE(host.PumpUntil(
        [&] {
            for (const Bytes& f : Received(*sim, pellacor::sim::Transport::UsbHid)) {
                if (f.size() > 3 && f[2] == 0x1C && f[3] == 0x72)
                    return true;  // a parameter read page
            }
            return false;
        },
        std::chrono::seconds(10)));
}

TEST_F(ServiceWindowTest, WorkersCopyTheTypedTextAndTheFileWhileTheWindowExchanges) {
    OpenWindow();
    Browse(WriteFile("fw.mot", MotFile(100)));
    std::atomic<bool> done{false};
    std::thread worker([&] {
        while (!done) {
            const std::string text = dlg->TypedCommand();
            EXPECT_TRUE(text.empty() || text.rfind("1c", 0) == 0) << text;
            EXPECT_NE(dlg->LoadedFirmware(), nullptr);
        }
    });
    for (int i = 0; i < 2000; ++i) {
        dlg->Item(kIdCommandText).SetText("1c " + std::to_string(i));
        dlg->UpdateData(true);
    }
    done = true;
    worker.join();
    EXPECT_EQ(dlg->TypedCommand(), "1c 1999");
}

TEST_F(ServiceWindowTest, DeactivatePortEndsTheResenderSoItNeverReopensThePort) {
    AttachLaminator();
    OpenWindow();
    ActivateHid();
    dlg->Item(kIdResendCheck).SetCheck(1);
    Click(kIdResendCheck);
    ASSERT_TRUE(ModeResenderRunning());
    Click(kIdDeactivatePort);
    EXPECT_FALSE(ModeResenderRunning());
    EXPECT_EQ(UsbHandleTable()[0], -1);
    EXPECT_TRUE(dlg->Item(kIdActivatePort).IsEnabled());
}
