// The discovery protocol against two simulated laminators injecting faults chosen from a
// seed, strangers on the port among them: search, read, write back and finish. After every
// step: no operation holds the caller past the protocol's waits, and a laminator's network
// record changes only by what was read from it (the soak writes back exactly what it read).
// The suite runs the listed seeds; see tests/support/soak_runs.h for exploring others.
#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <cstdlib>
#include <random>

#include "netsetup/net_discovery.h"
#include "sim/fault_plan.h"
#include "sim/simulator.h"
#include "tests/netsetup/udp_peer.h"
#include "tests/support/loopback_senders.h"
#include "tests/support/soak_runs.h"

using namespace netsetup_test;
using pellacor::sim::Fault;
using pellacor::sim::FaultKind;

namespace {
using Clock = std::chrono::steady_clock;

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

constexpr int kNoFault = -1;

// Each step's fault (an index into kFaults, or none), drawn before anything runs.
std::vector<int> PlanWalk(std::uint64_t seed, int steps) {
    std::mt19937 rng(static_cast<std::mt19937::result_type>(seed));
    std::vector<int> plan;
    for (int i = 0; i < steps; ++i)
        plan.push_back(rng() % 2 ? static_cast<int>(rng() % std::size(kFaults)) : kNoFault);
    return plan;
}

// No fault and every fault, once each, in an order drawn from the seed.
std::vector<int> PlanSweep(std::uint64_t seed) {
    std::mt19937 rng(static_cast<std::mt19937::result_type>(seed));
    std::vector<int> plan{kNoFault};
    for (std::size_t i = 0; i < std::size(kFaults); ++i)
        plan.push_back(static_cast<int>(i));
    SoakShuffle(plan, rng);
    return plan;
}

// A walk runs just past the step where its seed once failed; a sweep runs every fault.
const SoakRun kNetworkSoakRuns[] = {
    {1, true, 0, "every fault"},
    {2, false, 12, "faults back to back"},
};

void Soak(const SoakRun& run);

class NetworkFaultSoak : public ::testing::TestWithParam<SoakRun> {};
}  // namespace

TEST_P(NetworkFaultSoak, SearchReadWriteAndFinishHoldUnderFaults) {
    Soak(GetParam());
}

INSTANTIATE_TEST_SUITE_P(Listed, NetworkFaultSoak, ::testing::ValuesIn(kNetworkSoakRuns),
                         SoakRunName);

// A seed from the environment (scripts/soak); skipped otherwise.
TEST(NetworkFaultSoakExplore, Explore) {
    const std::optional<SoakRun> run = ExploredSoakRun(30);
    if (!run)
        GTEST_SKIP() << "PELLACOR_SOAK_SEED not set";
    Soak(*run);
}

namespace {
void Soak(const SoakRun& run) {
    // Its strangers and its laminators each speak from their own loopback address.
    if (!testsupport::LoopbackSendersKeepTheirAddress())
        GTEST_SKIP() << testsupport::kLoopbackSendersMerged;
    const std::uint64_t seed = run.seed;
    const std::vector<int> plan = run.sweep ? PlanSweep(seed) : PlanWalk(seed, run.steps);
    const std::string repeat =
        std::string("PELLACOR_SOAK_SEED=") + std::to_string(seed) +
        " PELLACOR_SOAK_PLAN=" + (run.sweep ? "sweep" : "walk") +
        (run.sweep ? "" : " PELLACOR_SOAK_STEPS=" + std::to_string(run.steps));
    std::printf("network fault soak: %zu steps (%s repeats it)\n", plan.size(), repeat.c_str());
    std::fflush(stdout);

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

    // The work around the protocol's waits, stretched in the slower sanitizer builds.
    const auto slack = std::chrono::milliseconds(1500) * SoakBuildSlowdown();
    int steps = 0;
    for (const int fault : plan) {
        if (::testing::Test::HasFailure())
            break;
        std::vector<Fault> faults;
        if (fault != kNoFault)
            faults.push_back(kFaults[fault]);
        sim.SetFaults(faults);
        SCOPED_TRACE("step " + std::to_string(steps) + " fault " +
                     (faults.empty() ? std::string("none")
                                     : std::to_string(static_cast<int>(faults[0].kind))) +
                     " (" + repeat + ")");
        const auto before0 = sim.State(0).network.bytes;
        const auto before1 = sim.State(1).network.bytes;

        // The search: its collection ends 500 ms after the last datagram.
        Clock::time_point start = Clock::now();
        ASSERT_EQ(d.Search(), kNetSuccess);
        WaitIdle(d);
        EXPECT_LE(Clock::now() - start, std::chrono::milliseconds(3000 + 700) + slack);
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
            EXPECT_LE(Clock::now() - start, std::chrono::milliseconds(500 + 700) + slack);
            if (read != kNetSuccess)
                continue;
            start = Clock::now();
            const NetResult write = d.WriteConfig(laminator);
            const NetResult finish = d.FinishWrite(laminator);
            EXPECT_LE(Clock::now() - start, std::chrono::milliseconds(2 * (500 + 700)) + slack);
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
    EXPECT_EQ(steps, static_cast<int>(plan.size()));
}
}  // namespace
