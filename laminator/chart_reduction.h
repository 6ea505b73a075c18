#pragma once
// A long status history reduced for drawing: per pixel column only the first, lowest,
// highest and last reading of each temperature, in time order; gaps are kept, so a line
// breaks where the laminator did not answer. Eight hours draw as fast as five minutes.
#include <cstdint>
#include <vector>

#include "laminator/status_history.h"

// `samples` oldest first; columns span [t0, t1].
std::vector<StatusSample> ReduceForChart(const std::vector<StatusSample>& samples, std::int64_t t0,
                                         std::int64_t t1, int columns);
