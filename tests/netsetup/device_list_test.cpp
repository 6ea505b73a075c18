// The device list dialog: its layout, the search into rows and entries, Read the
// Configuration, Connect and Disconnect, against simulated laminators and a laminator
// written here from the frame tables.
#include <gtest/gtest.h>

#include "link/link_buffers.h"
#include "netsetup/net_config.h"
#include "platform/clock.h"
#include "platform/sockets.h"
#include "tests/netsetup/net_dialog_fixture.h"
#include "tests/netsetup/udp_peer.h"
#include "tests/support/hanging_listener.h"

using namespace netsetup_test;
using namespace std::chrono_literals;

namespace {
double CpuSeconds() {
    return std::chrono::duration<double>(platform::ProcessCpuTime()).count();
}
}  // namespace

TEST(NetDialogTemplates, DeviceListAndSettingsControlsAtTheirPositions) {
    const DialogTemplate list = NetWorkDialogTemplate();
    EXPECT_EQ(list.resourceId, 130);
    EXPECT_EQ(list.title, "Ethernet Port Configuration");
    EXPECT_EQ(list.width, 444);
    EXPECT_EQ(list.height, 288);
    EXPECT_EQ(list.fontPoints, 8);
    const std::vector<std::tuple<int, std::string, DialogRect>> listRows = {
        {1000, "", {7, 7, 429, 152}},
        {1020, "Search for Device", {39, 180, 72, 22}},
        {1021, "Read the Configuration", {129, 180, 81, 22}},
        {1022, "Connect to the Device", {231, 180, 72, 22}},
        {1023, "Disconnect", {324, 180, 72, 22}},
        {-1, "Ethernet Port setup", {9, 163, 423, 49}},
        {1024, "Static", {11, 228, 159, 16}},
    };
    ASSERT_EQ(list.controls.size(), listRows.size());
    for (std::size_t i = 0; i < listRows.size(); ++i) {
        EXPECT_EQ(list.controls[i].id, std::get<0>(listRows[i]));
        EXPECT_EQ(list.controls[i].caption, std::get<1>(listRows[i]));
        EXPECT_EQ(list.controls[i].rect, std::get<2>(listRows[i]));
    }
    const DialogTemplate settings = NetConfigDialogTemplate();
    EXPECT_EQ(settings.resourceId, 131);
    EXPECT_EQ(settings.title, "Laminator Ethernet Port setup");
    EXPECT_EQ(settings.width, 316);
    EXPECT_EQ(settings.height, 221);
    const std::vector<std::tuple<int, ControlKind, DialogRect>> settingRows = {
        {1, ControlKind::DefaultPushButton, {90, 179, 50, 14}},
        {2, ControlKind::PushButton, {172, 179, 50, 14}},
        {-1, ControlKind::StaticText, {36, 16, 51, 13}},
        {1009, ControlKind::Edit, {104, 16, 85, 15}},
        {-1, ControlKind::StaticText, {53, 46, 37, 13}},
        {1023, ControlKind::ComboBox, {104, 47, 69, 53}},
        {-1, ControlKind::StaticText, {22, 82, 64, 13}},
        {1021, ControlKind::IpAddress, {103, 79, 75, 14}},
        {-1, ControlKind::StaticText, {19, 111, 73, 13}},
        {1022, ControlKind::IpAddress, {103, 110, 75, 14}},
        {-1, ControlKind::StaticText, {28, 142, 60, 13}},
        {1024, ControlKind::IpAddress, {103, 143, 75, 14}},
    };
    ASSERT_EQ(settings.controls.size(), settingRows.size());
    for (std::size_t i = 0; i < settingRows.size(); ++i) {
        EXPECT_EQ(settings.controls[i].id, std::get<0>(settingRows[i]));
        EXPECT_EQ(settings.controls[i].kind, std::get<1>(settingRows[i]));
        EXPECT_EQ(settings.controls[i].rect, std::get<2>(settingRows[i]));
    }
    EXPECT_EQ(settings.controls[2].caption, "Device Name：");
    EXPECT_TRUE(settings.controls[5].styles & kStyleDropDown);
    EXPECT_TRUE(settings.controls[5].styles & kStyleSort);
}

TEST_F(NetDialogTest, OpensWithColumnsAndTheConnectionState) {
    Open();
    const ControlState list = dlg->m_deviceList->Snapshot();
    ASSERT_EQ(list.columns.size(), 5u);
    const char* titles[] = {"Device id", "MAC Address", "Device Name", "FW Boot", "IP Address"};
    for (std::size_t c = 0; c < 5; ++c) {
        EXPECT_EQ(list.columns[c].heading, titles[c]);
        EXPECT_EQ(list.columns[c].widthPixels, 120);
        EXPECT_TRUE(list.columns[c].centred);
    }
    EXPECT_TRUE(list.styles & kStyleGridLines);
    EXPECT_TRUE(list.styles & kStyleFullRowSelect);
    EXPECT_EQ(Status(), "Device is not connected!");
    EXPECT_EQ(dlg->m_deviceList->RowCount(), 0);  // no search on opening

    // Neither Escape nor Return closes it.
    EXPECT_TRUE(dlg->HandleKeyDown({Key::Escape, kIdDeviceList}));
    EXPECT_TRUE(dlg->HandleKeyDown({Key::Return, kIdSearch}));
    EXPECT_EQ(host.LastEndResult(), 0);

    // A socket that stands for an open connection without any traffic.
    const platform::Socket connection(platform::OpenSocket(platform::SocketKind::Stream));
    ASSERT_TRUE(connection.Valid());
    EthernetSocket.store(connection.Get());
    Store().Set(ParamKey::IpAddress, "192.168.0.50");
    Open();
    EXPECT_EQ(Status(), "Device 192.168.0.50 is connecting");
    EthernetSocket.store(-1);
    Open();
    EXPECT_EQ(Status(), "Device is not connected!");
}

TEST_F(NetDialogTest, SearchListsEveryLaminatorRowForEntry) {
    StartLaminators();
    Open();
    Click(*dlg, kIdSearch);
    EXPECT_FALSE(dlg->Item(kIdSearch).IsEnabled());
    EXPECT_FALSE(dlg->Item(kIdReadConfig).IsEnabled());
    EXPECT_TRUE(dlg->Item(kIdConnect).IsEnabled());
    ASSERT_TRUE(host.PumpUntil([&] { return !dlg->IsCollecting(); }, 10s));
    EXPECT_TRUE(dlg->Item(kIdSearch).IsEnabled());
    EXPECT_TRUE(dlg->Item(kIdReadConfig).IsEnabled());
    ASSERT_EQ(dlg->m_deviceList->RowCount(), 3);
    ASSERT_EQ(FoundDevices.Size(), 3u);
    for (int k = 0; k < 3; ++k) {
        const std::vector<std::string> row = Row(k);
        const auto entry = FoundDevices.Get(k);
        ASSERT_TRUE(entry);
        EXPECT_EQ(row[4], ReplyIpText(*entry));
        EXPECT_EQ(row[1], ReplyMacText(*entry));
        EXPECT_EQ(row[0], "1");
        EXPECT_EQ(row[3], ReplyFwBoot(*entry));
        const int n = std::stoi(row[4].substr(row[4].rfind('.') + 1));
        EXPECT_EQ(row[2], "LAMINATOR-0" + std::to_string(n));
        EXPECT_EQ(row[1], "02:50:4c:00:00:0" + std::to_string(n));
    }
    EXPECT_EQ(CurrentDiscovery.load(), &dlg->Discovery());

    // A second search refills from row 0.
    SearchAndWait();
    EXPECT_EQ(dlg->m_deviceList->RowCount(), 3);
    EXPECT_EQ(FoundDevices.Size(), 3u);
}

TEST_F(NetDialogTest, RowsFromALaminatorWrittenFromTheTables) {
    Bytes example(36, 0);
    const Bytes fields = Hex("ff2101 0500 6400a8c0 665544332211 0201");
    std::copy(fields.begin(), fields.end(), example.begin());
    const char* name = "Front desk  ";
    std::copy(name, name + 12, example.begin() + 19);
    Bytes unnamed = SearchReplyBytes(9, {10, 1, 2, 3}, {0, 0, 0, 0, 0, 9}, 7, "   ");
    UdpPeer peer([&](const Bytes&) { return std::vector<Bytes>{example, unnamed}; });
    target = peer.Target();
    Open();
    SearchAndWait();
    ASSERT_EQ(dlg->m_deviceList->RowCount(), 2);
    EXPECT_EQ(Row(0), (std::vector<std::string>{"5", "11:22:33:44:55:66", "Front desk", "258",
                                                "192.168.0.100"}));
    // An empty name ends the row after its MAC Address.
    EXPECT_EQ(Row(1), (std::vector<std::string>{"9", "00:00:00:00:00:09", "", "", ""}));
}

TEST_F(NetDialogTest, ABusySearchStartsNoSecondCollector) {
    StartLaminators();
    Open();
    Click(*dlg, kIdSearch);
    Click(*dlg, kIdSearch);  // busy: the first collection still runs
    ASSERT_TRUE(host.PumpUntil([&] { return !dlg->IsCollecting(); }, 10s));
    EXPECT_EQ(dlg->m_deviceList->RowCount(), 3);
    EXPECT_EQ(FoundDevices.Size(), 3u);
    for (int k = 0; k < 3; ++k)
        EXPECT_EQ(Row(k)[4], ReplyIpText(*FoundDevices.Get(k)));
}

TEST_F(NetDialogTest, TheCollectorSleepsWhileItWaits) {
    UdpPeer silent([](const Bytes&) { return std::vector<Bytes>{}; });
    target = silent.Target();
    Open();
    const auto wallStart = std::chrono::steady_clock::now();
    const double cpuStart = CpuSeconds();
    SearchAndWait();
    const double cpu = CpuSeconds() - cpuStart;
    const double wall =
        std::chrono::duration<double>(std::chrono::steady_clock::now() - wallStart).count();
    // The collection lasts 500 ms; a collector that spins would use all of it.
    EXPECT_GE(wall, 0.45);
    EXPECT_LT(cpu, 0.25 * wall);
}

TEST_F(NetDialogTest, ReadTheConfigurationWritesAndSearchesAgain) {
    StartLaminators();
    Open();
    SearchAndWait();
    int row = -1;
    for (int k = 0; k < 3; ++k)
        row = Row(k)[4] == "127.0.0.2" ? k : row;
    ASSERT_GE(row, 0);
    dlg->m_deviceList->SetSelection(row);
    host.modalScript = [&](Dialog& d) {
        auto& cfg = static_cast<CNetConfig&>(d);
        EXPECT_EQ(cfg.Template().resourceId, 131);
        EXPECT_EQ(cfg.m_staticIp->GetFields(), (std::array<int, 4>{127, 0, 0, 2}));
        EXPECT_EQ(cfg.m_ipMethod->GetText(), "Static");
        EXPECT_EQ(cfg.Item(kIdDeviceName).GetText(), "LAMINATOR-02");
        cfg.Item(kIdDeviceName).SetText("Line 2");
        cfg.m_ipMethod->SetSelection(0);  // "Dynamic"
        cfg.m_gateway->SetFields({127, 0, 0, 254});
        Click(cfg, IDOK);
        EXPECT_FALSE(cfg.Item(IDOK).IsEnabled());  // while the write waits
        EXPECT_TRUE(host.PumpUntil([&] { return !cfg.IsWriting(); }, 10s));
        return host.LastEndResult();
    };
    ReadConfigAndWait();
    EXPECT_EQ(host.LastEndResult(), IDOK);
    const auto state = sim->State(1);
    EXPECT_EQ(state.network.Name(), "Line 2");
    EXPECT_EQ(state.network.IpMethod(), 0x00);
    EXPECT_EQ(state.network.Gateway(), (std::array<std::uint8_t, 4>{127, 0, 0, 254}));
    // OK searches again: the list shows the new name.
    ASSERT_TRUE(host.PumpUntil([&] { return !dlg->IsCollecting(); }, 10s));
    ASSERT_EQ(dlg->m_deviceList->RowCount(), 3);
    bool renamed = false;
    for (int k = 0; k < 3; ++k)
        renamed = renamed || Row(k)[2] == "Line 2";
    EXPECT_TRUE(renamed);

    // Cancel writes nothing and leaves the list as it is.
    const auto before = dlg->m_deviceList->Snapshot().rows;
    sim->ClearLog();
    dlg->m_deviceList->SetSelection(0);
    host.modalScript = [&](Dialog&) { return IDCANCEL; };
    ReadConfigAndWait();
    EXPECT_FALSE(dlg->IsCollecting());
    EXPECT_EQ(dlg->m_deviceList->Snapshot().rows, before);
    for (const auto& f : sim->Frames())
        EXPECT_NE(f.note, "write settings");
}

TEST_F(NetDialogTest, ReadTheConfigurationWithoutASelection) {
    StartLaminators();
    Open();
    SearchAndWait();
    bool opened = false;
    host.modalScript = [&](Dialog&) {
        opened = true;
        return IDCANCEL;
    };
    Click(*dlg, kIdReadConfig);
    EXPECT_FALSE(opened);
    EXPECT_EQ(Boxes(), std::vector<std::string>{"Please select the device!"});
}

TEST_F(NetDialogTest, ReadTheConfigurationWithNoReplySaysSoAndOpensNoSettings) {
    StartLaminators(1);
    Open();
    SearchAndWait();
    dlg->m_deviceList->SetSelection(0);
    sim->SetFaults({{pellacor::sim::FaultKind::Silent, 0,
                     1u << static_cast<unsigned>(pellacor::sim::Transport::Udp)}});
    bool opened = false;
    host.modalScript = [&](Dialog&) {
        opened = true;
        return IDCANCEL;
    };
    Click(*dlg, kIdReadConfig);
    // The read waits on a worker, with every button off meanwhile.
    EXPECT_TRUE(dlg->IsBusy());
    for (int id : {kIdSearch, kIdReadConfig, kIdConnect, kIdDisconnect})
        EXPECT_FALSE(dlg->Item(id).IsEnabled()) << id;
    dlg->OnCancel();  // nor does the title bar close it under the read
    EXPECT_EQ(host.LastEndResult(), 0);
    ASSERT_TRUE(host.PumpUntil([&] { return !dlg->IsBusy(); }, 10s));
    EXPECT_FALSE(opened);
    EXPECT_EQ(Boxes(), std::vector<std::string>{
                           "Reading the network settings failed: the laminator did not answer."});
    for (int id : {kIdSearch, kIdReadConfig, kIdConnect, kIdDisconnect})
        EXPECT_TRUE(dlg->Item(id).IsEnabled()) << id;
}

TEST_F(NetDialogTest, DisconnectEndsAConnectThatHangs) {
    HangingListener hanging;
    ASSERT_TRUE(hanging.Hanging());
    UdpPeer peer([](const Bytes&) {
        return std::vector<Bytes>{SearchReplyBytes(1, {127, 0, 0, 1}, {2, 0, 0, 0, 0, 9}, 1, "X")};
    });
    target = peer.Target();
    SetEthernetPort(hanging.Port());
    Open();
    SearchAndWait();
    dlg->m_deviceList->SetSelection(0);
    const auto start = std::chrono::steady_clock::now();
    Click(*dlg, kIdConnect);
    ASSERT_TRUE(host.PumpUntil([&] { return Status() == "Connecting to 127.0.0.1\u2026"; }, 10s));
    DisconnectAndWait();
    EXPECT_FALSE(dlg->IsConnecting());
    // Ended by the Disconnect, well before the connect's own 5 s limit.
    EXPECT_LT(std::chrono::steady_clock::now() - start, 4500ms);
    EXPECT_EQ(Boxes(), std::vector<std::string>{"Ethernet Port is not connected!"});
    EXPECT_EQ(Status(), "Device is not connected!");
    EXPECT_EQ(EthernetLinkActive.load(), 0);
    EXPECT_LE(EthernetSocket.load(), 0);
    EXPECT_EQ(host.LastEndResult(), 0);  // the dialog stays open
}

TEST_F(NetDialogTest, ConnectMakesTheChosenLaminatorTheEthernetTarget) {
    StartLaminators();
    window.autoDetect = true;
    Open();
    SearchAndWait();
    int row = -1;
    for (int k = 0; k < 3; ++k)
        row = Row(k)[4] == "127.0.0.3" ? k : row;
    dlg->m_deviceList->SetSelection(row);
    ConnectAndWait();
    EXPECT_EQ(Boxes(), std::vector<std::string>{"Connection is successful!"});
    EXPECT_EQ(host.LastEndResult(), IDOK);
    EXPECT_EQ(EthernetLinkActive.load(), 1);
    EXPECT_GT(EthernetSocket.load(), 0);
    EXPECT_EQ(Store().Get(ParamKey::IpAddress), "127.0.0.3");
    EXPECT_EQ(Status(), "Device 127.0.0.3 is connecting");
    EXPECT_EQ(window.pollerStarts.load(), 1);

    // The connection goes to laminator 3: its status answers on this socket.
    sim->ClearLog();
    {
        LinkTransaction t;
        EncodeCommand("1b 53");
        ASSERT_GT(NetSend(), 0);
    }
    ASSERT_TRUE(host.PumpUntil([&] { return !sim->Frames().empty(); }, 5s));
    EXPECT_EQ(sim->Frames()[0].laminator, 2);
}

TEST_F(NetDialogTest, ConnectWithoutASelectionClosesTheLinksFirst) {
    StartLaminators();
    ASSERT_TRUE(ConnectEthernet("127.0.0.1"));
    EthernetLinkActive.store(1);
    window.usbOpen = true;
    Open();
    ConnectAndWait();
    EXPECT_EQ(Boxes(), std::vector<std::string>{"Please select the device!"});
    EXPECT_EQ(window.usbCloses.load(), 1);
    EXPECT_EQ(window.boxesAtUsbClose.load(), 0u);
    EXPECT_EQ(EthernetSocket.load(), 0);
    EXPECT_EQ(EthernetLinkActive.load(), 0);
    EXPECT_EQ(host.LastEndResult(), 0);  // still open
    EXPECT_TRUE(dlg->Item(kIdConnect).IsEnabled());
}

TEST_F(NetDialogTest, AFailedConnectLeavesTheDialogOpen) {
    StartLaminators(1);
    // Listed at an address where nothing listens on the command port.
    UdpPeer peer([](const Bytes&) {
        return std::vector<Bytes>{SearchReplyBytes(1, {127, 0, 0, 9}, {2, 0, 0, 0, 0, 9}, 1, "X")};
    });
    target = peer.Target();
    Open();
    SearchAndWait();
    dlg->m_deviceList->SetSelection(0);
    ConnectAndWait();
    EXPECT_EQ(Boxes(), std::vector<std::string>{"Connnection has failed!"});
    EXPECT_EQ(host.LastEndResult(), 0);
    EXPECT_EQ(EthernetLinkActive.load(), 0);
    EXPECT_EQ(EthernetSocket.load(), -1);
    Open();
    EXPECT_EQ(Status(), "Device is not connected!");
}

TEST_F(NetDialogTest, TheWindowIsFreeWhileAConnectWaits) {
    StartLaminators(1);
    Open();
    SearchAndWait();
    dlg->m_deviceList->SetSelection(0);
    ASSERT_TRUE(ConnectEthernet("127.0.0.1"));
    std::atomic<bool> release{false};
    std::atomic<bool> held{false};
    // An exchange in flight holds the link: closing the old connection waits for it.
    std::thread exchange([&] {
        LinkTransaction t;
        held = true;
        while (!release)
            std::this_thread::sleep_for(1ms);
    });
    while (!held)
        std::this_thread::sleep_for(1ms);
    Click(*dlg, kIdConnect);  // returns at once
    EXPECT_TRUE(dlg->IsConnecting());
    for (int id : {kIdSearch, kIdReadConfig, kIdConnect})
        EXPECT_FALSE(dlg->Item(id).IsEnabled()) << id;
    EXPECT_TRUE(dlg->Item(kIdDisconnect).IsEnabled());  // it would cancel the connect
    dlg->OnCancel();                                    // the title bar cannot close it now
    Click(*dlg, kIdConnect);
    EXPECT_EQ(host.LastEndResult(), 0);
    release = true;
    exchange.join();
    ASSERT_TRUE(host.PumpUntil([&] { return !dlg->IsConnecting(); }, 20s));
    EXPECT_EQ(Boxes(), std::vector<std::string>{"Connection is successful!"});
    EXPECT_EQ(host.LastEndResult(), IDOK);
}

TEST_F(NetDialogTest, DisconnectWithoutAConnection) {
    Open();
    DisconnectAndWait();
    EXPECT_EQ(Status(), "Device is not connected!");
    EXPECT_EQ(Boxes(), std::vector<std::string>{"Ethernet Port is not connected!"});
    EXPECT_EQ(host.LastEndResult(), 0);
}

TEST_F(NetDialogTest, DisconnectClosesTheConnection) {
    StartLaminators(1);
    ASSERT_TRUE(ConnectEthernet("127.0.0.1"));
    EthernetLinkActive.store(1);
    Open();
    EXPECT_EQ(Status(), "Device  is connecting");  // no address was stored
    DisconnectAndWait();
    EXPECT_EQ(EthernetSocket.load(), 0);
    EXPECT_EQ(EthernetLinkActive.load(), 0);
    EXPECT_EQ(Status(), "Device is not connected!");
}

TEST_F(NetDialogTest, ClosingDuringACollectionWaitsForItsThreads) {
    UdpPeer peer([](const Bytes&) { return std::vector<Bytes>{}; });
    target = peer.Target();
    for (int round = 0; round < 3; ++round) {
        Open();
        Click(*dlg, kIdSearch);
        EXPECT_TRUE(dlg->IsCollecting());
        dlg->OnCancel();
        EXPECT_EQ(host.LastEndResult(), IDCANCEL);
        dlg.reset();  // must not outlive its collector
    }
}

TEST_F(NetDialogTest, TheTableGrowsWithTheList) {
    constexpr unsigned kCount = 150;  // more than the 100 entries of a fixed table
    UdpPeer peer([](const Bytes&) {
        std::vector<Bytes> out;
        for (unsigned n = 1; n <= kCount; ++n)
            out.push_back(SearchReplyBytes(
                n, {10, 0, static_cast<std::uint8_t>(n >> 8), static_cast<std::uint8_t>(n)},
                {2, 0, 0, 0, static_cast<std::uint8_t>(n >> 8), static_cast<std::uint8_t>(n)}, 1,
                "L" + std::to_string(n)));
        return out;
    });
    target = peer.Target();
    Open();
    SearchAndWait();
    ASSERT_EQ(dlg->m_deviceList->RowCount(), static_cast<int>(kCount));
    ASSERT_EQ(FoundDevices.Size(), kCount);
    for (int r = 0; r < static_cast<int>(kCount); ++r) {
        EXPECT_EQ(Row(r)[0], std::to_string(r + 1));
        EXPECT_EQ(Row(r)[4], ReplyIpText(*FoundDevices.Get(r)));
    }
}

TEST_F(NetDialogTest, TheStatusLineSaysHowManyLaminatorsAreNotListed) {
    constexpr unsigned kCount = CNetDiscovery::kMaxListed + 7;
    UdpPeer peer([](const Bytes&) {
        std::vector<Bytes> out;
        for (unsigned n = 1; n <= kCount; ++n)
            out.push_back(SearchReplyBytes(
                n, {10, 0, static_cast<std::uint8_t>(n >> 8), static_cast<std::uint8_t>(n)},
                {2, 0, 0, 0, static_cast<std::uint8_t>(n >> 8), static_cast<std::uint8_t>(n)}, 1,
                "L" + std::to_string(n)));
        return out;
    });
    peer.pauseEvery = 500;
    target = peer.Target();
    Open();
    SearchAndWait();
    EXPECT_EQ(dlg->m_deviceList->RowCount(), static_cast<int>(CNetDiscovery::kMaxListed));
    EXPECT_EQ(Status(),
              "Device is not connected! 7 more laminators answered but are not listed (at most "
              "4096 are).");
}
