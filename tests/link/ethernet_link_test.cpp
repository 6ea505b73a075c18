#include "link/ethernet_link.h"

#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <cstring>
#include <thread>

#include "framework/message_box.h"
#include "link/link_buffers.h"
#include "loopback_peer.h"
#include "tests/support/hanging_listener.h"

namespace {

using Clock = std::chrono::steady_clock;
const std::string kDisconnected = "The network interface is disconnected!";

class EthernetLinkTest : public ::testing::Test {
  protected:
    void SetUp() override {
        SetEthernetPort(m_listener.Port());
        DefaultMessageBoxRecorder().Clear();
    }
    void TearDown() override {
        CloseEthernet();
        if (m_peer >= 0) {
            platform::CloseSocket(m_peer);
        }
        SetEthernetPort(kLaminatorTcpPort);
        DefaultMessageBoxRecorder().Clear();
    }
    void Connect() {
        ASSERT_TRUE(ConnectEthernet("127.0.0.1"));
        m_peer = m_listener.Accept();
        ASSERT_GE(m_peer, 0);
    }
    std::vector<std::string> Messages() const { return DefaultMessageBoxRecorder().Texts(); }

    LoopbackListener m_listener;
    int m_peer = -1;
};

TEST_F(EthernetLinkTest, ConnectsSendsTheBlockAndReceivesTheReply) {
    Connect();
    EXPECT_GT(EthernetSocket.load(), 0);
    EXPECT_TRUE(platform::NoDelayIsSet(EthernetSocket));

    EncodeCommand("1c72490100000000");
    TxLength = 64;
    EXPECT_EQ(NetSend(), 64);
    std::uint8_t block[64];
    ASSERT_TRUE(ReceiveAll(m_peer, block, sizeof block));
    EXPECT_EQ(std::memcmp(block, TxBuffer.data(), 64), 0);
    EXPECT_EQ(block[2], 0x49);

    block[0] = 0x77;
    ASSERT_TRUE(SendAll(m_peer, block, sizeof block));
    RxBuffer.fill(0xEE);
    EXPECT_TRUE(NetReceive());
    EXPECT_EQ(LastReceivedLength(), 64u);
    EXPECT_EQ(RxBuffer[0], 0x77);
    EXPECT_EQ(RxBuffer[64], 0x00);
    EXPECT_TRUE(Messages().empty());
}

TEST_F(EthernetLinkTest, NothingOrTooMuchToSend) {
    Connect();
    TxLength = 0;
    EXPECT_EQ(NetSend(), 0);
    EncodeCommand("1c zz");
    EXPECT_EQ(NetSend(), 0);
    TxLength = 4096;
    EXPECT_EQ(NetSend(), 1024);
    std::uint8_t block[1024];
    ASSERT_TRUE(ReceiveAll(m_peer, block, sizeof block));
    EXPECT_FALSE(m_listener.HasPending(0));
    // Nothing beyond the clamped 1024 bytes.
    EXPECT_EQ(platform::WaitSocket(m_peer, platform::kReadable, std::chrono::milliseconds(50)), 0);
}

TEST_F(EthernetLinkTest, ARefusedConnectionFailsWithoutAMessage) {
    std::uint16_t closedPort = 0;
    {
        LoopbackListener probe;  // a port that was just free; nothing listens once closed
        closedPort = probe.Port();
    }
    SetEthernetPort(closedPort);
    EXPECT_FALSE(ConnectEthernet("127.0.0.1"));
    EXPECT_EQ(EthernetSocket.load(), -1);
    EXPECT_TRUE(Messages().empty());
    TxLength = 64;
    EXPECT_EQ(NetSend(), 0);
}

TEST_F(EthernetLinkTest, AConnectThatHangsEndsWhenCancelledAndALaterOneIsUnaffected) {
    HangingListener hanging;
    ASSERT_TRUE(hanging.Hanging());
    SetEthernetPort(hanging.Port());
    std::atomic<bool> connected{true};
    const Clock::time_point start = Clock::now();
    std::thread connecting([&] { connected = ConnectEthernet("127.0.0.1"); });
    std::this_thread::sleep_for(std::chrono::milliseconds(100));
    CancelEthernetConnect();
    connecting.join();
    EXPECT_FALSE(connected.load());
    EXPECT_EQ(EthernetSocket.load(), -1);
    // Well before the 5 s limit a connect that was not cancelled would run to.
    EXPECT_LT(Clock::now() - start, std::chrono::milliseconds(4500));
    // A cancel ends only connects already under way.
    SetEthernetPort(m_listener.Port());
    Connect();
    EXPECT_GT(EthernetSocket.load(), 0);
}

TEST_F(EthernetLinkTest, AnAddressThatIsNotADottedQuadIsNeverConnected) {
    for (const char* text :
         {"", "localhost", "127.0.0", "127.0.0.1.5", "127.0.0.256", " 127.0.0.1", "0x7f.0.0.1"}) {
        EthernetSocket = 0;
        EXPECT_FALSE(ConnectEthernet(text)) << text;
        EXPECT_EQ(EthernetSocket.load(), -1) << text;
    }
    EXPECT_FALSE(m_listener.HasPending(100));
    EXPECT_TRUE(Messages().empty());
}

TEST_F(EthernetLinkTest, APeerThatNeverAnswersTimesOutAfterAboutOneSecond) {
    Connect();
    RxBuffer.fill(0xEE);
    const Clock::time_point start = Clock::now();
    EXPECT_FALSE(NetReceive());
    const auto waited = Clock::now() - start;
    EXPECT_GE(waited, std::chrono::milliseconds(900));
    EXPECT_LT(waited, std::chrono::milliseconds(1800));
    EXPECT_EQ(Messages(), std::vector<std::string>{kDisconnected});
    EXPECT_EQ(RxBuffer[0], 0x00);

    DefaultMessageBoxRecorder().Clear();
    const Clock::time_point again = Clock::now();
    EXPECT_FALSE(NetReceive(64));
    EXPECT_LT(Clock::now() - again, std::chrono::milliseconds(1800));
    EXPECT_EQ(Messages(), std::vector<std::string>{kDisconnected});
}

TEST_F(EthernetLinkTest, ASplitReplyIsReassembledAndTheNextReplyLeftInPlace) {
    Connect();
    std::uint8_t reply[74];
    for (std::size_t i = 0; i < sizeof reply; ++i) {
        reply[i] = static_cast<std::uint8_t>(i + 1);
    }
    std::thread peer([&] {
        SendAll(m_peer, reply, 20);
        std::this_thread::sleep_for(std::chrono::milliseconds(50));
        SendAll(m_peer, reply + 20, 54);  // the rest, and ten bytes of the next reply
    });
    EXPECT_TRUE(NetReceive(64));
    peer.join();
    EXPECT_EQ(LastReceivedLength(), 64u);
    EXPECT_EQ(std::memcmp(RxBuffer.data(), reply, 64), 0);
    EXPECT_EQ(RxBuffer[64], 0x00);
    EXPECT_TRUE(NetReceive(10));
    EXPECT_EQ(RxBuffer[0], 65);
    EXPECT_TRUE(Messages().empty());
}

// A block that comes in two pieces is one reply: its rest must not open the next one.
TEST_F(EthernetLinkTest, AReplyBlockInTwoPiecesIsTakenWhole) {
    Connect();
    std::uint8_t reply[64];
    for (std::size_t i = 0; i < sizeof reply; ++i) {
        reply[i] = static_cast<std::uint8_t>(i + 1);
    }
    std::thread peer([&] {
        SendAll(m_peer, reply, 17);
        std::this_thread::sleep_for(std::chrono::milliseconds(20));
        SendAll(m_peer, reply + 17, 47);
    });
    EXPECT_TRUE(NetReceive());
    peer.join();
    EXPECT_EQ(LastReceivedLength(), 64u);
    EXPECT_EQ(std::memcmp(RxBuffer.data(), reply, 64), 0);
    // A shorter reply with nothing after it is taken once the grace has passed.
    ASSERT_TRUE(SendAll(m_peer, reply, 10));
    EXPECT_TRUE(NetReceive());
    EXPECT_EQ(LastReceivedLength(), 10u);
    EXPECT_TRUE(Messages().empty());
}

// A reply that comes after its time-out, or the rest of one that stopped short, must never
// be taken for the answer to the next request: the next send opens a fresh connection.
TEST_F(EthernetLinkTest, ALateReplyIsNeverTakenForTheNextOne) {
    Connect();
    std::uint8_t late[64];
    std::memset(late, 0xAA, sizeof late);
    std::uint8_t block[64];
    auto sendRequest = [] {
        EncodeCommand("1c72480100000000");
        TxLength = 64;
        return NetSend();
    };

    for (const std::size_t partial : {std::size_t{0}, std::size_t{20}}) {
        SCOPED_TRACE(partial);
        ASSERT_EQ(sendRequest(), 64);
        ASSERT_TRUE(ReceiveAll(m_peer, block, sizeof block));
        if (partial > 0) {
            ASSERT_TRUE(SendAll(m_peer, late, partial));
        }
        EXPECT_EQ(NetReceive(64), partial > 0);

        ASSERT_EQ(sendRequest(), 64);
        ASSERT_TRUE(m_listener.HasPending(1000));
        const int old = m_peer;
        m_peer = m_listener.Accept();
        // The late bytes on the old connection reach nobody; the new one carries the answer.
        SendAll(old, late + partial, sizeof late - partial);
        ASSERT_TRUE(ReceiveAll(m_peer, block, sizeof block));
        EXPECT_EQ(block[2], 0x48);
        block[0] = 0xBB;
        ASSERT_TRUE(SendAll(m_peer, block, sizeof block));
        ASSERT_TRUE(NetReceive(64));
        EXPECT_EQ(RxBuffer[0], 0xBB);
        std::uint8_t byte = 0;
        EXPECT_LE(platform::Receive(old, &byte, 1), 0);  // closed (or reset by the late bytes)
        platform::CloseSocket(old);
    }
    // A whole reply leaves nothing in doubt: the connection stays.
    ASSERT_EQ(sendRequest(), 64);
    EXPECT_FALSE(m_listener.HasPending(50));
    ASSERT_TRUE(ReceiveAll(m_peer, block, sizeof block));

    // Within the transaction where the reply timed out, a later send (the closing frame of
    // a MODE bracket) still goes where the transaction began.
    {
        LinkTransaction transaction;
        EXPECT_FALSE(NetReceive(64));
        ASSERT_EQ(sendRequest(), 64);
        EXPECT_FALSE(m_listener.HasPending(50));
        EXPECT_TRUE(ReceiveAll(m_peer, block, sizeof block));
    }
    ASSERT_EQ(sendRequest(), 64);
    EXPECT_TRUE(m_listener.HasPending(1000));
}

TEST_F(EthernetLinkTest, AClosedConnectionOrNoSocketIsReported) {
    Connect();
    platform::CloseSocket(m_peer);
    m_peer = -1;
    EXPECT_FALSE(NetReceive());
    EXPECT_EQ(Messages(), std::vector<std::string>{kDisconnected});

    CloseEthernet();
    EXPECT_EQ(EthernetSocket.load(), 0);
    TxLength = 64;
    EXPECT_EQ(NetSend(), 0);
    EXPECT_FALSE(NetReceive(64));
    EXPECT_EQ(Messages().size(), 2u);
}

TEST_F(EthernetLinkTest, ConnectingAgainClosesTheOldSocket) {
    Connect();
    const int first = m_peer;
    ASSERT_TRUE(ConnectEthernet("127.0.0.1"));
    m_peer = m_listener.Accept();
    std::uint8_t byte = 0;
    EXPECT_EQ(platform::Receive(first, &byte, 1), 0);  // the old connection was closed
    platform::CloseSocket(first);
}

}  // namespace
