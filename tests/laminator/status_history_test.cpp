#include "laminator/status_history.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <sstream>

#include "laminator/chart_reduction.h"
#include "laminator/status_csv.h"
#include "laminator/status_poller.h"
#include "sim/fault_plan.h"
#include "sim_fixture.h"

namespace {
StatusSample Reading(std::int64_t timeMs, std::uint16_t roller) {
    StatusSample s;
    s.timeMs = timeMs;
    s.rollerCenti = roller;
    s.environmentCenti = 2350;
    s.state = 0x4D000201;
    s.error = 0x45000000;
    return s;
}
}  // namespace

TEST(StatusHistory, KeepsADayAtTheTwoSecondCycleInAFewMegabytes) {
    StatusHistory history;
    EXPECT_GE(history.Capacity(), 24u * 3600 / 2);
    EXPECT_LE(history.Capacity() * sizeof(StatusSample), 4u << 20);
}

TEST(StatusHistory, TheRingDropsTheOldestAndKeepsTheOrder) {
    StatusHistory history(5);
    EXPECT_FALSE(history.Latest());
    const std::uint64_t before = history.Revision();
    for (int i = 0; i < 12; ++i)
        history.Append(Reading(1000 * i, static_cast<std::uint16_t>(i)));
    EXPECT_EQ(history.Size(), 5u);
    EXPECT_EQ(history.Revision(), before + 12);
    const std::vector<StatusSample> all = history.Snapshot();
    ASSERT_EQ(all.size(), 5u);
    for (std::size_t i = 0; i < 5; ++i)
        EXPECT_EQ(all[i].rollerCenti, 7 + i);
    EXPECT_EQ(history.Latest()->rollerCenti, 11);
    // A window of time: only what is at or after its start.
    const std::vector<StatusSample> recent = history.Snapshot(10000);
    ASSERT_EQ(recent.size(), 2u);
    EXPECT_EQ(recent.front().timeMs, 10000);
    history.Clear();
    EXPECT_EQ(history.Size(), 0u);
    EXPECT_TRUE(history.Snapshot().empty());
}

// Readings recorded live carry the steady clock; a stretch of more than three cycles with
// none is recorded as a gap one cycle after the last reading, in the history itself and so
// in every CSV written from it.
TEST(StatusHistory, ALongUnreadStretchIsRecordedAsAGap) {
    const auto live = [](std::int64_t steadyMs, std::int64_t wallMs) {
        StatusSample s = Reading(wallMs, 15000);
        s.steadyMs = steadyMs;
        return s;
    };
    StatusHistory history;
    history.Append(live(10000, 1000000));
    history.Append(live(12000, 1002000));
    history.Append(live(18000, 1008000));  // three cycles: still a line
    // The poller held 52 s; the wall clock was set back meanwhile: the steady clock decides.
    history.Append(live(70000, 900000));
    std::vector<StatusSample> all = history.Snapshot();
    ASSERT_EQ(all.size(), 5u);
    EXPECT_FALSE(all[2].gap);
    EXPECT_TRUE(all[3].gap);
    EXPECT_EQ(all[3].timeMs, 1010000);
    EXPECT_EQ(all[3].steadyMs, 20000);
    EXPECT_EQ(ElapsedMs(all[2], all[4]), 52000);
    const std::string csv = StatusCsv(all);
    std::istringstream in(csv);
    std::string line;
    std::vector<std::string> lines;
    while (std::getline(in, line))
        lines.push_back(line);
    ASSERT_EQ(lines.size(), 6u);
    EXPECT_EQ(lines[4], StatusCsvRow(StatusSample::Gap(1010000)));

    // After a failed cycle no second gap; readings from a file (no steady time) are kept as
    // they are; a watch's own interval is its cycle.
    history.Append(StatusSample::Gap(910000));
    history.Append(live(200000, 1100000));
    history.Append(Reading(5000000, 15000));
    history.Append(Reading(9000000, 15000));
    all = history.Snapshot();
    ASSERT_EQ(all.size(), 9u);
    EXPECT_TRUE(all[5].gap);
    EXPECT_FALSE(all[6].gap);
    EXPECT_FALSE(all[7].gap);
    EXPECT_FALSE(all[8].gap);
    StatusHistory watched;
    watched.SetCycle(std::chrono::milliseconds(10000));
    watched.Append(live(0 + 1, 0));
    watched.Append(live(30001, 30000));
    EXPECT_EQ(watched.Size(), 2u);
    watched.Append(live(70002, 70000));
    EXPECT_EQ(watched.Size(), 4u);
}

TEST(StatusCsv, RoundTripsReadingsAndGaps) {
    StatusSample cards = Reading(1765000004123, 15012);
    cards.cardSensors = 5;  // "Card detected by channel 1, 3" holds a comma
    cards.error = 0x45000001;
    const std::vector<StatusSample> samples = {Reading(1765000000000, 2350),
                                               StatusSample::Gap(1765000002000), cards};
    const std::string csv = StatusCsv(samples);
    EXPECT_EQ(csv.substr(0, csv.find('\n')), StatusCsvHeader());
    EXPECT_NE(csv.find("2025-12-06T05:46:42.000Z,,,,,,,\n"), std::string::npos) << csv;
    EXPECT_NE(csv.find("\"Card detected by channel 1, 3\""), std::string::npos);
    EXPECT_NE(csv.find("Press the “Set” key"), std::string::npos);
    std::istringstream in(csv);
    std::string error;
    const auto back = ReadStatusCsv(in, error);
    ASSERT_TRUE(back) << error;
    ASSERT_EQ(back->size(), 3u);
    EXPECT_EQ((*back)[0].rollerCenti, 2350);
    EXPECT_EQ((*back)[0].cardSensors, -1);
    EXPECT_TRUE((*back)[1].gap);
    EXPECT_EQ((*back)[1].timeMs, 1765000002000);
    EXPECT_EQ((*back)[2].timeMs, 1765000004123);
    EXPECT_EQ((*back)[2].rollerCenti, 15012);
    EXPECT_EQ((*back)[2].error, 0x45000001u);
    EXPECT_EQ((*back)[2].cardSensors, 5);
}

TEST(StatusCsv, RefusesWhatIsNotAHistoryNamingTheLine) {
    const std::string header = StatusCsvHeader() + "\n";
    const struct {
        std::string text;
        std::string why;
    } bad[] = {
        {"a,b\n", "line 1: not a status history"},
        {header + "2026-01-01T00:00:00Z,150.00\n", "line 2: expected 8 fields"},
        {header + "yesterday,,,,,,,\n", "line 2: \"yesterday\" is not a time"},
        {header + "2026-13-01T00:00:00Z,,,,,,,\n", "is not a time"},
        {header + "2026-01-01T00:00:00.000Z,150,23.50,,,,4d000201,45000000\n",
         "line 2: a temperature"},
        {header + "2026-01-01T00:00:00.000Z,150.00,23.50,,,,4d0002,45000000\n",
         "line 2: a state or error code"},
        {header + std::string(600, 'x') + "\n", "line 2: longer than 512"},
        // Dates that are none, and numbers a loose parser lets through.
        {header + "2027-02-31T00:00:00Z,,,,,,,\n", "line 2: \"2027-02-31T00:00:00Z\" is not"},
        {header + "2026-02-29T00:00:00Z,,,,,,,\n", "is not a time"},
        {header + "0000-01-01T00:00:00Z,,,,,,,\n", "is not a time"},
        {header + "9999-01-01T00:00:00Z,,,,,,,\n", "is not a time"},
        {header + "2027-01-01T00:00:00.-12Z,,,,,,,\n", "is not a time"},
        {header + "2027-01-01T00:00:00.000Z,1.-1,23.50,,,,4d000201,45000000\n", "a temperature"},
        {header + "2027-01-01T00:00:00.000Z,1. 5,23.50,,,,4d000201,45000000\n", "a temperature"},
        {header + "2027-01-01T00:00:00.000Z,+1.50,23.50,,,,4d000201,45000000\n", "a temperature"},
        {header + "2027-01-01T00:00:02Z,,,,,,,\n2027-01-01T00:00:01Z,,,,,,,\n",
         "line 3: the time 2027-01-01T00:00:01Z is before the line above it"},
        {"", "empty file"},
    };
    for (const auto& b : bad) {
        std::istringstream in(b.text);
        std::string error;
        EXPECT_FALSE(ReadStatusCsv(in, error)) << b.text;
        EXPECT_NE(error.find(b.why), std::string::npos) << error;
    }
}

TEST(StatusCsv, KeepsOnlyTheNewestRowsOfALongFile) {
    std::string text = StatusCsvHeader() + "\n";
    for (int i = 0; i < 10; ++i)
        text += StatusCsvRow(Reading(1000 * i, static_cast<std::uint16_t>(i))) + "\n";
    std::istringstream in(text);
    std::string error;
    std::size_t dropped = 0;
    const auto rows = ReadStatusCsv(in, error, 4, &dropped);
    ASSERT_TRUE(rows);
    ASSERT_EQ(rows->size(), 4u);
    EXPECT_EQ(rows->front().rollerCenti, 6);
    EXPECT_EQ(dropped, 6u);
}

TEST(StatusCsv, AFileOfSeveralLaminatorsGivesTheRowsOfTheOneNamed) {
    const std::string text = "target," + StatusCsvHeader() + "\n" + CsvField("tcp:a,1") + "," +
                             StatusCsvRow(Reading(1000, 1)) + "\ntcp:b," +
                             StatusCsvRow(Reading(500, 2)) + "\n" + CsvField("tcp:a,1") + "," +
                             StatusCsvRow(Reading(2000, 3)) + "\n";
    std::string error;
    std::istringstream a(text);
    const auto rows = ReadStatusCsv(a, error, 10, nullptr, "tcp:a,1");
    ASSERT_TRUE(rows) << error;
    ASSERT_EQ(rows->size(), 2u);
    EXPECT_EQ(rows->back().rollerCenti, 3);
    // Without a name, or with one the file lacks, it says which laminators it holds.
    std::istringstream unnamed(text);
    EXPECT_FALSE(ReadStatusCsv(unnamed, error));
    EXPECT_NE(error.find("several laminators (tcp:a,1, tcp:b)"), std::string::npos) << error;
    std::istringstream other(text);
    EXPECT_FALSE(ReadStatusCsv(other, error, 10, nullptr, "tcp:c"));
    EXPECT_NE(error.find("no readings of tcp:c"), std::string::npos) << error;
}

TEST(IsoTime, WritesAndReadsUtcWithMilliseconds) {
    EXPECT_EQ(IsoTime(0), "1970-01-01T00:00:00.000Z");
    EXPECT_EQ(IsoTime(1798761600999), "2027-01-01T00:00:00.999Z");
    EXPECT_EQ(ParseIsoTime("2027-01-01T00:00:00.999Z"), 1798761600999);
    EXPECT_EQ(ParseIsoTime("2027-01-01T00:00:00Z"), 1798761600000);
    EXPECT_FALSE(ParseIsoTime("2027-01-01T00:00:00"));
    EXPECT_FALSE(ParseIsoTime("2027-01-01T00:00:00.9Z"));
    EXPECT_FALSE(ParseIsoTime("2027-01-01 00:00:00Z"));
    EXPECT_EQ(ParseIsoTime("2028-02-29T00:00:00Z"), 1835395200000);  // a leap day
    EXPECT_FALSE(ParseIsoTime("2100-02-29T00:00:00Z"));
    EXPECT_FALSE(ParseIsoTime("2027-01-01T00:00:60Z"));
    EXPECT_FALSE(ParseIsoTime("+027-01-01T00:00:00Z"));
}

using StatusHistoryCycleTest = LinkTest;

TEST_P(StatusHistoryCycleTest, EachCycleAddsAReadingAndAFailedOneAGap) {
    m_sim->UpdateState(0, [](pellacor::sim::LaminatorState& s) {
        s.environmentTemp = 2399;
        s.rollerTemp = 14321;
        s.heatingRatePerSecond = 0;
        s.cardBits = 2;
    });
    StatusHistory history;
    StatusHistoryScope scope(&history);
    const std::int64_t before = NowMs();
    ASSERT_TRUE(ReadStatusOnce(m_view, GetParam()));
    ASSERT_EQ(history.Size(), 1u);
    const StatusSample s = *history.Latest();
    EXPECT_FALSE(s.gap);
    EXPECT_GE(s.timeMs, before);
    EXPECT_EQ(s.rollerCenti, 14321);
    EXPECT_EQ(s.environmentCenti, 2399);
    EXPECT_EQ(s.state, 0x4D000101u);
    EXPECT_EQ(s.error, 0x57000101u);
    EXPECT_EQ(s.cardSensors, GetParam() == LinkKind::Usb ? 2 : -1);

    m_sim->SetFaults({*pellacor::sim::ParseFault("silent", nullptr)});
    EXPECT_FALSE(ReadStatusOnce(m_view, GetParam()));
    m_sim->SetFaults({});
    ASSERT_EQ(history.Size(), 2u);
    EXPECT_TRUE(history.Latest()->gap);
    EXPECT_GE(history.Latest()->timeMs, s.timeMs);
}

TEST_P(StatusHistoryCycleTest, ByDefaultTheSharedHistoryAndWithANullScopeNone) {
    // Emptied first: a reading of an earlier test long ago would add an unread stretch's gap.
    SharedStatusHistory().Clear();
    const std::uint64_t shared = SharedStatusHistory().Revision();
    ASSERT_TRUE(ReadStatusOnce(m_view, GetParam()));
    EXPECT_EQ(SharedStatusHistory().Revision(), shared + 1);
    {
        StatusHistoryScope none(nullptr);
        ASSERT_TRUE(ReadStatusOnce(m_view, GetParam()));
    }
    EXPECT_EQ(SharedStatusHistory().Revision(), shared + 1);
}

INSTANTIATE_TEST_SUITE_P(BothLinks, StatusHistoryCycleTest,
                         ::testing::Values(LinkKind::Usb, LinkKind::Ethernet), LinkName);

TEST(ChartReduction, EightHoursKeepTheirPeaksAndGapsAndLongStretchesBreak) {
    std::vector<StatusSample> samples;
    for (int i = 0; i < 14400; ++i) {
        // A slow ripple with one spike and one dip, and a gap in the middle.
        std::uint16_t roller = static_cast<std::uint16_t>(15000 + (i % 50) * 2);
        if (i == 3001)
            roller = 17000;
        if (i == 9002)
            roller = 9000;
        samples.push_back(i == 7200 ? StatusSample::Gap(2000LL * i) : Reading(2000LL * i, roller));
    }
    const std::vector<StatusSample> drawn =
        ReduceForChart(samples, samples.front().timeMs, samples.back().timeMs, 600);
    EXPECT_LE(drawn.size(), 600u * 6 + 10);
    const auto has = [&](std::uint16_t roller) {
        return std::any_of(drawn.begin(), drawn.end(), [&](const StatusSample& s) {
            return !s.gap && s.rollerCenti == roller;
        });
    };
    EXPECT_TRUE(has(17000));
    EXPECT_TRUE(has(9000));
    EXPECT_EQ(
        std::count_if(drawn.begin(), drawn.end(), [](const StatusSample& s) { return s.gap; }), 1);
    EXPECT_TRUE(std::is_sorted(
        drawn.begin(), drawn.end(),
        [](const StatusSample& a, const StatusSample& b) { return a.timeMs < b.timeMs; }));
    // A short history is drawn as it is.
    const std::vector<StatusSample> few(samples.begin(), samples.begin() + 100);
    EXPECT_EQ(ReduceForChart(few, 0, 198000, 600).size(), 100u);
    // Polling stopped for 83 s: the line breaks one cycle after the last reading; three
    // cycles without one are still a line.
    std::vector<StatusSample> held(samples.begin(), samples.begin() + 10);
    held.push_back(Reading(held.back().timeMs + 83000, 2000));
    held.push_back(Reading(held.back().timeMs + 6000, 2000));
    const std::vector<StatusSample> broken = ReduceForChart(held, 0, held.back().timeMs, 600);
    ASSERT_EQ(broken.size(), 13u);
    EXPECT_TRUE(broken[10].gap);
    EXPECT_EQ(broken[10].timeMs, held[9].timeMs + 2000);
    EXPECT_FALSE(broken[12].gap);
    EXPECT_EQ(TypicalStepMs(held), 2000);
}
