// Firmware over TCP counts only what the laminator took: a peer that hangs up mid-transfer
// fails the download with no more frames claimed than it can have received, and a peer that
// stops reading for a while (a loader erasing flash) is waited for.
#include <gtest/gtest.h>

#include <atomic>
#include <thread>

#include "fake_view.h"
#include "framework/message_box.h"
#include "laminator/firmware_download.h"
#include "link/ethernet_link.h"
#include "link/link_flags.h"
#include "platform/sockets.h"
#include "platform/tcp_delivery_count.h"

namespace {
using Bytes = std::vector<std::uint8_t>;
constexpr int kPeerBuffer = 4096;

// A laminator's small TCP stack: a receive buffer of a few KiB, so what it acknowledged is
// close to what it read.
class SmallWindowPeer {
  public:
    SmallWindowPeer() : m_listen(platform::OpenSocket(platform::SocketKind::Stream)) {
        platform::SetReceiveBuffer(m_listen.Get(), kPeerBuffer);
        platform::Bind(m_listen.Get(), {platform::kLoopback, 0});
        platform::Listen(m_listen.Get(), 1);
        m_port = platform::LocalEndpoint(m_listen.Get()).port;
    }
    ~SmallWindowPeer() { Join(); }
    void Join() {
        if (m_thread.joinable())
            m_thread.join();
    }
    std::uint16_t Port() const { return m_port; }
    // Reads `first` bytes, then after `pause` either closes (`thenClose`) or reads the rest.
    void Serve(std::size_t first, std::chrono::milliseconds pause, bool thenClose) {
        m_thread = std::thread([this, first, pause, thenClose] {
            platform::Socket connection(platform::Accept(m_listen.Get()));
            Read(connection.Get(), first);
            std::this_thread::sleep_for(pause);
            if (!thenClose)
                Read(connection.Get(), SIZE_MAX);
            // Closed on leaving: unread bytes make this a reset.
        });
    }
    std::size_t Received() const { return m_received; }

  private:
    void Read(platform::SocketId fd, std::size_t limit) {
        std::uint8_t buffer[512];
        while (m_received < limit) {
            const std::size_t want = std::min<std::size_t>(sizeof buffer, limit - m_received);
            const long n = platform::Receive(fd, buffer, want);
            if (n <= 0)
                return;
            m_received += static_cast<std::size_t>(n);
        }
    }
    platform::Socket m_listen;
    std::uint16_t m_port = 0;
    std::thread m_thread;
    std::atomic<std::size_t> m_received{0};
};

class FirmwareDeliveryTest : public ::testing::Test {
  protected:
    void SetUp() override { DefaultMessageBoxRecorder().Clear(); }
    void TearDown() override {
        CloseEthernet();
        SetEthernetPort(kLaminatorTcpPort);
        DefaultMessageBoxRecorder().Clear();
    }
    void Connect(const SmallWindowPeer& peer) {
        SetEthernetPort(peer.Port());
        ASSERT_TRUE(ConnectEthernet("127.0.0.1"));
        // A small send buffer too, so the sender meets the peer's pace at once.
        platform::SetSendBuffer(EthernetSocket.load(), kPeerBuffer);
    }
    // Where the system does not tell what the peer acknowledged, frames are only ever sent.
    static bool CountKnown() { return platform::ReadTcpDeliveryCount(EthernetSocket.load()).known; }
    static Bytes File(std::size_t frames) { return Bytes(frames * 62 + 10, 0x5A); }
    FakeView m_view;
};

TEST_F(FirmwareDeliveryTest, APeerThatHangsUpFailsTheDownloadAndIsNotCreditedWithMore) {
    SmallWindowPeer peer;
    peer.Serve(100 * 64, std::chrono::milliseconds(0), true);
    Connect(peer);
    const bool countKnown = CountKnown();
    const Bytes file = File(4000);
    const TransferResult result = TransferFirmware(m_view, FirmwareRoute::Ethernet, file);
    EXPECT_FALSE(result.Complete());
    EXPECT_TRUE(result.notTaken);
    // Acknowledged is at most what it read and what its small buffer (doubled by the
    // kernel) held.
    if (countKnown)
        EXPECT_LE(result.framesSent, 100 + (2 * kPeerBuffer) / 64 + 1);
    else
        EXPECT_TRUE(result.notConfirmed);
    EXPECT_NE(m_view.PercentTexts().back(), "100%");
}

TEST_F(FirmwareDeliveryTest, AWorkerSaysHowManyFramesTheLaminatorTook) {
    SmallWindowPeer peer;
    peer.Serve(10 * 64, std::chrono::milliseconds(0), true);
    Connect(peer);
    const bool countKnown = CountKnown();
    m_view.SetFirmware(File(3000));
    const TransferResult result = DownloadLoadedFirmware(m_view, FirmwareRoute::Ethernet);
    ASSERT_FALSE(result.Complete());
    // Uncounted, it names the frame that did not go out.
    EXPECT_EQ(DefaultMessageBoxRecorder().Texts(),
              std::vector<std::string>{
                  countKnown ? DownloadNotTakenText(result.framesSent, result.frames)
                             : DownloadFailedText(result.framesSent + 1, result.frames)});
}

// A laminator may restart into its new firmware as soon as it has the last frame: a close
// then is no failure, whether or not the system counted what it took.
TEST_F(FirmwareDeliveryTest, APeerThatClosesOnceItHasEveryFrameIsNoFailure) {
    SmallWindowPeer peer;
    const Bytes file = File(500);  // 501 frames
    peer.Serve(501 * 64, std::chrono::milliseconds(0), true);
    Connect(peer);
    const bool countKnown = CountKnown();
    const TransferResult result = TransferFirmware(m_view, FirmwareRoute::Ethernet, file);
    EXPECT_FALSE(result.notTaken);
    EXPECT_EQ(result.framesSent, result.frames);
    EXPECT_EQ(result.Complete(), countKnown);
    EXPECT_EQ(result.notConfirmed, !countKnown);
    peer.Join();
    EXPECT_EQ(peer.Received(), 501u * 64);
}

// Where the system cannot count what the laminator acknowledged, a broken transfer must not
// claim a count taken; a whole one is sent and not confirmed, a broken one failed at the
// frame that did not go out.
TEST(DownloadOutcome, UncountedTransfersClaimNoFramesTaken) {
    TransferResult counted;
    counted.frames = 4000;
    counted.framesSent = 120;
    counted.notTaken = true;
    EXPECT_EQ(DownloadOutcomeText(counted), DownloadNotTakenText(120, 4000));

    TransferResult broken = counted;
    broken.notConfirmed = true;
    EXPECT_EQ(DownloadOutcomeText(broken), DownloadFailedText(121, 4000));

    TransferResult whole;
    whole.frames = whole.framesSent = 4000;
    whole.notConfirmed = true;
    EXPECT_EQ(DownloadOutcomeText(whole), DownloadNotConfirmedText(4000, 4000));
}

TEST_F(FirmwareDeliveryTest, APeerThatStopsReadingForASecondAndAHalfIsWaitedFor) {
    SmallWindowPeer peer;
    const Bytes file = File(2000);
    peer.Serve(100 * 64, std::chrono::milliseconds(1500), false);
    Connect(peer);
    const bool countKnown = CountKnown();
    const TransferResult result = TransferFirmware(m_view, FirmwareRoute::Ethernet, file);
    if (countKnown) {
        EXPECT_TRUE(result.Complete()) << result.framesSent << " of " << result.frames;
        EXPECT_EQ(m_view.PercentTexts().back(), "100%");
    } else {
        // Every frame went out, and nothing claims the laminator took them.
        EXPECT_TRUE(result.notConfirmed && !result.notTaken);
        EXPECT_EQ(result.framesSent, result.frames);
        EXPECT_NE(m_view.PercentTexts().back(), "100%");
    }
    CloseEthernet();
    peer.Join();
    EXPECT_EQ(peer.Received(), static_cast<std::size_t>(result.frames) * 64);
}

}  // namespace
