// The discovery object against a laminator written here from the frame tables: requests on
// the wire, assembly of search replies, busy and not-read results, acknowledgements.
#include "netsetup/net_discovery.h"

#include <gtest/gtest.h>

#include <mutex>

#include "tests/netsetup/udp_peer.h"

using namespace netsetup_test;
using namespace std::chrono_literals;

namespace {
Bytes ReplyFor(unsigned n) {
    return SearchReplyBytes(
        n, {127, 0, 0, static_cast<std::uint8_t>(n)},
        {2, 0x50, 0x4c, 0, static_cast<std::uint8_t>(n >> 8), static_cast<std::uint8_t>(n)}, 0x0102,
        "LAM-" + std::to_string(n));
}

SearchReply AsReply(const Bytes& b) {
    SearchReply r{};
    std::copy(b.begin(), b.begin() + 36, r.begin());
    return r;
}

std::vector<SearchReply> Drain(CNetDiscovery& d) {
    std::vector<SearchReply> out;
    SearchReply r{};
    while (d.PopReply(r))
        out.push_back(r);
    return out;
}

// Settings bytes counting up, with the MAC of laminator 1 where a whole record holds it.
Bytes SettingsReply(std::size_t total) {
    Bytes r(total, 0);
    r[0] = 0xFF;
    r[1] = static_cast<std::uint8_t>(total - 3);
    r[2] = 0x03;
    for (std::size_t i = 3; i + 1 < total; ++i)
        r[i] = static_cast<std::uint8_t>(i);
    const Bytes one = ReplyFor(1);
    if (total > 3 + 51)
        std::copy(one.begin() + 9, one.begin() + 15, r.begin() + 3 + 45);
    return r;
}

bool IsMacByte(std::size_t settingsOffset) {
    return settingsOffset >= 45 && settingsOffset < 51;
}

// Answers searches, reads, writes and finishes with what a test set last; the peer's thread
// reads the answers while the test changes them.
struct Laminator {
    std::vector<Bytes> search;
    std::vector<Bytes> read = {SettingsReply(69)};
    std::vector<Bytes> write = {Hex("ff01054b")};
    std::vector<Bytes> finish = {Hex("ff02044b51")};
    std::mutex mutex;

    void Answer(std::vector<Bytes> Laminator::*field, std::vector<Bytes> datagrams) {
        std::lock_guard lock(mutex);
        this->*field = std::move(datagrams);
    }
    UdpPeer::Script Script() {
        return [this](const Bytes& q) -> std::vector<Bytes> {
            std::lock_guard lock(mutex);
            switch (q.size() > 2 ? q[2] : 0) {
                case 0x01:
                    return search;
                case 0x03:
                    return read;
                case 0x05:
                    return write;
                case 0x04:
                    return finish;
            }
            return {};
        };
    }
};

SearchReply Known() {
    return AsReply(ReplyFor(1));
}
}  // namespace

TEST(NetDiscovery, SearchSendsTheRequestAndQueuesRepliesInArrivalOrder) {
    Laminator lam;
    lam.search = {ReplyFor(1), ReplyFor(2), ReplyFor(3)};
    UdpPeer peer(lam.Script());
    CNetDiscovery d(peer.Target());
    EXPECT_TRUE(d.IsIdle());
    ASSERT_EQ(d.Search(), kNetSuccess);
    ASSERT_TRUE(peer.WaitForRequests(1));
    EXPECT_EQ(peer.Requests()[0], Hex("ff010102"));
    ASSERT_TRUE(WaitIdle(d));
    const auto replies = Drain(d);
    ASSERT_EQ(replies.size(), 3u);
    for (unsigned i = 0; i < 3; ++i)
        EXPECT_EQ(replies[i], AsReply(ReplyFor(i + 1)));
}

TEST(NetDiscovery, SplitRepliesAreAssembledAndOversizedOnesDropped) {
    Laminator lam;
    const Bytes one = ReplyFor(1), two = ReplyFor(2), three = ReplyFor(3);
    Bytes merged = two;
    merged.insert(merged.end(), three.begin(), three.end());
    lam.search = {Bytes(one.begin(), one.begin() + 20),
                  Bytes(one.begin() + 20, one.end()),
                  Bytes(),
                  merged,
                  Bytes(100, 0xAB),
                  three};
    UdpPeer peer(lam.Script());
    CNetDiscovery d(peer.Target());
    ASSERT_EQ(d.Search(), kNetSuccess);
    ASSERT_TRUE(WaitIdle(d));
    const auto replies = Drain(d);
    ASSERT_EQ(replies.size(), 2u);
    EXPECT_EQ(replies[0], AsReply(one));
    EXPECT_EQ(replies[1], AsReply(three));
    EXPECT_EQ(d.DroppedReplies(), 2u);
}

TEST(NetDiscovery, ALaminatorAnsweringTwiceIsQueuedOnce) {
    Laminator lam;
    lam.search = {ReplyFor(1), ReplyFor(2), ReplyFor(1)};
    UdpPeer peer(lam.Script());
    CNetDiscovery d(peer.Target());
    ASSERT_EQ(d.Search(), kNetSuccess);
    ASSERT_TRUE(WaitIdle(d));
    EXPECT_EQ(Drain(d).size(), 2u);
}

TEST(NetDiscovery, OperationsAreBusyDuringACollectionAndNotReadAfterASearch) {
    Laminator lam;
    lam.search = {ReplyFor(1)};
    UdpPeer peer(lam.Script());
    CNetDiscovery d(peer.Target());
    ASSERT_EQ(d.Search(), kNetSuccess);
    // The collection lasts at least 500 ms after the reply.
    EXPECT_EQ(d.ReadConfig(Known()), kNetBusy);
    EXPECT_EQ(d.WriteConfig(Known()), kNetBusy);
    EXPECT_EQ(d.Search(), kNetBusy);
    ASSERT_TRUE(WaitIdle(d));
    EXPECT_EQ(d.WriteConfig(Known()), kNetNotRead);
    EXPECT_EQ(d.FinishWrite(Known()), kNetNotRead);
    ASSERT_EQ(d.ReadConfig(Known()), kNetSuccess);
    EXPECT_EQ(d.WriteConfig(Known()), kNetSuccess);
    EXPECT_EQ(d.FinishWrite(Known()), kNetSuccess);
    // A new search forgets the read; so does a failed read.
    ASSERT_EQ(d.Search(), kNetSuccess);
    ASSERT_TRUE(WaitIdle(d));
    EXPECT_EQ(d.WriteConfig(Known()), kNetNotRead);
    ASSERT_EQ(d.ReadConfig(Known()), kNetSuccess);
    lam.Answer(&Laminator::read, {});
    EXPECT_EQ(d.ReadConfig(Known()), kNetNoReply);
    EXPECT_EQ(d.WriteConfig(Known()), kNetNotRead);
    EXPECT_TRUE(d.IsIdle());
}

TEST(NetDiscovery, ReadFillsTheSettingsFromTheReply) {
    Laminator lam;
    lam.search = {ReplyFor(1)};
    UdpPeer peer(lam.Script());
    CNetDiscovery d(peer.Target());
    ASSERT_EQ(d.Search(), kNetSuccess);
    ASSERT_TRUE(WaitIdle(d));
    ASSERT_EQ(d.ReadConfig(Known()), kNetSuccess);
    ASSERT_TRUE(peer.WaitForRequests(2));
    const Bytes q = peer.Requests()[1];
    ASSERT_EQ(q.size(), 22u);
    EXPECT_EQ(Bytes(q.begin(), q.begin() + 9), Hex("ff1303 0100004c5002"));
    for (std::size_t i = 0; i < 65; ++i) {
        if (!IsMacByte(i)) {
            EXPECT_EQ(d.m_settings[i], i + 3) << i;
        }
    }

    // A shorter reply is no reply: its bytes would have been mixed with the ones before.
    d.m_settings.fill(0xAA);
    lam.Answer(&Laminator::read, {SettingsReply(20)});
    EXPECT_EQ(d.ReadConfig(Known()), kNetNoReply);
    EXPECT_EQ(d.m_settings[0], 0xAA);
    EXPECT_EQ(d.WriteConfig(Known()), kNetNotRead);

    // Larger than 69 bytes is not received; fewer than 4 carry nothing.
    lam.Answer(&Laminator::read, {SettingsReply(70)});
    EXPECT_EQ(d.ReadConfig(Known()), kNetNoReply);
    lam.Answer(&Laminator::read, {Hex("ff01")});
    EXPECT_EQ(d.ReadConfig(Known()), kNetNoReply);
    EXPECT_EQ(d.WriteConfig(Known()), kNetNotRead);
}

TEST(NetDiscovery, WriteSendsTheSettingsAndChecksTheAcknowledgements) {
    Laminator lam;
    lam.search = {ReplyFor(1)};
    UdpPeer peer(lam.Script());
    CNetDiscovery d(peer.Target());
    ASSERT_EQ(d.Search(), kNetSuccess);
    ASSERT_TRUE(WaitIdle(d));
    ASSERT_EQ(d.ReadConfig(Known()), kNetSuccess);
    d.m_settings[0] = 0x80;
    EXPECT_EQ(d.WriteConfig(Known()), kNetSuccess);
    EXPECT_EQ(d.FinishWrite(Known()), kNetSuccess);
    ASSERT_TRUE(peer.WaitForRequests(4));
    const Bytes write = peer.Requests()[2];
    ASSERT_EQ(write.size(), 87u);
    EXPECT_EQ(Bytes(write.begin() + 21, write.begin() + 86),
              Bytes(d.m_settings.begin(), d.m_settings.end()));
    const Bytes finish = peer.Requests()[3];
    ASSERT_EQ(finish.size(), 22u);
    EXPECT_EQ(finish[1], 0x13);
    EXPECT_EQ(finish[2], 0x04);

    struct Case {
        std::vector<Bytes> write, finish;
        NetResult expected;
    };
    const Case cases[] = {
        {{Hex("ff01054e")}, {Hex("ff02044e54")}, kNetBadAck},
        {{Hex("ff01")}, {Hex("ff0204")}, kNetSuccess},            // a matching prefix
        {{Hex("ff01054b00")}, {Hex("ff02044b51")}, kNetSuccess},  // fifth byte not compared
        {{}, {}, kNetNoReply},
        {{Hex("ff01054b0000")}, {Hex("ff02044b5100")}, kNetNoReply},  // larger than 5 bytes
    };
    for (const Case& c : cases) {
        lam.Answer(&Laminator::write, c.write);
        lam.Answer(&Laminator::finish, c.finish);
        EXPECT_EQ(d.WriteConfig(Known()), c.expected);
        if (c.write.empty() || c.write[0].size() != 5) {
            EXPECT_EQ(d.FinishWrite(Known()), c.expected);
        }
    }
    lam.Answer(&Laminator::finish, {Hex("ff02044b52")});
    EXPECT_EQ(d.FinishWrite(Known()), kNetBadAck);  // the finishing checksum is compared
}

TEST(NetDiscovery, AVanishingLaminatorEndsTheCollectionWithWhatArrived) {
    Laminator lam;
    const Bytes two = ReplyFor(2);
    lam.search = {ReplyFor(1), Bytes(two.begin(), two.begin() + 20)};
    UdpPeer peer(lam.Script());
    CNetDiscovery d(peer.Target());
    ASSERT_EQ(d.Search(), kNetSuccess);
    ASSERT_TRUE(peer.WaitForRequests(1));
    peer.Stop();
    ASSERT_TRUE(WaitIdle(d));
    EXPECT_EQ(Drain(d).size(), 1u);
    EXPECT_EQ(d.ReadConfig(Known()), kNetNoReply);
}

TEST(NetDiscovery, DestroyedDuringACollectionEndsItsReceiveThread) {
    Laminator lam;
    lam.search = {ReplyFor(1)};
    UdpPeer peer(lam.Script());
    for (int i = 0; i < 3; ++i) {
        CNetDiscovery d(peer.Target());
        ASSERT_EQ(d.Search(), kNetSuccess);
        d.WaitForReplyOrIdle(2s);
    }
    CNetDiscovery stopped(peer.Target());
    ASSERT_EQ(stopped.Search(), kNetSuccess);
    stopped.StopCollection();
    EXPECT_TRUE(WaitIdle(stopped, 2s));
}
