#include <gtest/gtest.h>

#include "laminator/status_poller.h"
#include "laminator/status_text.h"
#include "sim/fault_plan.h"
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

namespace {
void Code(std::uint32_t value, std::uint8_t out[4]) {
    for (int i = 0; i < 4; ++i)
        out[i] = static_cast<std::uint8_t>(value >> (24 - 8 * i));
}
}  // namespace

TEST(StatusText, EveryTableTextAsTheLaminatorsCodesReadTyposIncluded) {
    const std::pair<std::uint32_t, const char*> states[] = {
        {0x4D000000, "Unknown state"},
        {0x4D000101, "Initializing..."},
        {0x4D000201, "Ready for Laminating"},
        {0x4D000301, "Load the card"},
        {0x4D000401, "Laminating"},
        {0x4D000901, "Eject the card"},
        {0x4D200201, "Power save mode"},
        {0x4D200202, "Power save mode"},
        {0x4E000401, ""},
    };
    const std::pair<std::uint32_t, const char*> errors[] = {
        {0x45000000, "No error"},
        {0x45000001, "Press the \xE2\x80\x9CSet\xE2\x80\x9D key"},
        {0x45000401, "No transfer film"},
        {0x45000402, "Invalid transfer film"},
        {0x45000403, "Transfer film stuck"},
        {0x45000404, "The transfer film has been exhausted"},
        {0x45000405, "Transfer film fracture"},
        {0x45000501, "The access to the card is blocked"},
        {0x45000502, "The access to the card is blocked"},
        {0x45000601, "Invalid work paramete"},
        {0x45000801, "Abnormal high temperature of machine"},
        {0x45008001, "print head erro"},
        {0x45008002, "Error in heating rolle"},
        {0x45008003, "Failed to get out of card"},
        {0x45008008, "Fan failure"},
        {0x45800101, "Please contact technical support"},
        {0x57000000, "NO WARNING"},
        {0x57000101, "In heat"},
        {0x57000102, "Is cooling down"},
        {0x57000201, "Print head cooling"},
        {0x57000202, "Temperature anomaly"},
        {0x57000203, "Print head preheating"},
        {0x57000301, "Remove the print position card"},
        {0x57000302, "RFID detection warning"},
        {0x57000401, "Remove the card feed location card"},
        {0x57000402, "Remove the return position card"},
        {0x57000403, "Remove magnetic card"},
        {0x57000404, ""},
        {0x4D000401, "0x4d000401"},
    };
    std::uint8_t code[4];
    for (const auto& [value, text] : states) {
        Code(value, code);
        EXPECT_EQ(StateText(code), text) << std::hex << value;
    }
    for (const auto& [value, text] : errors) {
        Code(value, code);
        EXPECT_EQ(ErrorText(code), text) << std::hex << value;
    }
}

TEST_P(StatusPollerTest, EachCycleSendsTheExactQueriesOfItsLink) {
    while (WaitPollCycleDone(std::chrono::milliseconds(0))) {
    }
    StartStatusPoller(GetParam() == LinkKind::Usb ? &UsbStatusPoller : &NetStatusPoller, &m_view);
    ASSERT_TRUE(WaitPollCycleDone(std::chrono::seconds(5)));
    const Bytes status = {0x1C, 0x41, 0x50, 0x01, 0, 0, 0, 0};
    if (GetParam() == LinkKind::Usb) {
        const std::vector<Bytes> requests = Requests(2);
        ASSERT_GE(requests.size(), 2u);
        EXPECT_EQ(requests[0], Frame(LinkKind::Usb, status));  // one 64-byte frame
        EXPECT_EQ(requests[1], Frame(LinkKind::Usb, {0x1B, 0x65, 0x00, 0x00, 0x08}));
    } else {
        const std::vector<Bytes> requests = Requests(1);
        ASSERT_GE(requests.size(), 1u);
        EXPECT_EQ(requests[0], status);  // the 8 bytes alone
    }
    StopStatusPoller();
}

TEST_P(StatusPollerTest, AFailedExchangeEmptiesTheBoxesInsteadOfShowingZeros) {
    if (GetParam() != LinkKind::Usb)
        GTEST_SKIP() << "over TCP a failed receive ends the poller";
    for (int id : {kIdRollerTemperature, kIdEnvironmentTemperature, kIdStateBox, kIdErrorBox,
                   kIdCardChannelBox})
        m_view.SetControlText(id, "old");
    std::string error;
    m_sim->SetFaults({*pellacor::sim::ParseFault("silent@usb", &error)});
    while (WaitPollCycleDone(std::chrono::milliseconds(0))) {
    }
    StartStatusPoller(&UsbStatusPoller, &m_view);
    WorkerHandle poller = PollThread();
    ASSERT_TRUE(WaitPollCycleDone(std::chrono::seconds(10)));
    for (int id : {kIdRollerTemperature, kIdEnvironmentTemperature, kIdStateBox, kIdErrorBox})
        EXPECT_EQ(m_view.ControlText(id), "") << id;
    ASSERT_TRUE(DefaultMessageBoxRecorder().WaitForCount(2, std::chrono::seconds(10)));
    StopStatusPoller();
    ASSERT_TRUE(poller->Join(std::chrono::seconds(10)));
    EXPECT_EQ(m_view.ControlText(kIdCardChannelBox), "");
    const std::vector<std::string> messages = Messages();
    EXPECT_EQ(messages[0], "Failed to receive data!");
    EXPECT_EQ(messages[1], "Failed to receive data!");
}

TEST_P(StatusPollerTest, TheEthernetPollerEndsOnALostConnection) {
    if (GetParam() != LinkKind::Ethernet)
        GTEST_SKIP() << "over USB presence decides";
    std::string error;
    m_sim->SetFaults({*pellacor::sim::ParseFault("close-after=1@tcp", &error)});
    StartStatusPoller(&NetStatusPoller, &m_view);
    WorkerHandle poller = PollThread();
    ASSERT_TRUE(poller->Join(std::chrono::seconds(15)));
    EXPECT_EQ(Messages(), std::vector<std::string>{"The network interface is disconnected!"});
    EXPECT_FALSE(m_view.ControlText(kIdErrorBox).empty());  // the first cycle was shown
    EXPECT_FALSE(StatusPollerActive());
}

TEST_P(StatusPollerTest, TheFirstCycleReadsOnlyWhenTheLaminatorIsThereAndThenClearsTheRequest) {
    if (GetParam() != LinkKind::Usb)
        GTEST_SKIP() << "the first-cycle Read belongs to the USB poller";
    m_view.SetReadOnFirstPoll(true);
    ASSERT_TRUE(m_sim->UnplugUsb(0));
    StartStatusPoller(&UsbStatusPoller, &m_view);
    ASSERT_TRUE(PollThread()->Join(std::chrono::seconds(5)));
    EXPECT_EQ(m_view.Reads(), 0);
    EXPECT_TRUE(m_view.ReadOnFirstPollSet());  // still owed
    std::string error;
    ASSERT_TRUE(m_sim->ReplugUsb(0, &error)) << error;
    StartStatusPoller(&UsbStatusPoller, &m_view);
    WorkerHandle poller = PollThread();
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(5);
    while (m_view.Reads() == 0 && std::chrono::steady_clock::now() < deadline)
        std::this_thread::sleep_for(std::chrono::milliseconds(5));
    EXPECT_EQ(m_view.Reads(), 1);
    EXPECT_FALSE(m_view.ReadOnFirstPollSet());
    StopStatusPoller();
    ASSERT_TRUE(poller->Join(std::chrono::seconds(5)));
}

INSTANTIATE_TEST_SUITE_P(Links, StatusPollerTest,
                         ::testing::Values(LinkKind::Usb, LinkKind::Ethernet));
