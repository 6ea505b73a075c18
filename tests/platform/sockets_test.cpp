#include "platform/sockets.h"

#include <gtest/gtest.h>

#include <array>
#include <chrono>
#include <cstdint>
#include <thread>
#include <vector>

#include "platform/wakeup.h"

namespace {
using namespace std::chrono_literals;
using platform::Endpoint;
using platform::Socket;
using platform::SocketKind;

Socket BoundUdp() {
    Socket s(platform::OpenSocket(SocketKind::Datagram));
    EXPECT_TRUE(s.Valid());
    EXPECT_TRUE(platform::Bind(s.Get(), Endpoint{platform::kLoopback, 0}));
    return s;
}

// A connected loopback pair: the client's end and the accepted end.
std::pair<Socket, Socket> TcpPair() {
    Socket listening(platform::OpenSocket(SocketKind::Stream));
    EXPECT_TRUE(platform::Bind(listening.Get(), Endpoint{platform::kLoopback, 0}));
    EXPECT_TRUE(platform::Listen(listening.Get(), 1));
    Socket client(platform::OpenSocket(SocketKind::Stream));
    EXPECT_EQ(platform::StartConnect(client.Get(), platform::LocalEndpoint(listening.Get())),
              platform::ConnectStart::Connected);
    Socket accepted(platform::Accept(listening.Get()));
    EXPECT_TRUE(accepted.Valid());
    return {std::move(client), std::move(accepted)};
}
}  // namespace

// Each system takes the time-out in its own unit (a timeval, a DWORD of milliseconds): a
// unit taken wrongly shows as a wait of 150 s or of 150 µs.
TEST(PlatformSockets, ReceiveTimeOutEndsTheWaitWithATimeOutNotData) {
    Socket s = BoundUdp();
    ASSERT_TRUE(platform::SetReceiveTimeout(s.Get(), 150ms));
    std::uint8_t buffer[16];
    const auto start = std::chrono::steady_clock::now();
    const long n = platform::ReceiveFrom(s.Get(), buffer, sizeof buffer, nullptr);
    const auto waited = std::chrono::steady_clock::now() - start;
    EXPECT_EQ(n, -1);
    EXPECT_EQ(platform::LastSocketError(), platform::SocketError::TimedOut);
    EXPECT_GE(waited, 100ms);
    EXPECT_LT(waited, 30s);
}

TEST(PlatformSockets, DatagramsKeepTheirBoundariesAndAnOversizedOneIsToldSo) {
    Socket receiver = BoundUdp();
    Socket sender = BoundUdp();
    const Endpoint to = platform::LocalEndpoint(receiver.Get());
    ASSERT_NE(to.port, 0);
    const std::vector<std::uint8_t> small(7, 0x11), exact(16, 0x22), large(100, 0x33);
    for (const auto* d : {&small, &exact, &large})
        ASSERT_EQ(platform::SendTo(sender.Get(), d->data(), d->size(), to),
                  static_cast<long>(d->size()));
    ASSERT_TRUE(platform::SetReceiveTimeout(receiver.Get(), 5s));
    std::array<std::uint8_t, 16> buffer{};
    Endpoint from;
    EXPECT_EQ(platform::ReceiveFrom(receiver.Get(), buffer.data(), buffer.size(), &from), 7);
    EXPECT_EQ(from.address, platform::kLoopback);
    EXPECT_EQ(from.port, platform::LocalEndpoint(sender.Get()).port);
    EXPECT_EQ(platform::ReceiveFrom(receiver.Get(), buffer.data(), buffer.size(), nullptr), 16);
    EXPECT_EQ(buffer[15], 0x22);
    // Never a silent cut: the caller learns the datagram did not fit.
    EXPECT_GT(platform::ReceiveFrom(receiver.Get(), buffer.data(), buffer.size(), nullptr), 16);
}

// On Windows a datagram that met a closed port would fail the next receive with a reset.
TEST(PlatformSockets, ADatagramToAClosedPortDoesNotBreakTheNextReceive) {
    Socket s = BoundUdp();
    Endpoint closed;
    {
        Socket gone = BoundUdp();
        closed = platform::LocalEndpoint(gone.Get());
    }
    const std::uint8_t byte = 1;
    platform::SendTo(s.Get(), &byte, 1, closed);
    ASSERT_TRUE(platform::SetReceiveTimeout(s.Get(), 150ms));
    std::uint8_t buffer[4];
    EXPECT_EQ(platform::ReceiveFrom(s.Get(), buffer, sizeof buffer, nullptr), -1);
    EXPECT_EQ(platform::LastSocketError(), platform::SocketError::TimedOut);
}

TEST(PlatformSockets, PendingBytesAndPeerCloseOnAStream) {
    auto [client, accepted] = TcpPair();
    const std::uint8_t data[5] = {1, 2, 3, 4, 5};
    ASSERT_EQ(platform::Send(client.Get(), data, sizeof data), 5);
    ASSERT_EQ(platform::WaitSocket(accepted.Get(), platform::kReadable, 5s), 1);
    EXPECT_EQ(platform::PendingBytes(accepted.Get()), 5);
    std::uint8_t buffer[8];
    EXPECT_EQ(platform::Receive(accepted.Get(), buffer, sizeof buffer), 5);
    // Nothing waiting: a call that must not wait says so at once.
    EXPECT_EQ(platform::Receive(accepted.Get(), buffer, sizeof buffer, platform::Blocking::NoWait),
              -1);
    EXPECT_EQ(platform::LastSocketError(), platform::SocketError::TimedOut);
    client.Reset();
    EXPECT_EQ(platform::WaitSocket(accepted.Get(), platform::kHangUp, 5s), 1);
    EXPECT_EQ(platform::Receive(accepted.Get(), buffer, sizeof buffer), 0);
}

// Windows may write a BOOL option in fewer bytes than asked: a reading that kept stale bytes
// would call the delay off before it was set.
TEST(PlatformSockets, NoDelayReadsBackOnlyOnceSet) {
    auto [client, accepted] = TcpPair();
    EXPECT_FALSE(platform::NoDelayIsSet(client.Get()));
    ASSERT_TRUE(platform::SetNoDelay(client.Get()));
    EXPECT_TRUE(platform::NoDelayIsSet(client.Get()));
    EXPECT_FALSE(platform::NoDelayIsSet(platform::kNoSocket));
}

// After a shutdown the connection carries nothing either way, its handle still open: the
// peer sees the end, and a send fails instead of going out.
TEST(PlatformSockets, AShutdownEndsTheConnectionBothWays) {
    auto [client, accepted] = TcpPair();
    ASSERT_TRUE(platform::ShutdownConnection(client.Get()));
    std::uint8_t byte = 7;
    EXPECT_EQ(platform::Receive(accepted.Get(), &byte, 1), 0);
    EXPECT_EQ(platform::Send(client.Get(), &byte, 1), -1);
    EXPECT_LE(platform::Receive(client.Get(), &byte, 1, platform::Blocking::NoWait), 0);
}

TEST(PlatformWakeup, RaiseWakesAWaitingLoopAndClearQuietsIt) {
    platform::Wakeup wake;
    ASSERT_TRUE(wake.Valid());
    Socket idle = BoundUdp();
    int ready = -2;
    bool wokeByWakeup = false;
    std::thread waiter([&] {
        platform::WaitEntry entries[2] = {{idle.Get(), platform::kReadable},
                                          {wake.Id(), platform::kReadable}};
        ready = platform::WaitSockets(entries, 2, -1ms);
        wokeByWakeup = entries[1].ready && !entries[0].ready;
    });
    wake.Raise();
    waiter.join();
    EXPECT_EQ(ready, 1);
    EXPECT_TRUE(wokeByWakeup);
    wake.Raise();
    ASSERT_EQ(platform::WaitSocket(wake.Id(), platform::kReadable, 5s), 1);
    wake.Clear();
    EXPECT_EQ(platform::WaitSocket(wake.Id(), platform::kReadable, 0ms), 0);
}
