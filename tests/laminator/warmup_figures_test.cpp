#include "laminator/warmup_figures.h"

#include <gtest/gtest.h>

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
}  // namespace

TEST(WarmupFigures, OfARecordedWarmup) {
    const std::vector<StatusSample> curve = Recorded();
    ASSERT_EQ(curve.size(), 22u);
    const WarmupFigures f = ComputeWarmup(curve, 150.0);
    // 146.96 at 21:21:40.086 is the first within 5 degrees (144.97 is not).
    ASSERT_TRUE(f.secondsToBand);
    EXPECT_DOUBLE_EQ(*f.secondsToBand, 28.188);
    ASSERT_TRUE(f.overshoot);
    EXPECT_DOUBLE_EQ(*f.overshoot, 0.0);  // it never passed 150
    // From 146.96 ("In heat") to 149.91 ("Ready for Laminating"): eight readings.
    ASSERT_TRUE(f.spread);
    EXPECT_NEAR(*f.spread, 2.95, 1e-9);
    EXPECT_EQ(f.spreadReadings, 8);
}

TEST(WarmupFigures, OvershootGapsAndNoSetTemperature) {
    std::vector<StatusSample> curve = Recorded();
    curve[19].rollerCenti = 15240;  // past the set point, then back
    curve[20].rollerCenti = 15110;
    curve.insert(curve.begin() + 5, StatusSample::Gap(curve[4].timeMs + 1000));
    const WarmupFigures f = ComputeWarmup(curve, 150.0);
    EXPECT_NEAR(*f.overshoot, 2.40, 1e-9);
    EXPECT_NEAR(*f.spread, 152.40 - 146.96, 1e-9);
    EXPECT_DOUBLE_EQ(*f.secondsToBand, 28.188);  // a gap changes nothing

    // Without a set temperature only the ready readings give a spread.
    const WarmupFigures unset = ComputeWarmup(Recorded(), std::nullopt);
    EXPECT_FALSE(unset.secondsToBand);
    EXPECT_FALSE(unset.overshoot);
    EXPECT_NEAR(*unset.spread, 149.91 - 149.33, 1e-9);
    EXPECT_EQ(unset.spreadReadings, 5);
}

TEST(WarmupFigures, WhatTheHistoryDoesNotCoverIsNotInvented) {
    const std::vector<StatusSample> curve = Recorded();
    // It starts already warm: no warm-up time, but overshoot and spread.
    const std::vector<StatusSample> warm(curve.begin() + 15, curve.end());
    const WarmupFigures f = ComputeWarmup(warm, 150.0);
    EXPECT_FALSE(f.secondsToBand);
    EXPECT_TRUE(f.overshoot);
    // Still cold at its end: nothing at all.
    const std::vector<StatusSample> cold(curve.begin(), curve.begin() + 10);
    const WarmupFigures c = ComputeWarmup(cold, 150.0);
    EXPECT_FALSE(c.secondsToBand);
    EXPECT_FALSE(c.overshoot);
    EXPECT_FALSE(c.spread);
    EXPECT_FALSE(ComputeWarmup({}, 150.0).spread);
    EXPECT_FALSE(ComputeWarmup({StatusSample::Gap(0)}, 150.0).overshoot);
}
