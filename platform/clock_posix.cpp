#include "platform/clock.h"

namespace platform {

bool UtcFields(std::time_t seconds, std::tm& fields) {
    return gmtime_r(&seconds, &fields) != nullptr;
}

bool LocalFields(std::time_t seconds, std::tm& fields) {
    return localtime_r(&seconds, &fields) != nullptr;
}

std::time_t FromUtcFields(std::tm fields) {
    return timegm(&fields);
}

}  // namespace platform
