// Firmware over TCP counts only what the laminator took: a peer that hangs up mid-transfer
// fails the download with no more frames claimed than it can have received, and a peer that
// stops reading for a while (a loader erasing flash) is waited for.
#include <arpa/inet.h>
#include <gtest/gtest.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

#include <atomic>
#include <thread>

#include "fake_view.h"
#include "framework/message_box.h"
#include "laminator/firmware_download.h"
#include "link/ethernet_link.h"
#include "link/link_flags.h"

namespace {
using Bytes = std::vector<std::uint8_t>;
constexpr int kPeerBuffer = 4096;

// A laminator's small TCP stack: a receive buffer of a few KiB, so what it acknowledged is
// close to what it read.
class SmallWindowPeer {
  public:
    SmallWindowPeer() {
        m_listen = socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
        setsockopt(m_listen, SOL_SOCKET, SO_RCVBUF, &kPeerBuffer, sizeof kPeerBuffer);
        sockaddr_in address{};
        address.sin_family = AF_INET;
        address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
        bind(m_listen, reinterpret_cast<sockaddr*>(&address), sizeof address);
        listen(m_listen, 1);
        socklen_t size = sizeof address;
        getsockname(m_listen, reinterpret_cast<sockaddr*>(&address), &size);
        m_port = ntohs(address.sin_port);
    }
    ~SmallWindowPeer() {
        Join();
        close(m_listen);
    }
    void Join() {
        if (m_thread.joinable())
            m_thread.join();
    }
    std::uint16_t Port() const { return m_port; }
    // Reads `first` bytes, then after `pause` either closes (`thenClose`) or reads the rest.
    void Serve(std::size_t first, std::chrono::milliseconds pause, bool thenClose) {
        m_thread = std::thread([this, first, pause, thenClose] {
            const int fd = accept(m_listen, nullptr, nullptr);
            Read(fd, first);
            std::this_thread::sleep_for(pause);
            if (!thenClose)
                Read(fd, SIZE_MAX);
            close(fd);  // unread bytes make this a reset
        });
    }
    std::size_t Received() const { return m_received; }

  private:
    void Read(int fd, std::size_t limit) {
        std::uint8_t buffer[512];
        while (m_received < limit) {
            const std::size_t want = std::min<std::size_t>(sizeof buffer, limit - m_received);
            const ssize_t n = recv(fd, buffer, want, 0);
            if (n <= 0)
                return;
            m_received += static_cast<std::size_t>(n);
        }
    }
    int m_listen = -1;
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
        const int size = kPeerBuffer;
        setsockopt(EthernetSocket.load(), SOL_SOCKET, SO_SNDBUF, &size, sizeof size);
    }
    static Bytes File(std::size_t frames) { return Bytes(frames * 62 + 10, 0x5A); }
    FakeView m_view;
};

TEST_F(FirmwareDeliveryTest, APeerThatHangsUpFailsTheDownloadAndIsNotCreditedWithMore) {
    SmallWindowPeer peer;
    peer.Serve(100 * 64, std::chrono::milliseconds(0), true);
    Connect(peer);
    const Bytes file = File(4000);
    const TransferResult result = TransferFirmware(m_view, FirmwareRoute::Ethernet, file);
    EXPECT_FALSE(result.Complete());
    EXPECT_TRUE(result.notTaken);
    // Acknowledged is at most what it read and what its small buffer (doubled by the
    // kernel) held.
    EXPECT_LE(result.framesSent, 100 + (2 * kPeerBuffer) / 64 + 1);
    EXPECT_NE(m_view.PercentTexts().back(), "100%");
}

TEST_F(FirmwareDeliveryTest, AWorkerSaysHowManyFramesTheLaminatorTook) {
    SmallWindowPeer peer;
    peer.Serve(10 * 64, std::chrono::milliseconds(0), true);
    Connect(peer);
    m_view.SetFirmware(File(3000));
    const TransferResult result = DownloadLoadedFirmware(m_view, FirmwareRoute::Ethernet);
    ASSERT_FALSE(result.Complete());
    EXPECT_EQ(DefaultMessageBoxRecorder().Texts(),
              std::vector<std::string>{DownloadNotTakenText(result.framesSent, result.frames)});
}

TEST_F(FirmwareDeliveryTest, APeerThatStopsReadingForASecondAndAHalfIsWaitedFor) {
    SmallWindowPeer peer;
    const Bytes file = File(2000);
    peer.Serve(100 * 64, std::chrono::milliseconds(1500), false);
    Connect(peer);
    const TransferResult result = TransferFirmware(m_view, FirmwareRoute::Ethernet, file);
    EXPECT_TRUE(result.Complete()) << result.framesSent << " of " << result.frames;
    EXPECT_EQ(m_view.PercentTexts().back(), "100%");
    CloseEthernet();
    peer.Join();
    EXPECT_EQ(peer.Received(), static_cast<std::size_t>(result.frames) * 64);
}

}  // namespace
