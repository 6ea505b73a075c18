#include "platform/clock.h"

namespace platform {

bool UtcFields(std::time_t seconds, std::tm& fields) {
    return gmtime_s(&fields, &seconds) == 0;
}

bool LocalFields(std::time_t seconds, std::tm& fields) {
    return localtime_s(&fields, &seconds) == 0;
}

std::time_t FromUtcFields(std::tm fields) {
    return _mkgmtime(&fields);
}

}  // namespace platform
