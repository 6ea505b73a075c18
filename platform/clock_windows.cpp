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

}  // namespace platform
