#include <gtest/gtest.h>

#include "sim/laminator_state.h"
#include "sim/roller_warmup.h"

using pellacor::sim::kFastWarmupTauMs;
using pellacor::sim::kWarmupTauMs;
using pellacor::sim::LaminatorState;
using pellacor::sim::RollerStep;

namespace {
// Seconds of two-second cycles until the roller is within `band` hundredths of its set point;
// checks on the way that it only climbs and never passes the set point.
int SecondsToBand(LaminatorState s, int band, std::uint32_t tau) {
    int seconds = 0;
    while (s.SetPoint() - s.rollerTemp > band && seconds < 3600) {
        const int step = RollerStep(s, 2000, tau);
        EXPECT_GE(step, 0);
        s.rollerTemp = static_cast<std::uint16_t>(s.rollerTemp + step);
        EXPECT_LE(s.rollerTemp, s.SetPoint());
        seconds += 2;
    }
    return seconds;
}
}  // namespace

TEST(RollerWarmup, ApproachesTheSetPointOverAFewMinutesOrSecondsWhenFast) {
    LaminatorState s;  // 23.5 degrees, set to 150
    ASSERT_EQ(s.rollerTemp, 2350);
    const int toFive = SecondsToBand(s, 500, kWarmupTauMs);
    const int toReady = SecondsToBand(s, 100, kWarmupTauMs);
    EXPECT_GE(toFive, 90);
    EXPECT_LE(toFive, 180);
    EXPECT_GE(toReady, 150);
    EXPECT_LE(toReady, 300);
    // First order: the slope falls as the gap closes.
    const int first = RollerStep(s, 2000, kWarmupTauMs);
    s.rollerTemp = 14000;
    EXPECT_LT(RollerStep(s, 2000, kWarmupTauMs) * 5, first);

    s.rollerTemp = 2350;
    EXPECT_LE(SecondsToBand(s, 100, kFastWarmupTauMs), 45);
    EXPECT_GE(SecondsToBand(s, 100, kFastWarmupTauMs), 15);
}

TEST(RollerWarmup, TheHeatingRateCapsTheMoveAndCoolingGoesDown) {
    LaminatorState s;
    s.heatingRatePerSecond = 100;
    EXPECT_EQ(RollerStep(s, 1000, kFastWarmupTauMs), 100);
    s.rollerTemp = 20000;  // above the set point: it cools
    EXPECT_EQ(RollerStep(s, 1000, kFastWarmupTauMs), -100);
    s.heatingRatePerSecond = 0;
    EXPECT_EQ(RollerStep(s, 1000, kFastWarmupTauMs), 0);
}

TEST(RollerWarmup, StatesFollowTheRollerFromInitializingToReady) {
    LaminatorState s;
    EXPECT_EQ(s.CurrentStateCode(), 0x4D000101u);  // "Initializing..."
    EXPECT_EQ(s.CurrentErrorCode(), 0x57000101u);  // "In heat"
    s.rollerTemp = static_cast<std::uint16_t>(s.SetPoint() - 50);
    EXPECT_EQ(s.CurrentStateCode(), 0x4D000201u);  // "Ready for Laminating"
    EXPECT_EQ(s.CurrentErrorCode(), 0x45000000u);  // "No error"
}
