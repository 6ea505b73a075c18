#include <gtest/gtest.h>

#include "laminator/status_poller.h"
#include "laminator/status_text.h"
#include "sim_fixture.h"

TEST(StatusText, TemperaturesDropTheFraction) {
    EXPECT_EQ(TemperatureText(0x10, 0x27), "100");
    EXPECT_EQ(TemperatureText(0x0F, 0x27), "99");
    EXPECT_EQ(TemperatureText(0xFF, 0xFF), "655");
    EXPECT_EQ(TemperatureText(0, 0), "0");
}

TEST(StatusText, StateErrorAndWarningCodes) {
    const std::uint8_t laminating[4] = {0x4D, 0x00, 0x04, 0x01};
    const std::uint8_t powerSave[4] = {0x4D, 0x20, 0x02, 0x02};
    const std::uint8_t unknownState[4] = {0x4D, 0x00, 0x05, 0x01};
    EXPECT_EQ(StateText(laminating), "Laminating");
    EXPECT_EQ(StateText(powerSave), "Power save mode");
    EXPECT_EQ(StateText(unknownState), "");
    const std::uint8_t setKey[4] = {0x45, 0x00, 0x00, 0x01};
    const std::uint8_t unknownError[4] = {0x45, 0x00, 0x09, 0x09};
    const std::uint8_t cooling[4] = {0x57, 0x00, 0x01, 0x02};
    const std::uint8_t other[4] = {0x12, 0xAB, 0x00, 0xFF};
    const std::uint8_t zeros[4] = {0, 0, 0, 0};
    EXPECT_EQ(ErrorText(setKey), "Press the “Set” key");
    EXPECT_EQ(ErrorText(unknownError), "");
    EXPECT_EQ(ErrorText(cooling), "Is cooling down");
    EXPECT_EQ(ErrorText(other), "0x12ab00ff");
    EXPECT_EQ(ErrorText(zeros), "0x00000000");
}

TEST(StatusText, CardChannelsListTheSensorsThatSeeACard) {
    EXPECT_EQ(CardChannelText(0x02), "Card detected by channel 2");
    EXPECT_EQ(CardChannelText(0x07), "Card detected by channel 1, 2, 3");
    EXPECT_EQ(CardChannelText(0x05), "Card detected by channel 1, 3");
    EXPECT_EQ(CardChannelText(0x08), "No cards were detected");
    EXPECT_EQ(CardChannelText(0x00), "No cards were detected");
}

using StatusPollerTest = LinkTest;

TEST_P(StatusPollerTest, ShowsTheLaminatorsStatusEachCycleAndStopsAtOnce) {
    m_sim->UpdateState(0, [](pellacor::sim::LaminatorState& s) {
        s.environmentTemp = 2399;
        s.stateOverride = true;
        s.stateCode = 0x4D000401;
        s.errorOverride = true;
        s.errorCode = 0x57000101;
        s.cardBits = 5;
    });
    // Drain an earlier cycle's signal so the wait below sees this poller's cycle.
    while (WaitPollCycleDone(std::chrono::milliseconds(0))) {
    }
    StartStatusPoller(GetParam() == LinkKind::Usb ? &UsbStatusPoller : &NetStatusPoller, &m_view);
    ASSERT_TRUE(WaitPollCycleDone(std::chrono::seconds(5)));
    EXPECT_EQ(m_view.ControlText(kIdEnvironmentTemperature), "23");
    EXPECT_FALSE(m_view.ControlText(kIdRollerTemperature).empty());
    EXPECT_EQ(m_view.ControlText(kIdStateBox), "Laminating");
    EXPECT_EQ(m_view.ControlText(kIdErrorBox), "In heat");
    if (GetParam() == LinkKind::Usb) {
        WorkerHandle poller = PollThread();
        // The card channel follows the status exchange in the same cycle.
        for (int i = 0; i < 200 && m_view.ControlText(kIdCardChannelBox).empty(); ++i)
            std::this_thread::sleep_for(std::chrono::milliseconds(5));
        EXPECT_EQ(m_view.ControlText(kIdCardChannelBox), "Card detected by channel 1, 3");
    } else {
        EXPECT_EQ(m_view.ControlText(kIdCardChannelBox), "");  // not asked over TCP
    }
    WorkerHandle poller = PollThread();
    StopStatusPoller();
    const auto stopAsked = std::chrono::steady_clock::now();
    ASSERT_TRUE(poller->Join(std::chrono::seconds(3)));
    EXPECT_LT(std::chrono::steady_clock::now() - stopAsked, std::chrono::milliseconds(500));
    EXPECT_FALSE(StatusPollerActive());
    EXPECT_TRUE(Messages().empty());
}

TEST_P(StatusPollerTest, AUsbLaminatorUnpluggedEndsThePollerWithItsMessage) {
    if (GetParam() != LinkKind::Usb)
        GTEST_SKIP() << "presence is asked over USB only";
    m_view.EnableButton(kIdActivatePort, false);
    StartStatusPoller(&UsbStatusPoller, &m_view);
    WorkerHandle poller = PollThread();
    ASSERT_TRUE(m_sim->UnplugUsb(0));
    ASSERT_TRUE(poller->Join(std::chrono::seconds(5)));
    EXPECT_EQ(Messages(), std::vector<std::string>{"Laminator is not connected!"});
    EXPECT_TRUE(m_view.IsButtonEnabled(kIdActivatePort));
    EXPECT_FALSE(StatusPollerActive());  // ended by itself: nothing left to stop
}

INSTANTIATE_TEST_SUITE_P(Links, StatusPollerTest,
                         ::testing::Values(LinkKind::Usb, LinkKind::Ethernet));
