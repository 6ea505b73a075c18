#include "sim/roller_warmup.h"

#include <algorithm>
#include <atomic>
#include <cmath>

namespace pellacor::sim {

namespace {
std::atomic<uint32_t> g_tauMs{kWarmupTauMs};
}  // namespace

void SetWarmupTauMs(uint32_t tauMs) {
    g_tauMs.store(std::max<uint32_t>(tauMs, 1));
}

uint32_t WarmupTauMs() {
    return g_tauMs.load();
}

int RollerStep(const LaminatorState& s, int64_t ms, uint32_t tauMs) {
    const double gap = static_cast<double>(s.SetPoint()) - s.rollerTemp;
    const double t = static_cast<double>(ms);
    const double cap = static_cast<double>(s.heatingRatePerSecond) * t / 1000.0;
    const double move = gap * (1.0 - std::exp(-t / std::max<uint32_t>(tauMs, 1)));
    return static_cast<int>(std::lround(std::clamp(move, -cap, cap)));
}

}  // namespace pellacor::sim
