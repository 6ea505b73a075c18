#include "laminator/warmup_figures.h"

#include <gtest/gtest.h>

#include <cmath>
#include <sstream>

#include "laminator/status_csv.h"

namespace {
// A warm-up recorded from the simulator (--fast-warmup) with
// pellacorctl status --interval 2 --count 22 --csv; set temperature 150.
const char* kRecordedWarmup =
    R"(time,roller-temperature,environment-temperature,state,error,card-channel,state-code,error-code
2026-12-09T21:21:11.898Z,26.62,23.50,Initializing...,In heat,,4d000101,57000101
2026-12-09T21:21:13.894Z,36.55,23.50,Initializing...,In heat,,4d000101,57000101
2026-12-09T21:21:15.908Z,46.62,23.50,Initializing...,In heat,,4d000101,57000101
2026-12-09T21:21:17.924Z,56.70,23.50,Initializing...,In heat,,4d000101,57000101
2026-12-09T21:21:19.942Z,66.79,23.50,Initializing...,In heat,,4d000101,57000101
2026-12-09T21:21:21.959Z,76.88,23.50,Initializing...,In heat,,4d000101,57000101
2026-12-09T21:21:23.973Z,86.95,23.50,Initializing...,In heat,,4d000101,57000101
2026-12-09T21:21:25.980Z,96.98,23.50,Initializing...,In heat,,4d000101,57000101
2026-12-09T21:21:27.988Z,107.02,23.50,Initializing...,In heat,,4d000101,57000101
2026-12-09T21:21:30.006Z,117.11,23.50,Initializing...,In heat,,4d000101,57000101
2026-12-09T21:21:32.026Z,127.21,23.50,Initializing...,In heat,,4d000101,57000101
2026-12-09T21:21:34.035Z,136.21,23.50,Initializing...,In heat,,4d000101,57000101
2026-12-09T21:21:36.051Z,141.67,23.50,Initializing...,In heat,,4d000101,57000101
2026-12-09T21:21:38.066Z,144.97,23.50,Initializing...,In heat,,4d000101,57000101
2026-12-09T21:21:40.086Z,146.96,23.50,Initializing...,In heat,,4d000101,57000101
2026-12-09T21:21:42.088Z,148.16,23.50,Initializing...,In heat,,4d000101,57000101
2026-12-09T21:21:44.106Z,148.89,23.50,Initializing...,In heat,,4d000101,57000101
2026-12-09T21:21:46.123Z,149.33,23.50,Ready for Laminating,No error,,4d000201,45000000
2026-12-09T21:21:48.130Z,149.59,23.50,Ready for Laminating,No error,,4d000201,45000000
2026-12-09T21:21:50.134Z,149.75,23.50,Ready for Laminating,No error,,4d000201,45000000
2026-12-09T21:21:52.139Z,149.85,23.50,Ready for Laminating,No error,,4d000201,45000000
2026-12-09T21:21:54.160Z,149.91,23.50,Ready for Laminating,No error,,4d000201,45000000
)";

std::vector<StatusSample> Recorded() {
    std::istringstream in(kRecordedWarmup);
    std::string error;
    auto rows = ReadStatusCsv(in, error);
    EXPECT_TRUE(rows) << error;
    return rows.value_or(std::vector<StatusSample>{});
}
// A reading every two seconds from `celsius`; the last `ready` of them ready.
std::vector<StatusSample> Curve(const std::vector<double>& celsius, std::size_t ready) {
    std::vector<StatusSample> curve;
    for (std::size_t i = 0; i < celsius.size(); ++i) {
        StatusSample s;
        s.timeMs = 1798761600000 + 2000 * static_cast<std::int64_t>(i);
        s.rollerCenti = static_cast<std::uint16_t>(std::lround(celsius[i] * 100));
        s.state = i + ready >= celsius.size() ? kStateReady : 0x4D000101;
        s.error = s.state == kStateReady ? 0x45000000 : kWarningInHeat;
        curve.push_back(s);
    }
    return curve;
}

std::vector<StatusSample> Overshooting() {
    std::vector<StatusSample> curve = Recorded();
    curve[19].rollerCenti = 15240;  // past the set point, then back
    curve[20].rollerCenti = 15110;
    curve.insert(curve.begin() + 5, StatusSample::Gap(curve[4].timeMs + 1000));
    return curve;
}

std::vector<StatusSample> EveryOtherAGap(std::vector<StatusSample> curve) {
    std::vector<StatusSample> out;
    for (const StatusSample& s : curve) {
        out.push_back(StatusSample::Gap(s.timeMs - 1000));
        out.push_back(s);
    }
    return out;
}

// Warm at 150, then the set point lowered to 100: the figures are those of the change.
std::vector<StatusSample> SetLowered() {
    std::vector<StatusSample> curve = Recorded();
    for (StatusSample& s : curve)
        s.setCenti = 15000;
    std::int64_t t = curve.back().timeMs;
    for (double c : {140.0, 120.0, 104.0, 100.5, 100.2, 100.1}) {
        StatusSample s = curve.back();
        s.timeMs = t += 2000;
        s.rollerCenti = static_cast<std::uint16_t>(std::lround(c * 100));
        s.setCenti = 10000;
        s.state = c < 101 ? kStateReady : 0x4D000101;
        curve.push_back(s);
    }
    return curve;
}

std::vector<StatusSample> ClockSetBack() {
    std::vector<StatusSample> curve = Recorded();
    for (std::size_t i = 5; i < curve.size(); ++i)
        curve[i].timeMs -= 3600000;
    return curve;
}

// The same readings recorded live: the steady clock ran on as recorded while the wall
// clock was set back an hour in the middle of the warm-up.
std::vector<StatusSample> LiveClockSetBack() {
    std::vector<StatusSample> curve = Recorded();
    const std::int64_t start = curve.front().timeMs;
    for (StatusSample& s : curve)
        s.steadyMs = 5000000 + (s.timeMs - start);
    for (std::size_t i = 5; i < curve.size(); ++i)
        curve[i].timeMs -= 3600000;
    return curve;
}

}  // namespace

TEST(WarmupFigures, FromTheHistoriesThatHappen) {
    const std::vector<StatusSample> recorded = Recorded();
    ASSERT_EQ(recorded.size(), 22u);
    const std::optional<double> none;
    const struct {
        const char* name;
        std::vector<StatusSample> curve;
        std::optional<double> set;
        std::optional<double> toBand, overshoot, spread;
        int spreadReadings;
    } cases[] = {
        // 146.96 at 21:21:40.086 is the first within 5 degrees (144.97 is not); the spread
        // is over the ready readings from 149.33 on, not the approach.
        {"plain warm-up", recorded, 150.0, 28.188, 0.0, 149.91 - 149.33, 5},
        {"overshoot, a gap changes nothing", Overshooting(), 150.0, 28.188, 2.40, 152.40 - 149.33,
         5},
        {"no set temperature: only ready readings", recorded, none, none, none, 149.91 - 149.33, 5},
        {"starts warm: no warm-up time",
         {recorded.begin() + 15, recorded.end()},
         150.0,
         none,
         0.0,
         149.91 - 149.33,
         5},
        {"still cold at its end: nothing",
         {recorded.begin(), recorded.begin() + 10},
         150.0,
         none,
         none,
         none,
         0},
        // The set point lowered from 190: coming down is neither warm-up nor overshoot.
        {"approach from above", Curve({190, 180, 170, 160, 154, 151, 150.2, 150.1}, 3), 150.0, none,
         none, 151 - 150.1, 3},
        // The history's own set temperature wins over the one given, from its last change.
        {"set point lowered", SetLowered(), 150.0, none, none, 100.5 - 100.1, 3},
        {"lone readings between gaps", EveryOtherAGap(recorded), 150.0, 28.188, 0.0,
         149.91 - 149.33, 5},
        {"one reading", Curve({150.4}, 1), 150.0, none, 0.4, 0.0, 1},
        {"a clock set back an hour: no negative time", ClockSetBack(), 150.0, none, 0.0,
         149.91 - 149.33, 5},
        {"recorded live, the wall clock set back: the steady clock's time", LiveClockSetBack(),
         150.0, 28.188, 0.0, 149.91 - 149.33, 5},
        {"nothing read", {StatusSample::Gap(0)}, 150.0, none, none, none, 0},
    };
    const auto same = [](const std::optional<double>& a, const std::optional<double>& b) {
        return a.has_value() == b.has_value() && (!a || std::fabs(*a - *b) < 1e-9);
    };
    for (const auto& c : cases) {
        const WarmupFigures f = ComputeWarmup(c.curve, c.set);
        EXPECT_TRUE(same(f.secondsToBand, c.toBand)) << c.name;
        EXPECT_TRUE(same(f.overshoot, c.overshoot)) << c.name;
        EXPECT_TRUE(same(f.spread, c.spread)) << c.name << " " << f.spread.value_or(-1);
        EXPECT_EQ(f.spreadReadings, c.spreadReadings) << c.name;
    }
    // The span the figures cover is named with them.
    const WarmupFigures f = ComputeWarmup(recorded, 150.0);
    EXPECT_EQ(f.fromMs, recorded.front().timeMs);
    EXPECT_EQ(f.toMs, recorded.back().timeMs);
    const std::vector<StatusSample> lowered = SetLowered();
    const WarmupFigures l = ComputeWarmup(lowered, 150.0);
    EXPECT_EQ(l.setCelsius, 100.0);
    EXPECT_EQ(l.fromMs, lowered[22].timeMs);
    EXPECT_EQ(l.setChangedMs, lowered[22].timeMs);
}
