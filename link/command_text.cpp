#include "link/command_text.h"

namespace {

bool IsSeparator(char c) {
    return c == ' ' || c == '\r' || c == '\n';
}

int HexValue(char c) {
    if (c >= '0' && c <= '9') {
        return c - '0';
    }
    if (c >= 'A' && c <= 'F') {
        return c - 'A' + 10;
    }
    if (c >= 'a' && c <= 'f') {
        return c - 'a' + 10;
    }
    return -1;
}

}  // namespace

int HexPairsToBytes(std::string_view text, std::uint8_t* dest, std::size_t capacity) {
    std::size_t count = 0;
    std::size_t i = 0;
    const std::size_t len = text.size();
    while (i < len) {
        if (IsSeparator(text[i])) {
            ++i;
            continue;
        }
        const char high = text[i++];
        while (i < len && IsSeparator(text[i])) {
            ++i;
        }
        if (i >= len) {
            break;  // a last digit without a partner is dropped unchecked
        }
        const char low = text[i++];
        const int h = HexValue(high);
        const int l = HexValue(low);
        if (h < 0 || l < 0) {
            return kBadCommandCharacter;
        }
        if (count >= capacity) {
            return kCommandTextTooLong;
        }
        dest[count++] = static_cast<std::uint8_t>(h * 16 + l);
    }
    return static_cast<int>(count);
}
