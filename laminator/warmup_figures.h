#pragma once
// How the roller warmed up and held its temperature, from a status history.
#include <cstdint>
#include <optional>
#include <vector>

#include "laminator/status_history.h"

inline constexpr double kWarmupBandCelsius = 5.0;

struct WarmupFigures {
    // From the first reading to the first within 5 degrees of the set temperature; only when
    // the history starts below that band and reaches it.
    std::optional<double> secondsToBand;
    // Highest roller temperature above the set one once in the band (0 when never above);
    // only for an approach from below: coming down from a hotter set point is no overshoot.
    std::optional<double> overshoot;
    // Highest minus lowest roller temperature over the readings in the band from the first
    // ready one on (without a set temperature: every ready reading). The approach is not
    // part of it.
    std::optional<double> spread;
    int spreadReadings = 0;
    // What the figures stand on: the set temperature and the readings' span (0 when none).
    std::optional<double> setCelsius;
    std::int64_t fromMs = 0;
    std::int64_t toMs = 0;
    std::int64_t setChangedMs = 0;  // where a recorded change of set temperature restarted them
};

// `setCelsius` stands in where the readings recorded no set temperature.
WarmupFigures ComputeWarmup(const std::vector<StatusSample>& samples,
                            std::optional<double> setCelsius);

// The codes the figures look at.
inline constexpr std::uint32_t kStateReady = 0x4D000201;
inline constexpr std::uint32_t kWarningInHeat = 0x57000101;
