#pragma once
// Calendar fields of a time, in UTC or local time, and back from UTC fields: the reentrant
// C calls have other names on each system. And the processor time a process has used.
#include <chrono>
#include <ctime>

namespace platform {

bool UtcFields(std::time_t seconds, std::tm& fields);
// `offsetSeconds`: how far local time is ahead of UTC at that moment.
bool LocalFields(std::time_t seconds, std::tm& fields, long& offsetSeconds);
// The time that `fields` name in UTC (fields out of range are carried over, as timegm does).
std::time_t FromUtcFields(std::tm fields);

// Processor time this process has used so far, all its threads together.
std::chrono::nanoseconds ProcessCpuTime();

}  // namespace platform
