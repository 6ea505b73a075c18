// pellacorctl probe against the simulator: every read query once, what the replies look
// like, and nothing written.
#include <gtest/gtest.h>

#include "sim/fault_plan.h"
#include "tests/cli/ctl_process.h"

namespace {
using ctltest::CtlRun;
using ctltest::RunCtl;

nlohmann::json ExchangeOf(const nlohmann::json& entry, const std::string& query) {
    for (const nlohmann::json& e : entry["exchanges"])
        if (e["query"] == query)
            return e;
    return nullptr;
}

class CtlProbe : public ::testing::Test {
  protected:
    void SetUp() override { ASSERT_TRUE(m_lam.Started()) << m_lam.Error(); }
    ctltest::SimulatedLaminators m_lam;
};

TEST_F(CtlProbe, UsbRepliesAreDescribedAndNothingIsWritten) {
    m_lam.Sim().UpdateState(0, [](pellacor::sim::LaminatorState& s) {
        s.errorOverride = true;
        s.errorCode = 0x45000401;
    });
    const CtlRun run = RunCtl({"--json", "--usb-sim", m_lam.Usb(), "probe"});
    ASSERT_EQ(run.exit, 0) << run.err;
    const nlohmann::json entry = run.Json()["laminators"][0];
    EXPECT_EQ(entry["link"], "usb");
    for (const nlohmann::json& e : entry["exchanges"]) {
        EXPECT_EQ(e["received"], true) << e.dump();
        EXPECT_EQ(e["length"], 64) << e.dump();
    }
    EXPECT_EQ(ExchangeOf(entry, "status")["echoes-request"], true);
    EXPECT_EQ(ExchangeOf(entry, "card-channel")["echoes-request"], true);
    // The information reply runs on into a second frame, as the tool expects.
    EXPECT_EQ(ExchangeOf(entry, "information")["continuation-received"], true);
    EXPECT_EQ(entry["information"]["serial-number"], m_lam.Sim().State(0).serial);
    EXPECT_GE(entry["information"]["fields"].size(), 4u);
    EXPECT_EQ(entry["error-code"], "45000401");
    EXPECT_EQ(m_lam.ParameterWrites(), 0);
}

TEST_F(CtlProbe, ANonEchoingLaminatorIsSeenAsOne) {
    std::string error;
    m_lam.Sim().SetFaults({*pellacor::sim::ParseFault("no-echo@usb", &error)});
    const CtlRun run = RunCtl({"--json", "--usb-sim", m_lam.Usb(), "probe"});
    ASSERT_EQ(run.exit, 0) << run.err;
    const nlohmann::json entry = run.Json()["laminators"][0];
    EXPECT_EQ(ExchangeOf(entry, "status")["echoes-request"], false);
    EXPECT_EQ(ExchangeOf(entry, "card-channel")["echoes-request"], false);
    EXPECT_FALSE(entry["state-code"].is_null());
}

TEST_F(CtlProbe, OverTcpThereIsNoCardChannelAndASilentLaminatorFails) {
    const CtlRun run = RunCtl({"--json", "--tcp", m_lam.Tcp(), "probe"});
    ASSERT_EQ(run.exit, 0) << run.err;
    const nlohmann::json entry = run.Json()["laminators"][0];
    EXPECT_EQ(entry["link"], "tcp");
    EXPECT_TRUE(ExchangeOf(entry, "card-channel").is_null());
    EXPECT_GT(ExchangeOf(entry, "status")["length"].get<int>(), 0);
    std::string error;
    m_lam.Sim().SetFaults({*pellacor::sim::ParseFault("silent@tcp", &error)});
    const CtlRun silent = RunCtl({"--json", "--timeout", "0.2", "--tcp", m_lam.Tcp(), "probe"});
    EXPECT_EQ(silent.exit, 1) << silent.err;
    // No reply says nothing about echoing, and nothing read is no finding.
    const nlohmann::json unread = silent.Json()["laminators"][0];
    EXPECT_TRUE(ExchangeOf(unread, "status")["echoes-request"].is_null());
    EXPECT_TRUE(unread["state-code"].is_null());
    const CtlRun text = RunCtl({"--timeout", "0.2", "--tcp", m_lam.Tcp(), "probe"});
    EXPECT_NE(text.out.find("Information: not read"), std::string::npos) << text.out;
    EXPECT_NE(text.out.find("State: not read"), std::string::npos) << text.out;
    EXPECT_EQ(m_lam.ParameterWrites(), 0);
}

}  // namespace
