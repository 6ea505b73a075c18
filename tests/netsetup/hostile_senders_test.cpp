// The discovery receiver when more than laminators speak on the port: stray fragments from
// other hosts, a host that keeps repeating itself, a flood of distinct replies, two units
// with one MAC, and a host answering a settings read that was meant for another.
#include <gtest/gtest.h>

#include <condition_variable>
#include <mutex>

#include "netsetup/net_discovery.h"
#include "tests/netsetup/udp_peer.h"
#include "tests/support/loopback_senders.h"

using namespace netsetup_test;
using namespace std::chrono_literals;

namespace {
Bytes ReplyFor(unsigned n) {
    return SearchReplyBytes(n, {127, 0, 0, 1},
                            {2, 0x50, 0x4c, static_cast<std::uint8_t>(n >> 16),
                             static_cast<std::uint8_t>(n >> 8), static_cast<std::uint8_t>(n)},
                            0x0102, "LAM-" + std::to_string(n));
}

SearchReply AsReply(const Bytes& b) {
    SearchReply r{};
    std::copy(b.begin(), b.begin() + 36, r.begin());
    return r;
}

Bytes Part(const Bytes& b, std::size_t from, std::size_t to) {
    return Bytes(b.begin() + static_cast<long>(from), b.begin() + static_cast<long>(to));
}

std::vector<SearchReply> SearchAll(CNetDiscovery& d, std::chrono::milliseconds wait = 10s) {
    std::vector<SearchReply> out;
    EXPECT_EQ(d.Search(), kNetSuccess);
    EXPECT_TRUE(WaitIdle(d, wait));
    SearchReply r{};
    while (d.PopReply(r))
        out.push_back(r);
    return out;
}

bool IsSearch(const Bytes& q) {
    return q.size() > 2 && q[2] == 0x01;
}

// A read reply whose settings carry `mac` (search reply order) and `name`.
Bytes SettingsFor(const Bytes& searchReply, const std::string& name) {
    Bytes r(69, 0);
    r[0] = 0xFF;
    r[1] = 66;
    r[2] = 0x03;
    std::copy(name.begin(), name.end(), r.begin() + 3 + 15);
    std::copy(searchReply.begin() + 9, searchReply.begin() + 15, r.begin() + 3 + 45);
    return r;
}

std::string SettingsNameOf(const NetSettings& s) {
    return std::string(reinterpret_cast<const char*>(s.data() + 15));
}

// Repeats one datagram from 127.0.0.9 every 400 ms until stopped.
class Trickler {
  public:
    Trickler(const platform::Endpoint& to, Bytes datagram)
        : m_thread([this, to, datagram] {
              std::unique_lock lock(m_mutex);
              while (!m_changed.wait_for(lock, 400ms, [&] { return m_stop; }))
                  SendFrom("127.0.0.9", to, datagram);
          }) {}
    ~Trickler() {
        {
            std::lock_guard lock(m_mutex);
            m_stop = true;
        }
        m_changed.notify_all();
        m_thread.join();
    }

  private:
    std::mutex m_mutex;
    std::condition_variable m_changed;
    bool m_stop = false;
    std::thread m_thread;
};
}  // namespace

TEST(HostileSenders, StrayFragmentsOfOtherHostsNeitherBlockNorJoinReplies) {
    const Bytes ghost = ReplyFor(0x4F4E4D);
    UdpPeer lam(
        [](const Bytes& q) -> std::vector<Bytes> {
            if (!IsSearch(q))
                return {};
            const Bytes two = ReplyFor(2);
            return {ReplyFor(1), Part(two, 0, 20), Part(two, 20, 36), ReplyFor(3)};
        },
        "127.0.0.1",
        [&](const Bytes& q, const platform::Endpoint& from) {
            if (!IsSearch(q))
                return;
            SendFrom("127.0.0.11", from, Bytes{0xFF});
            SendFrom("127.0.0.9", from, Part(ghost, 0, 20));
            SendFrom("127.0.0.10", from, Part(ghost, 20, 36));
        });
    CNetDiscovery d(lam.Target());
    const auto found = SearchAll(d);
    ASSERT_EQ(found.size(), 3u);
    for (unsigned i = 0; i < 3; ++i)
        EXPECT_EQ(found[i], AsReply(ReplyFor(i + 1)));
    // The byte, the head and the tail: none could complete from its own sender.
    EXPECT_EQ(d.DroppedReplies(), 3u);
}

TEST(HostileSenders, AFragmentOverflowedByItsSenderIsDroppedAndTheNewDatagramStands) {
    const Bytes one = ReplyFor(1), two = ReplyFor(2);
    UdpPeer lam([&](const Bytes& q) -> std::vector<Bytes> {
        if (!IsSearch(q))
            return {};
        // 20 then a whole reply; 20 then 20 then the 16 that completes the second 20.
        return {Part(one, 0, 20), one, Part(ReplyFor(9), 0, 20), Part(two, 0, 20),
                Part(two, 20, 36)};
    });
    CNetDiscovery d(lam.Target());
    const auto found = SearchAll(d);
    ASSERT_EQ(found.size(), 2u);
    EXPECT_EQ(found[0], AsReply(one));
    EXPECT_EQ(found[1], AsReply(two));
    EXPECT_EQ(d.DroppedReplies(), 2u);
}

TEST(HostileSenders, ASearchEndsThreeSecondsAfterItsRequestWhateverKeepsArriving) {
    std::mutex mutex;
    std::optional<platform::Endpoint> searcher;
    UdpPeer lam(
        [](const Bytes& q) -> std::vector<Bytes> {
            return IsSearch(q) ? std::vector<Bytes>{ReplyFor(1)} : std::vector<Bytes>{};
        },
        "127.0.0.1",
        [&](const Bytes&, const platform::Endpoint& from) {
            std::lock_guard lock(mutex);
            searcher = from;
        });
    CNetDiscovery d(lam.Target());
    ASSERT_EQ(d.Search(), kNetSuccess);
    ASSERT_TRUE(lam.WaitForAnswered(1));  // its reply goes out before the trickle's
    std::optional<Trickler> trickle;
    {
        std::lock_guard lock(mutex);
        trickle.emplace(*searcher, ReplyFor(7));
    }
    // The trickle goes on until the test ends; the collection may not.
    EXPECT_TRUE(WaitIdle(d, 8s));
    std::vector<SearchReply> found;
    SearchReply r{};
    while (d.PopReply(r))
        found.push_back(r);
    ASSERT_EQ(found.size(), 2u);  // the repeated reply is listed once
    EXPECT_EQ(found[1], AsReply(ReplyFor(7)));
}

TEST(HostileSenders, AFloodIsListedUpToTheLimitAndTheRestIsCounted) {
    constexpr unsigned kExtra = 150;
    constexpr unsigned kDistinct = CNetDiscovery::kMaxListed + kExtra;
    UdpPeer lam([&](const Bytes& q) -> std::vector<Bytes> {
        std::vector<Bytes> out;
        if (!IsSearch(q))
            return out;
        for (unsigned n = 1; n <= kDistinct; ++n)
            out.push_back(ReplyFor(n));
        // Those not listed, once more: each is counted once.
        for (unsigned n = kDistinct - kExtra + 1; n <= kDistinct; ++n)
            out.push_back(ReplyFor(n));
        return out;
    });
    lam.pauseEvery = 500;  // the test measures the list, not the kernel's buffer
    CNetDiscovery d(lam.Target());
    const auto found = SearchAll(d);
    ASSERT_EQ(found.size(), CNetDiscovery::kMaxListed);
    EXPECT_EQ(found.back(), AsReply(ReplyFor(CNetDiscovery::kMaxListed)));
    EXPECT_EQ(d.NotShown(), kExtra);
    // A new search starts counting afresh.
    lam.Stop();
    EXPECT_TRUE(SearchAll(d).empty());
    EXPECT_EQ(d.NotShown(), 0u);
}

TEST(HostileSenders, ARowIsOneMacAtOneAddress) {
    if (!testsupport::LoopbackSendersKeepTheirAddress())
        GTEST_SKIP() << testsupport::kLoopbackSendersMerged;
    const Bytes unit = ReplyFor(1);
    UdpPeer lam(
        [&](const Bytes& q) -> std::vector<Bytes> {
            return IsSearch(q) ? std::vector<Bytes>{unit, unit} : std::vector<Bytes>{};
        },
        "127.0.0.1",
        [&](const Bytes& q, const platform::Endpoint& from) {
            // A second unit with the same factory MAC, at another address.
            if (IsSearch(q))
                SendFrom("127.0.0.9", from, unit);
        });
    CNetDiscovery d(lam.Target());
    ASSERT_EQ(d.Search(), kNetSuccess);
    ASSERT_TRUE(WaitIdle(d));
    std::vector<FoundLaminator> found;
    FoundLaminator f;
    while (d.PopReply(f))
        found.push_back(f);
    ASSERT_EQ(found.size(), 2u);
    EXPECT_EQ(found[0].address, 0x7F000009u);
    EXPECT_EQ(found[1].address, 0x7F000001u);
    EXPECT_EQ(found[0].reply, found[1].reply);
}

TEST(HostileSenders, SettingsComeOnlyFromTheSearchedAddressAndCarryTheMac) {
    if (!testsupport::LoopbackSendersKeepTheirAddress())
        GTEST_SKIP() << testsupport::kLoopbackSendersMerged;
    const Bytes unit = ReplyFor(1);
    std::mutex mutex;
    std::vector<Bytes> fromLaminator;  // its answer to a read
    std::vector<Bytes> fromStranger;   // what 127.0.0.9 sends first
    UdpPeer lam(
        [&](const Bytes& q) -> std::vector<Bytes> {
            std::lock_guard lock(mutex);
            if (IsSearch(q))
                return {unit};
            if (q.size() > 2 && q[2] == 0x03)
                return fromLaminator;
            return {};
        },
        "127.0.0.1",
        [&](const Bytes& q, const platform::Endpoint& from) {
            std::lock_guard lock(mutex);
            if (!IsSearch(q))
                for (const Bytes& b : fromStranger)
                    SendFrom("127.0.0.9", from, b);
        });
    auto answer = [&](std::vector<Bytes> laminator, std::vector<Bytes> stranger) {
        std::lock_guard lock(mutex);
        fromLaminator = std::move(laminator);
        fromStranger = std::move(stranger);
    };
    CNetDiscovery d(lam.Target());
    ASSERT_EQ(SearchAll(d).size(), 1u);

    // A stranger answering first does not choose the settings.
    answer({SettingsFor(unit, "REAL")}, {SettingsFor(unit, "ROGUE")});
    ASSERT_EQ(d.ReadConfig(AsReply(unit)), kNetSuccess);
    EXPECT_EQ(SettingsNameOf(d.m_settings), "REAL");

    // Its acknowledgement confirms no write.
    answer({}, {Hex("ff01054b")});
    EXPECT_EQ(d.WriteConfig(AsReply(unit)), kNetNoReply);

    // Only the stranger, or the laminator with another unit's record: no settings.
    answer({}, {SettingsFor(unit, "ROGUE")});
    EXPECT_EQ(d.ReadConfig(AsReply(unit)), kNetNoReply);
    answer({SettingsFor(ReplyFor(2), "OTHER")}, {});
    EXPECT_EQ(d.ReadConfig(AsReply(unit)), kNetNoReply);

    // The laminator's record after another's: the right one is taken. Read by position: no
    // leading FF, no length, no checksum are required.
    Bytes bare = SettingsFor(unit, "BARE");
    bare[0] = bare[1] = bare[2] = 0;
    bare[68] = 0x99;
    answer({SettingsFor(ReplyFor(2), "OTHER"), bare}, {});
    ASSERT_EQ(d.ReadConfig(AsReply(unit)), kNetSuccess);
    EXPECT_EQ(SettingsNameOf(d.m_settings), "BARE");
}

TEST(HostileSenders, ALaminatorNoSearchFoundGetsNoSettingsRead) {
    UdpPeer lam([](const Bytes& q) -> std::vector<Bytes> {
        return q.size() > 2 && q[2] == 0x03 ? std::vector<Bytes>{SettingsFor(ReplyFor(1), "X")}
                                            : std::vector<Bytes>{};
    });
    CNetDiscovery d(lam.Target());
    EXPECT_EQ(d.ReadConfig(AsReply(ReplyFor(1))), kNetNoReply);
}
