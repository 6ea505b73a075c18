#include "laminator/warmup_figures.h"

#include <algorithm>
#include <cmath>

WarmupFigures ComputeWarmup(const std::vector<StatusSample>& samples,
                            std::optional<double> setCelsius) {
    WarmupFigures f;
    // The figures start again at the last change of the set temperature the history
    // recorded; that recorded value is the one they are about.
    std::size_t start = 0;
    std::uint16_t lastSet = 0;
    for (std::size_t i = 0; i < samples.size(); ++i) {
        const StatusSample& s = samples[i];
        if (s.gap || s.setCenti == 0)
            continue;
        if (lastSet != 0 && s.setCenti != lastSet) {
            start = i;
            f.setChangedMs = s.timeMs;
        }
        lastSet = s.setCenti;
    }
    if (lastSet != 0)
        setCelsius = lastSet / 100.0;
    f.setCelsius = setCelsius;
    const StatusSample* first = nullptr;
    const StatusSample* inBand = nullptr;
    bool fromBelow = false;
    bool ready = false;  // a ready reading came once the roller was in the band
    double lowest = 0, highest = 0, peak = 0;
    for (std::size_t i = start; i < samples.size(); ++i) {
        const StatusSample& s = samples[i];
        if (s.gap)
            continue;
        const double t = s.RollerCelsius();
        if (!first) {
            first = &s;
            f.fromMs = s.timeMs;
            fromBelow = setCelsius && t < *setCelsius - kWarmupBandCelsius;
        }
        f.toMs = s.timeMs;
        const bool near = setCelsius && std::fabs(t - *setCelsius) <= kWarmupBandCelsius;
        if (setCelsius && !inBand && near) {
            inBand = &s;
            peak = t;
            // On the steady clock where recorded live; a file's wall times set back give
            // no negative duration.
            const std::int64_t elapsed = ElapsedMs(*first, s);
            if (fromBelow && elapsed >= 0)
                f.secondsToBand = static_cast<double>(elapsed) / 1000.0;
        }
        if (inBand)
            peak = std::max(peak, t);
        if (s.state == kStateReady && (!setCelsius || inBand))
            ready = true;
        const bool counts = setCelsius ? ready && near : s.state == kStateReady;
        if (counts) {
            lowest = f.spreadReadings ? std::min(lowest, t) : t;
            highest = f.spreadReadings ? std::max(highest, t) : t;
            ++f.spreadReadings;
        }
    }
    if (inBand && (fromBelow || first == inBand))
        f.overshoot = std::max(0.0, peak - *setCelsius);
    if (f.spreadReadings)
        f.spread = highest - lowest;
    return f;
}
