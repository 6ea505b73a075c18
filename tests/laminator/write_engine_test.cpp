// The write engine against the simulator: every block of every group byte for byte on both
// links, the Ethernet rules, and what an unread value must not do to the laminator.
#include "laminator/write_engine.h"

#include <gtest/gtest.h>

#include "laminator/model_workers.h"
#include "sim_fixture.h"

namespace {

using pellacor::sim::LaminatorState;
using WriteEngineTest = LinkTest;

const std::vector<std::string> kParameterSetup = {"Menu 3", "185", "25",    "30", "-5",
                                                  "-5.0",   "2.5", "Valid", "11", "7"};

TEST_P(WriteEngineTest, LaminatorInfoBlocksAndBrackets) {
    const LinkKind link = GetParam();
    const bool usb = link == LinkKind::Usb;
    Store().Set(ParamKey::TotalCardAmount, "197121");
    SetCurrentGroup("Laminator info");
    m_view.SetCells({"197121", "5", "SN-1", "", "ID\x80"});
    EXPECT_EQ(Write(), 1);
    const std::vector<Bytes> requests = Requests(5);
    ASSERT_EQ(requests.size(), 5u);
    EXPECT_EQ(requests[0],
              Frame(link, {0x1C, 0x77, 0x49, 0x01, 0x20}, {{8, 'L'}, {9, 1}, {10, 2}, {11, 3}}));
    EXPECT_EQ(requests[1],
              Frame(link, Concat(Concat(kOpenBracket, {0x1D, 0x02, 0x04}), Text("SN-1"))));
    EXPECT_EQ(requests[2], Frame(link, kCloseBracket));
    EXPECT_EQ(
        requests[3],
        Frame(link, Concat(Concat(kOpenBracket, {0x1D, 0x02, 0x13}), Text("ID\x80")), {}, 0x1E));
    EXPECT_EQ(requests[4], Frame(link, kCloseBracket, {}, 0x0A));
    const LaminatorState s = m_sim->State(0);
    EXPECT_EQ(s.totalCards, 197121u);
    EXPECT_EQ(s.serial, "SN-1");
    EXPECT_EQ(s.modelId, "ID\x80");
    EXPECT_EQ(m_sim->GetCounters().mixedBracket, 0u);
    EXPECT_EQ(m_sim->GetCounters().protocolErrors, 0u);
    (void)usb;
}

// A text item that was never read is left out whole; "0" zeroes the counter.
TEST_P(WriteEngineTest, EmptyTextItemsAreLeftOut) {
    SetCurrentGroup("Laminator info");
    m_view.SetCells({"0", "", "", "", ""});
    Write();
    const std::vector<Bytes> requests = Requests(1);
    ASSERT_EQ(requests.size(), 1u);
    EXPECT_EQ(requests[0], Frame(GetParam(), {0x1C, 0x77, 0x49, 0x01, 0x20}, {{8, 'L'}}));
    const LaminatorState s = m_sim->State(0);
    EXPECT_EQ(s.totalCards, 0u);
    EXPECT_EQ(s.serial, m_sim->FactoryState(0).serial);
    EXPECT_EQ(s.modelId, m_sim->FactoryState(0).modelId);
}

TEST_P(WriteEngineTest, ParameterSetupBlocks) {
    const LinkKind link = GetParam();
    Store().Set(ParamKey::AutoCardReleaseTime, "3");
    SetCurrentGroup("Parameter setup");
    m_view.SetCells(kParameterSetup);
    Write();
    const std::vector<Bytes> requests = Requests(5);
    ASSERT_EQ(requests.size(), 5u);
    // "Menu 3" is 02 after the tags L M.
    EXPECT_EQ(requests[0],
              Frame(link, {0x1C, 0x77, 0x50, 0x02, 0x20}, {{23, 'L'}, {24, 'M'}, {25, 2}}));
    // -5 mm is CE FF, 2.5 mm is 19 00; the changed release time goes out on both links.
    EXPECT_EQ(requests[1], Frame(link, {0x1C, 0x77, 0x4D, 0x10, 0x20},
                                 {{8, 'C'},
                                  {9, 'I'},
                                  {11, 7},
                                  {12, 'F'},
                                  {13, 'W'},
                                  {16, 0xCE},
                                  {17, 0xFF},
                                  {18, 11},
                                  {20, 25},
                                  {22, 30},
                                  {26, 'F'},
                                  {27, 'W'}}));
    // 185 degrees is 0x23.
    EXPECT_EQ(requests[2], Frame(link, {0x1C, 0x77, 0x48, 0x01, 0x20},
                                 {{8, 'N'}, {10, 25}, {11, 0x23}, {24, 'N'}, {25, 1}}));
    EXPECT_EQ(requests[3], Frame(link, {0x1C, 0x77, 0x50, 0x01, 0x20},
                                 {{16, 'C'}, {17, 'F'}, {18, 0xCE}, {19, 0xFF}}));
    EXPECT_EQ(requests[4],
              Frame(link, {0x1C, 0x77, 0x50, 0x02, 0x20}, {{17, 'B'}, {18, 'M'}, {19, 1}}));
    EXPECT_EQ(m_sim->GetCounters().protocolErrors, 0u);
}

// Over Ethernet an unchanged release time leaves offsets 8, 9 and 11 of block 2 at zero;
// over USB it always goes.
TEST_P(WriteEngineTest, UnchangedReleaseTime) {
    const LinkKind link = GetParam();
    Store().Set(ParamKey::AutoCardReleaseTime, "7");
    SetCurrentGroup("Parameter setup");
    std::vector<std::string> cells = kParameterSetup;
    cells[1] = "100";
    m_view.SetCells(cells);
    Write();
    const std::vector<Bytes> requests = Requests(5);
    ASSERT_EQ(requests.size(), 5u);
    Bytes expected = Frame(link, {0x1C, 0x77, 0x4D, 0x10, 0x20},
                           {{12, 'F'},
                            {13, 'W'},
                            {16, 0xCE},
                            {17, 0xFF},
                            {18, 11},
                            {20, 25},
                            {22, 30},
                            {26, 'F'},
                            {27, 'W'}});
    if (link == LinkKind::Usb)
        expected =
            Frame(link, Bytes(expected.begin() + 2, expected.end()), {{8, 'C'}, {9, 'I'}, {11, 7}});
    EXPECT_EQ(requests[1], expected);
    EXPECT_EQ(requests[2][FieldBase(link) + 11], 0xCE);  // 100 degrees
}

TEST_P(WriteEngineTest, LaminatorSetupBlocks) {
    const LinkKind link = GetParam();
    SetCurrentGroup("Laminator setup");
    m_view.SetCells({"Close", "5", "120", "English", "255", "Open"});
    Write();
    const std::vector<Bytes> requests = Requests(2);
    ASSERT_EQ(requests.size(), 2u);
    EXPECT_EQ(requests[0],
              Frame(link, {0x1C, 0x77, 0x50, 0x01, 0x20},
                    {{8, 'B'}, {9, 0}, {10, 'P'}, {11, 120}, {12, 'P'}, {13, 'S'}, {14, 5}}));
    EXPECT_EQ(requests[1], Frame(link, {0x1C, 0x77, 0x50, 0x02, 0x20},
                                 {{8, 'L'},
                                  {9, 'A'},
                                  {10, 2},
                                  {11, 'C'},
                                  {12, 'O'},
                                  {13, 255},
                                  {14, 'L'},
                                  {15, 'I'},
                                  {16, 1},
                                  {20, 'U'},
                                  {21, 'I'}}));
    // A language the table does not name leaves the laminator's language alone.
    m_sim->ClearLog();
    m_sim->UpdateState(0, [](LaminatorState& s) { s.params.language = 1; });
    m_view.SetCell(3, "Klingon");
    Write();
    const std::vector<Bytes> again = Requests(2);
    ASSERT_EQ(again.size(), 2u);
    EXPECT_EQ(again[1][FieldBase(link) + 8], 0);
    EXPECT_EQ(again[1][FieldBase(link) + 10], 0);
    EXPECT_EQ(m_sim->State(0).params.language, 1);
    EXPECT_EQ(m_sim->GetCounters().protocolErrors, 0u);
}

TEST_P(WriteEngineTest, InterfaceSetupOverUsbOnly) {
    const LinkKind link = GetParam();
    SetCurrentGroup("Interface setup");
    m_view.SetCells({"15", "static acquisition", "192.168.1.20", "255.255.255.0", "192.168.1.1",
                     "ab:cd:ef:12:34:56", "255"});
    Write();
    if (link == LinkKind::Ethernet) {
        EXPECT_TRUE(Requests().empty());
        EXPECT_EQ(Messages(), std::vector<std::string>{
                                  "Interface setting cannot be modified by network connection."});
        return;
    }
    const std::vector<Bytes> requests = Requests(2);
    ASSERT_EQ(requests.size(), 2u);
    EXPECT_EQ(requests[0], Frame(link, {0x1C, 0x77, 0x45, 0x00, 0x20},
                                 {{8, 'I'},
                                  {9, 15},
                                  {10, 'F'},
                                  {11, 0x80},
                                  {12, 'S'},
                                  {13, 0x14},
                                  {14, 0x01},
                                  {15, 0xA8},
                                  {16, 0xC0},
                                  {17, 'G'},
                                  {18, 0x01},
                                  {19, 0x01},
                                  {20, 0xA8},
                                  {21, 0xC0},
                                  {22, 'M'},
                                  {23, 0x00},
                                  {24, 0xFF},
                                  {25, 0xFF},
                                  {26, 0xFF}}));
    EXPECT_EQ(requests[1], Frame(link, {0x1C, 0x77, 0x45, 0x01, 0x20},
                                 {{8, 'M'},
                                  {9, 0x56},
                                  {10, 0x34},
                                  {11, 0x12},
                                  {12, 0xEF},
                                  {13, 0xCD},
                                  {14, 0xAB},
                                  {15, 'P'},
                                  {22, 'T'},
                                  {23, 255}}));
    EXPECT_TRUE(Messages().empty());
}

TEST_P(WriteEngineTest, NothingForVersionInfoOrUnreadCells) {
    SetCurrentGroup("Version info");
    Write();
    SetCurrentGroup("Laminator setup");
    m_view.SetCells({"Close", "5", "", "English", "255", "Open"});
    Write();
    EXPECT_TRUE(Requests().empty());
    EXPECT_EQ(Messages(), std::vector<std::string>{"Please read the parameters before writing!"});
    EXPECT_TRUE(m_view.IsButtonEnabled(kIdWrite));
}

// The model name goes in its own bracket; an empty one is not written at all.
TEST_P(WriteEngineTest, ModelNameFrames) {
    const LinkKind link = GetParam();
    SetCurrentGroup("Laminator info");
    m_view.SetCell(3, "ABC");
    EXPECT_EQ(ModelWriteWorker(&m_view), 1);
    const std::vector<Bytes> requests = Requests(3);
    ASSERT_EQ(requests.size(), 3u);
    EXPECT_EQ(requests[0], Frame(link, kOpenBracket, {}, 0x36));
    EXPECT_EQ(requests[1], Frame(link, {0x1D, 0x02, 0x02, 'A', 'B', 'C'}, {}, 0x36));
    EXPECT_EQ(requests[2], Frame(link, kCloseBracket, {}, 0x0A));
    EXPECT_EQ(m_sim->State(0).modelName, "ABC");
    EXPECT_EQ(Store().Get(ParamKey::LaminatorModel), "ABC");

    m_sim->ClearLog();
    m_view.SetCell(3, "");
    ModelWriteWorker(&m_view);
    SetCurrentGroup("Parameter setup");
    m_view.SetCell(3, "XYZ");
    ModelWriteWorker(&m_view);
    EXPECT_TRUE(Requests().empty());
    EXPECT_EQ(m_sim->State(0).modelName, "ABC");
}

TEST_P(WriteEngineTest, ModelNameRead) {
    m_sim->UpdateState(0, [](LaminatorState& s) { s.modelName = "Lam\xe9"; });
    SetCurrentGroup("Laminator info");
    EXPECT_EQ(ModelReadWorker(&m_view), 1);
    const LinkKind link = GetParam();
    const std::vector<Bytes> requests = Requests(3);
    ASSERT_EQ(requests.size(), 3u);
    EXPECT_EQ(requests[0], Frame(link, kOpenBracket));
    EXPECT_EQ(requests[1], Frame(link, {0x1D, 0x03, 0x03}));
    EXPECT_EQ(requests[2], Frame(link, kCloseBracket, {}, 0x0A));
    EXPECT_EQ(m_view.GetParamCell(3), "Lam\xe9");
    EXPECT_EQ(Store().Get(ParamKey::LaminatorModel), "Lam\xe9");

    // An empty name from the laminator shows empty; a read that fails keeps the row.
    m_sim->UpdateState(0, [](LaminatorState& s) { s.modelName = ""; });
    ModelReadWorker(&m_view);
    EXPECT_EQ(m_view.GetParamCell(3), "");
    ASSERT_EQ(Requests(6).size(), 6u);  // the closing is in before the fault counts
    m_view.SetCell(3, "kept");
    Store().Set(ParamKey::LaminatorModel, "kept");
    // Request 2 of the bracket is the read-model command.
    m_sim->ClearLog();
    m_sim->SetFaults({*pellacor::sim::ParseFault("drop-nth=2", nullptr)});
    ModelReadWorker(&m_view);
    EXPECT_EQ(Requests(3).size(), 3u);  // the closing still went
    EXPECT_EQ(m_view.GetParamCell(3), "kept");
    EXPECT_EQ(Store().Get(ParamKey::LaminatorModel), "kept");
    EXPECT_EQ(Messages().size(), 1u);
    EXPECT_FALSE(m_sim->BracketOpen(0));
}

INSTANTIATE_TEST_SUITE_P(Links, WriteEngineTest,
                         ::testing::Values(LinkKind::Usb, LinkKind::Ethernet), LinkName);

}  // namespace
