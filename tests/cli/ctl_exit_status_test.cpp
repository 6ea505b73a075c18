// The exit status of each failure class, and several targets of which one is unreachable.
#include <gtest/gtest.h>

#include <fstream>
#include <map>
#include <sstream>

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
        {"--tcp", "127.0.0.1:0", "get"},
        {"--tcp", tcp, "get", "no-such-parameter"},
        {"--tcp", tcp, "set", "buzzer"},
        {"--tcp", tcp, "reset"},
        {"--tcp", tcp, "mode", "turbo"},
        {"--tcp", tcp, "send", "1c4g"},
        {"--tcp", tcp, "send", "1c4"},
        {"--tcp", tcp, "send", "1c 41 5"},
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

TEST_F(CtlExitStatus, AnAddressWithALeadingZeroIsAUsageErrorNotAFailedConnect) {
    const std::string port = std::to_string(m_lam.Sim().TcpPort(0));
    for (const std::string host : {"127.0.0.01", "127.000.0.1", "127.0.0.1.", "127.0.0"}) {
        const ctltest::CtlRun run = RunCtl({"--tcp", host + ":" + port, "status"});
        EXPECT_EQ(run.exit, 2) << host << ": " << run.err;
        EXPECT_NE(run.err.find("is not an IPv4 address"), std::string::npos) << run.err;
    }
    const ctltest::CtlRun zero = RunCtl({"--tcp", "127.0.0.01:" + port, "status"});
    EXPECT_NE(zero.err.find("leading zero"), std::string::npos) << zero.err;
    const ctltest::CtlRun search = RunCtl(
        {"--search-address", "127.0.0.01:" + std::to_string(m_lam.Sim().UdpPort()), "discover"});
    EXPECT_EQ(search.exit, 2) << search.err;
    EXPECT_EQ(m_lam.FramesReceived(), 0);
}

TEST_F(CtlExitStatus, EveryJsonRunPrintsOneDocumentUsageErrorsIncluded) {
    const std::string tcp = m_lam.Tcp();
    const std::vector<std::vector<std::string>> cases = {
        {"--json", "frobnicate"},
        {"--json", "--tcp", tcp},
        {"--json", "--tcp", tcp, "get", "no-such-parameter"},
        {"--json", "--tcp", tcp, "set", "buzzer=Loud"},
        {"--json", "--tcp", tcp, "--bogus-option", "get"},
    };
    for (const auto& args : cases) {
        const ctltest::CtlRun run = RunCtl(args);
        EXPECT_EQ(run.exit, 2) << args.back();
        nlohmann::json doc;
        ASSERT_NO_THROW(doc = run.Json()) << args.back() << ": " << run.out;
        EXPECT_EQ(doc["exit"], 2);
        ASSERT_FALSE(doc["messages"].empty()) << doc.dump();
        std::istringstream lines(run.err);
        for (std::string one; std::getline(lines, one);)
            EXPECT_TRUE(nlohmann::json::accept(one)) << one;
    }
    EXPECT_EQ(m_lam.FramesReceived(), 0);
}

TEST_F(CtlExitStatus, UnknownNamesSuggestTheNearestAndCaseDoesNotMatter) {
    ctltest::CtlRun run = RunCtl({"gte"});
    EXPECT_EQ(run.exit, 2);
    EXPECT_NE(run.err.find("\"gte\" is not a pellacorctl command. Did you mean \"get\"?"),
              std::string::npos)
        << run.err;
    run = RunCtl({"--tcp", m_lam.Tcp(), "set", "heating-rollr-temperature=150"});
    EXPECT_EQ(run.exit, 2);
    EXPECT_NE(run.err.find("Did you mean \"heating-roller-temperature\""), std::string::npos)
        << run.err;
    run = RunCtl({"--tcp", m_lam.Tcp(), "GET", "HEATING-ROLLER-TEMPERATURE", "parameter SETUP"});
    EXPECT_EQ(run.exit, 0) << run.err;
}

TEST_F(CtlExitStatus, HostNamesAreResolved) {
    const ctltest::CtlRun run =
        RunCtl({"--tcp", "localhost:" + std::to_string(m_lam.Sim().TcpPort(0)), "get", "buzzer"});
    EXPECT_EQ(run.exit, 0) << run.err;
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
    EXPECT_TRUE(doc["laminators"][1]["status"]["roller-temperature"].is_number_integer());
    // Its message names it.
    const nlohmann::json line = nlohmann::json::parse(run.err.substr(0, run.err.find('\n')));
    EXPECT_EQ(line["target"], doc["laminators"][0]["target"]) << run.err;
    EXPECT_EQ(line["message"], "Connnection has failed!") << run.err;
    // As text, the message starts with the laminator it concerns.
    const std::string closed = doc["laminators"][0]["target"].get<std::string>().substr(4);
    EXPECT_EQ(RunCtl({"--tcp", closed, "get"}).err.rfind("tcp:" + closed + ": ", 0), 0u);
}

TEST_F(CtlExitStatus, ATraceOfSeveralLaminatorsNamesEachFramesLaminator) {
    ctltest::TempDir dir;
    const std::string trace = (dir.Path() / "frames.txt").string();
    const ctltest::CtlRun run =
        RunCtl({"--trace", trace, "--tcp", m_lam.Tcp(), "--usb-sim", m_lam.Usb(), "get", "buzzer"});
    ASSERT_EQ(run.exit, 0) << run.err;
    std::ifstream in(trace);
    std::map<std::string, int> lines;  // per target and link
    for (std::string line; std::getline(in, line);) {
        std::istringstream fields(line);
        std::string micros, target, link;
        fields >> micros >> target >> link;
        ++lines[target + " " + link];
    }
    EXPECT_GE(lines["tcp:" + m_lam.Tcp() + " tcp"], 2);
    EXPECT_GE(lines["usb-sim:" + m_lam.Usb() + " hid"], 2);
    EXPECT_EQ(lines.size(), 2u) << run.err;
}

TEST_F(CtlExitStatus, ALaminatorThatDoesNotAnswerGivesOne) {
    m_lam.Sim().SetFaults({*pellacor::sim::ParseFault("silent@tcp", nullptr)});
    const ctltest::CtlRun run = RunCtl({"--json", "--tcp", m_lam.Tcp(), "status"});
    EXPECT_EQ(run.exit, 1) << run.err;
    EXPECT_FALSE(run.Json()["laminators"][0]["messages"].empty());
}
}  // namespace
