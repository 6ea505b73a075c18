// discover, --discovered, netconfig and list against simulated laminators on loopback (the
// search goes to the simulator's UDP port, never out of the machine).
#include <gtest/gtest.h>

#include <set>

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
        EXPECT_FALSE(l["status"]["roller-temperature"].get<std::string>().empty());
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
