#include "laminator/mode_commands.h"

#include <gtest/gtest.h>

#include "laminator/mode_resender.h"
#include "sim/fault_plan.h"
#include "sim_fixture.h"

namespace {
const Bytes kStandardMode = {0x1C, 0x77, 0x80, 0x00, 0x08, 0x00, 0x00, 0x00, 0x00};

// The A5 frame of a mode or raw command: A5, `count`, the bytes, zeros to 64.
Bytes A5Frame(std::uint8_t count, const Bytes& bytes) {
    Bytes frame(64, 0);
    frame[0] = 0xA5;
    frame[1] = count;
    std::copy(bytes.begin(), bytes.end(), frame.begin() + 2);
    return frame;
}

void Fault(pellacor::sim::Simulator& sim, const std::string& text) {
    std::string error;
    const std::optional<pellacor::sim::Fault> fault = pellacor::sim::ParseFault(text, &error);
    ASSERT_TRUE(fault) << error;
    sim.SetFaults({*fault});
}
}  // namespace

using ModeSwitchTest = LinkTest;

TEST_P(ModeSwitchTest, SendsTheA5FramedModeOnEitherLinkAndReadsOneReply) {
    m_sim->UpdateState(0, [](pellacor::sim::LaminatorState& s) { s.ejectMode = 2; });
    m_view.SetMode(0);
    ModeSwitchWorker(&m_view);
    // A5-framed over TCP too, unlike the status and parameter commands.
    EXPECT_EQ(Requests(1), std::vector<Bytes>{A5Frame(0x3E, kStandardMode)});
    EXPECT_EQ(m_sim->State(0).ejectMode, 0);
    const std::vector<std::string> expected =
        GetParam() == LinkKind::Usb ? std::vector<std::string>{"Mode switch successful !"}
                                    : std::vector<std::string>{};
    EXPECT_EQ(Messages(), expected);
}

TEST_P(ModeSwitchTest, OtherEntriesSetTheirModeAndNoEntrySendsNothing) {
    for (int index : {1, 2}) {
        ASSERT_TRUE(SwitchMode(GetParam(), index));
        EXPECT_EQ(m_sim->State(0).ejectMode, index);
    }
    m_sim->ClearLog();
    DefaultMessageBoxRecorder().Clear();
    m_view.SetMode(-1);  // nothing chosen in the list
    ModeSwitchWorker(&m_view);
    EXPECT_TRUE(Requests().empty());
    EXPECT_TRUE(Messages().empty());
}

TEST_P(ModeSwitchTest, NoSuccessWithoutAReply) {
    Fault(*m_sim, "silent");
    EXPECT_FALSE(SwitchMode(GetParam(), 0));
    const std::string failure = GetParam() == LinkKind::Usb
                                    ? "Failed to receive data!"
                                    : "The network interface is disconnected!";
    EXPECT_EQ(Messages(), std::vector<std::string>{failure});
}

TEST(ModeSwitch, NoLinkUpSendsNothingAndSaysNothing) {
    EthernetLinkActive = 0;
    UsbLinkActive = 0;
    DefaultMessageBoxRecorder().Clear();
    FakeView view;
    EXPECT_EQ(ModeSwitchWorker(&view), 1);
    EXPECT_EQ(RawCommandWorker(&view), 1);
    EXPECT_TRUE(DefaultMessageBoxRecorder().Texts().empty());
}

using RawCommandTest = LinkTest;

TEST_P(RawCommandTest, TypedStatusQueryGoesOutFramedOverUsbAndBareOverEthernet) {
    m_view.SetCommand("1c 41 50 01\r\n00 0 0 00 00");
    RawCommandWorker(&m_view);
    const Bytes typed = {0x1C, 0x41, 0x50, 0x01, 0, 0, 0, 0};
    const Bytes expected = GetParam() == LinkKind::Usb ? A5Frame(0x08, typed) : typed;
    EXPECT_EQ(Requests(1), std::vector<Bytes>{expected});
    EXPECT_TRUE(Messages().empty());  // one reply came and was read
}

TEST_P(RawCommandTest, BadCharacterOrMoreThan64BytesSendsNothingAndSaysWhy) {
    EXPECT_FALSE(SendRawCommand(GetParam(), "1c 41 zz"));
    EXPECT_FALSE(SendRawCommand(GetParam(), std::string(65 * 2, 'a')));
    EXPECT_EQ(Messages(), (std::vector<std::string>{"The command may hold only hexadecimal digits, "
                                                    "blanks and line breaks!",
                                                    "The command is longer than 64 bytes!"}));
    EXPECT_TRUE(Requests().empty());
}

INSTANTIATE_TEST_SUITE_P(Links, ModeSwitchTest,
                         ::testing::Values(LinkKind::Usb, LinkKind::Ethernet), LinkName);
INSTANTIATE_TEST_SUITE_P(Links, RawCommandTest,
                         ::testing::Values(LinkKind::Usb, LinkKind::Ethernet), LinkName);

class UsbRawCommandTest : public SimFixture, public ::testing::Test {
  protected:
    void SetUp() override {
        StartSim();
        Connect(LinkKind::Usb);
    }
    void TearDown() override {
        StopModeResender();
        StopSim();
    }
};

TEST_F(UsbRawCommandTest, SixtyThreeBytesGoAsTwoFramesWithTheirLengthBytes) {
    Bytes command(63);
    std::string text;
    for (std::size_t i = 0; i < command.size(); ++i) {
        command[i] = static_cast<std::uint8_t>(0x40 + i);
        char pair[4];
        std::snprintf(pair, sizeof pair, "%02x ", command[i]);
        text += pair;
    }
    ASSERT_TRUE(SendRawCommand(LinkKind::Usb, text));
    const std::vector<Bytes> frames = Requests(2);
    ASSERT_EQ(frames.size(), 2u);
    EXPECT_EQ(frames[0], A5Frame(0x3E, Bytes(command.begin(), command.begin() + 62)));
    EXPECT_EQ(frames[1], A5Frame(0x01, Bytes{command[62]}));
}

TEST_F(UsbRawCommandTest, ALoneLastDigitIsDropped) {
    ASSERT_TRUE(SendRawCommand(LinkKind::Usb, "1c4"));
    EXPECT_EQ(Requests(1), std::vector<Bytes>{A5Frame(0x01, {0x1C})});
}

TEST_F(UsbRawCommandTest, NothingTypedSendsNothingButStillWaitsForOneReply) {
    EXPECT_FALSE(SendRawCommand(LinkKind::Usb, " \r\n"));
    EXPECT_TRUE(Requests().empty());
    EXPECT_EQ(Messages(), std::vector<std::string>{"Failed to receive data!"});
}

TEST_F(UsbRawCommandTest, TheResendSendsItsOwnFrameNotWhatTheBufferHolds) {
    EncodeCommand("a53e1c41500100000000");  // another worker's command left behind
    TxLength = 64;
    ASSERT_TRUE(ResendModeFrame());
    const Bytes resend = {0x1D, 0x1A, 0x1B, 0x1C, 0x1D, 0x4D, 0x4F,
                          0x44, 0x45, 0x01, 0x1D, 0x01, 0x30};
    EXPECT_EQ(Requests(1), std::vector<Bytes>{A5Frame(0x3E, resend)});
    // The link was reopened for it and still works; the bracket is not left open.
    EXPECT_GT(UsbHandleTable()[0], 0);
    EXPECT_FALSE(m_sim->BracketOpen(0));
    EXPECT_EQ(m_sim->GetCounters().protocolErrors, 0u);
}

TEST_F(UsbRawCommandTest, ASecondTickStartsNoSecondResenderAndUntickingLeavesItRunning) {
    EXPECT_TRUE(StartModeResender());
    EXPECT_FALSE(StartModeResender());
    EXPECT_TRUE(ModeResenderRunning());
    StopModeResender();
    EXPECT_FALSE(ModeResenderRunning());
    EXPECT_TRUE(StartModeResender());  // a later tick after a stop starts one again
}

TEST_F(UsbRawCommandTest, TheResenderSendsEveryFiveSecondsWhileTheLaminatorIsThere) {
    ASSERT_TRUE(StartModeResender());
    const std::vector<Bytes> frames = Requests(1);  // within the fixture's wait of 3 s: none
    EXPECT_TRUE(frames.empty());
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(10);
    while (Requests().empty() && std::chrono::steady_clock::now() < deadline)
        std::this_thread::sleep_for(std::chrono::milliseconds(50));
    ASSERT_EQ(Requests().size(), 1u);
    EXPECT_EQ(Requests()[0][12], 0x1D);
    EXPECT_TRUE(Messages().empty());
}
