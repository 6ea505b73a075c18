// discover, --discovered, netconfig and list against simulated laminators on loopback (the
// search goes to the simulator's UDP port, never out of the machine).
#include <gtest/gtest.h>

#include <chrono>
#include <set>

#include "sim/fault_plan.h"
#include "tests/cli/ctl_process.h"

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
