// The report's chart: a reading alone between gaps is still drawn, as a dot.
#include "cli/status_chart_svg.h"

#include <gtest/gtest.h>

#include <algorithm>

namespace {
StatusSample Reading(std::int64_t timeMs, std::uint16_t roller) {
    StatusSample s;
    s.timeMs = timeMs;
    s.rollerCenti = roller;
    s.environmentCenti = 2350;
    return s;
}

TEST(StatusChartSvg, ALoneReadingIsADotAndAGapBreaksTheLine) {
    // Every other reply lost: each reading stands alone.
    const std::vector<StatusSample> alone = {Reading(0, 15000), StatusSample::Gap(2000),
                                             Reading(4000, 15100), StatusSample::Gap(6000)};
    const std::string svg = StatusChartSvg(alone, 150.0);
    const std::size_t roller = svg.find("class=\"roller\" d=\"");
    ASSERT_NE(roller, std::string::npos);
    const std::string d = svg.substr(roller, svg.find("\"/>", roller) - roller);
    EXPECT_EQ(std::count(d.begin(), d.end(), 'M'), 2) << d;
    EXPECT_EQ(d.find(" L"), std::string::npos) << d;
    EXPECT_NE(d.find(" h0"), std::string::npos) << d;
}
}  // namespace
