// The Laminate Menu sender, and every writable group written and read back.
#include <gtest/gtest.h>

#include "laminator/laminate_menu_sender.h"
#include "sim_fixture.h"

namespace {

using pellacor::sim::LaminatorState;
using MenuSenderTest = LinkTest;
using RoundTripTest = LinkTest;

TEST_P(MenuSenderTest, SendsTheChoiceThenReadsTheGroup) {
    const LinkKind link = GetParam();
    SetCurrentGroup("Parameter setup");
    SetSelectedLaminateMenu("Menu 3");
    EXPECT_EQ(SendLaminateMenu(&m_view), 1);
    const std::vector<Bytes> requests = Requests(6);
    ASSERT_EQ(requests.size(), 6u);  // the menu, then the five reads of the group
    EXPECT_EQ(requests[0],
              Frame(link, {0x1C, 0x77, 0x50, 0x02, 0x20}, {{23, 'L'}, {24, 'M'}, {25, 2}}));
    EXPECT_EQ(requests[1], Frame(link, {0x1C, 0x72, 0x50, 0x02}));
    EXPECT_EQ(m_sim->State(0).params.laminateMenu, 2);
    EXPECT_EQ(m_view.GetParamCell(0), "Menu 3");
    // A text that names no menu is "Menu 1".
    SetSelectedLaminateMenu("Menu 9");
    SendLaminateMenu(&m_view);
    EXPECT_EQ(m_sim->State(0).params.laminateMenu, 0);
    EXPECT_TRUE(Messages().empty());
}

TEST_P(MenuSenderTest, NothingWithoutALink) {
    if (GetParam() == LinkKind::Ethernet)
        EthernetLinkActive = 0;
    m_view.EnableButton(kIdActivatePort, true);  // no USB port open
    SetCurrentGroup("Parameter setup");
    SetSelectedLaminateMenu("Menu 5");
    SendLaminateMenu(&m_view);
    EXPECT_TRUE(Requests().empty());
    EXPECT_EQ(m_sim->State(0).params.laminateMenu, m_sim->FactoryState(0).params.laminateMenu);
}

// Written values come back from the laminator exactly as they were written.
TEST_P(RoundTripTest, EveryWritableGroup) {
    const LinkKind link = GetParam();
    struct Group {
        std::string name;
        std::vector<std::string> cells;
    };
    std::vector<Group> groups = {
        {"Laminator info", {"0", "", "SN\x80-7", "", "ID-\xfe"}},
        {"Parameter setup",
         {"Menu 8", "105", "35", "9", "-80.0", "10.0", "79.9", "Invalid", "35", "0"}},
        {"Laminator setup", {"Close", "0", "120", "Chinese", "7", "Close"}},
    };
    if (link == LinkKind::Usb)
        groups.push_back({"Interface setup",
                          {"15", "dynamic acquisition", "127.0.0.9", "255.255.0.0", "127.0.0.1",
                           "0a:0b:0c:0d:0e:0f", "255"}});
    for (const Group& g : groups) {
        SetCurrentGroup(g.name);
        m_view.ClearCells();
        m_view.SetCells(g.cells);
        Write();
        m_view.ClearCells();
        Store().Clear();
        Read();
        for (std::size_t row = 0; row < g.cells.size(); ++row) {
            if (g.cells[row].empty())
                continue;
            EXPECT_EQ(m_view.GetParamCell(static_cast<int>(row)), g.cells[row])
                << g.name << " row " << row;
        }
    }
    EXPECT_TRUE(Messages().empty());
    EXPECT_EQ(m_sim->GetCounters().protocolErrors, 0u);
}

INSTANTIATE_TEST_SUITE_P(Links, MenuSenderTest,
                         ::testing::Values(LinkKind::Usb, LinkKind::Ethernet), LinkName);
INSTANTIATE_TEST_SUITE_P(Links, RoundTripTest, ::testing::Values(LinkKind::Usb, LinkKind::Ethernet),
                         LinkName);

}  // namespace
