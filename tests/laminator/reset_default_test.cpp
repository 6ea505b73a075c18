#include "laminator/reset_default.h"

#include <gtest/gtest.h>

#include <algorithm>

#include "laminator/status_poller.h"
#include "sim_fixture.h"

namespace {
const Bytes kReset = {0x1D, 0x1A, 0x1B, 0x1C, 0x1D, 0x4D, 0x4F, 0x44, 0x45, 0x01, 0x1D, 0x02,
                      0x40, 0x1D, 0x1A, 0x1B, 0x1C, 0x1D, 0x4D, 0x4F, 0x44, 0x45, 0x02};

void Detune(pellacor::sim::Simulator& sim) {
    sim.UpdateState(0, [](pellacor::sim::LaminatorState& s) {
        s.params.temperatureByte = static_cast<std::uint8_t>(s.params.temperatureByte + 7);
        s.params.buzzer = s.params.buzzer ? 0 : 1;
    });
}

bool AtFactory(pellacor::sim::Simulator& sim) {
    const auto now = sim.State(0).params;
    const auto factory = sim.FactoryState(0).params;
    return now.temperatureByte == factory.temperatureByte && now.buzzer == factory.buzzer;
}
}  // namespace

using ResetTest = LinkTest;

TEST_P(ResetTest, OneTransmissionPutsTheParametersBackAtFactoryValues) {
    Detune(*m_sim);
    ASSERT_FALSE(AtFactory(*m_sim));
    if (GetParam() == LinkKind::Usb) {
        UsbResetWorker(&m_view, nullptr);
        Bytes frame(64, 0);
        frame[0] = 0xA5;
        frame[1] = 0x3E;
        std::copy(kReset.begin(), kReset.end(), frame.begin() + 2);  // then 39 zero bytes
        EXPECT_EQ(Requests(1), std::vector<Bytes>{frame});
        // The handles were closed and the device opened again; Activate Port is offered.
        EXPECT_GT(UsbHandleTable()[0], 0);
        EXPECT_TRUE(m_view.IsButtonEnabled(kIdActivatePort));
    } else {
        NetResetWorker(&m_view, nullptr);
        EXPECT_EQ(Requests(1), std::vector<Bytes>{kReset});  // exactly 23 bytes
        EXPECT_GT(EthernetSocket.load(), 0);                 // the socket stays open
    }
    EXPECT_TRUE(AtFactory(*m_sim));
    EXPECT_FALSE(m_sim->BracketOpen(0));
    EXPECT_EQ(m_sim->GetCounters().protocolErrors, 0u);
    EXPECT_TRUE(Messages().empty());
}

TEST_P(ResetTest, APollerFinishingItsCycleEndsBeforeTheResetFrameGoesOut) {
    std::string error;
    // Slow replies keep the poller inside its exchange when the reset comes.
    m_sim->SetFaults({*pellacor::sim::ParseFault("delay=300", &error)});
    while (WaitPollCycleDone(std::chrono::milliseconds(0))) {
    }
    StartStatusPoller(GetParam() == LinkKind::Usb ? &UsbStatusPoller : &NetStatusPoller, &m_view);
    WorkerHandle poller = PollThread();
    // Wait until the status request is on its way, then stop and reset at once.
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(10);
    while (Requests().empty() && std::chrono::steady_clock::now() < deadline)
        std::this_thread::sleep_for(std::chrono::milliseconds(2));
    StopStatusPoller();
    ResetLaminator(GetParam(), poller);
    EXPECT_FALSE(poller->IsRunning());
    const std::size_t base = GetParam() == LinkKind::Usb ? 2 : 0;
    auto isReset = [&](const Bytes& b) {
        return b.size() >= base + kReset.size() &&
               std::equal(kReset.begin(), kReset.end(), b.begin() + static_cast<long>(base));
    };
    std::vector<Bytes> requests;
    for (int i = 0; i < 300; ++i) {  // the reset gets no reply: wait until it is logged
        requests = Requests();
        if (std::any_of(requests.begin(), requests.end(), isReset))
            break;
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
    // The reset is the last frame: nothing of the poller follows or interleaves with it.
    ASSERT_FALSE(requests.empty());
    EXPECT_TRUE(isReset(requests.back()));
    EXPECT_EQ(std::count_if(requests.begin(), requests.end(), isReset), 1);
    for (const pellacor::sim::FrameRecord& r : m_sim->Frames())
        EXPECT_EQ(r.flag, pellacor::sim::Flag::None) << r.note;
}

TEST_P(ResetTest, AnUnpluggedOrClosedLinkEndsTheResetWithinTheTimeOuts) {
    if (GetParam() == LinkKind::Usb) {
        ASSERT_TRUE(m_sim->UnplugUsb(0));
        m_view.EnableButton(kIdActivatePort, false);
        UsbResetWorker(&m_view, nullptr);
        // Nothing to reopen: Activate Port stays disabled, and the link said why.
        EXPECT_FALSE(m_view.IsButtonEnabled(kIdActivatePort));
        const std::vector<std::string> messages = Messages();
        ASSERT_FALSE(messages.empty());
        EXPECT_EQ(messages.back(), "No conforming device!");
    } else {
        CloseEthernet();  // the connection is gone
        EXPECT_FALSE(ResetLaminator(LinkKind::Ethernet, nullptr).sent);
        EXPECT_TRUE(Messages().empty());  // a failed TCP send ends silently
    }
}

INSTANTIATE_TEST_SUITE_P(Links, ResetTest, ::testing::Values(LinkKind::Usb, LinkKind::Ethernet),
                         LinkName);
