// discover, --discovered, netconfig and list against simulated laminators on loopback (the
// search goes to the simulator's UDP port, never out of the machine).
#include <gtest/gtest.h>

#include <chrono>
#include <set>

#include "sim/fault_plan.h"
#include "tests/cli/ctl_process.h"
#include "tests/support/loopback_senders.h"

namespace {
using ctltest::RunCtl;

class CtlNetwork : public ::testing::Test {
  protected:
    void SetUp() override { ASSERT_TRUE(m_lams.Started()) << m_lams.Error(); }
    ctltest::CtlRun Ctl(std::vector<std::string> args) {
        std::vector<std::string> all = {"--json", "--search-address", m_lams.SearchAddress(),
                                        "--tcp-port", std::to_string(m_lams.Sim().TcpPort(0))};
        all.insert(all.end(), args.begin(), args.end());
        return RunCtl(all);
    }
    nlohmann::json Discovered() {
        const ctltest::CtlRun run = Ctl({"discover"});
        EXPECT_EQ(run.exit, 0) << run.err;
        return run.Json()["laminators"];
    }
    ctltest::SimulatedLaminators m_lams{3};
};

TEST_F(CtlNetwork, DiscoverListsEachLaminatorOnce) {
    const nlohmann::json found = Discovered();
    ASSERT_EQ(found.size(), 3u);
    std::set<std::string> macs;
    for (const auto& l : found) {
        for (const char* key : {"device-id", "mac-address", "name", "fw-boot", "ip-address"})
            EXPECT_TRUE(l.contains(key)) << key;
        EXPECT_TRUE(l["device-id"].is_number()) << l.dump();
        macs.insert(l["mac-address"]);
    }
    EXPECT_EQ(macs.size(), 3u);
}

TEST_F(CtlNetwork, DiscoveredStatusGivesOneReadingPerLaminator) {
    const ctltest::CtlRun run = Ctl({"--discovered", "status"});
    ASSERT_EQ(run.exit, 0) << run.err;
    const nlohmann::json doc = run.Json();
    ASSERT_EQ(doc["laminators"].size(), 3u);
    std::set<std::string> targets;
    for (const auto& l : doc["laminators"]) {
        EXPECT_EQ(l["exit"], 0);
        EXPECT_TRUE(l["status"]["roller-temperature"].is_number_integer());
        targets.insert(l["target"]);
    }
    EXPECT_EQ(targets.size(), 3u);
}

TEST_F(CtlNetwork, NetconfigChangesNameAndAddressAndShowsBeforeAndAfter) {
    if (!testsupport::LoopbackSendersKeepTheirAddress())
        GTEST_SKIP() << testsupport::kLoopbackSendersMerged;
    const nlohmann::json found = Discovered();
    ASSERT_EQ(found.size(), 3u);
    const std::string mac = found[1]["mac-address"];
    const ctltest::CtlRun run = Ctl({"netconfig", mac, "--static", "--ip", "127.0.0.9", "--mask",
                                     "255.0.0.0", "--gateway", "127.0.0.1", "--name", "Room 4"});
    ASSERT_EQ(run.exit, 0) << run.err;
    const nlohmann::json doc = run.Json();
    for (const char* side : {"before", "after"}) {
        for (const char* key : {"name", "method", "ip-address", "subnet-mask", "gateway"})
            EXPECT_TRUE(doc[side].contains(key)) << side << " " << key;
    }
    EXPECT_EQ(doc["before"]["name"], found[1]["name"]);
    EXPECT_EQ(doc["after"]["name"], "Room 4");
    EXPECT_EQ(doc["after"]["method"], "static");
    EXPECT_EQ(doc["after"]["ip-address"], "127.0.0.9");
    // Read back from the address it moved to.
    EXPECT_EQ(doc["confirmed"], true);
    bool seen = false;
    for (const auto& l : Discovered()) {
        if (l["mac-address"] == mac) {
            seen = true;
            EXPECT_EQ(l["name"], "Room 4");
            EXPECT_EQ(l["ip-address"], "127.0.0.9");
        }
    }
    EXPECT_TRUE(seen);
}

TEST_F(CtlNetwork, NetconfigWithoutAReadBackSaysWrittenButNotConfirmed) {
    std::string error;
    // Search, then netconfig's search, read, write, finish: the sixth request a laminator
    // gets on the port is the read-back.
    const auto drop = pellacor::sim::ParseFault("drop-nth=6@udp", &error);
    ASSERT_TRUE(drop) << error;
    m_lams.Sim().SetFaults({*drop});
    const std::string mac = Discovered()[0]["mac-address"];
    const ctltest::CtlRun run = Ctl({"netconfig", mac, "--name", "Renamed"});
    EXPECT_EQ(run.exit, 1) << run.err;
    EXPECT_NE(run.err.find("written but not confirmed"), std::string::npos) << run.err;
    const nlohmann::json doc = run.Json();
    EXPECT_EQ(doc["exit"], 1);
    EXPECT_EQ(doc["confirmed"], false);
    EXPECT_TRUE(doc["after"].is_null());
    EXPECT_EQ(doc["asked"]["name"], "Renamed");
    // The table too: the asked values are not shown as read. No search before it this time.
    m_lams.Sim().SetFaults({*pellacor::sim::ParseFault("drop-nth=5@udp", &error)});
    const ctltest::CtlRun text =
        RunCtl({"--search-address", m_lams.SearchAddress(), "netconfig", mac, "--name", "Again"});
    EXPECT_EQ(text.exit, 1);
    EXPECT_NE(text.out.find("asked"), std::string::npos) << text.out;
    EXPECT_EQ(text.out.find("after"), std::string::npos) << text.out;
}

TEST_F(CtlNetwork, NetconfigNamesEveryAddressOfAMacUnlessOneIsPicked) {
    if (!testsupport::LoopbackSendersKeepTheirAddress())
        GTEST_SKIP() << testsupport::kLoopbackSendersMerged;
    const auto mac = m_lams.Sim().State(1).network.MacWire();
    m_lams.Sim().UpdateState(2,
                             [&](pellacor::sim::LaminatorState& s) { s.network.SetMacWire(mac); });
    const std::string shown = "02:50:4c:00:00:02";
    const ctltest::CtlRun ambiguous = Ctl({"netconfig", shown, "--name", "Which"});
    EXPECT_EQ(ambiguous.exit, 2) << ambiguous.err;
    EXPECT_NE(ambiguous.err.find("127.0.0.2"), std::string::npos) << ambiguous.err;
    EXPECT_NE(ambiguous.err.find("127.0.0.3"), std::string::npos) << ambiguous.err;
    EXPECT_NE(ambiguous.err.find("--address"), std::string::npos) << ambiguous.err;
    EXPECT_EQ(m_lams.Sim().State(1).network.Name(), "LAMINATOR-02");
    const ctltest::CtlRun picked =
        Ctl({"netconfig", shown, "--address", "127.0.0.3", "--name", "Picked"});
    EXPECT_EQ(picked.exit, 0) << picked.err;
    const nlohmann::json doc = picked.Json();
    EXPECT_EQ(doc["address"], "127.0.0.3");
    EXPECT_EQ(doc["before"]["name"], "LAMINATOR-03");
    EXPECT_EQ(doc["after"]["name"], "Picked");
    EXPECT_EQ(Ctl({"netconfig", shown, "--address", "127.0.0.01", "--name", "x"}).exit, 2);
}

TEST_F(CtlNetwork, NetconfigRefusesBadInputBeforeSendingAndAnUnknownMacIsUnreachable) {
    EXPECT_EQ(Ctl({"netconfig", "02:50:4c:00:00:01", "--static", "--ip", "300.1.1.1", "--mask",
                   "255.0.0.0", "--gateway", "127.0.0.1"})
                  .exit,
              2);
    EXPECT_EQ(Ctl({"netconfig", "02:50:4c:00:00:01", "--name", std::string(40, 'n')}).exit, 2);
    EXPECT_EQ(Ctl({"netconfig", "02:50:4c:00:00:01", "--static", "--dynamic"}).exit, 2);
    const std::vector<std::vector<std::string>> refused = {
        {"netconfig", "02:50:4c:00:00:01"},
        {"netconfig", "02:50:4c:00:01", "--name", "x"},
        {"netconfig", "02:50:4c:00:00:0g", "--name", "x"},
        {"netconfig", "02:50:4c:00:00:01", "--name", ""},
        {"netconfig", "02:50:4c:00:00:01", "--static", "--ip", "10.0.0.5", "--mask", "255.0.255.0",
         "--gateway", "10.0.0.1"},
        {"netconfig", "02:50:4c:00:00:01", "--static", "--ip", "10.0.0.5", "--mask",
         "255.255.255.0", "--gateway", "10.0.1.1"},
    };
    for (const auto& args : refused) {
        const ctltest::CtlRun run = Ctl(args);
        EXPECT_EQ(run.exit, 2) << args.back() << ": " << run.err;
        EXPECT_EQ(run.Json()["exit"], 2) << run.out;
    }
    EXPECT_EQ(m_lams.FramesReceived(), 0);
    EXPECT_EQ(Ctl({"netconfig", "02:00:00:00:00:99", "--name", "x"}).exit, 3);
}

TEST_F(CtlNetwork, ListShowsTheVirtualLaminatorAndTheNetworkOnes) {
    const ctltest::CtlRun run = Ctl({"--usb-sim", m_lams.Usb(), "list", "--network"});
    ASSERT_EQ(run.exit, 0) << run.err;
    const nlohmann::json doc = run.Json();
    EXPECT_EQ(doc["network"].size(), 3u);
    ASSERT_FALSE(doc["usb"].empty());
    for (const auto& u : doc["usb"]) {
        for (const char* key : {"kind", "node", "vendor-id", "product-id"})
            EXPECT_TRUE(u.contains(key)) << key;
        EXPECT_EQ(u["vendor-id"], "5314");
    }
}
}  // namespace

// Other hosts on the discovery port, injected by the simulator.
class CtlNetworkStrangers : public CtlNetwork {
  protected:
    void Inject(const std::string& fault) {
        std::string error;
        const auto f = pellacor::sim::ParseFault(fault, &error);
        ASSERT_TRUE(f) << error;
        m_lams.Sim().SetFaults({*f});
    }
    std::set<std::string> Names(const nlohmann::json& found) {
        std::set<std::string> names;
        for (const auto& l : found)
            names.insert(l["name"].get<std::string>());
        return names;
    }
};

TEST_F(CtlNetworkStrangers, DiscoverListsNoGhostFromStrayFragments) {
    Inject("stray@udp");
    const nlohmann::json found = Discovered();
    EXPECT_EQ(found.size(), 3u);
    EXPECT_EQ(Names(found).count("GHOST"), 0u);
}

TEST_F(CtlNetworkStrangers, DiscoverEndsWhileALaminatorKeepsRepeatingItself) {
    Inject("trickle=20@udp");  // 8 s of repeats
    const auto start = std::chrono::steady_clock::now();
    const nlohmann::json found = Discovered();
    EXPECT_EQ(found.size(), 3u);
    EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::milliseconds(7500));
}

TEST_F(CtlNetworkStrangers, DiscoverListsAFloodUpToTheLimitAndSaysHowManyAreNotShown) {
    Inject("flood=6000@udp");
    const ctltest::CtlRun run = Ctl({"discover"});
    ASSERT_EQ(run.exit, 0) << run.err;
    const nlohmann::json doc = run.Json();
    EXPECT_EQ(doc["laminators"].size(), 4096u);
    const std::size_t notListed = doc["not-listed"].get<std::size_t>();
    EXPECT_GT(notListed, 0u);
    EXPECT_NE(run.err.find(std::to_string(notListed) + " more laminators answered"),
              std::string::npos)
        << run.err;
}

TEST_F(CtlNetworkStrangers, NetconfigTakesTheSettingsOfTheLaminatorNotOfARogueHost) {
    if (!testsupport::LoopbackSendersKeepTheirAddress())
        GTEST_SKIP() << testsupport::kLoopbackSendersMerged;
    const nlohmann::json found = Discovered();
    ASSERT_EQ(found.size(), 3u);
    const std::string mac = found[1]["mac-address"];
    const auto before = m_lams.Sim().State(1).network.bytes;
    Inject("rogue@udp");
    const ctltest::CtlRun run = Ctl({"netconfig", mac, "--name", "Room 5"});
    ASSERT_EQ(run.exit, 0) << run.err;
    const nlohmann::json doc = run.Json();
    EXPECT_EQ(doc["before"]["name"], found[1]["name"]);
    EXPECT_EQ(doc["after"]["name"], "Room 5");
    EXPECT_EQ(doc["after"]["ip-address"], doc["before"]["ip-address"]);
    // Only the name changed on the laminator.
    auto after = m_lams.Sim().State(1).network.bytes;
    std::copy(before.begin() + 15, before.begin() + 45, after.begin() + 15);
    EXPECT_EQ(after, before);
}
