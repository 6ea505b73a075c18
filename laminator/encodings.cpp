#include "laminator/encodings.h"

#include <charconv>
#include <climits>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <vector>

#include "link/ipv4_text.h"

namespace {

bool IsCSpace(char c) {
    return c == ' ' || c == '\t' || c == '\n' || c == '\v' || c == '\f' || c == '\r';
}

bool IsDigit(char c) {
    return c >= '0' && c <= '9';
}

std::vector<std::string_view> Split(std::string_view text, char separator) {
    std::vector<std::string_view> parts;
    std::size_t start = 0;
    for (;;) {
        const std::size_t at = text.find(separator, start);
        if (at == std::string_view::npos) {
            parts.push_back(text.substr(start));
            return parts;
        }
        parts.push_back(text.substr(start, at - start));
        start = at + 1;
    }
}

std::string Format(const char* format, auto... values) {
    char text[64];
    const int n = std::snprintf(text, sizeof text, format, values...);
    return std::string(text, n > 0 ? static_cast<std::size_t>(n) : 0);
}

std::uint16_t Get16(const std::uint8_t* p) {
    return static_cast<std::uint16_t>(p[0] | (p[1] << 8));
}

struct ChoiceName {
    std::uint8_t byte;
    std::string_view name;
};

const std::vector<ChoiceName>* ReadTable(ParamKey key) {
    static const std::vector<ChoiceName> menu = {{0, "Menu 1"}, {1, "Menu 2"}, {2, "Menu 3"},
                                                 {3, "Menu 4"}, {4, "Menu 5"}, {5, "Menu 6"},
                                                 {6, "Menu 7"}, {7, "Menu 8"}};
    static const std::vector<ChoiceName> blackMark = {{1, "Valid"}, {0, "Invalid"}};
    static const std::vector<ChoiceName> onOff = {{0, "Close"}, {1, "Open"}};
    static const std::vector<ChoiceName> language = {
        {0, "Chinese"}, {1, "Japanese"}, {2, "English"}};
    static const std::vector<ChoiceName> method = {{0x80, "static acquisition"},
                                                   {0x00, "dynamic acquisition"}};
    switch (key) {
        case ParamKey::LaminateMenu:
            return &menu;
        case ParamKey::BlackMarkDetect:
            return &blackMark;
        case ParamKey::Buzzer:
        case ParamKey::LcdBacklight:
            return &onOff;
        case ParamKey::LanguageSetup:
            return &language;
        case ParamKey::IpGetMethod:
            return &method;
        default:
            return nullptr;
    }
}

}  // namespace

int HexValue(char c) {
    if (c >= '0' && c <= '9')
        return c - '0';
    if (c >= 'a' && c <= 'f')
        return c - 'a' + 10;
    if (c >= 'A' && c <= 'F')
        return c - 'A' + 10;
    return -1;
}

int CAtoi(std::string_view text) {
    std::size_t i = 0;
    while (i < text.size() && IsCSpace(text[i]))
        ++i;
    bool negative = false;
    if (i < text.size() && (text[i] == '+' || text[i] == '-')) {
        negative = text[i] == '-';
        ++i;
    }
    // Accumulated as strtol does on a 64-bit long, then cut to int as atoi does.
    unsigned long long magnitude = 0;
    const unsigned long long limit =
        negative ? static_cast<unsigned long long>(LLONG_MAX) + 1 : LLONG_MAX;
    for (; i < text.size() && IsDigit(text[i]); ++i) {
        const auto digit = static_cast<unsigned long long>(text[i] - '0');
        magnitude = magnitude > (limit - digit) / 10 ? limit : magnitude * 10 + digit;
    }
    const long long value =
        negative ? static_cast<long long>(0ULL - magnitude) : static_cast<long long>(magnitude);
    return static_cast<int>(value);
}

// As atof in the "C" locale, whatever the desktop's (it may use a decimal comma): leading
// space, a sign, then the longest decimal or 0x-hexadecimal number; 0 when there is none.
double CAtof(std::string_view text) {
    std::size_t i = 0;
    while (i < text.size() && IsCSpace(text[i]))
        ++i;
    bool negative = false;
    if (i < text.size() && (text[i] == '+' || text[i] == '-')) {
        negative = text[i] == '-';
        ++i;
    }
    if (i < text.size() && (text[i] == '+' || text[i] == '-'))
        return 0.0;  // one sign only
    std::chars_format format = std::chars_format::general;
    if (i + 1 < text.size() && text[i] == '0' && (text[i + 1] == 'x' || text[i + 1] == 'X')) {
        format = std::chars_format::hex;
        i += 2;
    }
    double value = 0.0;
    const char* first = text.data() + i;
    const auto [end, ec] = std::from_chars(first, text.data() + text.size(), value, format);
    if (ec == std::errc::result_out_of_range) {
        // Too large, or too small: a negative exponent tells which.
        const std::string_view number(first, static_cast<std::size_t>(end - first));
        const std::size_t e = number.find_first_of(format == std::chars_format::hex ? "pP" : "eE");
        value = e != std::string_view::npos && e + 1 < number.size() && number[e + 1] == '-'
                    ? 0.0
                    : HUGE_VAL;
    } else if (ec != std::errc()) {
        return 0.0;
    }
    return negative ? -value : value;
}

long CHexPart(std::string_view text) {
    unsigned long value = 0;
    for (char c : text) {
        const int digit = HexValue(c);
        if (digit < 0)
            break;
        value = value > (static_cast<unsigned long>(LONG_MAX) >> 4)
                    ? static_cast<unsigned long>(LONG_MAX)
                    : value * 16 + static_cast<unsigned long>(digit);
    }
    return static_cast<long>(value);
}

std::string DecodeU8(std::uint8_t b) {
    return std::to_string(b);
}

std::string DecodeTemp(std::uint8_t b) {
    return std::to_string((b + 150) % 256);
}

std::string DecodeU24(const std::uint8_t* p) {
    return std::to_string(p[0] | (p[1] << 8) | (p[2] << 16));
}

std::string DecodeU32(const std::uint8_t* p) {
    const std::uint32_t v = static_cast<std::uint32_t>(p[0]) | (std::uint32_t{p[1]} << 8) |
                            (std::uint32_t{p[2]} << 16) | (std::uint32_t{p[3]} << 24);
    return std::to_string(static_cast<std::int32_t>(v));
}

std::string DecodeS16T(const std::uint8_t* p) {
    return Format("%.1f", static_cast<std::int16_t>(Get16(p)) / 10.0);
}

std::string DecodeU16T(const std::uint8_t* p) {
    return Format("%.1f", Get16(p) / 10.0);
}

std::string DecodeIp4(const std::uint8_t* p) {
    return Format("%d.%d.%d.%d", p[3], p[2], p[1], p[0]);
}

std::string DecodeMac6(const std::uint8_t* p) {
    return Format("%02x:%02x:%02x:%02x:%02x:%02x", p[5], p[4], p[3], p[2], p[1], p[0]);
}

std::string DecodeVer4(const std::uint8_t* p) {
    return Format("%02x.%02x.%02x.%02x", p[0], p[1], p[2], p[3]);
}

std::string BytesToText(const std::uint8_t* p, std::size_t n) {
    std::string text;
    for (std::size_t i = 0; i < n && p[i] != 0; ++i)
        text.push_back(static_cast<char>(p[i]));
    return text;
}

std::optional<std::string> DecodeChoice(ParamKey key, std::uint8_t b) {
    if (const std::vector<ChoiceName>* table = ReadTable(key)) {
        for (const ChoiceName& c : *table) {
            if (c.byte == b)
                return std::string(c.name);
        }
    }
    return std::nullopt;
}

std::optional<std::uint8_t> EncodeChoice(ParamKey key, std::string_view text) {
    switch (key) {
        case ParamKey::LaminateMenu:
            for (const ChoiceName& c : *ReadTable(key)) {
                if (c.name == text)
                    return c.byte;
            }
            return 0;
        case ParamKey::BlackMarkDetect:
            return text == "Valid" ? 1 : 0;
        case ParamKey::Buzzer:
            return text == "Close" ? 0 : 1;
        case ParamKey::LcdBacklight:
            return text == "Open" ? 1 : 0;
        case ParamKey::LanguageSetup:
            for (const ChoiceName& c : *ReadTable(key)) {
                if (c.name == text)
                    return c.byte;
            }
            return std::nullopt;
        case ParamKey::IpGetMethod:
            return text == "static acquisition" ? 0x80 : 0x00;
        default:
            return 0;
    }
}

std::uint8_t EncodeU8(std::string_view text) {
    return static_cast<std::uint8_t>(CAtoi(text));
}

std::uint8_t EncodeTemp(std::string_view text) {
    return static_cast<std::uint8_t>(static_cast<unsigned>(CAtoi(text)) - 150u);
}

std::array<std::uint8_t, 3> EncodeU24(std::string_view text) {
    // Formatted as at least six hexadecimal digits and taken by digit pairs 1 to 3, so a
    // value of seven or more digits keeps its high pairs, as the laminator has always got.
    const std::string hex = Format("%06X", static_cast<unsigned>(CAtoi(text)));
    auto pair = [&](std::size_t index) {
        return static_cast<std::uint8_t>(HexValue(hex[2 * index]) * 16 +
                                         HexValue(hex[2 * index + 1]));
    };
    return {pair(2), pair(1), pair(0)};
}

std::array<std::uint8_t, 4> EncodeU32(std::string_view text) {
    const auto v = static_cast<std::uint32_t>(CAtoi(text));
    return {static_cast<std::uint8_t>(v), static_cast<std::uint8_t>(v >> 8),
            static_cast<std::uint8_t>(v >> 16), static_cast<std::uint8_t>(v >> 24)};
}

std::array<std::uint8_t, 2> EncodeTenths(std::string_view text) {
    const double tenths = std::trunc(CAtof(text) * 10.0);
    // Out of range has no defined integer; such texts never pass the limits anyway.
    const long long v =
        std::isfinite(tenths) && std::fabs(tenths) < 9.0e18 ? static_cast<long long>(tenths) : 0;
    return {static_cast<std::uint8_t>(v), static_cast<std::uint8_t>(v >> 8)};
}

std::array<std::uint8_t, 4> EncodeIp4(std::string_view text) {
    const std::vector<std::string_view> parts = Split(text, '.');
    auto part = [&](std::size_t i) {
        return i < parts.size() ? static_cast<std::uint8_t>(CAtoi(parts[i])) : std::uint8_t{0};
    };
    return {part(3), part(2), part(1), part(0)};
}

std::array<std::uint8_t, 6> EncodeMac6(std::string_view text) {
    const std::vector<std::string_view> parts = Split(text, ':');
    auto part = [&](std::size_t i) {
        return i < parts.size() ? static_cast<std::uint8_t>(CHexPart(parts[i])) : std::uint8_t{0};
    };
    return {part(5), part(4), part(3), part(2), part(1), part(0)};
}

bool IsDottedQuad(std::string_view text) {
    return ParseIpv4(text).has_value();
}

bool IsMacText(std::string_view text) {
    const std::vector<std::string_view> parts = Split(text, ':');
    if (parts.size() != 6)
        return false;
    for (std::string_view part : parts) {
        if (part.size() != 2 || HexValue(part[0]) < 0 || HexValue(part[1]) < 0)
            return false;
    }
    return true;
}
