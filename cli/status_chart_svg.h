#pragma once
// The status history drawn as inline SVG: roller and environment temperatures (broken at
// gaps), the set temperature as a dashed line, state changes and errors as marks whose
// texts show on hover.
#include <optional>
#include <string>
#include <vector>

#include "laminator/status_history.h"

std::string StatusChartSvg(const std::vector<StatusSample>& samples,
                           std::optional<double> setCelsius, int width = 700, int height = 260);
