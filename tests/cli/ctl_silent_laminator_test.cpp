// A laminator that takes the connection and never answers costs a script one time-out and one
// message that names it, with nothing on standard output.
#include <gtest/gtest.h>

#include <chrono>
#include <iostream>

#include "tests/cli/ctl_process.h"

namespace {
using ctltest::RunCtl;

class CtlSilentLaminator : public ::testing::TestWithParam<bool> {
  protected:
    void SetUp() override {
        ASSERT_TRUE(m_lam.Started()) << m_lam.Error();
        m_lam.Sim().SetFaults(
            {*pellacor::sim::ParseFault(Usb() ? "silent@usb" : "silent@tcp", nullptr)});
    }
    bool Usb() const { return GetParam(); }
    std::vector<std::string> Target() const {
        return Usb() ? std::vector<std::string>{"--usb-sim", m_lam.Usb()}
                     : std::vector<std::string>{"--tcp", m_lam.Tcp()};
    }
    std::string Label() const { return Usb() ? "usb-sim:" + m_lam.Usb() : "tcp:" + m_lam.Tcp(); }
    static int Lines(const std::string& text) {
        return static_cast<int>(std::count(text.begin(), text.end(), '\n'));
    }
    ctltest::SimulatedLaminators m_lam;
};

TEST_P(CtlSilentLaminator, GetCostsOneTimeOutAndOneMessageNamingTheTarget) {
    std::vector<std::string> args = Target();
    args.insert(args.end(), {"--timeout", "1", "get"});
    const auto start = std::chrono::steady_clock::now();
    const ctltest::CtlRun run = RunCtl(args);
    const double seconds =
        std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    std::cout << "[ figure ] silent " << (Usb() ? "usb" : "tcp")
              << " get with --timeout 1: " << seconds << " s\n";
    EXPECT_LT(seconds, 3.0);  // one time-out plus start-up; fifteen would be far beyond
    EXPECT_NE(run.exit, 0);
    EXPECT_EQ(run.out, "");
    EXPECT_EQ(Lines(run.err), 1) << run.err;
    EXPECT_EQ(run.err.rfind(Label() + ": ", 0), 0u) << run.err;
    EXPECT_NE(run.err.find("no reply within 1 s"), std::string::npos) << run.err;
}

TEST_P(CtlSilentLaminator, JsonNamesTheTargetAndLeavesValuesNull) {
    std::vector<std::string> args = Target();
    args.insert(args.end(), {"--timeout", "0.5", "--json", "get", "buzzer"});
    const ctltest::CtlRun run = RunCtl(args);
    EXPECT_EQ(run.exit, 1);
    const nlohmann::json doc = run.Json();
    const nlohmann::json& entry = doc["laminators"][0];
    EXPECT_EQ(entry["target"], Label());
    ASSERT_EQ(entry["messages"].size(), 1u) << entry.dump();
    EXPECT_TRUE(entry["parameters"][0]["value"].is_null()) << entry.dump();
    // Standard error carries JSON lines only.
    EXPECT_EQ(nlohmann::json::parse(run.err)["target"], Label()) << run.err;
}

TEST_P(CtlSilentLaminator, TheNextTargetIsStillServed) {
    ctltest::SimulatedLaminators healthy;
    ASSERT_TRUE(healthy.Started()) << healthy.Error();
    std::vector<std::string> args = Target();
    args.insert(args.end(),
                {"--tcp", healthy.Tcp(), "--timeout", "0.5", "--json", "get", "buzzer"});
    const ctltest::CtlRun run = RunCtl(args);
    EXPECT_EQ(run.exit, 1);
    const nlohmann::json doc = run.Json();
    ASSERT_EQ(doc["laminators"].size(), 2u);
    for (const nlohmann::json& entry : doc["laminators"]) {
        const bool silent = entry["target"] == Label();
        EXPECT_EQ(entry["exit"], silent ? 1 : 0) << entry.dump();
        EXPECT_EQ(entry["parameters"][0]["value"].is_string(), !silent) << entry.dump();
    }
}

INSTANTIATE_TEST_SUITE_P(Links, CtlSilentLaminator, ::testing::Values(false, true),
                         [](const auto& p) { return p.param ? "Usb" : "Tcp"; });
}  // namespace
