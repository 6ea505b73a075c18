#include "app_fixture.h"

namespace {
std::size_t ReceivedOverUsb(pellacor::sim::Simulator& sim) {
    std::size_t n = 0;
    for (const auto& f : sim.Frames()) {
        if (f.transport == pellacor::sim::Transport::UsbHid &&
            f.direction == pellacor::sim::Direction::Received)
            ++n;
    }
    return n;
}
}  // namespace

TEST_F(MainWindowTest, ActivatePortWithNothingAttachedKeepsTheButtonAndStartsNoPoller) {
    OpenWindow();
    Click(kIdActivatePort);
    EXPECT_EQ(Messages(), std::vector<std::string>{"No conforming device!"});
    EXPECT_TRUE(dlg->Item(kIdActivatePort).IsEnabled());
    EXPECT_EQ(PollThread(), nullptr);
    EXPECT_EQ(UsbLinkActive.load(), 0);
}

TEST_F(MainWindowTest, ActivateAndDeactivatePortOpenAndCloseTheHidLink) {
    AttachLaminator();
    OpenWindow();
    dlg->Item(kIdAutoDetect).SetCheck(0);  // exchanged by Activate Port
    Click(kIdActivatePort);
    EXPECT_FALSE(dlg->Item(kIdActivatePort).IsEnabled());
    EXPECT_EQ(UsbLinkActive.load(), 1);
    EXPECT_EQ(PollThread(), nullptr);
    EXPECT_EQ(dlg->ReadOnFirstPoll.load(), 0);
    EXPECT_GT(UsbHandleTable()[0], 0);
    Click(kIdDeactivatePort);
    EXPECT_TRUE(dlg->Item(kIdActivatePort).IsEnabled());
    EXPECT_EQ(UsbHandleTable()[0], -1);
    EXPECT_EQ(UsbLinkActive.load(), 1);  // Deactivate leaves it
    EXPECT_TRUE(Messages().empty());
}

TEST_F(MainWindowTest, ActivatePortWithAutoDetectStartsOnePollerThatDeactivateEnds) {
    AttachLaminator();
    OpenWindow();
    Click(kIdActivatePort);
    WorkerHandle first = PollThread();
    ASSERT_NE(first, nullptr);
    EXPECT_TRUE(StatusPollerActive());
    // Activating again replaces the poller; the old one is gone before the new one polls.
    Click(kIdActivatePort);
    WorkerHandle second = PollThread();
    ASSERT_NE(second, first);
    EXPECT_TRUE(first->Join(std::chrono::seconds(3)));
    Click(kIdDeactivatePort);
    EXPECT_FALSE(StatusPollerActive());
    EXPECT_TRUE(second->Join(std::chrono::seconds(5)));
    Settle();
    const std::size_t frames = ReceivedOverUsb(*sim);
    std::this_thread::sleep_for(std::chrono::milliseconds(100));
    EXPECT_EQ(ReceivedOverUsb(*sim), frames);  // nothing touches the link afterwards
}

TEST_F(MainWindowTest, ActivatePortIsRefusedWhileTheNetworkIsConnected) {
    AttachLaminator();
    OpenWindow();
    dlg->Item(kIdAutoDetect).SetCheck(0);
    Click(kIdActivatePort);
    const int handle = UsbHandleTable()[0];
    EthernetLinkActive.store(1);
    Click(kIdActivatePort);
    EXPECT_EQ(Messages(), std::vector<std::string>{"Please disconnect the network"});
    EXPECT_EQ(UsbHandleTable()[0], handle);  // nothing closed
}

TEST_F(MainWindowTest, ReadUsesTheLastExchangedHidChoice) {
    AttachLaminator();
    OpenWindow();
    dlg->Item(kIdAutoDetect).SetCheck(0);
    Click(kIdActivatePort);
    Settle();
    sim->ClearLog();
    // Unticked but not exchanged: Read still takes the HID path.
    dlg->Item(kIdUseHid).SetCheck(0);
    Click(kIdRead);
    Settle();
    EXPECT_GT(ReceivedOverUsb(*sim), 0u);
    // Exchanged (Activate Port does): the printing-class path has no Read.
    dlg->UpdateData(true);
    sim->ClearLog();
    Click(kIdRead);
    Settle();
    EXPECT_EQ(ReceivedOverUsb(*sim), 0u);
    EXPECT_TRUE(Messages().empty());
}

TEST_F(MainWindowTest, ReadAndWriteSayWhenTheLaminatorIsNotConnected) {
    OpenWindow();
    Click(kIdRead);
    EXPECT_EQ(Messages(), std::vector<std::string>{"Laminator is not connected!"});
    DefaultMessageBoxRecorder().Clear();
    Click(kIdWrite);  // "Version info" passes validation
    EXPECT_EQ(Messages(), std::vector<std::string>{"Laminator is not connected!"});
}

TEST_F(MainWindowTest, ReadOnAnInactivePortDoesNothing) {
    AttachLaminator();
    OpenWindow();
    Click(kIdRead);
    Settle();
    EXPECT_TRUE(Messages().empty());
    EXPECT_EQ(ReceivedOverUsb(*sim), 0u);
}

TEST_F(MainWindowTest, EthernetPortCheckboxConnectsAndDrops) {
    AttachLaminator();
    OpenWindow();
    dlg->Item(kIdAutoDetect).SetCheck(0);
    Store().Set(ParamKey::IpAddress, "127.0.0.1");
    dlg->Item(kIdEthernetCheck).SetCheck(1);
    Click(kIdEthernetCheck);
    EXPECT_EQ(EthernetLinkActive.load(), 1);
    EXPECT_GT(EthernetSocket.load(), 0);
    dlg->Item(kIdEthernetCheck).SetCheck(0);
    Click(kIdEthernetCheck);
    EXPECT_EQ(EthernetLinkActive.load(), 0);
    EXPECT_EQ(EthernetSocket.load(), 0);
    // A bad address is a failed attempt that leaves the box unticked.
    Store().Set(ParamKey::IpAddress, "not an address");
    dlg->Item(kIdEthernetCheck).SetCheck(1);
    Click(kIdEthernetCheck);
    EXPECT_EQ(EthernetLinkActive.load(), 0);
    EXPECT_EQ(EthernetSocket.load(), -1);
    EXPECT_EQ(dlg->Item(kIdEthernetCheck).GetCheck(), 0);
}

namespace {
// A USB listing that fails in a way the link never expected.
class ThrowingBackend : public UsbBackend {
  public:
    std::optional<std::vector<std::string>> Enumerate(UsbClass) override {
        throw std::runtime_error("listing exploded");
    }
    std::unique_ptr<UsbDevice> Open(const std::string&, std::error_code&) override {
        return nullptr;
    }
};
}  // namespace

TEST_F(MainWindowTest, AWorkerThatThrowsIsReportedAndTheWindowGoesOn) {
    AttachLaminator();
    OpenWindow();
    dlg->Item(kIdAutoDetect).SetCheck(0);
    SetUsbBackends({std::make_shared<ThrowingBackend>()});
    Click(kIdActivatePort);
    EXPECT_EQ(Messages(),
              std::vector<std::string>{"Internal error in Activate Port: listing exploded"});
    // The link is closed and every button usable again.
    EXPECT_EQ(UsbHandleTable()[0], -1);
    for (int id : {kIdActivatePort, kIdDeactivatePort, kIdRead, kIdWrite, kIdDownload, kIdBrowse})
        EXPECT_TRUE(dlg->Item(id).IsEnabled()) << id;
    // The program goes on: with the laminator listed again the port opens.
    SetUsbBackends({MakeSimulatedUsbBackend(sim->UsbPath(0), UsbClass::Hid)});
    Click(kIdActivatePort);
    EXPECT_FALSE(dlg->Item(kIdActivatePort).IsEnabled());
    EXPECT_GT(UsbHandleTable()[0], 0);
    EXPECT_EQ(Messages().size(), 1u);
}

TEST_F(MainWindowTest, WithoutAWindowAFailingWorkerIsStillOnlyAMessage) {
    SetWorkerFailureHandler(nullptr);
    WorkerHandle w =
        StartWorkerThread([]() -> int { throw std::logic_error("bad state"); }, "a test worker");
    ASSERT_TRUE(w->Join(std::chrono::seconds(5)));
    EXPECT_EQ(Messages(), std::vector<std::string>{"Internal error in a test worker: bad state"});
}
