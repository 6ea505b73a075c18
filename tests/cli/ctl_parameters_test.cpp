// get, set and info as processes, over TCP and over the virtual USB laminator.
#include <gtest/gtest.h>

#include "tests/cli/ctl_process.h"

namespace {
using ctltest::RunCtl;
using ctltest::SimulatedLaminators;

class CtlParameters : public ::testing::TestWithParam<bool> {
  protected:
    void SetUp() override { ASSERT_TRUE(m_lam.Started()) << m_lam.Error(); }
    std::vector<std::string> Target() const {
        return GetParam() ? std::vector<std::string>{"--usb-sim", m_lam.Usb()}
                          : std::vector<std::string>{"--tcp", m_lam.Tcp()};
    }
    ctltest::CtlRun Ctl(std::vector<std::string> args, bool json = true) {
        std::vector<std::string> all = Target();
        if (json)
            all.push_back("--json");
        all.insert(all.end(), args.begin(), args.end());
        return RunCtl(all);
    }
    // The value `key` has in a get --json document of one laminator.
    static std::string ValueOf(const nlohmann::json& doc, const std::string& key) {
        for (const auto& p : doc["laminators"][0]["parameters"]) {
            if (p["key"] == key)
                return Text(p["value"]);
        }
        return "<absent>";
    }
    // Numbers are JSON numbers: 160 reads as "160".
    static std::string Text(const nlohmann::json& v) {
        return v.is_string() ? v.get<std::string>() : v.dump();
    }
    SimulatedLaminators m_lam;
};

TEST_P(CtlParameters, GetListsEveryParameterWithStableKeys) {
    const ctltest::CtlRun run = Ctl({"get"});
    ASSERT_EQ(run.exit, 0) << run.err;
    const nlohmann::json doc = run.Json();
    EXPECT_EQ(doc["command"], "get");
    EXPECT_EQ(doc["exit"], 0);
    ASSERT_EQ(doc["laminators"].size(), 1u);
    const nlohmann::json& entry = doc["laminators"][0];
    EXPECT_EQ(entry["exit"], 0);
    EXPECT_TRUE(entry["messages"].empty());
    ASSERT_EQ(entry["parameters"].size(), 30u);
    for (const auto& p : entry["parameters"]) {
        for (const char* key : {"group", "name", "key", "unit", "access"})
            EXPECT_TRUE(p.contains(key) && p[key].is_string()) << key << " in " << p.dump();
        EXPECT_FALSE(p["value"].is_null()) << p.dump();
    }
    const nlohmann::json& temp = entry["parameters"][8];
    EXPECT_EQ(temp["name"], "Heating Roller temperature");
    EXPECT_EQ(temp["key"], "heating-roller-temperature");
    EXPECT_EQ(temp["unit"], "degrees Celsius");
    EXPECT_EQ(temp["access"], "Read/Write");
    EXPECT_TRUE(temp["value"].is_number_integer()) << temp.dump();
    EXPECT_TRUE(entry["parameters"][11]["value"].is_number()) << entry["parameters"][11].dump();
    EXPECT_TRUE(entry["parameters"][17]["value"].is_string()) << entry["parameters"][17].dump();
}

TEST_P(CtlParameters, GetTakesGroupsAndParametersByNameOrKey) {
    const ctltest::CtlRun run = Ctl({"get", "Laminator setup", "heating-roller-temperature"});
    ASSERT_EQ(run.exit, 0) << run.err;
    const nlohmann::json doc = run.Json();
    const auto& params = doc["laminators"][0]["parameters"];
    ASSERT_EQ(params.size(), 7u);
    EXPECT_EQ(params[0]["group"], "Laminator setup");
    EXPECT_EQ(params[6]["key"], "heating-roller-temperature");
}

TEST_P(CtlParameters, SetThenGetShowsTheNewValueAndOnlyTheChange) {
    const std::string before = ValueOf(Ctl({"get"}).Json(), "heating-roller-temperature");
    const std::string wanted = before == "160" ? "165" : "160";
    const ctltest::CtlRun set =
        Ctl({"set", "Heating Roller temperature=" + wanted, "buzzer=Close"});
    ASSERT_EQ(set.exit, 0) << set.err;
    const nlohmann::json doc = set.Json();
    const auto& entry = doc["laminators"][0];
    bool sawTemperature = false;
    for (const auto& c : entry["changes"]) {
        for (const char* key : {"key", "name", "group", "before", "after"})
            EXPECT_TRUE(c.contains(key)) << key;
        if (c["key"] == "heating-roller-temperature") {
            sawTemperature = true;
            EXPECT_EQ(Text(c["before"]), before);
            EXPECT_EQ(Text(c["after"]), wanted);
        }
    }
    EXPECT_TRUE(sawTemperature);
    const nlohmann::json after = Ctl({"get", "heating-roller-temperature", "buzzer"}).Json();
    EXPECT_EQ(ValueOf(after, "heating-roller-temperature"), wanted);
    EXPECT_EQ(ValueOf(after, "buzzer"), "Close");
}

TEST_P(CtlParameters, AWriteTheLaminatorDidNotKeepFailsWithBothValues) {
    m_lam.Sim().UpdateState(0, [](pellacor::sim::LaminatorState& s) { s.keepsParameters = true; });
    const std::string before = ValueOf(Ctl({"get"}).Json(), "heating-roller-temperature");
    const std::string wanted = before == "160" ? "165" : "160";
    const ctltest::CtlRun run = Ctl({"set", "heating-roller-temperature=" + wanted});
    EXPECT_EQ(run.exit, 1) << run.err;
    const nlohmann::json entry = run.Json()["laminators"][0];
    EXPECT_EQ(entry["messages"],
              nlohmann::json::array({"\"Heating Roller temperature\" was "
                                     "written as \"" +
                                     wanted + "\" but reads back \"" + before + "\"."}));
    EXPECT_GE(m_lam.ParameterWrites(), 1);  // it was written, and read back
    // What the document reports is what the laminator holds.
    for (const auto& c : entry["changes"]) {
        if (c["key"] == "heating-roller-temperature") {
            EXPECT_EQ(Text(c["after"]), before);
        }
    }
}

TEST_P(CtlParameters, AValueTheLimitsRefuseSendsNoWrite) {
    const ctltest::CtlRun run = Ctl({"set", "heating-roller-temperature=161"});
    EXPECT_EQ(run.exit, 2);
    EXPECT_NE(
        run.err.find(
            "The Heating Roller Temperature is between 100 and 185 (intergal multiple of 5)!"),
        std::string::npos)
        << run.err;
    EXPECT_EQ(m_lam.ParameterWrites(), 0);
    EXPECT_EQ(run.Json()["laminators"][0]["exit"], 2);
}

TEST_P(CtlParameters, ValuesNoEditorCouldGiveAreRefusedBeforeAnythingIsSent) {
    for (const char* a : {"buzzer=Loud", "mac-address=00:00:00:00:00:01", "nosuch=1"}) {
        const ctltest::CtlRun run = Ctl({"set", a}, false);
        EXPECT_EQ(run.exit, 2) << a;
        EXPECT_FALSE(run.err.empty()) << a;
    }
    EXPECT_EQ(m_lam.FramesReceived(), 0);
}

TEST_P(CtlParameters, InfoGivesVersionsCountersAndIdentity) {
    const ctltest::CtlRun run = Ctl({"info"});
    ASSERT_EQ(run.exit, 0) << run.err;
    const nlohmann::json doc = run.Json();
    const auto& info = doc["laminators"][0]["info"];
    for (const char* key :
         {"main-version", "main-boot", "total-card-amount", "total-laminate-amount", "laminator-sn",
          "laminator-model", "model-id"}) {
        ASSERT_TRUE(info.contains(key)) << key;
        EXPECT_FALSE(info[key].is_null()) << key;
    }
}

TEST_P(CtlParameters, TablesAreAlignedWithoutJson) {
    const ctltest::CtlRun run = Ctl({"get", "Parameter setup"}, false);
    ASSERT_EQ(run.exit, 0) << run.err;
    EXPECT_EQ(run.out.rfind("GROUP", 0), 0u);
    const std::size_t column = run.out.find("PARAMETER");
    const std::size_t second = run.out.find('\n') + 1;
    EXPECT_EQ(run.out.find("Laminate Menu", second) - second, column);
}

INSTANTIATE_TEST_SUITE_P(Links, CtlParameters, ::testing::Values(false, true),
                         [](const auto& p) { return p.param ? "Usb" : "Tcp"; });
}  // namespace
