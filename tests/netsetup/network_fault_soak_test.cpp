// The discovery protocol against two simulated laminators injecting faults at random from a
// printed seed, strangers on the port among them: search, read, write back and finish. After every
// step: no operation holds the caller past the protocol's waits, and a laminator's network record
// changes only by what was read from it (the soak writes back exactly what it read).
//   PELLACOR_SOAK_SEED=N, PELLACOR_SOAK_SECONDS=N (default 30 here)
#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <cstdlib>
#include <random>

#include "netsetup/net_discovery.h"
#include "sim/fault_plan.h"
#include "sim/simulator.h"
#include "tests/netsetup/udp_peer.h"

using namespace netsetup_test;
using pellacor::sim::Fault;
using pellacor::sim::FaultKind;

namespace {
using Clock = std::chrono::steady_clock;

std::uint64_t EnvNumber(const char* name, std::uint64_t fallback) {
    const char* text = std::getenv(name);
    return text && *text ? std::strtoull(text, nullptr, 10) : fallback;
}

const Fault kFaults[] = {
    {FaultKind::Silent, 0, 0},
    {FaultKind::DropNth, 1, 0},
    {FaultKind::DropNth, 2, 0},
    {FaultKind::WrongAck, 0, 0},
    {FaultKind::Truncate, 0, 0},
    {FaultKind::Oversize, 0, 0},
    {FaultKind::Delay, 200, 0},
    {FaultKind::Delay, 700, 0},
    // Other hosts on the port: none of them may add a row, hold the search or choose a write.
    {FaultKind::Stray, 0, 0},
    {FaultKind::Trickle, 10, 0},
    {FaultKind::Flood, 5000, 0},
    {FaultKind::Rogue, 0, 0},
};

bool Is(const std::vector<Fault>& faults, FaultKind kind) {
    return !faults.empty() && faults[0].kind == kind;
}
}  // namespace

TEST(NetworkFaultSoak, SearchReadWriteAndFinishHoldUnderRandomFaults) {
    const std::uint64_t seed = EnvNumber("PELLACOR_SOAK_SEED", std::random_device{}());
    const auto duration = std::chrono::seconds(EnvNumber("PELLACOR_SOAK_SECONDS", 30));
    std::printf("network fault soak: seed %llu\n", static_cast<unsigned long long>(seed));
    std::fflush(stdout);
    std::mt19937 rng(static_cast<std::mt19937::result_type>(seed));

    pellacor::sim::SimOptions o;
    o.count = 2;
    o.tcp = false;
    o.udpPort = 0;
    pellacor::sim::Simulator sim(o);
    std::string error;
    ASSERT_TRUE(sim.Start(&error)) << error;
    SearchTarget target;
    target.address = 0x7F000001;
    target.port = sim.UdpPort();
    CNetDiscovery d(target);

    const Clock::time_point end = Clock::now() + duration;
    int steps = 0;
    while (Clock::now() < end && !::testing::Test::HasFailure()) {
        std::vector<Fault> faults;
        if (rng() % 2)
            faults.push_back(kFaults[rng() % std::size(kFaults)]);
        sim.SetFaults(faults);
        SCOPED_TRACE("step " + std::to_string(steps) + " fault " +
                     (faults.empty() ? std::string("none")
                                     : std::to_string(static_cast<int>(faults[0].kind))) +
                     " (seed " + std::to_string(seed) + ")");
        const auto before0 = sim.State(0).network.bytes;
        const auto before1 = sim.State(1).network.bytes;

        // The search: its collection ends 500 ms after the last datagram.
        Clock::time_point start = Clock::now();
        ASSERT_EQ(d.Search(), kNetSuccess);
        WaitIdle(d);
        EXPECT_LE(Clock::now() - start, std::chrono::milliseconds(3000 + 700 + 1500));
        // Only the two laminators, and the made-up ones of a flood, are listed.
        const auto mac0 = sim.State(0).network.MacWire();
        const auto mac1 = sim.State(1).network.MacWire();
        std::vector<SearchReply> found;
        std::size_t listed = 0;
        SearchReply r{};
        while (d.PopReply(r)) {
            ++listed;
            const MacBytes mac = ReplyMac(r);
            if (std::equal(mac.begin(), mac.end(), mac0.begin()) ||
                std::equal(mac.begin(), mac.end(), mac1.begin()))
                found.push_back(r);
            else
                EXPECT_TRUE(Is(faults, FaultKind::Flood)) << ReplyMacText(r);
        }
        EXPECT_LE(listed, CNetDiscovery::kMaxListed);
        EXPECT_LE(found.size(), 2u);
        if (faults.empty() || Is(faults, FaultKind::Stray) || Is(faults, FaultKind::Trickle) ||
            Is(faults, FaultKind::Rogue)) {
            EXPECT_EQ(found.size(), 2u);
        }

        for (const SearchReply& laminator : found) {
            start = Clock::now();
            const NetResult read = d.ReadConfig(laminator);
            EXPECT_LE(Clock::now() - start, std::chrono::milliseconds(500 + 700 + 1500));
            if (read != kNetSuccess)
                continue;
            start = Clock::now();
            const NetResult write = d.WriteConfig(laminator);
            const NetResult finish = d.FinishWrite(laminator);
            EXPECT_LE(Clock::now() - start, std::chrono::milliseconds(2 * (500 + 700) + 1500));
            for (NetResult result : {write, finish})
                EXPECT_TRUE(result == kNetSuccess || result == kNetNoReply || result == kNetBadAck)
                    << result;
            if (faults.empty() || Is(faults, FaultKind::Rogue)) {
                EXPECT_EQ(write, kNetSuccess);
                EXPECT_EQ(finish, kNetSuccess);
            }
        }
        // Written back as read: nothing changed on either laminator.
        EXPECT_EQ(sim.State(0).network.bytes, before0);
        EXPECT_EQ(sim.State(1).network.bytes, before1);
        ++steps;
    }
    std::printf("network fault soak: %d steps\n", steps);
    EXPECT_GT(steps, 0);
}
