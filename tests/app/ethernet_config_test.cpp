// "Ethernet Port Configuration" from the main window: the device list opens modally, a
// search lists the three simulated laminators, Connect makes the chosen one the target of
// Read and of the status poller over TCP.
#include "app_fixture.h"
#include "netsetup/found_devices.h"
#include "netsetup/net_resources.h"
#include "netsetup/net_work.h"
#include "netsetup/search_target.h"

namespace {
class EthernetConfigTest : public MainWindowTest {
  protected:
    void SetUp() override {
        MainWindowTest::SetUp();
        m_oldTarget = GetSearchTarget();
        pellacor::sim::SimOptions o;
        o.count = 3;
        o.tcpPort = 0;
        o.udpPort = 0;
        sim = std::make_unique<pellacor::sim::Simulator>(o);
        std::string error;
        ASSERT_TRUE(sim->Start(&error)) << error;
        SetEthernetPort(sim->TcpPort(0));
        SetSearchTarget(SearchTarget{0x7F000001, sim->UdpPort()});
    }
    void TearDown() override {
        SetSearchTarget(m_oldTarget);
        MainWindowTest::TearDown();
        SetEthernetPort(kLaminatorTcpPort);
    }
    SearchTarget m_oldTarget;
};

void Press(Dialog& d, int id) {
    Event e;
    e.code = Notify::Clicked;
    e.id = id;
    d.Dispatch(e);
}
}  // namespace

TEST_F(EthernetConfigTest, ConnectingFromTheDeviceListMakesReadGoOverTcp) {
    OpenWindow();
    std::string title;
    int rows = 0;
    host.modalScript = [&](Dialog& d) {
        auto& list = static_cast<CNetWork&>(d);
        title = list.Template().title;
        Press(list, kIdSearch);
        host.PumpUntil([&] { return !list.IsCollecting(); }, std::chrono::seconds(10));
        rows = list.m_deviceList->RowCount();
        for (int r = 0; r < rows; ++r) {
            if (list.m_deviceList->GetCell(r, 4) == "127.0.0.2")
                list.m_deviceList->SetSelection(r);
        }
        Press(list, kIdConnect);
        host.PumpUntil([&] { return !list.IsConnecting(); }, std::chrono::seconds(20));
        return host.LastEndResult();
    };
    Click(kIdEthernetConfig);
    EXPECT_EQ(title, "Ethernet Port Configuration");
    EXPECT_EQ(rows, 3);
    EXPECT_EQ(Messages(), std::vector<std::string>{"Connection is successful!"});
    ASSERT_EQ(EthernetLinkActive.load(), 1);
    // Auto detect is ticked: the window starts the Ethernet status poller.
    ASSERT_TRUE(host.PumpUntil([] { return StatusPollerActive(); }, std::chrono::seconds(5)));

    sim->ClearLog();
    ChooseGroup(2);
    Settle();
    EXPECT_EQ(dlg->Item(kIdParamList).GetCell(1, 1), "150");
    bool tcpToSecond = false;
    for (const auto& f : sim->Frames())
        tcpToSecond =
            tcpToSecond || (f.transport == pellacor::sim::Transport::Tcp && f.laminator == 1);
    EXPECT_TRUE(tcpToSecond);
    for (const auto& f : sim->Frames())
        EXPECT_NE(f.laminator, 0);
}
