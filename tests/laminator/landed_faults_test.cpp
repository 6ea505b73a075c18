// What the earlier operations got wrong and now do right: a write that reaches nothing says
// so, and a model name shorter than its 62 bytes over Ethernet is taken as it came.
#include <gtest/gtest.h>

#include "laminator/model_workers.h"
#include "sim/fault_plan.h"
#include "sim_fixture.h"
#include "tests/link/fake_usb_backend.h"

TEST(WriteEngineFaults, AWriteThatReachesNothingShowsTheLinksMessage) {
    const std::string laminator = "hid#vid_5314&pid_0001#/dev/hidraw7";
    auto backend = std::make_shared<FakeUsbBackend>();
    backend->lists[UsbClass::Hid] = std::vector<std::string>{laminator};
    backend->Device(laminator)->failWrite = true;  // unplugged after the port was activated, say
    SetUsbBackends({backend});
    DefaultMessageBoxRecorder().Clear();
    ASSERT_EQ(OpenHidLink(), 1);
    UsbLinkActive = 1;
    SetCurrentGroup("Laminator setup");
    FakeView view;
    view.SetCells({"Close", "5", "120", "English", "255", "Open"});
    UsbParameterWriter(&view);
    // Per block: the link's own message for the send, then the reply is still read and none came.
    EXPECT_EQ(DefaultMessageBoxRecorder().Texts(),
              (std::vector<std::string>{"Send data error!", "Failed to receive data!",
                                        "Send data error!", "Failed to receive data!"}));
    EXPECT_TRUE(view.IsButtonEnabled(kIdWrite));
    UsbLinkActive = 0;
    SetCurrentGroup("");
    CloseUsbLink();
    ResetUsbBackends();
    DefaultMessageBoxRecorder().Clear();
}

class EthernetModelNameTest : public SimFixture, public ::testing::Test {
  protected:
    void SetUp() override {
        StartSim();
        Connect(LinkKind::Ethernet);
        SetCurrentGroup("Laminator info");
    }
    void TearDown() override { StopSim(); }
};

TEST_F(EthernetModelNameTest, AShortUnpaddedReplyIsTakenAsItCameWithoutWaiting) {
    m_sim->UpdateState(
        0, [](pellacor::sim::LaminatorState& s) { s.modelName = std::string(50, 'N'); });
    // The reply loses its second half: 32 bytes of name and no zero byte after them.
    m_sim->SetFaults({*pellacor::sim::ParseFault("truncate@tcp", nullptr)});
    ModelReadWorker(&m_view);
    EXPECT_EQ(m_view.GetParamCell(3), std::string(32, 'N'));
    EXPECT_TRUE(Messages().empty());  // no wait for bytes that never come, no lost link
    ASSERT_EQ(Requests(3).size(), 3u);
    EXPECT_FALSE(m_sim->BracketOpen(0));
}
