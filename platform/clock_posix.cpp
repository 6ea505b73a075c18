#include "platform/clock.h"

namespace platform {

bool UtcFields(std::time_t seconds, std::tm& fields) {
    return gmtime_r(&seconds, &fields) != nullptr;
}

bool LocalFields(std::time_t seconds, std::tm& fields, long& offsetSeconds) {
    if (localtime_r(&seconds, &fields) == nullptr)
        return false;
    offsetSeconds = fields.tm_gmtoff;
    return true;
}

std::time_t FromUtcFields(std::tm fields) {
    return timegm(&fields);
}

std::chrono::nanoseconds ProcessCpuTime() {
    timespec t{};
    clock_gettime(CLOCK_PROCESS_CPUTIME_ID, &t);
    return std::chrono::seconds(t.tv_sec) + std::chrono::nanoseconds(t.tv_nsec);
}

}  // namespace platform
