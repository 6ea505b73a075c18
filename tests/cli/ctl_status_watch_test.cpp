// status --watch, --interval, --count and --csv as processes.
#include <gtest/gtest.h>

#include <sstream>

#include "cli/command_runner.h"
#include "cli/commands.h"
#include "laminator/status_csv.h"
#include "netsetup/net_resources.h"
#include "tests/cli/ctl_process.h"

namespace {
using ctltest::RunCtl;

class CtlStatusWatch : public ::testing::Test {
  protected:
    void SetUp() override { ASSERT_TRUE(m_lam.Started()) << m_lam.Error(); }
    std::vector<std::string> Args(std::vector<std::string> args) const {
        std::vector<std::string> all = {"--tcp", m_lam.Tcp()};
        all.insert(all.end(), args.begin(), args.end());
        return all;
    }
    std::vector<std::string> Lines(const std::string& text) const {
        std::vector<std::string> lines;
        std::istringstream in(text);
        for (std::string line; std::getline(in, line);)
            lines.push_back(line);
        return lines;
    }
    ctltest::SimulatedLaminators m_lam;
};

TEST_F(CtlStatusWatch, CountEndsTheWatchAndEveryObjectHasItsTime) {
    const ctltest::CtlRun run =
        RunCtl(Args({"--json", "status", "--interval", "0.1", "--count", "3"}));
    ASSERT_EQ(run.exit, 0) << run.err;
    std::vector<std::string> lines = Lines(run.out);
    ASSERT_EQ(lines.size(), 4u) << run.out;
    // The last line sums the watch up, on one line as every other.
    EXPECT_EQ(nlohmann::json::parse(lines.back()),
              (nlohmann::json{
                  {"command", "status"}, {"exit", 0}, {"messages", nlohmann::json::array()}}));
    lines.pop_back();
    std::int64_t last = 0;
    for (const std::string& line : lines) {
        const nlohmann::json reading = nlohmann::json::parse(line);
        const std::optional<std::int64_t> time = ParseIsoTime(reading["time"]);
        ASSERT_TRUE(time) << reading["time"];
        EXPECT_GE(*time, last);
        last = *time;
        EXPECT_TRUE(reading["status"].contains("roller-temperature"));
    }
}

TEST_F(CtlStatusWatch, TextLinesStartWithTheirTime) {
    const ctltest::CtlRun run = RunCtl(Args({"status", "--count", "2", "--interval", "0.05"}));
    ASSERT_EQ(run.exit, 0) << run.err;
    const std::vector<std::string> lines = Lines(run.out);
    ASSERT_EQ(lines.size(), 2u);
    for (const std::string& line : lines) {
        EXPECT_TRUE(ParseIsoTime(line.substr(0, line.find(' ')))) << line;
        EXPECT_NE(line.find("state="), std::string::npos) << line;
        EXPECT_NE(line.find("roller-temperature="), std::string::npos) << line;  // a number
    }
}

TEST_F(CtlStatusWatch, CsvHasOneHeaderAndARowPerReadingThatReadsBack) {
    m_lam.Sim().UpdateState(0, [](pellacor::sim::LaminatorState& s) {
        s.rollerTemp = 12345;
        s.heatingRatePerSecond = 0;
    });
    const ctltest::CtlRun run =
        RunCtl(Args({"status", "--csv", "--count", "3", "--interval", "0.05"}));
    ASSERT_EQ(run.exit, 0) << run.err;
    const std::vector<std::string> lines = Lines(run.out);
    ASSERT_EQ(lines.size(), 4u) << run.out;
    EXPECT_EQ(lines[0], StatusCsvHeader());
    std::istringstream in(run.out);
    std::string error;
    const auto rows = ReadStatusCsv(in, error);
    ASSERT_TRUE(rows) << error;
    ASSERT_EQ(rows->size(), 3u);
    EXPECT_EQ(rows->back().rollerCenti, 12345);
    EXPECT_FALSE(rows->back().gap);
    // A laminator that cannot be reached is a gap row, and the exit says so.
    const ctltest::CtlRun gone = RunCtl({"--tcp", "127.0.0.1:1", "status", "--csv"});
    EXPECT_EQ(gone.exit, 3);
    const std::vector<std::string> goneLines = Lines(gone.out);
    ASSERT_EQ(goneLines.size(), 2u);
    EXPECT_EQ(goneLines[1].substr(goneLines[1].find(',')), ",,,,,,,");
}

TEST_F(CtlStatusWatch, AFailedJsonWatchEndsWithASummaryLineNotADocument) {
    const ctltest::CtlRun gone =
        RunCtl({"--json", "--tcp", "127.0.0.1:1", "status", "--count", "2", "--interval", "0.05"});
    EXPECT_EQ(gone.exit, 3);
    const std::vector<std::string> lines = Lines(gone.out);
    ASSERT_EQ(lines.size(), 3u) << gone.out;
    for (const std::string& line : lines)
        EXPECT_NO_THROW((void)nlohmann::json::parse(line)) << line;
    EXPECT_EQ(nlohmann::json::parse(lines.back())["exit"], 3);
}

TEST_F(CtlStatusWatch, BadWatchOptionsAreUsageErrors) {
    EXPECT_EQ(RunCtl(Args({"status", "--interval", "0"})).exit, 2);
    // An interval without end would wait for ever and look like a watch that works.
    EXPECT_EQ(RunCtl(Args({"status", "--interval", "inf"})).exit, 2);
    EXPECT_EQ(RunCtl(Args({"status", "--interval", "1e999"})).exit, 2);
    EXPECT_EQ(RunCtl(Args({"report", "x.html", "--minutes", "inf"})).exit, 2);
    EXPECT_EQ(RunCtl(Args({"status", "--count", "0"})).exit, 2);
    EXPECT_EQ(RunCtl(Args({"--json", "status", "--csv"})).exit, 2);
}
// In the tool's own process: a search's overflow is said before the first laminator (only a
// search of a crowded network says it), and a JSON watch must not drop it.
TEST_F(CtlStatusWatch, AMessageSaidBeforeTheFirstLaminatorIsInTheWatchSummary) {
    StderrMessageSink sink;
    sink.SetJsonLines(true);
    MessageBoxSink* previous = GetMessageBoxSink();
    SetMessageBoxSink(&sink);
    MessageBox(NotListedText(12));
    CommandContext context;
    context.command = "status";
    context.json = true;
    context.messages = &sink;
    std::string error;
    const std::optional<Target> target = ParseTcpTarget(m_lam.Tcp(), kLaminatorTcpPort, error);
    ASSERT_TRUE(target) << error;
    context.targets = {*target};
    StatusWatchOptions options;
    options.watch = true;
    options.count = 1;
    testing::internal::CaptureStdout();
    const int exit = RunStatus(context, options);
    const std::string out = testing::internal::GetCapturedStdout();
    SetMessageBoxSink(previous);
    CloseEthernet();

    EXPECT_EQ(exit, 0);
    const std::vector<std::string> lines = Lines(out);
    ASSERT_EQ(lines.size(), 2u) << out;
    EXPECT_EQ(nlohmann::json::parse(lines[0])["messages"], nlohmann::json::array());
    EXPECT_EQ(nlohmann::json::parse(lines[1])["messages"],
              nlohmann::json::array({NotListedText(12)}));
}

}  // namespace
