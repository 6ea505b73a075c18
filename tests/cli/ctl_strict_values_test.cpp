// set and restore take values only in the form the laminator shows them, write only what
// changed, and report what the laminator holds afterwards.
#include <gtest/gtest.h>

#include <fstream>

#include "tests/cli/ctl_process.h"

namespace {
using ctltest::RunCtl;

class CtlStrictValues : public ::testing::TestWithParam<bool> {
  protected:
    void SetUp() override { ASSERT_TRUE(m_lam.Started()) << m_lam.Error(); }
    bool Usb() const { return GetParam(); }
    ctltest::CtlRun Ctl(std::vector<std::string> args) {
        std::vector<std::string> all = Usb() ? std::vector<std::string>{"--usb-sim", m_lam.Usb()}
                                             : std::vector<std::string>{"--tcp", m_lam.Tcp()};
        all.push_back("--json");
        all.insert(all.end(), args.begin(), args.end());
        return RunCtl(all);
    }
    // Frames that open a MODE bracket (serial number, model ID, model name writes and reads).
    int ModeBrackets() {
        int n = 0;
        for (const pellacor::sim::FrameRecord& f : m_lam.Sim().Frames()) {
            const std::vector<uint8_t>& b = f.bytes;
            const std::size_t at = (!b.empty() && b[0] == 0xA5) ? 2 : 0;
            n += f.direction == pellacor::sim::Direction::Received && b.size() > at + 10 &&
                 b[at] == 0x1D && b[at + 1] == 0x1A && b[at + 9] == 0x01;
        }
        return n;
    }
    static nlohmann::json Changes(const ctltest::CtlRun& run) {
        return run.Json()["laminators"][0]["changes"];
    }
    std::string File(const std::string& name) const { return (m_dir.Path() / name).string(); }
    ctltest::TempDir m_dir;
    ctltest::SimulatedLaminators m_lam;
};

TEST_P(CtlStrictValues, MalformedNumbersAreRefusedNamingParameterValueAndForm) {
    for (const char* a : {"heating-roller-temperature=155abc", "heating-roller-temperature=150.5",
                          "heating-roller-temperature=+155", "heating-roller-temperature=1e1",
                          "heating-roller-temperature= 155",
                          "heating-roller-temperature=", "laminate-film-position=12.55",
                          "laminate-film-position=.5", "lcd-contrast=0x10", "ip-address=192.168.1",
                          "buzzer=Loud", "lcd-contrast=99999999999"}) {
        const ctltest::CtlRun run = Ctl({"set", a});
        EXPECT_EQ(run.exit, 2) << a << ": " << run.err;
        const std::string value = std::string(a).substr(std::string(a).find('=') + 1);
        const std::string message = run.Json()["messages"][0];
        EXPECT_NE(message.find("\"" + value + "\""), std::string::npos) << a << ": " << message;
        EXPECT_NE(message.find("takes"), std::string::npos) << a << ": " << message;
    }
    EXPECT_EQ(m_lam.FramesReceived(), 0);
}

TEST_P(CtlStrictValues, ChoicesTakeAnyCaseOrTheirKeyAndNamesAnyCase) {
    ASSERT_EQ(Ctl({"set", "buzzer=Open", "laminate-menu=Menu 1"}).exit, 0);
    const ctltest::CtlRun run = Ctl({"set", "BUZZER=close", "Laminate Menu=menu-3"});
    ASSERT_EQ(run.exit, 0) << run.err;
    const nlohmann::json changes = Changes(run);
    ASSERT_EQ(changes.size(), 2u) << changes.dump();
    EXPECT_EQ(changes[0]["key"], "laminate-menu");
    EXPECT_EQ(changes[0]["after"], "Menu 3");
    EXPECT_EQ(changes[1]["key"], "buzzer");
    EXPECT_EQ(changes[1]["before"], "Open");
    EXPECT_EQ(changes[1]["after"], "Close");
}

TEST_P(CtlStrictValues, AParameterNamedTwiceIsRefused) {
    const ctltest::CtlRun run = Ctl({"set", "buzzer=Close", "Buzzer=Open"});
    EXPECT_EQ(run.exit, 2);
    EXPECT_NE(run.err.find("named twice"), std::string::npos) << run.err;
    EXPECT_EQ(m_lam.FramesReceived(), 0);
}

TEST_P(CtlStrictValues, OnlyTheBlockHoldingAChangedValueIsWrittenAndReadBack) {
    ASSERT_EQ(Ctl({"set", "buzzer=Open"}).exit, 0);
    m_lam.Sim().ClearLog();
    ctltest::CtlRun run = Ctl({"set", "buzzer=open"});
    ASSERT_EQ(run.exit, 0) << run.err;
    EXPECT_TRUE(Changes(run).empty());
    EXPECT_EQ(m_lam.ParameterWrites(), 0);

    run = Ctl({"set", "buzzer=Close"});
    ASSERT_EQ(run.exit, 0) << run.err;
    EXPECT_EQ(m_lam.ParameterWrites(), 1);  // the block with Buzzer, not the language's
    EXPECT_EQ(m_lam.Sim().State(0).params.buzzer, 0);

    // A decimal value is reported as the laminator holds it: 12 reads back 12.0.
    run = Ctl({"set", "laminate-film-position=12"});
    ASSERT_EQ(run.exit, 0) << run.err;
    const nlohmann::json changes = Changes(run);
    if (!changes.empty()) {
        EXPECT_EQ(changes[0]["after"], 12.0);
    }
    run = Ctl({"set", "laminate-film-position=12.0"});
    EXPECT_TRUE(Changes(run).empty()) << run.out;
}

TEST_P(CtlStrictValues, UnchangedCounterRewritesNoIdentity) {
    const ctltest::CtlRun get = Ctl({"get", "total-card-amount"});
    ASSERT_EQ(get.exit, 0) << get.err;
    const nlohmann::json held = get.Json()["laminators"][0]["parameters"][0]["value"];
    m_lam.Sim().ClearLog();
    const ctltest::CtlRun run = Ctl({"set", "total-card-amount=" + held.dump()});
    ASSERT_EQ(run.exit, 0) << run.err;
    EXPECT_EQ(m_lam.ParameterWrites(), 0);
    // The reads of the group open one bracket for the model name; no write opens another.
    const int readBrackets = ModeBrackets();
    EXPECT_LE(readBrackets, 1);
}

TEST_P(CtlStrictValues, ABackupWithAMalformedValueIsRefusedBeforeAnythingIsSent) {
    const std::string file = File("lam.json");
    ASSERT_EQ(Ctl({"backup", file}).exit, 0);
    nlohmann::json doc;
    {
        std::ifstream in(file);
        doc = nlohmann::json::parse(in);
    }
    doc["parameters"]["heating-roller-temperature"] = "155abc";
    std::ofstream(File("bad.json")) << doc.dump();
    m_lam.Sim().ClearLog();
    for (const char* command : {"restore", "diff"}) {
        const ctltest::CtlRun run = Ctl({command, File("bad.json")});
        EXPECT_EQ(run.exit, 2) << command;
        EXPECT_NE(run.err.find("155abc"), std::string::npos) << run.err;
        EXPECT_EQ(run.Json()["exit"], 2) << run.out;
    }
    EXPECT_EQ(m_lam.FramesReceived(), 0);
}

TEST_P(CtlStrictValues, DryRunRefusesWhatTheRestoreRefusesAndPrintsNoTable) {
    const std::string file = File("lam.json");
    ASSERT_EQ(Ctl({"backup", file}).exit, 0);
    nlohmann::json doc;
    {
        std::ifstream in(file);
        doc = nlohmann::json::parse(in);
    }
    doc["parameters"]["heating-roller-temperature"] = "190";  // well formed, out of range
    std::ofstream(File("far.json")) << doc.dump();
    m_lam.Sim().ClearLog();
    for (bool dry : {true, false}) {
        std::vector<std::string> args = {"restore", File("far.json")};
        if (dry)
            args.push_back("--dry-run");
        const ctltest::CtlRun run = Ctl(args);
        EXPECT_EQ(run.exit, 2) << run.err;
        EXPECT_TRUE(run.Json()["laminators"][0]["differences"].empty()) << run.out;
        std::vector<std::string> text = {"--tcp", m_lam.Tcp()};
        text.insert(text.end(), args.begin(), args.end());
        EXPECT_EQ(RunCtl(text).out, "") << "a refused restore prints no table";
    }
    EXPECT_EQ(m_lam.ParameterWrites(), 0);
}

TEST_P(CtlStrictValues, DiffExitsOneWhenTheValuesDiffer) {
    const std::string file = File("lam.json");
    ASSERT_EQ(Ctl({"backup", file}).exit, 0);
    EXPECT_EQ(Ctl({"diff", file}).exit, 0);
    ASSERT_EQ(Ctl({"set", "lcd-contrast=77"}).exit, 0);
    const ctltest::CtlRun run = Ctl({"diff", file});
    EXPECT_EQ(run.exit, 1);
    EXPECT_EQ(run.Json()["exit"], 1);
    EXPECT_EQ(run.Json()["laminators"][0]["differences"][0]["laminator"], 77);
}

INSTANTIATE_TEST_SUITE_P(Links, CtlStrictValues, ::testing::Values(false, true),
                         [](const auto& p) { return p.param ? "Usb" : "Tcp"; });
}  // namespace
