// Several threads exchanging on one link at once: every request must reach the peer whole
// and unmixed, and every reply must come back to the thread that asked.
#include <gtest/gtest.h>

#include <atomic>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <functional>
#include <thread>
#include <vector>

#include "framework/message_box.h"
#include "link/ethernet_link.h"
#include "link/link_buffers.h"
#include "link/usb_backend.h"
#include "link/usb_link.h"
#include "loopback_peer.h"
#include "platform/process.h"
#include "tests/support/usb_sim_peer.h"

namespace {

constexpr int kThreads = 4;
constexpr int kExchanges = 1500;
constexpr std::size_t kFrame = 64;

// Byte 0 the thread, bytes 1 to 4 the sequence number, the rest the thread again.
std::string TaggedCommand(int thread, int seq) {
    std::string text;
    char pair[4];
    for (std::size_t i = 0; i < kFrame; ++i) {
        int value = thread;
        if (i >= 1 && i <= 4) {
            value = (seq >> (8 * (4 - i))) & 0xFF;
        }
        std::snprintf(pair, sizeof pair, "%02x ", value);
        text += pair;
    }
    return text;
}

bool IsWhole(const std::uint8_t* frame) {
    for (std::size_t i = 5; i < kFrame; ++i) {
        if (frame[i] != frame[0]) {
            return false;
        }
    }
    return true;
}

int SeqOf(const std::uint8_t* frame) {
    return (frame[1] << 24) | (frame[2] << 16) | (frame[3] << 8) | frame[4];
}

// Runs kThreads threads of kExchanges exchanges each; returns the replies that were wrong.
int RunExchanges(const std::function<bool()>& exchange) {
    std::atomic<int> wrong{0};
    std::vector<std::thread> threads;
    for (int t = 1; t <= kThreads; ++t) {
        threads.emplace_back([&, t] {
            for (int seq = 0; seq < kExchanges; ++seq) {
                LinkTransaction transaction;
                EncodeCommand(TaggedCommand(t, seq));
                TxLength = static_cast<std::int32_t>(kFrame);
                if (!exchange() || RxBuffer[0] != t || SeqOf(RxBuffer.data()) != seq ||
                    !IsWhole(RxBuffer.data())) {
                    ++wrong;
                }
            }
        });
    }
    for (std::thread& thread : threads) {
        thread.join();
    }
    return wrong;
}

TEST(LinkConcurrency, TcpExchangesOfSeveralThreadsDoNotInterleave) {
    LoopbackListener listener;
    SetEthernetPort(listener.Port());
    DefaultMessageBoxRecorder().Clear();
    ASSERT_TRUE(ConnectEthernet("127.0.0.1"));
    const int peer = listener.Accept();
    std::atomic<int> mixed{0};
    std::atomic<int> served{0};
    std::thread server([&] {
        std::uint8_t frame[kFrame];
        while (ReceiveAll(peer, frame, kFrame)) {
            if (!IsWhole(frame)) {
                ++mixed;
            }
            ++served;
            SendAll(peer, frame, kFrame);
        }
    });

    const int wrong = RunExchanges([] { return NetSend() == 64 && NetReceive(kFrame); });
    CloseEthernet();
    server.join();
    platform::CloseSocket(peer);
    SetEthernetPort(kLaminatorTcpPort);
    EXPECT_EQ(wrong, 0);
    EXPECT_EQ(mixed, 0);
    EXPECT_EQ(served, kThreads * kExchanges);
    EXPECT_TRUE(DefaultMessageBoxRecorder().Texts().empty());
}

TEST(LinkConcurrency, UsbExchangesOfSeveralThreadsDoNotInterleave) {
    std::string reason;
    const std::optional<std::filesystem::path> folder =
        platform::MakePrivateTempFolder("pellacor-link", reason);
    ASSERT_TRUE(folder) << reason;
    const std::filesystem::path& dir = *folder;
    const std::string path = (dir / "laminator.sock").string();
    UsbSimPeer device(path);
    ASSERT_TRUE(device.Ok()) << device.Error();
    SetUsbBackends({MakeSimulatedUsbBackend(path, UsbClass::Hid)});
    CloseUsbLink();
    DefaultMessageBoxRecorder().Clear();
    ASSERT_EQ(OpenHidLink(), 1);
    ASSERT_TRUE(device.AcceptLatest());
    std::atomic<int> mixed{0};
    std::thread server([&] {
        std::uint8_t frame[256];
        for (;;) {
            const int n = device.peer.Receive(frame, sizeof frame, std::chrono::seconds(30));
            if (n <= 0) {
                return;
            }
            if (n != static_cast<int>(kFrame) || !IsWhole(frame)) {
                ++mixed;
            }
            device.peer.Send(frame, static_cast<std::size_t>(n), std::chrono::seconds(5));
        }
    });

    const int wrong = RunExchanges([] { return UsbWrite() == 64 && ReadUsbReply(); });
    CloseUsbLink();
    server.join();
    ResetUsbBackends();
    std::filesystem::remove_all(dir);
    EXPECT_EQ(wrong, 0);
    EXPECT_EQ(mixed, 0);
    EXPECT_TRUE(DefaultMessageBoxRecorder().Texts().empty());
}

}  // namespace
