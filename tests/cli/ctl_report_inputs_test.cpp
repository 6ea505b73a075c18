// report as a process when things go wrong: its inputs are never overwritten, a bad output
// path is refused before the watch, Ctrl-C keeps the readings, values the laminator did not
// give are no findings, and a backup of another laminator is refused unless forced.
#include <gtest/gtest.h>
#include <sys/stat.h>

#include <fstream>
#include <sstream>

#include "laminator/status_csv.h"
#include "sim/fault_plan.h"
#include "tests/cli/ctl_process.h"

namespace {
using ctltest::CtlRun;
using ctltest::RunCtl;

std::string ReadFile(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    std::ostringstream text;
    text << in.rdbuf();
    return text.str();
}

class CtlReportInputs : public ::testing::Test {
  protected:
    void SetUp() override { ASSERT_TRUE(m_lam.Started()) << m_lam.Error(); }
    std::vector<std::string> Args(std::vector<std::string> args) const {
        std::vector<std::string> all = {"--tcp", m_lam.Tcp()};
        all.insert(all.end(), args.begin(), args.end());
        return all;
    }
    std::string Path(const char* name) const { return (m_dir.Path() / name).string(); }
    void Fault(const std::string& text) {
        std::string error;
        const auto fault = pellacor::sim::ParseFault(text, &error);
        ASSERT_TRUE(fault.has_value()) << error;
        m_lam.Sim().SetFaults({*fault});
    }
    // The parameter entries of the first laminator by key.
    static std::map<std::string, nlohmann::json> Parameters(const nlohmann::json& doc) {
        std::map<std::string, nlohmann::json> byKey;
        for (const nlohmann::json& p : doc["laminators"][0]["parameters"])
            byKey[p["key"].get<std::string>()] = p;
        return byKey;
    }
    ctltest::TempDir m_dir;
    ctltest::SimulatedLaminators m_lam;
};

TEST_F(CtlReportInputs, AnOutputNamingAnInputByAnyPathIsRefusedAndTheInputKept) {
    ASSERT_EQ(RunCtl(Args({"backup", Path("base.json")})).exit, 0);
    const std::string backup = ReadFile(Path("base.json"));
    std::filesystem::create_hard_link(Path("base.json"), Path("alias.json"));
    for (const char* out : {"base.json", "alias.json"}) {
        const CtlRun run = RunCtl(Args({"report", Path(out), "--baseline", Path("base.json")}));
        EXPECT_EQ(run.exit, 2) << out << run.err;
        EXPECT_NE(run.err.find("would overwrite its input"), std::string::npos) << run.err;
        EXPECT_EQ(ReadFile(Path("base.json")), backup);
    }
    std::string csv = StatusCsvHeader() + "\n";
    StatusSample s;
    s.timeMs = 1798761600000;
    s.rollerCenti = 10000;
    csv += StatusCsvRow(s) + "\n";
    std::ofstream(Path("watch.csv"), std::ios::binary) << csv;
    const CtlRun run = RunCtl(Args({"report", Path("watch.csv"), "--from-csv", Path("watch.csv")}));
    EXPECT_EQ(run.exit, 2) << run.err;
    EXPECT_EQ(ReadFile(Path("watch.csv")), csv);
}

TEST_F(CtlReportInputs, AMissingFolderIsRefusedBeforeTheWatchAndNoTemporaryFileIsTouched) {
    const CtlRun missing =
        RunCtl(Args({"report", Path("no-such-folder/visit.html"), "--minutes", "0.05"}));
    EXPECT_EQ(missing.exit, 2) << missing.err;
    EXPECT_EQ(missing.err.find("Watching"), std::string::npos) << missing.err;
    EXPECT_EQ(m_lam.FramesReceived(), 0);
    // A file and a folder that happen to carry the names a careless writer would use.
    std::ofstream(Path("visit.html.part")) << "someone's notes";
    std::filesystem::create_directory(Path("visit.html.part0"));
    ASSERT_EQ(RunCtl(Args({"report", Path("visit.html")})).exit, 0);
    EXPECT_EQ(ReadFile(Path("visit.html.part")), "someone's notes");
    EXPECT_TRUE(std::filesystem::is_directory(Path("visit.html.part0")));
    std::size_t files = 0;
    for ([[maybe_unused]] const auto& entry : std::filesystem::directory_iterator(m_dir.Path()))
        ++files;
    EXPECT_EQ(files, 3u);  // the page and the two that were there
}

TEST_F(CtlReportInputs, CtrlCDuringTheWatchWritesTheReadingsSoFarMarkedCutShort) {
    bool sent = false;
    const CtlRun run = RunCtl(Args({"--json", "report", Path("visit.json"), "--minutes", "10"}),
                              [&](const CtlRun&, const ctltest::CtlChild& child) {
                                  // Two status cycles in, the technician presses Ctrl-C.
                                  if (!sent && m_lam.FramesReceived() >= 2) {
                                      child.Interrupt();
                                      sent = true;
                                  }
                              });
    ASSERT_TRUE(sent);
    EXPECT_EQ(run.exit, 130) << run.err;
    const nlohmann::json printed = run.Json();
    EXPECT_EQ(printed["exit"], 130);
    const nlohmann::json doc = nlohmann::json::parse(ReadFile(Path("visit.json")));
    EXPECT_TRUE(doc.value("cut-short", false));
    EXPECT_EQ(doc.value("exit", -1), 130);
    ASSERT_EQ(doc["laminators"].size(), 1u);
    EXPECT_GE(doc["laminators"][0]["readings"].size(), 1u);
    // The laminator was not read after Ctrl-C: neither connected nor not.
    const nlohmann::json& laminator = doc["laminators"][0];
    EXPECT_TRUE(laminator.contains("connected") && laminator["connected"].is_null());
}

TEST_F(CtlReportInputs, ValuesNotReadAreNeitherOutOfLimitsNorChanges) {
    ASSERT_EQ(RunCtl(Args({"backup", Path("base.json")})).exit, 0);
    m_lam.Sim().UpdateState(0, [](pellacor::sim::LaminatorState& s) { s.params.lcdContrast = 33; });
    Fault("drop-every=3@tcp");
    const CtlRun run =
        RunCtl(Args({"--json", "report", Path("visit.json"), "--baseline", Path("base.json")}));
    EXPECT_NE(run.exit, 0) << run.err;
    const nlohmann::json doc = nlohmann::json::parse(ReadFile(Path("visit.json")));
    std::size_t unread = 0;
    for (const auto& [key, p] : Parameters(doc)) {
        if (!p["value"].is_null())
            continue;
        ++unread;
        EXPECT_TRUE(p["out-of-range"].is_null()) << p;
        EXPECT_TRUE(p["baseline"].is_null()) << p;
    }
    EXPECT_GT(unread, 0u);
    EXPECT_EQ(doc["laminators"][0].value("not-read", std::size_t{0}), unread);
    EXPECT_EQ(doc["laminators"][0]["exit"], 1);
    EXPECT_EQ(run.Json()["exit"], run.exit);
}

TEST_F(CtlReportInputs, ASilentOrAbsentLaminatorGivesAPageThatSaysSoInsteadOfEmptyTables) {
    Fault("silent@tcp");
    const CtlRun silent = RunCtl(Args({"report", Path("silent.html")}));
    EXPECT_NE(silent.exit, 0);
    const std::string page = ReadFile(Path("silent.html"));
    EXPECT_EQ(page.find("Outside its limits"), std::string::npos);
    EXPECT_NE(page.find("0 values read"), std::string::npos) << page.substr(0, 3000);

    const std::string closed = "127.0.0.1:" + std::to_string(ctltest::FreeTcpPort());
    const CtlRun refused = RunCtl({"--tcp", closed, "report", Path("refused.html")});
    EXPECT_EQ(refused.exit, 3) << refused.err;
    const std::string none = ReadFile(Path("refused.html"));
    EXPECT_NE(none.find("No connection to this laminator"), std::string::npos);
    EXPECT_EQ(none.find("class=\"parameters\""), std::string::npos);
    // Each message says when it was shown.
    const std::size_t messages = none.find("<ul class=\"messages\"><li><span class=\"time\">");
    ASSERT_NE(messages, std::string::npos) << none;
    EXPECT_NE(none.find("Z</span> Connnection has failed!", messages), std::string::npos)
        << none.substr(messages, 200);
}

TEST_F(CtlReportInputs, ABackupOfAnotherLaminatorIsRefusedUnlessForcedAndThenMarked) {
    ASSERT_EQ(RunCtl(Args({"backup", Path("base.json")})).exit, 0);
    m_lam.Sim().UpdateState(
        0, [](pellacor::sim::LaminatorState& s) { s.modelName = "Pellacor CL-900"; });
    const CtlRun refused =
        RunCtl(Args({"report", Path("visit.html"), "--baseline", Path("base.json")}));
    EXPECT_EQ(refused.exit, 2) << refused.err;
    EXPECT_NE(refused.err.find("--force"), std::string::npos) << refused.err;
    EXPECT_FALSE(std::filesystem::exists(Path("visit.html")));

    const CtlRun forced =
        RunCtl(Args({"report", Path("visit.html"), "--baseline", Path("base.json"), "--force"}));
    EXPECT_EQ(forced.exit, 0) << forced.err;
    const std::string page = ReadFile(Path("visit.html"));
    EXPECT_NE(page.find("baseline-mismatch"), std::string::npos);
    // The header names the backup's laminator.
    EXPECT_NE(page.find("model Pellacor CL-200, serial number PL24A00117, saved "),
              std::string::npos);
}
}  // namespace
