// A past period's readings as history: thinned spans give their extremes, and a chart breaks
// only where the journal holds nothing, judged by the cadence of each part.
#include "journal/journal_history.h"

#include <gtest/gtest.h>

#include <algorithm>

#include "laminator/chart_reduction.h"

namespace {
constexpr std::int64_t kMinute = 60'000;

StoredReading Taken(std::int64_t timeMs, std::uint16_t roller) {
    StoredReading r;
    r.sample.timeMs = timeMs;
    r.sample.rollerCenti = roller;
    r.sample.environmentCenti = 2500;
    r.rollerMin = r.rollerMax = roller;
    r.environmentMin = r.environmentMax = 2500;
    return r;
}

StoredReading Minute(std::int64_t timeMs, std::uint16_t low, std::uint16_t high,
                     std::uint16_t last) {
    StoredReading r = Taken(timeMs, last);
    r.spanMs = kMinute;
    r.rollerMin = low;
    r.rollerMax = high;
    return r;
}

std::size_t Gaps(const std::vector<StatusSample>& samples) {
    return static_cast<std::size_t>(
        std::count_if(samples.begin(), samples.end(), [](const StatusSample& s) { return s.gap; }));
}

TEST(JournalHistory, AThinnedSpanGivesItsExtremesInTheOrderItsLastValueTells) {
    const std::vector<StatusSample> h = HistoryOfReadings(
        {Minute(0, 10000, 19000, 18500), Minute(kMinute, 12000, 17000, 12500), Taken(130000, 9)});
    ASSERT_EQ(h.size(), 5u);
    // Rising (ended near its highest): lowest first; falling: highest first.
    EXPECT_EQ(h[0].rollerCenti, 10000);
    EXPECT_EQ(h[1].rollerCenti, 19000);
    EXPECT_EQ(h[2].rollerCenti, 17000);
    EXPECT_EQ(h[3].rollerCenti, 12000);
    EXPECT_EQ(h[0].timeMs, kMinute / 4);
    EXPECT_EQ(h[1].timeMs, kMinute * 3 / 4);
    EXPECT_EQ(h[4].rollerCenti, 9);
}

TEST(JournalHistory, ThinnedMinutesBesideTwoSecondReadingsBreakOnlyWhereNothingWasKept) {
    std::vector<StoredReading> kept;
    // Two hours of minutes, then a day with nothing, an hour of minutes, then 2 s readings
    // (many more of them, so the whole history's typical step is 2 s).
    for (std::int64_t m = 0; m < 120; ++m)
        kept.push_back(Minute(m * kMinute, 14000, 15000, 14500));
    const std::int64_t later = 120 * kMinute + 24 * 60 * kMinute;
    for (std::int64_t m = 0; m < 60; ++m)
        kept.push_back(Minute(later + m * kMinute, 14000, 15000, 14500));
    for (int i = 0; i < 5000; ++i)
        kept.push_back(Taken(later + 60 * kMinute + i * 2000LL, 15000));
    const std::vector<StatusSample> broken = BreakLongStretches(HistoryOfReadings(kept));
    EXPECT_EQ(TypicalStepMs(HistoryOfReadings(kept)), 2000);
    EXPECT_EQ(Gaps(broken), 1u);  // the day, not every half minute
}
}  // namespace
