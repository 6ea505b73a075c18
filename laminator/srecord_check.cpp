#include "laminator/srecord_check.h"

#include <algorithm>
#include <cctype>
#include <cstdio>

#include "laminator/encodings.h"

namespace {
// Bytes of the address field by record type; 0 for a type that does not exist (S4).
std::size_t AddressBytes(char type) {
    switch (type) {
        case '0':
        case '1':
        case '5':
        case '9':
            return 2;
        case '2':
        case '6':
        case '8':
            return 3;
        case '3':
        case '7':
            return 4;
        default:
            return 0;
    }
}

std::string Hex2(unsigned value) {
    char text[4];
    std::snprintf(text, sizeof text, "%02x", value & 0xFF);
    return text;
}

// What is wrong with one record (its line without the line end), or empty.
std::string RecordProblem(std::span<const std::uint8_t> line) {
    if (line.size() < 2 || line[0] != 'S' || AddressBytes(static_cast<char>(line[1])) == 0)
        return "not an S-record (it must start with S0 to S3 or S5 to S9)";
    const std::span<const std::uint8_t> digits = line.subspan(2);
    if (digits.size() % 2 != 0)
        return "an odd number of hexadecimal digits";
    if (digits.size() < 2)
        return "no byte count";
    unsigned sum = 0;
    std::size_t bytes = digits.size() / 2;
    unsigned count = 0;
    unsigned last = 0;
    for (std::size_t i = 0; i < bytes; ++i) {
        const int high = HexValue(static_cast<char>(digits[2 * i]));
        const int low = HexValue(static_cast<char>(digits[2 * i + 1]));
        if (high < 0 || low < 0)
            return "a character that is not a hexadecimal digit";
        last = static_cast<unsigned>(high * 16 + low);
        if (i == 0)
            count = last;
        if (i + 1 < bytes)
            sum += last;
    }
    if (count != bytes - 1)
        return "byte count " + Hex2(count) + " but " + std::to_string(bytes - 1) +
               " bytes follow it";
    if (count < AddressBytes(static_cast<char>(line[1])) + 1)
        return "byte count " + Hex2(count) + " too small for the address and checksum";
    const unsigned expected = ~sum & 0xFF;
    if (last != expected)
        return "wrong checksum " + Hex2(last) + " (the record's bytes give " + Hex2(expected) + ")";
    return {};
}
}  // namespace

std::optional<SRecordProblem> CheckSRecords(std::span<const std::uint8_t> text) {
    bool header = false;
    bool termination = false;
    std::size_t lineNumber = 0;
    std::size_t at = 0;
    std::optional<SRecordProblem> blank;  // a blank line is wrong only if a record follows
    while (at < text.size()) {
        const auto end = std::find(text.begin() + static_cast<std::ptrdiff_t>(at), text.end(),
                                   std::uint8_t{'\n'});
        const std::size_t stop = static_cast<std::size_t>(end - text.begin());
        std::span<const std::uint8_t> line = text.subspan(at, stop - at);
        if (!line.empty() && line.back() == '\r')
            line = line.first(line.size() - 1);
        ++lineNumber;
        at = stop + 1;
        if (line.empty()) {
            if (!blank)
                blank = SRecordProblem{lineNumber, "an empty line between records"};
            continue;
        }
        if (blank)
            return blank;
        if (std::string why = RecordProblem(line); !why.empty())
            return SRecordProblem{lineNumber, why};
        header = header || line[1] == '0';
        termination = termination || line[1] == '7' || line[1] == '8' || line[1] == '9';
    }
    if (!header)
        return SRecordProblem{1, "no header record (S0)"};
    if (!termination)
        return SRecordProblem{std::max<std::size_t>(lineNumber, 1),
                              "no termination record (S7, S8 or S9)"};
    return std::nullopt;
}

bool IsSRecordPath(std::string_view path) {
    constexpr std::string_view kExtension = ".mot";
    if (path.size() < kExtension.size())
        return false;
    const std::string_view tail = path.substr(path.size() - kExtension.size());
    return std::equal(tail.begin(), tail.end(), kExtension.begin(), [](char a, char b) {
        return std::tolower(static_cast<unsigned char>(a)) == b;
    });
}

std::string SRecordProblemText(std::string_view path, const SRecordProblem& problem) {
    return std::string(path) + ", line " + std::to_string(problem.line) + ": " + problem.reason;
}
