// The read engine against the simulator: every request byte for byte, every field decoded
// into the store and the list, and what a failed or late exchange must leave alone.
#include "laminator/read_engine.h"

#include <gtest/gtest.h>

#include "sim_fixture.h"

namespace {

using pellacor::sim::LaminatorState;
using pellacor::sim::ParseFault;
using ReadEngineTest = LinkTest;

std::string Cell(const FakeView& v, int row) {
    return v.GetParamCell(row);
}

TEST_P(ReadEngineTest, LaminatorInfoRequestsAndValues) {
    m_sim->UpdateState(0, [](LaminatorState& s) {
        s.totalCards = 0x030201;
        s.totalLaminates = 16777215;
        s.serial = "SN\x80\xff-42";
        s.modelId = "PLC-9";
    });
    SetCurrentGroup("Laminator info");
    EXPECT_EQ(Read(), 1);

    const LinkKind link = GetParam();
    const std::vector<Bytes> requests = Requests();
    ASSERT_EQ(requests.size(), 3u);
    EXPECT_EQ(requests[0], Frame(link, {0x1C, 0x72, 0x49, 0x01}));
    EXPECT_EQ(requests[1], Frame(link, {0x1D, 0x52, 0x09}));
    // The model-ID query carries its own USB length byte.
    EXPECT_EQ(requests[2], Frame(link, {0x1C, 0x72, 0x81}, {}, 0x08));

    EXPECT_EQ(Cell(m_view, 0), "197121");
    EXPECT_EQ(Cell(m_view, 1), "16777215");
    EXPECT_EQ(Cell(m_view, 2), "SN\x80\xff-42");  // bytes above 0x7F stay those bytes
    EXPECT_EQ(Cell(m_view, 4), "PLC-9");
    EXPECT_EQ(Store().Get(ParamKey::LaminatorSn), "SN\x80\xff-42");
    EXPECT_TRUE(Messages().empty());
    EXPECT_TRUE(m_view.IsButtonEnabled(kIdRead));
    EXPECT_TRUE(m_view.IsButtonEnabled(kIdWrite));
    EXPECT_TRUE(m_view.IsButtonEnabled(kIdResetDefault));
}

TEST_P(ReadEngineTest, VersionInfoRequestsAndValues) {
    m_sim->UpdateState(0, [](LaminatorState& s) {
        s.mainVersion = "V9.87.6";
        s.bootVersion = {0x01, 0x00, 0x0A, 0xFF};
    });
    SetCurrentGroup("Version info");
    Read();
    const LinkKind link = GetParam();
    const std::vector<Bytes> requests = Requests();
    ASSERT_EQ(requests.size(), 2u);
    EXPECT_EQ(requests[0], Frame(link, {0x1D, 0x52, 0x09}));
    EXPECT_EQ(requests[1], Frame(link, {0x1C, 0x72, 0x49, 0x02}));
    EXPECT_EQ(Cell(m_view, 0), "V9.87.6");
    EXPECT_EQ(Cell(m_view, 1), "01.00.0a.ff");
    EXPECT_TRUE(Messages().empty());
}

TEST_P(ReadEngineTest, ParameterSetupRequestsAndValues) {
    m_sim->UpdateState(0, [](LaminatorState& s) {
        s.params.laminateMenu = 2;
        s.params.motorType = 1;
        s.params.temperatureByte = 0x23;
        s.params.cardSpeed = 25;
        s.params.feedSpeed = 30;
        s.params.filmPosition = 800;
        s.params.laminateToCard = -100;
        s.params.endPosition = 0xFFFF;
        s.params.blackMark = 0;
        s.params.blackMarkSpeed = 11;
        s.params.autoReleaseTime = 7;
    });
    SetCurrentGroup("Parameter setup");
    Read();
    const LinkKind link = GetParam();
    const std::vector<Bytes> requests = Requests();
    ASSERT_EQ(requests.size(), 5u);
    EXPECT_EQ(requests[0], Frame(link, {0x1C, 0x72, 0x50, 0x02}));
    EXPECT_EQ(requests[1], Frame(link, {0x1C, 0x72, 0x4D, 0x10}));
    EXPECT_EQ(requests[2], Frame(link, {0x1C, 0x72, 0x48, 0x01}));
    EXPECT_EQ(requests[3], Frame(link, {0x1C, 0x72, 0x50, 0x01}));
    EXPECT_EQ(requests[4], Frame(link, {0x1C, 0x72, 0x50, 0x02}));
    const std::vector<std::string> expected = {"Menu 3", "185",    "25",      "30", "80.0",
                                               "-10.0",  "6553.5", "Invalid", "11", "7"};
    for (int row = 0; row < 10; ++row)
        EXPECT_EQ(Cell(m_view, row), expected[static_cast<std::size_t>(row)]) << row;
    EXPECT_EQ(MotorType, 1);
}

TEST_P(ReadEngineTest, LaminatorSetupRequestsAndValues) {
    m_sim->UpdateState(0, [](LaminatorState& s) {
        s.params.buzzer = 0;
        s.params.powerSave1 = 5;
        s.params.powerSave2 = 120;
        s.params.language = 1;
        s.params.lcdContrast = 255;
        s.params.lcdBacklight = 1;
    });
    SetCurrentGroup("Laminator setup");
    Read();
    const LinkKind link = GetParam();
    const std::vector<Bytes> requests = Requests();
    ASSERT_EQ(requests.size(), 2u);
    EXPECT_EQ(requests[0], Frame(link, {0x1C, 0x72, 0x50, 0x01}));
    EXPECT_EQ(requests[1], Frame(link, {0x1C, 0x72, 0x50, 0x02}));
    const std::vector<std::string> expected = {"Close", "5", "120", "Japanese", "255", "Open"};
    for (int row = 0; row < 6; ++row)
        EXPECT_EQ(Cell(m_view, row), expected[static_cast<std::size_t>(row)]) << row;
}

TEST_P(ReadEngineTest, InterfaceSetupRequestsAndValues) {
    m_sim->UpdateState(0, [](LaminatorState& s) {
        s.params.laminatorId = 15;
        s.params.timeOut = 0x80000001u;  // the top bit shows as a negative number
        s.network.bytes[0] = 0x80;
        s.network.SetIp({192, 168, 1, 20});
        s.network.SetMask({255, 255, 255, 0});
        s.network.SetGateway({192, 168, 1, 1});
        s.network.SetMacWire({0x56, 0x34, 0x12, 0xEF, 0xCD, 0xAB});
    });
    SetCurrentGroup("Interface setup");
    Read();
    const LinkKind link = GetParam();
    const std::vector<Bytes> requests = Requests();
    ASSERT_EQ(requests.size(), 2u);
    EXPECT_EQ(requests[0], Frame(link, {0x1C, 0x72, 0x45, 0x00}));
    EXPECT_EQ(requests[1], Frame(link, {0x1C, 0x72, 0x45, 0x01}));
    const std::vector<std::string> expected = {
        "15",          "static acquisition", "192.168.1.20", "255.255.255.0",
        "192.168.1.1", "ab:cd:ef:12:34:56",  "-2147483647"};
    for (int row = 0; row < 7; ++row)
        EXPECT_EQ(Cell(m_view, row), expected[static_cast<std::size_t>(row)]) << row;
}

// A byte the table does not know keeps the text shown before, in the store and the cell.
TEST_P(ReadEngineTest, UnknownChoiceBytesKeepThePreviousText) {
    m_sim->UpdateState(0, [](LaminatorState& s) {
        s.params.language = 7;
        s.params.lcdBacklight = 2;
        s.params.buzzer = 9;
    });
    Store().Set(ParamKey::LanguageSetup, "English");
    Store().Set(ParamKey::Buzzer, "Open");
    SetCurrentGroup("Laminator setup");
    Read();
    EXPECT_EQ(Cell(m_view, 0), "Open");
    EXPECT_EQ(Cell(m_view, 3), "English");
    EXPECT_EQ(Cell(m_view, 5), "");  // nothing was known before either
    EXPECT_EQ(Store().Get(ParamKey::LanguageSetup), "English");

    m_sim->UpdateState(0, [](LaminatorState& s) {
        s.params.laminateMenu = 8;
        s.network.bytes[0] = 0x01;
    });
    Store().Set(ParamKey::LaminateMenu, "Menu 6");
    SetCurrentGroup("Parameter setup");
    Read();
    EXPECT_EQ(Cell(m_view, 0), "Menu 6");
    Store().Set(ParamKey::IpGetMethod, "dynamic acquisition");
    SetCurrentGroup("Interface setup");
    Read();
    EXPECT_EQ(Cell(m_view, 1), "dynamic acquisition");
}

// A reply that never came leaves every value it would have carried as it was: no counters
// of 0, no 150 degrees, no "Menu 1" that a later Write would push back.
TEST_P(ReadEngineTest, FailedExchangeLeavesItsFieldsUnchanged) {
    Store().Set(ParamKey::TotalCardAmount, "55");
    m_sim->SetFaults({*ParseFault("drop-nth=1", nullptr)});
    SetCurrentGroup("Laminator info");
    m_view.SetCell(0, "55");
    Read();
    EXPECT_EQ(Store().Get(ParamKey::TotalCardAmount), "55");
    EXPECT_EQ(Cell(m_view, 0), "55");
    EXPECT_EQ(Cell(m_view, 1), "");
    // The rest of the group still came.
    EXPECT_EQ(Cell(m_view, 2), m_sim->State(0).serial);
    const std::string expected = GetParam() == LinkKind::Usb
                                     ? "Failed to receive data!"
                                     : "The network interface is disconnected!";
    EXPECT_EQ(Messages(), std::vector<std::string>{expected});

    DefaultMessageBoxRecorder().Clear();
    Store().Set(ParamKey::HeatingRollerTemperature, "120");
    Store().Set(ParamKey::LaminateMenu, "Menu 4");
    m_sim->SetFaults({*ParseFault("drop-nth=1", nullptr), *ParseFault("drop-nth=3", nullptr)});
    SetCurrentGroup("Parameter setup");
    Read();
    EXPECT_EQ(Store().Get(ParamKey::LaminateMenu), "Menu 4");
    EXPECT_EQ(Store().Get(ParamKey::HeatingRollerTemperature), "120");
    EXPECT_EQ(Cell(m_view, 3), "20");  // page 4D 10 answered
    EXPECT_EQ(Messages().size(), 2u);
}

// Over USB the first exchange of "Interface setup" ends the run when nothing comes back.
TEST_P(ReadEngineTest, FailedFirstInterfaceExchange) {
    m_sim->SetFaults({*ParseFault("drop-nth=1", nullptr)});
    SetCurrentGroup("Interface setup");
    m_view.SetCells({"3", "dynamic acquisition", "10.0.0.9", "255.0.0.0", "10.0.0.1",
                     "01:02:03:04:05:06", "9"});
    Read();
    const bool usb = GetParam() == LinkKind::Usb;
    EXPECT_EQ(Requests().size(), usb ? 1u : 2u);
    EXPECT_EQ(Messages().size(), 1u);
    EXPECT_EQ(Cell(m_view, 0), "3");
    EXPECT_EQ(Cell(m_view, 2), "10.0.0.9");
    if (usb)
        EXPECT_EQ(Cell(m_view, 5), "01:02:03:04:05:06");
    else
        EXPECT_NE(Cell(m_view, 5), "01:02:03:04:05:06");  // the second exchange still ran
    EXPECT_TRUE(m_view.IsButtonEnabled(kIdRead));
    EXPECT_TRUE(m_view.IsButtonEnabled(kIdWrite));
    EXPECT_TRUE(m_view.IsButtonEnabled(kIdResetDefault));
}

// A reply split over several TCP receives, or longer than the fields need, decodes whole
// and leaves nothing behind for the next request.
TEST_P(ReadEngineTest, SplitAndOversizeRepliesDecodeWhole) {
    m_sim->UpdateState(0, [](LaminatorState& s) { s.params.laminateMenu = 5; });
    m_sim->SetFaults({*ParseFault("split=3", nullptr)});
    SetCurrentGroup("Parameter setup");
    Read();
    EXPECT_EQ(Cell(m_view, 0), "Menu 6");
    EXPECT_EQ(Cell(m_view, 2), "15");
    m_sim->SetFaults({*ParseFault("oversize", nullptr)});
    SetCurrentGroup("Laminator info");
    Read();
    SetCurrentGroup("Laminator setup");
    Read();
    EXPECT_EQ(Cell(m_view, 3), "English");
    EXPECT_EQ(Cell(m_view, 4), "128");
    EXPECT_TRUE(Messages().empty());
}

// A model-ID length past the bytes received takes only what came.
TEST_P(ReadEngineTest, ModelIdLongerThanTheReply) {
    if (GetParam() != LinkKind::Usb)
        GTEST_SKIP() << "a TCP reply is reassembled up to its stated length";
    m_sim->UpdateState(0, [](LaminatorState& s) { s.modelId = std::string(40, 'M'); });
    m_sim->SetFaults({*ParseFault("truncate", nullptr)});
    SetCurrentGroup("Laminator info");
    Read();
    // A 64-byte frame cut to 32 keeps frame bytes 8 to 31 of the text.
    EXPECT_EQ(Cell(m_view, 4), std::string(24, 'M'));
}

// A group change during a run: each block writes only its own group's rows, the store gets
// every value, and the group now shown is read too.
TEST_P(ReadEngineTest, GroupChangeDuringARun) {
    m_sim->SetFaults({*ParseFault("delay=40", nullptr)});
    SetCurrentGroup("Parameter setup");
    std::thread reader([&] { Read(); });
    std::this_thread::sleep_for(std::chrono::milliseconds(60));
    SetCurrentGroup("Laminator setup");
    m_view.ClearCells();
    reader.join();
    for (const auto& [group, row, text] : m_view.Sets()) {
        const ParameterInfo* p = FindParameter(group, row);
        ASSERT_NE(p, nullptr);
        EXPECT_EQ(Store().Get(p->key), text);
    }
    EXPECT_EQ(Store().Get(ParamKey::BlackMarkDetect), "Valid");
    EXPECT_EQ(Cell(m_view, 0), "Open");  // Buzzer, not a Laminate Menu
    EXPECT_EQ(Cell(m_view, 1), "15");    // Power save 1, not a temperature
    EXPECT_EQ(Cell(m_view, 7), "");      // no Black Mark Detect in this list
}

TEST_P(ReadEngineTest, GroupPingSendsOneUnframedCommand) {
    if (GetParam() != LinkKind::Usb)
        GTEST_SKIP() << "the printing-class path is USB only";
    CloseUsbLink();
    SetUsbBackends({MakeSimulatedUsbBackend(m_sim->PrinterPath(0), UsbClass::Printer)});
    ASSERT_EQ(OpenPrinterClassLink(), 1);
    m_sim->ClearLog();
    SetCurrentGroup("Parameter setup");
    EXPECT_EQ(GroupPing(&m_view), 1);
    std::vector<Bytes> requests;
    for (const pellacor::sim::FrameRecord& r : m_sim->Frames()) {
        if (r.transport == pellacor::sim::Transport::UsbPrinter &&
            r.direction == pellacor::sim::Direction::Received)
            requests.push_back(r.bytes);
    }
    ASSERT_EQ(requests.size(), 1u);
    EXPECT_EQ(requests[0], (Bytes{0x1C, 0x72, 0x4D, 0x10, 0x00, 0x00, 0x00, 0x00}));
    EXPECT_TRUE(m_view.Sets().empty());
    EXPECT_TRUE(Store().Get(ParamKey::AutoCardReleaseTime).empty());
    EXPECT_TRUE(Messages().empty());
}

INSTANTIATE_TEST_SUITE_P(Links, ReadEngineTest,
                         ::testing::Values(LinkKind::Usb, LinkKind::Ethernet), LinkName);

}  // namespace
