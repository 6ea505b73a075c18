#pragma once
// What changed in a status history: the state, the error or warning, and the gaps (cycles
// without a reply), as texts for a timeline, a chart's marks and the report.
#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include "laminator/status_history.h"

struct StatusEvent {
    std::int64_t timeMs = 0;
    std::string text;
    bool fault = false;  // an error other than "No error", or a gap
};

// Oldest first; the first reading counts as a change. At most `limit`, the newest kept.
std::vector<StatusEvent> StatusEvents(const std::vector<StatusSample>& samples,
                                      std::size_t limit = 200);

// The state and error or warning texts of a reading, as the window's boxes show them.
std::string SampleStateText(const StatusSample& sample);
std::string SampleErrorText(const StatusSample& sample);
// 0x and eight lowercase hexadecimal digits, for a code no table knows.
std::string StatusCodeHex(std::uint32_t code);
