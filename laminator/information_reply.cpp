#include "laminator/information_reply.h"

#include <algorithm>

#include "laminator/encodings.h"

namespace {
constexpr std::size_t kSerialScanEnd = 62;
constexpr std::uint8_t kSeparator = ';';
}  // namespace

std::string ScanSerialNumber(const std::uint8_t* rx, std::size_t length, std::size_t start) {
    const std::size_t end = std::min(length, kSerialScanEnd);
    std::string collected;
    int separators = 0;
    std::size_t offset = start;
    for (; offset < end && separators < 4; ++offset) {
        if (separators == 3)
            collected.push_back(static_cast<char>(rx[offset]));
        if (rx[offset] == kSeparator)
            ++separators;
    }
    // The collected text ends with the fourth ";", or with the byte at offset 61 when the
    // scan ran to its end; a reply that stopped short loses nothing.
    if (!collected.empty() && (separators == 4 || offset == kSerialScanEnd))
        collected.pop_back();
    return BytesToText(reinterpret_cast<const std::uint8_t*>(collected.data()), collected.size());
}

std::string ScanMainVersion(const std::uint8_t* rx, std::size_t length) {
    if (length < 2)
        return {};
    const int bound = static_cast<std::int8_t>(rx[1]);
    const std::size_t end = bound > 0 ? std::min(static_cast<std::size_t>(bound), length) : 0;
    std::string value;
    int separators = 0;
    for (std::size_t offset = 5; offset < end; ++offset) {
        if (rx[offset] == kSeparator)
            ++separators;
        if (separators == 2 && rx[offset] != kSeparator)
            value.push_back(static_cast<char>(rx[offset]));
        if (separators > 2)
            break;
    }
    return BytesToText(reinterpret_cast<const std::uint8_t*>(value.data()), value.size());
}
