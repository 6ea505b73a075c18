// The report's chart: a reading alone between gaps is still drawn, as a dot.
#include "cli/status_chart_svg.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdlib>
#include <ctime>
#include <optional>
#include <string>

namespace {
// Sets the C runtime's time zone for the life of the guard; the one before comes back after.
class TimeZoneGuard {
  public:
    explicit TimeZoneGuard(const char* zone) {
        if (const char* old = std::getenv("TZ"))
            m_saved = old;
        Set(zone);
    }
    ~TimeZoneGuard() { Set(m_saved ? m_saved->c_str() : nullptr); }
    TimeZoneGuard(const TimeZoneGuard&) = delete;
    TimeZoneGuard& operator=(const TimeZoneGuard&) = delete;

  private:
    static void Set(const char* zone) {
#ifdef _WIN32
        _putenv_s("TZ", zone ? zone : "");  // empty removes it
        _tzset();
#else
        zone ? setenv("TZ", zone, 1) : unsetenv("TZ");
        tzset();
#endif
    }
    std::optional<std::string> m_saved;
};

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

// Printed, the chart tells its times in the reader's local time with the offset, and each
// change of state carries its text on the paper, not only in a hover title.
TEST(StatusChartSvg, LocalTimesWithTheirOffsetAndMarksLabelledOnPaper) {
    std::vector<StatusSample> samples;
    for (int i = 0; i < 60; ++i) {
        StatusSample s = Reading(1798761600000 + 2000LL * i, 15000);
        s.state = i < 30 ? 0x4D000101 : 0x4D000201;  // heating, then ready
        samples.push_back(s);
    }
    std::string svg;
    {
        const TimeZoneGuard zone("XYZ-02:30");  // 2 h 30 min east of UTC, no daylight saving
        svg = StatusChartSvg(samples, 150.0);
    }
    EXPECT_NE(svg.find(">2027-01-01 02:30:00 +02:30</text>"), std::string::npos) << svg;
    EXPECT_NE(svg.find(">2027-01-01 02:31:58 +02:30</text>"), std::string::npos) << svg;
    EXPECT_EQ(svg.find(" UTC<"), std::string::npos) << svg;
    const std::size_t label = svg.find("class=\"mark-label\"");
    ASSERT_NE(label, std::string::npos) << svg;
    EXPECT_NE(svg.find("02:31:00 Ready for Laminating</text>", label), std::string::npos) << svg;
}
}  // namespace
