#pragma once
// The laminator simulator on loopback with its virtual HID device, and the link opened to
// it either way; tests compare the frames it received byte for byte.
#include <gtest/gtest.h>

#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <memory>
#include <string>
#include <thread>
#include <vector>

#include "fake_view.h"
#include "framework/message_box.h"
#include "laminator/link_exchange.h"
#include "laminator/param_store.h"
#include "laminator/poll_control.h"
#include "laminator/read_engine.h"
#include "laminator/write_engine.h"
#include "link/ethernet_link.h"
#include "link/link_flags.h"
#include "link/usb_backend.h"
#include "link/usb_link.h"
#include "platform/process.h"
#include "sim/simulator.h"
#include "tests/support/simulated_laminator.h"

using Bytes = std::vector<std::uint8_t>;

inline std::string LinkName(const ::testing::TestParamInfo<LinkKind>& info) {
    return info.param == LinkKind::Usb ? "Usb" : "Ethernet";
}

// The 64 bytes of a request: over USB A5, `usbLength` and the command block.
inline Bytes Frame(LinkKind link, const Bytes& command,
                   const std::vector<std::pair<int, int>>& at = {}, std::uint8_t usbLength = 0x3E) {
    Bytes frame(64, 0);
    const std::size_t base = FieldBase(link);
    if (link == LinkKind::Usb) {
        frame[0] = 0xA5;
        frame[1] = usbLength;
    }
    for (std::size_t i = 0; i < command.size() && base + i < 64; ++i)
        frame[base + i] = command[i];
    for (auto [offset, value] : at)
        frame[base + static_cast<std::size_t>(offset)] = static_cast<std::uint8_t>(value);
    return frame;
}

inline Bytes Text(const std::string& s) {
    return Bytes(s.begin(), s.end());
}

inline Bytes Concat(Bytes a, const Bytes& b) {
    a.insert(a.end(), b.begin(), b.end());
    return a;
}

inline const Bytes kOpenBracket = {0x1D, 0x1A, 0x1B, 0x1C, 0x1D, 0x4D, 0x4F, 0x44, 0x45, 0x01};
inline const Bytes kCloseBracket = {0x1D, 0x1A, 0x1B, 0x1C, 0x1D, 0x4D, 0x4F, 0x44, 0x45, 0x02};

class SimFixture {
  protected:
    void StartSim() {
        std::string reason;
        const auto dir = platform::MakePrivateTempFolder("pellacor-lam", reason);
        ASSERT_TRUE(dir.has_value()) << reason;
        m_dir = dir->string();
        std::string error;
        m_sim = StartSimulatedLaminator(m_dir, error);
        ASSERT_NE(m_sim, nullptr) << error;
        Store().Clear();
        MotorType = 0;
        SetCurrentGroup("");
        DefaultMessageBoxRecorder().Clear();
    }

    void StopSim() {
        // A poller a test left running still writes into m_view: it ends before the view does.
        StopStatusPoller();
        if (WorkerHandle poller = PollThread()) {
            EXPECT_TRUE(poller->Join(std::chrono::seconds(10))) << "the status poller did not end";
        }
        CloseUsbLink();
        CloseEthernet();
        EthernetLinkActive = 0;
        UsbLinkActive = 0;
        ResetUsbBackends();
        SetEthernetPort(kLaminatorTcpPort);
        m_sim.reset();
        std::filesystem::remove_all(m_dir);
        DefaultMessageBoxRecorder().Clear();
        Store().Clear();
        SetCurrentGroup("");
    }

    void Connect(LinkKind link) {
        m_link = link;
        if (link == LinkKind::Ethernet) {
            SetEthernetPort(m_sim->TcpPort(0));
            ASSERT_TRUE(ConnectEthernet(m_sim->TcpHost(0)));
            EthernetLinkActive = 1;
        } else {
            ASSERT_EQ(OpenHidLink(), 1);
            UsbLinkActive = 1;
            m_view.EnableButton(kIdActivatePort, false);
        }
        m_sim->ClearLog();
    }

    int Read() {
        return m_link == LinkKind::Usb ? UsbParameterReader(&m_view) : NetParameterReader(&m_view);
    }
    int Write() {
        return m_link == LinkKind::Usb ? UsbParameterWriter(&m_view) : NetParameterWriter(&m_view);
    }

    // Requests the laminator received on the link in use, waiting briefly for `atLeast`
    // (frames without a reply may still be on their way).
    std::vector<Bytes> Requests(std::size_t atLeast = 0) const {
        const auto transport = m_link == LinkKind::Usb ? pellacor::sim::Transport::UsbHid
                                                       : pellacor::sim::Transport::Tcp;
        const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(3);
        for (;;) {
            std::vector<Bytes> requests;
            for (const pellacor::sim::FrameRecord& r : m_sim->Frames()) {
                if (r.transport == transport && r.direction == pellacor::sim::Direction::Received)
                    requests.push_back(r.bytes);
            }
            if (requests.size() >= atLeast || std::chrono::steady_clock::now() > deadline)
                return requests;
            std::this_thread::sleep_for(std::chrono::milliseconds(5));
        }
    }

    std::vector<std::string> Messages() const { return DefaultMessageBoxRecorder().Texts(); }

    std::filesystem::path m_dir;
    std::unique_ptr<pellacor::sim::Simulator> m_sim;
    LinkKind m_link = LinkKind::Usb;
    FakeView m_view;
};

class LinkTest : public SimFixture, public ::testing::TestWithParam<LinkKind> {
  protected:
    void SetUp() override {
        StartSim();
        Connect(GetParam());
    }
    void TearDown() override { StopSim(); }
};
