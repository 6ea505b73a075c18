// report --since/--until through pellacorctl: a past period from a journal the test filled,
// with no laminator asked; thinned readings keep their extremes on the page and in JSON.
#include <gtest/gtest.h>

#include <fstream>
#include <sstream>

#include "journal/journal_db.h"
#include "laminator/status_csv.h"
#include "tests/cli/ctl_process.h"

namespace {
using ctltest::RunCtl;
constexpr std::int64_t kDay = 86'400'000;

std::string FileText(const std::filesystem::path& path) {
    std::ifstream in(path, std::ios::binary);
    std::stringstream s;
    s << in.rdbuf();
    return s.str();
}

class CtlReportPast : public ::testing::Test {
  protected:
    void SetUp() override { ASSERT_TRUE(m_lam.Started()) << m_lam.Error(); }
    std::string Journal() const { return (m_dir.Path() / "journal.sqlite").string(); }
    std::string Out(const std::string& name) const { return (m_dir.Path() / name).string(); }
    ctltest::CtlRun Report(std::vector<std::string> args) {
        args.insert(args.begin(), {"--journal", Journal()});
        return RunCtl(args);
    }
    // Today's operations through the real tool, and ten days ago two minutes of readings
    // at 2 s, thinned to minutes: the first minute peaks at 240.00 °C and ends at 150.00.
    std::string FillJournal() {
        const ctltest::CtlRun info =
            RunCtl({"--tcp", m_lam.Tcp(), "--json", "--journal", Journal(), "info"});
        EXPECT_EQ(info.exit, 0) << info.err;
        const std::string serial = info.Json()["laminators"][0]["info"]["laminator-sn"];
        EXPECT_EQ(
            RunCtl({"--tcp", m_lam.Tcp(), "--journal", Journal(), "backup", Out("b.json")}).exit,
            0);
        std::string error;
        auto db = JournalDb::Open(Journal(), error);
        EXPECT_TRUE(db) << error;
        const std::int64_t lam = *db->Laminator({serial, "", "", ""});
        const std::int64_t run = *db->NewRun();
        m_old = (NowMs() - 10 * kDay) / 60'000 * 60'000;
        for (int i = 0; i < 60; ++i) {
            StoredReading r;
            r.sample.timeMs = m_old + i * 2000;
            r.sample.rollerCenti = i == 12 ? 24000 : (i < 30 ? 15000 : 14000 + i);
            r.sample.environmentCenti = i == 40 ? 1100 : 2500;
            r.sample.state = 0x4D000201;
            r.sample.error = 0x45000000;
            EXPECT_TRUE(db->AddReading(lam, run, r));
        }
        EXPECT_TRUE(db->Thin(NowMs()));
        return serial;
    }
    ctltest::TempDir m_dir;
    ctltest::SimulatedLaminators m_lam;
    std::int64_t m_old = 0;
};

TEST_F(CtlReportPast, APastPeriodListsItsOperationsAndThinnedExtremesWithoutAskingTheLaminator) {
    const std::string serial = FillJournal();
    const int framesBefore = m_lam.FramesReceived();
    const ctltest::CtlRun json =
        Report({"--json", "report", Out("past.json"), "--since", "30d", "--serial", serial});
    ASSERT_EQ(json.exit, 0) << json.err;
    const nlohmann::json section = json.Json()["laminators"][0];
    EXPECT_EQ(section["period"]["serial"], serial);
    std::vector<std::string> kinds;
    for (const auto& o : section["operations"])
        kinds.push_back(o["kind"]);
    EXPECT_EQ(kinds, (std::vector<std::string>{"info", "backup"}));
    ASSERT_EQ(section["readings"].size(), 2u);
    const nlohmann::json& minute = section["readings"][0];
    EXPECT_EQ(minute["span-ms"], 60'000);
    EXPECT_DOUBLE_EQ(minute["roller-max"].get<double>(), 240.0);
    EXPECT_DOUBLE_EQ(minute["roller-temperature"].get<double>(), 150.0);
    EXPECT_DOUBLE_EQ(section["readings"][1]["environment-min"].get<double>(), 11.0);
    EXPECT_EQ(json.Json()["file"], Out("past.json"));
    EXPECT_EQ(FileText(Out("past.json")).find("\"period\"") != std::string::npos, true);

    // The page: the operations table, the span's extremes in the summary and the chart.
    const ctltest::CtlRun page =
        Report({"report", Out("past.html"), "--since", "30d", "--until", "0s", "--serial", serial});
    ASSERT_EQ(page.exit, 0) << page.err;
    const std::string html = FileText(Out("past.html"));
    EXPECT_NE(html.find("<table class=\"operations\">"), std::string::npos);
    EXPECT_NE(html.find(Out("b.json") + ", "), std::string::npos);
    EXPECT_NE(html.find(", SHA-256 "), std::string::npos);
    EXPECT_NE(html.find("Status over the period"), std::string::npos);
    EXPECT_NE(html.find("highest 240.0 °C"), std::string::npos);
    EXPECT_NE(html.find("lowest 11.0 °C"), std::string::npos);
    EXPECT_NE(html.find("2 thinned minutes or hours"), std::string::npos);
    // The chart reaches the peak: its scale is made for it (240 + 10 is 250; its last value would
    // give 200).
    EXPECT_NE(html.find(">250</text>"), std::string::npos);
    EXPECT_EQ(m_lam.FramesReceived(), framesBefore);  // no laminator was asked
}

TEST_F(CtlReportPast, NothingInThePeriodOrNoJournalIsSaidAndNothingIsWritten) {
    const std::string serial = FillJournal();
    const ctltest::CtlRun empty = Report({"report", Out("e.html"), "--since", "2001-01-01",
                                          "--until", "2001-02-01", "--serial", serial});
    EXPECT_EQ(empty.exit, 1);
    EXPECT_NE(empty.err.find("holds nothing of sn:" + serial), std::string::npos) << empty.err;
    EXPECT_FALSE(std::filesystem::exists(Out("e.html")));

    const std::string none = Out("none.sqlite");
    const ctltest::CtlRun missing =
        RunCtl({"--journal", none, "report", Out("n.html"), "--since", "1d"});
    EXPECT_EQ(missing.exit, 1);
    EXPECT_NE(missing.err.find("There is no service record at " + none), std::string::npos)
        << missing.err;
    EXPECT_FALSE(std::filesystem::exists(none));  // not made by looking
    EXPECT_FALSE(std::filesystem::exists(Out("n.html")));

    EXPECT_EQ(Report({"report", Out("u.html"), "--serial", "NOBODY", "--since", "1d"}).exit, 1);
    EXPECT_EQ(Report({"report", Out("t.html"), "--since", "soon"}).exit, 2);
    EXPECT_EQ(Report({"report", Out("t.html"), "--since", "1d", "--until", "2d"}).exit, 2);
    EXPECT_EQ(Report({"report", Out("t.html"), "--since", "1d", "--minutes", "1"}).exit, 2);
    // The journal is an input: the page never takes its place.
    const std::string before = FileText(Journal());
    EXPECT_EQ(Report({"report", Journal(), "--since", "1d", "--serial", serial}).exit, 2);
    EXPECT_EQ(FileText(Journal()), before);
}

TEST_F(CtlReportPast, SeveralLaminatorsNeedOneChosenByItsSerialOrItsLink) {
    const std::string serial = FillJournal();
    // status reads no serial: its readings stay under the link.
    ASSERT_EQ(RunCtl({"--tcp", m_lam.Tcp(), "--journal", Journal(), "status", "--count", "2",
                      "--interval", "0.05"})
                  .exit,
              0);
    const ctltest::CtlRun several = Report({"report", Out("s.html"), "--since", "1h"});
    EXPECT_EQ(several.exit, 2);
    EXPECT_NE(several.err.find("sn:" + serial), std::string::npos) << several.err;
    EXPECT_NE(several.err.find("link:tcp:"), std::string::npos) << several.err;
    EXPECT_NE(several.err.find("--serial"), std::string::npos) << several.err;
    EXPECT_FALSE(std::filesystem::exists(Out("s.html")));

    // Over a period only one of them has records in, that one is taken.
    EXPECT_EQ(Report({"report", Out("old.html"), "--since", "30d", "--until", "1d"}).exit, 0);

    const ctltest::CtlRun linked = Report({"--json", "report", Out("l.json"), "--since", "1h",
                                           "--serial", "link:tcp:" + m_lam.Tcp()});
    ASSERT_EQ(linked.exit, 0) << linked.err;
    EXPECT_EQ(linked.Json()["laminators"][0]["readings"].size(), 2u);
}
TEST_F(CtlReportPast, TheParametersLastReadInThePeriodAreComparedWithABaseline) {
    const std::string serial = FillJournal();
    const std::string saved =
        nlohmann::json::parse(FileText(Out("b.json")))["parameters"]["buzzer"];
    const std::string now = saved == "Open" ? "Close" : "Open";
    const auto ctl = [&](std::vector<std::string> args) {
        args.insert(args.begin(), {"--tcp", m_lam.Tcp(), "--journal", Journal()});
        return RunCtl(args).exit;
    };
    ASSERT_EQ(ctl({"set", "buzzer=" + now}), 0);
    ASSERT_EQ(ctl({"get"}), 0);  // every group, the serial with them
    const ctltest::CtlRun run = Report({"--json", "report", Out("p.json"), "--since", "1h",
                                        "--serial", serial, "--baseline", Out("b.json")});
    ASSERT_EQ(run.exit, 0) << run.err;
    const nlohmann::json doc = run.Json();
    int changed = 0;
    for (const auto& p : doc["laminators"][0]["parameters"]) {
        if (p["key"] == "buzzer") {
            EXPECT_EQ(p["value"], now);
            EXPECT_EQ(p["baseline"], saved);
        }
        changed += p["baseline"].is_null() ? 0 : 1;
    }
    EXPECT_EQ(changed, 1);  // numbers compare as numbers: nothing else differs
    EXPECT_EQ(doc["laminators"][0]["not-read"], 0);
    // The set temperature read stands for the period: the warm-up figures are about it.
    EXPECT_FALSE(doc["laminators"][0]["set-temperature"].is_null());
    EXPECT_EQ(doc["laminators"][0]["warmup"]["set-temperature"],
              doc["laminators"][0]["set-temperature"]);

    // A backup of another laminator is refused as for a visit.
    std::string other = FileText(Out("b.json"));
    other.replace(other.find(serial), serial.size(), "OTHER-1");
    std::ofstream(Out("other.json"), std::ios::binary) << other;
    EXPECT_EQ(Report({"report", Out("o.html"), "--since", "1h", "--serial", serial, "--baseline",
                      Out("other.json")})
                  .exit,
              2);
}
}  // namespace
