// With --json a script reads one document: every message the run had is in it, and standard
// error carries JSON lines only. The commands that search the network or load a file before
// any laminator is served, run as processes against simulated laminators on loopback.
#include <gtest/gtest.h>

#include <fstream>
#include <sstream>

#include "sim/fault_plan.h"
#include "tests/cli/ctl_process.h"

namespace {
using ctltest::RunCtl;

// The run's document, after checking the contract: stdout parses as one JSON value, every
// stderr line as one too.
nlohmann::json Document(const ctltest::CtlRun& run) {
    std::istringstream err(run.err);
    for (std::string line; std::getline(err, line);) {
        if (line.empty())
            continue;
        EXPECT_TRUE(nlohmann::json::accept(line)) << "plain text on stderr: " << line;
    }
    EXPECT_TRUE(nlohmann::json::accept(run.out)) << run.out;
    if (!nlohmann::json::accept(run.out))
        return {};
    nlohmann::json doc = nlohmann::json::parse(run.out);
    EXPECT_EQ(doc["exit"], run.exit) << run.out;
    EXPECT_TRUE(doc["messages"].is_array()) << run.out;
    return doc;
}

// True when one of the document's messages contains `part`.
bool Says(const nlohmann::json& doc, const std::string& part) {
    if (!doc.contains("messages") || !doc["messages"].is_array())
        return false;
    for (const auto& m : doc["messages"]) {
        if (m.is_string() && m.get<std::string>().find(part) != std::string::npos)
            return true;
    }
    return false;
}

class CtlJsonMessages : public ::testing::Test {
  protected:
    void SetUp() override { ASSERT_TRUE(m_lams.Started()) << m_lams.Error(); }
    ctltest::CtlRun Ctl(std::vector<std::string> args) {
        std::vector<std::string> all = {"--json", "--search-address", m_lams.SearchAddress(),
                                        "--tcp-port", std::to_string(m_lams.Sim().TcpPort(0))};
        all.insert(all.end(), args.begin(), args.end());
        return RunCtl(all);
    }
    std::string File(const std::string& name, const std::string& content) {
        const std::string path = (m_dir.Path() / name).string();
        std::ofstream(path, std::ios::binary) << content;
        return path;
    }
    ctltest::TempDir m_dir;
    ctltest::SimulatedLaminators m_lams{1};
};

TEST_F(CtlJsonMessages, SearchesThatListFewerThanAnsweredSayItInTheDocument) {
    std::string error;
    const auto flood = pellacor::sim::ParseFault("flood=6000@udp", &error);
    ASSERT_TRUE(flood) << error;
    m_lams.Sim().SetFaults({*flood});
    for (const std::vector<std::string>& args :
         {std::vector<std::string>{"discover"}, std::vector<std::string>{"list", "--network"}}) {
        const ctltest::CtlRun run = Ctl(args);
        const nlohmann::json doc = Document(run);
        EXPECT_EQ(run.exit, 0) << args.front() << ": " << run.err;
        EXPECT_TRUE(Says(doc, "more laminators answered")) << args.front() << ": " << run.out;
    }
}

TEST_F(CtlJsonMessages, QuietSearchesHaveAnEmptyList) {
    for (const std::vector<std::string>& args :
         {std::vector<std::string>{"discover"}, std::vector<std::string>{"list"}}) {
        const ctltest::CtlRun run = Ctl(args);
        const nlohmann::json doc = Document(run);
        EXPECT_EQ(run.exit, 0) << args.front() << ": " << run.err;
        EXPECT_EQ(doc["messages"], nlohmann::json::array()) << run.out;
    }
}

TEST_F(CtlJsonMessages, NetconfigOfAnUnknownMacSaysWhyInTheDocument) {
    const ctltest::CtlRun run = Ctl({"netconfig", "02:00:00:00:00:99", "--name", "x"});
    EXPECT_EQ(run.exit, 3);
    EXPECT_TRUE(Says(Document(run), "No laminator with MAC address 02:00:00:00:00:99")) << run.out;
}

TEST_F(CtlJsonMessages, FirmwareFileProblemsAreInTheDocument) {
    const std::string tcp = m_lams.Tcp();
    ctltest::CtlRun run = Ctl({"--tcp", tcp, "firmware", (m_dir.Path() / "none.bin").string()});
    EXPECT_EQ(run.exit, 2);
    nlohmann::json doc = Document(run);
    EXPECT_FALSE(doc["messages"].empty()) << run.out;

    // Not S-record text: refused, both the problem and what --force would do are said.
    const std::string bad = File("bad.mot", "S0030000FC\nnot a record\n");
    run = Ctl({"--tcp", tcp, "firmware", bad});
    EXPECT_EQ(run.exit, 2);
    doc = Document(run);
    EXPECT_GE(doc["messages"].size(), 2u) << run.out;
    EXPECT_TRUE(Says(doc, "Nothing was sent")) << run.out;
    EXPECT_EQ(m_lams.FramesReceived(), 0);

    // Forced: the problem said before the first laminator stays in the run's document.
    run = Ctl({"--tcp", tcp, "firmware", bad, "--force"});
    doc = Document(run);
    ASSERT_TRUE(doc.contains("laminators")) << run.out;
    EXPECT_FALSE(doc["messages"].empty()) << run.out;
    EXPECT_FALSE(Says(doc, "Nothing was sent")) << run.out;
}
}  // namespace
