// End to end: the link against the laminator simulator, over its TCP port and its virtual
// HID device, and the device unplugged under an open link.
#include <gtest/gtest.h>

#include <filesystem>

#include "framework/message_box.h"
#include "link/ethernet_link.h"
#include "link/link_buffers.h"
#include "link/usb_backend.h"
#include "link/usb_link.h"
#include "platform/process.h"
#include "sim/simulator.h"

namespace {

using pellacor::sim::LaminatorState;

class LinkSimulatorTest : public ::testing::Test {
  protected:
    void SetUp() override {
        std::string reason;
        const auto dir = platform::MakePrivateTempFolder("pellacor-link", reason);
        ASSERT_TRUE(dir) << reason;
        m_dir = *dir;
        pellacor::sim::SimOptions options;
        options.tcpPort = 0;
        options.udp = false;
        options.usbPath = (m_dir / "hid").string();
        m_sim = std::make_unique<pellacor::sim::Simulator>(options);
        std::string error;
        ASSERT_TRUE(m_sim->Start(&error)) << error;
        m_sim->UpdateState(0, [](LaminatorState& s) { s.totalCards = 0x030201; });
        SetUsbBackends({MakeSimulatedUsbBackend(m_sim->UsbPath(0), UsbClass::Hid)});
        CloseUsbLink();
        DefaultMessageBoxRecorder().Clear();
    }
    void TearDown() override {
        CloseUsbLink();
        CloseEthernet();
        ResetUsbBackends();
        SetEthernetPort(kLaminatorTcpPort);
        m_sim.reset();
        std::filesystem::remove_all(m_dir);
        DefaultMessageBoxRecorder().Clear();
    }

    std::filesystem::path m_dir;
    std::unique_ptr<pellacor::sim::Simulator> m_sim;
};

TEST_F(LinkSimulatorTest, CountersQueryOverTheVirtualHidDevice) {
    ASSERT_TRUE(ProbeHidLaminator());
    ASSERT_EQ(OpenHidLink(), 1);
    {
        LinkTransaction exchange;
        EncodeCommand("a53e1c72490100000000");
        TxLength = 64;
        ASSERT_EQ(UsbWrite(), 64);
        ASSERT_TRUE(ReadUsbReply());
    }
    // The reply block follows the two-byte USB header.
    EXPECT_EQ(RxBuffer[2], 0x1C);
    EXPECT_EQ(RxBuffer[3], 0x72);
    EXPECT_EQ(RxBuffer[11], 0x01);
    EXPECT_EQ(RxBuffer[12], 0x02);
    EXPECT_EQ(RxBuffer[13], 0x03);
    EXPECT_TRUE(DefaultMessageBoxRecorder().Texts().empty());
    EXPECT_EQ(m_sim->GetCounters().incomplete, 0u);

    ASSERT_TRUE(m_sim->UnplugUsb(0));
    EXPECT_FALSE(ProbeHidLaminator());
    EXPECT_FALSE(ReadUsbReply());
    EXPECT_GE(DefaultMessageBoxRecorder().Count(), 1u);
}

TEST_F(LinkSimulatorTest, CountersQueryOverTcp) {
    SetEthernetPort(m_sim->TcpPort(0));
    ASSERT_TRUE(ConnectEthernet(m_sim->TcpHost(0)));
    {
        LinkTransaction exchange;
        EncodeCommand("1c72490100000000");
        TxLength = 64;
        ASSERT_EQ(NetSend(), 64);
        ASSERT_TRUE(NetReceive(64));
    }
    EXPECT_EQ(RxBuffer[0], 0x1C);
    EXPECT_EQ(RxBuffer[9], 0x01);
    EXPECT_EQ(RxBuffer[10], 0x02);
    EXPECT_EQ(RxBuffer[11], 0x03);
    EXPECT_TRUE(DefaultMessageBoxRecorder().Texts().empty());
}

}  // namespace
