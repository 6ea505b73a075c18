// Download, Reset, Send, Switch Mode, the re-send and the status poller started together,
// round after round: every transaction reaches the laminator whole and unmixed.
#include <gtest/gtest.h>

#include <thread>

#include "laminator/firmware_download.h"
#include "laminator/mode_commands.h"
#include "laminator/mode_resender.h"
#include "laminator/reset_default.h"
#include "laminator/status_poller.h"
#include "link/ethernet_link.h"
#include "platform/tcp_delivery_count.h"
#include "sim_fixture.h"

namespace {

Bytes Firmware(int round) {
    Bytes b(62 * 150 + 17 * round);
    for (std::size_t i = 0; i < b.size(); ++i)
        b[i] = static_cast<std::uint8_t>('0' + (i * 7 + static_cast<std::size_t>(round)) % 40);
    return b;
}

using ServiceConcurrencyTest = LinkTest;

TEST_P(ServiceConcurrencyTest, TransactionsNeverInterleaveWithTheOthersOrThePoller) {
    const LinkKind link = GetParam();
    FakeView view;
    StartStatusPoller(link == LinkKind::Usb ? &UsbStatusPoller : &NetStatusPoller, &view);
    // Where the system does not tell what a TCP peer acknowledged, a whole transfer is sent
    // and not confirmed: never complete, and never short of a frame either.
    const bool countKnown =
        link == LinkKind::Usb || platform::ReadTcpDeliveryCount(EthernetSocket.load()).known;
    const auto until = std::chrono::steady_clock::now() + std::chrono::seconds(5);
    int rounds = 0;
    // Long enough for the poller to run cycles in between.
    for (; rounds < 4 || std::chrono::steady_clock::now() < until; ++rounds) {
        m_sim->UpdateState(0, [](pellacor::sim::LaminatorState& s) { s.params.buzzer = 0; });
        const Bytes file = Firmware(rounds);
        FakeView progress;
        std::vector<std::thread> threads;
        threads.emplace_back([&] {
            const TransferResult result = TransferFirmware(
                progress, link == LinkKind::Usb ? FirmwareRoute::Hid : FirmwareRoute::Ethernet,
                file);
            EXPECT_TRUE(countKnown ? result.Complete()
                                   : result.notConfirmed && !result.notTaken &&
                                         result.framesSent == result.frames);
        });
        threads.emplace_back([&] { ResetLaminator(link, nullptr); });
        threads.emplace_back([&] { SendRawCommand(link, "1c 41 50 01 00 00 00 00"); });
        threads.emplace_back([&] { SwitchMode(link, 0); });
        if (link == LinkKind::Usb)
            threads.emplace_back([] { ResendModeFrame(); });
        for (std::thread& t : threads)
            t.join();
        // Frames without a reply may still be on their way to the laminator.
        auto settled = [&] {
            const pellacor::sim::FirmwareCapture fw = m_sim->Firmware(0);
            return fw.complete && fw.data == file &&
                   m_sim->State(0).params.buzzer == m_sim->FactoryState(0).params.buzzer;
        };
        const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(10);
        while (!settled() && std::chrono::steady_clock::now() < deadline)
            std::this_thread::sleep_for(std::chrono::milliseconds(5));
        EXPECT_TRUE(settled()) << "round " << rounds << " fw " << m_sim->Firmware(0).complete << " "
                               << m_sim->Firmware(0).data.size() << "/" << file.size() << " buzzer "
                               << int(m_sim->State(0).params.buzzer);
    }
    WorkerHandle poller = PollThread();
    StopStatusPoller();
    ASSERT_TRUE(poller->Join(std::chrono::seconds(10)));
    const pellacor::sim::Counters counters = m_sim->GetCounters();
    EXPECT_EQ(counters.mixedBracket, 0u);
    EXPECT_EQ(counters.incomplete, 0u);
    EXPECT_EQ(counters.protocolErrors, 0u);
    EXPECT_EQ(counters.unknownCommands, 0u);
    for (const std::string& text : Messages())
        EXPECT_EQ(text, "Mode switch successful !");
    EXPECT_FALSE(view.ControlText(kIdStateBox).empty());  // the poller did poll
}

INSTANTIATE_TEST_SUITE_P(Links, ServiceConcurrencyTest,
                         ::testing::Values(LinkKind::Usb, LinkKind::Ethernet), LinkName);

}  // namespace
