#pragma once
// How the roller warmed up and held its temperature, from a status history.
#include <optional>
#include <vector>

#include "laminator/status_history.h"

inline constexpr double kWarmupBandCelsius = 5.0;

struct WarmupFigures {
    // From the first reading to the first within 5 degrees of the set temperature; only when
    // the history starts outside that band and reaches it.
    std::optional<double> secondsToBand;
    // Highest roller temperature above the set one once in the band (0 when never above).
    std::optional<double> overshoot;
    // Highest minus lowest roller temperature over the readings once in the band that were
    // ready or "In heat" (without a set temperature: every ready reading).
    std::optional<double> spread;
    int spreadReadings = 0;
};

WarmupFigures ComputeWarmup(const std::vector<StatusSample>& samples,
                            std::optional<double> setCelsius);

// The codes the figures look at.
inline constexpr std::uint32_t kStateReady = 0x4D000201;
inline constexpr std::uint32_t kWarningInHeat = 0x57000101;
