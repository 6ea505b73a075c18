// Data exchange binds the parameter list again while read workers write its cells: the list
// stays the same control and nothing races (the suite runs under ThreadSanitizer).
#include <thread>

#include "app_fixture.h"

TEST_F(MainWindowTest, AutoDetectClickedDuringAReadKeepsTheListAndTheReadWhole) {
    AttachLaminator();
    OpenWindow();
    dlg->Item(kIdAutoDetect).SetCheck(0);  // no poller: only the read touches the list
    Click(kIdActivatePort);
    Control* const list = dlg->m_paramList.List();
    ASSERT_NE(list, nullptr);
    // Slow replies keep the read running while the window exchanges data.
    sim->SetFaults({pellacor::sim::Fault{pellacor::sim::FaultKind::Delay, 5, 0}});
    for (int round = 0; round < 3; ++round) {
        ChooseGroup(2);  // starts the read of "Parameter setup"
        // Every click exchanges the controls into the members while the worker fills cells.
        for (int i = 0; i < 2000 && RunningWorkerCount() > 0; ++i) {
            Click(kIdAutoDetect);
            std::this_thread::sleep_for(std::chrono::milliseconds(1));
        }
        Settle();
    }
    EXPECT_EQ(dlg->m_paramList.List(), list);
    EXPECT_EQ(dlg->Item(kIdParamList).GetCell(1, 1), "150");
    EXPECT_TRUE(Messages().empty());
}
