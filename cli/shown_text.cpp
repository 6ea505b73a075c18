#include "cli/shown_text.h"

#include <cstdint>

namespace {
constexpr std::string_view kReplacement = "\xEF\xBF\xBD";

// The code point of the strict UTF-8 sequence at `i` and its length; length 0 when the
// bytes there are not one (overlong forms, surrogates, above U+10FFFF, cut short).
std::pair<std::uint32_t, std::size_t> Decode(std::string_view s, std::size_t i) {
    const auto b = static_cast<unsigned char>(s[i]);
    std::size_t n = 0;
    std::uint32_t cp = 0;
    std::uint32_t least = 0;
    if (b < 0x80)
        return {b, 1};
    if ((b & 0xE0) == 0xC0) {
        n = 2, cp = b & 0x1F, least = 0x80;
    } else if ((b & 0xF0) == 0xE0) {
        n = 3, cp = b & 0x0F, least = 0x800;
    } else if ((b & 0xF8) == 0xF0) {
        n = 4, cp = b & 0x07, least = 0x10000;
    } else {
        return {0, 0};
    }
    if (i + n > s.size())
        return {0, 0};
    for (std::size_t k = 1; k < n; ++k) {
        const auto c = static_cast<unsigned char>(s[i + k]);
        if ((c & 0xC0) != 0x80)
            return {0, 0};
        cp = (cp << 6) | (c & 0x3F);
    }
    if (cp < least || cp > 0x10FFFF || (cp >= 0xD800 && cp <= 0xDFFF))
        return {0, 0};
    return {cp, n};
}

bool IsControl(std::uint32_t cp) {
    return (cp < 0x20 && cp != '\t' && cp != '\n' && cp != '\r') || cp == 0x7F;
}

// XML 1.0's Char, less the controls above.
bool IsShownCharacter(std::uint32_t cp) {
    return !IsControl(cp) && cp != 0xFFFE && cp != 0xFFFF;
}

bool IsCleanUtf8(std::string_view s) {
    for (std::size_t i = 0; i < s.size();) {
        const auto [cp, n] = Decode(s, i);
        if (n == 0 || (n > 1 && !IsShownCharacter(cp)))
            return false;
        i += n;
    }
    return true;
}
}  // namespace

std::string ShownText(std::string_view bytes) {
    const bool utf8 = IsCleanUtf8(bytes);
    std::string out;
    out.reserve(bytes.size());
    for (const char c : bytes) {
        const auto b = static_cast<unsigned char>(c);
        if (b < 0x80) {
            if (IsControl(b))
                out += kReplacement;
            else
                out += c;
        } else if (utf8) {
            out += c;  // a byte of a sequence checked above
        } else {
            out += static_cast<char>(0xC0 | (b >> 6));
            out += static_cast<char>(0x80 | (b & 0x3F));
        }
    }
    return out;
}
