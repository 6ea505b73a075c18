// The exit status of each failure class, and several targets of which one is unreachable.
#include <gtest/gtest.h>

#include "tests/cli/ctl_process.h"

namespace {
using ctltest::RunCtl;

class CtlExitStatus : public ::testing::Test {
  protected:
    void SetUp() override { ASSERT_TRUE(m_lam.Started()) << m_lam.Error(); }
    // A loopback port nothing listens on.
    static std::string ClosedTcp() { return "127.0.0.1:" + std::to_string(ctltest::FreeTcpPort()); }
    ctltest::SimulatedLaminators m_lam;
};

TEST_F(CtlExitStatus, UsageErrorsGiveTwoAndSendNothing) {
    const std::string tcp = m_lam.Tcp();
    const std::vector<std::vector<std::string>> cases = {
        {"--tcp", tcp, "frobnicate"},
        {"--tcp", tcp},
        {"--tcp", "not-an-address", "get"},
        {"--tcp", tcp, "get", "no-such-parameter"},
        {"--tcp", tcp, "set", "buzzer"},
        {"--tcp", tcp, "reset"},
        {"--tcp", tcp, "mode", "turbo"},
        {"--tcp", tcp, "send", "1c4g"},
        {"--tcp", tcp, "firmware", "/nonexistent/fw.mot"},
        {"--usb-sim-printer", "/nonexistent", "get"},
    };
    for (const auto& args : cases) {
        const ctltest::CtlRun run = RunCtl(args);
        EXPECT_EQ(run.exit, 2) << args.back() << ": " << run.err;
        EXPECT_FALSE(run.err.empty()) << args.back();
    }
    EXPECT_NE(
        RunCtl({"--tcp", tcp, "send", "1c4g"})
            .err.find("The command may hold only hexadecimal digits, blanks and line breaks!"),
        std::string::npos);
    EXPECT_NE(RunCtl({"--tcp", tcp, "send", std::string(130, 'a')})
                  .err.find("The command is longer than 64 bytes!"),
              std::string::npos);
    EXPECT_EQ(m_lam.FramesReceived(), 0);
}

TEST_F(CtlExitStatus, HelpOnEveryCommandSucceeds) {
    for (const char* command :
         {"list", "discover", "info", "status", "get", "set", "backup", "restore", "diff", "reset",
          "mode", "send", "firmware", "netconfig"}) {
        const ctltest::CtlRun run = RunCtl({command, "--help"});
        EXPECT_EQ(run.exit, 0) << command;
        EXPECT_NE(run.out.find(command), std::string::npos) << command;
    }
}

TEST_F(CtlExitStatus, AnUnreachableLaminatorGivesThree) {
    ctltest::CtlRun run = RunCtl({"--tcp", ClosedTcp(), "get"});
    EXPECT_EQ(run.exit, 3);
    EXPECT_NE(run.err.find("Connnection has failed!"), std::string::npos) << run.err;
    run = RunCtl({"--usb-sim", "/nonexistent/hid", "status"});
    EXPECT_EQ(run.exit, 3) << run.err;
}

TEST_F(CtlExitStatus, OneUnreachableTargetDoesNotStopTheOther) {
    const ctltest::CtlRun run =
        RunCtl({"--json", "--tcp", ClosedTcp(), "--tcp", m_lam.Tcp(), "status"});
    EXPECT_EQ(run.exit, 1);
    const nlohmann::json doc = run.Json();
    EXPECT_EQ(doc["exit"], 1);
    ASSERT_EQ(doc["laminators"].size(), 2u);
    EXPECT_EQ(doc["laminators"][0]["exit"], 3);
    EXPECT_EQ(doc["laminators"][0]["messages"][0], "Connnection has failed!");
    EXPECT_EQ(doc["laminators"][1]["exit"], 0);
    EXPECT_EQ(doc["laminators"][1]["target"], "tcp:" + m_lam.Tcp());
    EXPECT_FALSE(doc["laminators"][1]["status"]["roller-temperature"].get<std::string>().empty());
}

TEST_F(CtlExitStatus, ALaminatorThatDoesNotAnswerGivesOne) {
    m_lam.Sim().SetFaults({*pellacor::sim::ParseFault("silent@tcp", nullptr)});
    const ctltest::CtlRun run = RunCtl({"--json", "--tcp", m_lam.Tcp(), "status"});
    EXPECT_EQ(run.exit, 1) << run.err;
    EXPECT_FALSE(run.Json()["laminators"][0]["messages"].empty());
}
}  // namespace
