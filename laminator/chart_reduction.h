#pragma once
// A long status history reduced for drawing: per pixel column only the first, lowest,
// highest and last reading of each temperature, in time order; gaps are kept, so a line
// breaks where the laminator did not answer. Eight hours draw as fast as five minutes.
#include <cstdint>
#include <vector>

#include "laminator/status_history.h"

// The cycle the readings came at: the median step between neighbours (0 for fewer than
// three readings).
std::int64_t TypicalStepMs(const std::vector<StatusSample>& samples);
// `samples` with a gap one cycle after each reading followed by more than kUnreadCycles
// cycles of nothing (polling stopped, a message box held the poller): a live history has
// them already; a file written elsewhere may not. The cycle is the one around the stretch,
// so a journal's thinned minutes next to a watch's two-second readings stay a line.
std::vector<StatusSample> BreakLongStretches(const std::vector<StatusSample>& samples);

// `samples` oldest first, long stretches broken as above; columns span [t0, t1].
std::vector<StatusSample> ReduceForChart(const std::vector<StatusSample>& samples, std::int64_t t0,
                                         std::int64_t t1, int columns);
