#include "laminator/value_syntax.h"

#include <cctype>
#include <charconv>
#include <cstdint>
#include <cstdio>

#include "laminator/encodings.h"
#include "link/ipv4_text.h"

namespace {

bool AllDigits(std::string_view s) {
    if (s.empty())
        return false;
    for (char c : s) {
        if (c < '0' || c > '9')
            return false;
    }
    return true;
}

// "-?[0-9]+" within 32 bits, as decimal digits without leading zeros.
std::optional<long long> StrictInteger(std::string_view text) {
    const bool negative = !text.empty() && text.front() == '-';
    const std::string_view digits = negative ? text.substr(1) : text;
    if (!AllDigits(digits) || digits.size() > 10)
        return std::nullopt;
    long long v = 0;
    std::from_chars(digits.data(), digits.data() + digits.size(), v);
    if (negative)
        v = -v;
    if (v < INT32_MIN || v > INT32_MAX)
        return std::nullopt;
    return v;
}

// "-?[0-9]+(.[0-9])?" as tenths.
std::optional<long long> StrictTenths(std::string_view text) {
    const std::size_t dot = text.find('.');
    const std::string_view whole = text.substr(0, dot);
    std::optional<long long> units = StrictInteger(whole);
    if (!units || *units < -100000 || *units > 100000)
        return std::nullopt;
    long long fraction = 0;
    if (dot != std::string_view::npos) {
        const std::string_view f = text.substr(dot + 1);
        if (f.size() != 1 || !AllDigits(f))
            return std::nullopt;
        fraction = f[0] - '0';
    }
    const bool negative = !whole.empty() && whole.front() == '-';
    return *units * 10 + (negative ? -fraction : fraction);
}

std::string TenthsText(long long tenths) {
    char text[32];
    const long long magnitude = tenths < 0 ? -tenths : tenths;
    std::snprintf(text, sizeof text, "%s%lld.%lld", tenths < 0 ? "-" : "", magnitude / 10,
                  magnitude % 10);
    return text;
}

std::string Lower(std::string_view s) {
    std::string out;
    for (char c : s)
        out += static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    return out;
}

// "Menu 3" -> "menu-3": lower case, runs of other characters as one dash.
std::string ChoiceKey(std::string_view choice) {
    std::string key;
    bool gap = false;
    for (char c : choice) {
        if (std::isalnum(static_cast<unsigned char>(c))) {
            if (gap && !key.empty())
                key += '-';
            key += static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
            gap = false;
        } else {
            gap = true;
        }
    }
    return key;
}

std::optional<std::string> DottedQuad(std::string_view text) {
    const std::optional<Ipv4Octets> octets = ParsePaddedIpv4(text);
    if (!octets)
        return std::nullopt;
    const Ipv4Octets& o = *octets;
    return std::to_string(o[0]) + "." + std::to_string(o[1]) + "." + std::to_string(o[2]) + "." +
           std::to_string(o[3]);
}

std::optional<std::string> MacText(std::string_view text) {
    if (!IsMacText(text))
        return std::nullopt;
    const std::array<std::uint8_t, 6> b = EncodeMac6(text);
    return DecodeMac6(b.data());
}

}  // namespace

ValueSyntax ParseParameterValue(const ParameterInfo& p, std::string_view text) {
    ValueSyntax result;
    switch (p.encoding) {
        case Encoding::U8:
        case Encoding::TEMP:
        case Encoding::U24:
        case Encoding::U32:
            result.accepted = "a whole number: digits with an optional leading minus sign";
            if (const std::optional<long long> v = StrictInteger(text))
                result.value = std::to_string(*v);
            return result;
        case Encoding::S16T:
        case Encoding::U16T:
            result.accepted = "a number with at most one digit after the decimal point";
            if (const std::optional<long long> v = StrictTenths(text))
                result.value = TenthsText(*v);
            return result;
        case Encoding::IP4:
            result.accepted = "four numbers from 0 to 255 separated by dots";
            result.value = DottedQuad(text);
            return result;
        case Encoding::MAC6:
            result.accepted = "six hexadecimal pairs separated by colons";
            result.value = MacText(text);
            return result;
        case Encoding::ENUM: {
            const std::string wanted = Lower(text);
            for (std::string_view c : p.choices) {
                result.accepted +=
                    (result.accepted.empty() ? "one of " : ", ") + ("\"" + std::string(c) + "\"");
                if (Lower(c) == wanted || ChoiceKey(c) == wanted)
                    result.value = std::string(c);
            }
            return result;
        }
        default:
            result.accepted = "a text";
            result.value = std::string(text);
            return result;
    }
}

std::string ValueSyntaxMessage(const ParameterInfo& p, std::string_view text,
                               const std::string& accepted) {
    return "\"" + std::string(text) + "\" is not a value of \"" + std::string(p.name) +
           "\": it takes " + accepted + ".";
}
