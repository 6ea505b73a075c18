#include <windows.h>

#include <cstdint>

#include "platform/clock.h"

namespace platform {

bool UtcFields(std::time_t seconds, std::tm& fields) {
    return gmtime_s(&fields, &seconds) == 0;
}

bool LocalFields(std::time_t seconds, std::tm& fields, long& offsetSeconds) {
    if (localtime_s(&fields, &seconds) != 0)
        return false;
    // The local fields read as UTC are ahead of the moment by the offset.
    std::tm copy = fields;
    offsetSeconds = static_cast<long>(_mkgmtime(&copy) - seconds);
    return true;
}

std::time_t FromUtcFields(std::tm fields) {
    return _mkgmtime(&fields);
}

std::chrono::nanoseconds ProcessCpuTime() {
    FILETIME created{}, ended{}, kernel{}, user{};
    if (!GetProcessTimes(GetCurrentProcess(), &created, &ended, &kernel, &user))
        return {};
    auto ticks = [](const FILETIME& f) {
        return (static_cast<std::uint64_t>(f.dwHighDateTime) << 32) | f.dwLowDateTime;
    };
    // FILETIME counts 100 ns.
    return std::chrono::nanoseconds((ticks(kernel) + ticks(user)) * 100);
}

}  // namespace platform
