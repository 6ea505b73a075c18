#include "laminator/warmup_figures.h"

#include <algorithm>
#include <cmath>

WarmupFigures ComputeWarmup(const std::vector<StatusSample>& samples,
                            std::optional<double> setCelsius) {
    WarmupFigures f;
    const StatusSample* first = nullptr;
    const StatusSample* inBand = nullptr;
    double lowest = 0, highest = 0, peak = 0;
    for (const StatusSample& s : samples) {
        if (s.gap)
            continue;
        const double t = s.RollerCelsius();
        if (!first)
            first = &s;
        const bool near = setCelsius && std::fabs(t - *setCelsius) <= kWarmupBandCelsius;
        if (setCelsius && !inBand && near) {
            inBand = &s;
            peak = t;
            if (&s != first)
                f.secondsToBand = (s.timeMs - first->timeMs) / 1000.0;
        }
        if (inBand)
            peak = std::max(peak, t);
        const bool holding = s.state == kStateReady || s.error == kWarningInHeat;
        const bool counts = setCelsius ? inBand && holding : s.state == kStateReady;
        if (counts) {
            lowest = f.spreadReadings ? std::min(lowest, t) : t;
            highest = f.spreadReadings ? std::max(highest, t) : t;
            ++f.spreadReadings;
        }
    }
    if (inBand)
        f.overshoot = std::max(0.0, peak - *setCelsius);
    if (f.spreadReadings)
        f.spread = highest - lowest;
    return f;
}
