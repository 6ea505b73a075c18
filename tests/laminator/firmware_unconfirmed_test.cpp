// Where the system cannot tell what the laminator acknowledged (Windows before 1703, Wine), a
// firmware transfer over TCP is sent, never confirmed: it must not be reported complete.
#include <gtest/gtest.h>

#include <atomic>
#include <thread>

#include "fake_view.h"
#include "framework/message_box.h"
#include "laminator/firmware_download.h"
#include "link/ethernet_link.h"
#include "link/tcp_delivery.h"
#include "platform/sockets.h"

namespace {
using Bytes = std::vector<std::uint8_t>;

platform::TcpDeliveryCount CannotSay(platform::SocketId) {
    platform::TcpDeliveryCount c;
    c.open = true;
    return c;
}

// Reads all it is sent until the connection closes.
class ReadingPeer {
  public:
    ReadingPeer() : m_listen(platform::OpenSocket(platform::SocketKind::Stream)) {
        platform::Bind(m_listen.Get(), {platform::kLoopback, 0});
        platform::Listen(m_listen.Get(), 1);
        m_thread = std::thread([this] {
            platform::Socket peer(platform::Accept(m_listen.Get()));
            std::uint8_t buffer[4096];
            for (;;) {
                const long n = platform::Receive(peer.Get(), buffer, sizeof buffer);
                if (n <= 0)
                    return;
                m_received += static_cast<std::size_t>(n);
            }
        });
    }
    ~ReadingPeer() {
        CloseEthernet();
        m_thread.join();
    }
    std::uint16_t Port() const { return platform::LocalEndpoint(m_listen.Get()).port; }
    std::size_t Received() const { return m_received; }

  private:
    platform::Socket m_listen;
    std::thread m_thread;
    std::atomic<std::size_t> m_received{0};
};

class FirmwareUnconfirmedTest : public ::testing::Test {
  protected:
    void SetUp() override {
        DefaultMessageBoxRecorder().Clear();
        SetTcpDeliveryReader(CannotSay);
    }
    void TearDown() override {
        SetTcpDeliveryReader(nullptr);
        CloseEthernet();
        SetEthernetPort(kLaminatorTcpPort);
        DefaultMessageBoxRecorder().Clear();
    }
    FakeView m_view;
};

TEST_F(FirmwareUnconfirmedTest, EveryFrameSentIsReportedSentNotConfirmedNeverComplete) {
    ReadingPeer peer;
    SetEthernetPort(peer.Port());
    ASSERT_TRUE(ConnectEthernet("127.0.0.1"));
    m_view.SetFirmware(Bytes(50 * 62 + 10, 0x5A));
    const TransferResult result = DownloadLoadedFirmware(m_view, FirmwareRoute::Ethernet);
    EXPECT_FALSE(result.Complete());
    EXPECT_TRUE(result.notConfirmed);
    EXPECT_FALSE(result.notTaken);
    EXPECT_EQ(result.framesSent, result.frames);
    EXPECT_EQ(DefaultMessageBoxRecorder().Texts(),
              std::vector<std::string>{DownloadNotConfirmedText(result.frames, result.frames)});
}

}  // namespace
