#pragma once
// How a simulated roller warms up: it approaches its set point exponentially, as a heated
// mass does, reaching it in about five time constants; the heating rate caps each move.
#include <cstdint>

#include "sim/laminator_state.h"

namespace pellacor::sim {

inline constexpr uint32_t kWarmupTauMs = 40000;     // ready after about three minutes
inline constexpr uint32_t kFastWarmupTauMs = 4000;  // after about half a minute

// The time constant of every simulated roller of the process (the tool and the demo run one
// simulator each).
void SetWarmupTauMs(uint32_t tauMs);
uint32_t WarmupTauMs();

// How far the roller moves towards its set point in `ms`, in hundredths of a degree.
int RollerStep(const LaminatorState& state, int64_t ms, uint32_t tauMs = WarmupTauMs());

}  // namespace pellacor::sim
