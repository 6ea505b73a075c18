#include "laminator/status_csv.h"

#include <algorithm>
#include <array>
#include <cstdio>
#include <ctime>
#include <deque>

#include "laminator/status_text.h"
#include "platform/clock.h"

namespace {
constexpr std::size_t kMaxLine = 512;
constexpr int kColumns = 8;

std::string Quoted(const std::string& text);
}  // namespace

std::string CsvField(const std::string& text) {
    return Quoted(text);
}

namespace {
std::string Quoted(const std::string& text) {
    if (text.find_first_of(",\"\r\n") == std::string::npos)
        return text;
    std::string out = "\"";
    for (char c : text) {
        if (c == '"')
            out += '"';
        out += c;
    }
    return out + "\"";
}

// Splits one line; a quoted field may hold commas and doubled quotes.
std::optional<std::vector<std::string>> SplitCsv(const std::string& line) {
    std::vector<std::string> fields(1);
    bool quoted = false;
    for (std::size_t i = 0; i < line.size(); ++i) {
        const char c = line[i];
        if (quoted) {
            if (c == '"' && i + 1 < line.size() && line[i + 1] == '"') {
                fields.back() += '"';
                ++i;
            } else if (c == '"') {
                quoted = false;
            } else {
                fields.back() += c;
            }
        } else if (c == '"') {
            quoted = true;
        } else if (c == ',') {
            fields.emplace_back();
        } else {
            fields.back() += c;
        }
    }
    if (quoted)
        return std::nullopt;
    return fields;
}

std::string Celsius(std::uint16_t centi) {
    char text[16];
    std::snprintf(text, sizeof text, "%u.%02u", centi / 100u, centi % 100u);
    return text;
}

bool AllDigits(const std::string& text, std::size_t from, std::size_t count) {
    if (from + count > text.size())
        return false;
    for (std::size_t i = from; i < from + count; ++i) {
        if (text[i] < '0' || text[i] > '9')
            return false;
    }
    return true;
}

// Digits, a point and exactly two digits: no sign, no space, no exponent.
std::optional<std::uint16_t> ParseCelsius(const std::string& text) {
    const std::size_t point = text.find('.');
    if (point == std::string::npos || point == 0 || point > 5 || text.size() != point + 3 ||
        !AllDigits(text, 0, point) || !AllDigits(text, point + 1, 2))
        return std::nullopt;
    const unsigned centi = static_cast<unsigned>(std::stoul(text.substr(0, point))) * 100 +
                           static_cast<unsigned>(std::stoul(text.substr(point + 1)));
    if (centi > 65535)
        return std::nullopt;
    return static_cast<std::uint16_t>(centi);
}

std::string Code(std::uint32_t code) {
    char text[12];
    std::snprintf(text, sizeof text, "%08x", code);
    return text;
}

std::optional<std::uint32_t> ParseCode(const std::string& text) {
    if (text.size() != 8 || text.find_first_not_of("0123456789abcdefABCDEF") != std::string::npos)
        return std::nullopt;
    return static_cast<std::uint32_t>(std::stoul(text, nullptr, 16));
}

std::array<std::uint8_t, 4> CodeBytes(std::uint32_t code) {
    return {static_cast<std::uint8_t>(code >> 24), static_cast<std::uint8_t>(code >> 16),
            static_cast<std::uint8_t>(code >> 8), static_cast<std::uint8_t>(code)};
}
}  // namespace

std::string IsoTime(std::int64_t timeMs) {
    const std::time_t seconds = static_cast<std::time_t>(timeMs / 1000);
    std::tm utc{};
    platform::UtcFields(seconds, utc);
    char text[40];
    std::snprintf(text, sizeof text, "%04d-%02d-%02dT%02d:%02d:%02d.%03dZ", utc.tm_year + 1900,
                  utc.tm_mon + 1, utc.tm_mday, utc.tm_hour, utc.tm_min, utc.tm_sec,
                  static_cast<int>(timeMs % 1000));
    return text;
}

std::optional<std::int64_t> ParseIsoTime(const std::string& text) {
    // 2026-01-31T08:00:00Z or 2026-01-31T08:00:00.123Z, digits exactly where they belong.
    const bool withMs = text.size() == 24;
    if ((text.size() != 20 && !withMs) || text[4] != '-' || text[7] != '-' || text[10] != 'T' ||
        text[13] != ':' || text[16] != ':' || text.back() != 'Z' || !AllDigits(text, 0, 4) ||
        !AllDigits(text, 5, 2) || !AllDigits(text, 8, 2) || !AllDigits(text, 11, 2) ||
        !AllDigits(text, 14, 2) || !AllDigits(text, 17, 2) ||
        (withMs && (text[19] != '.' || !AllDigits(text, 20, 3))))
        return std::nullopt;
    const auto number = [&](std::size_t at, std::size_t count) {
        return std::stoi(text.substr(at, count));
    };
    const int year = number(0, 4);
    const int month = number(5, 2);
    const int day = number(8, 2);
    const bool leap = (year % 4 == 0 && year % 100 != 0) || year % 400 == 0;
    static constexpr int kDays[] = {31, 28, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};
    // A laminator's clock reads no time before 1970 nor two centuries ahead.
    if (year < 1970 || year > 2199 || month < 1 || month > 12 || day < 1 ||
        day > kDays[month - 1] + (month == 2 && leap ? 1 : 0) || number(11, 2) > 23 ||
        number(14, 2) > 59 || number(17, 2) > 59)
        return std::nullopt;
    std::tm utc{};
    utc.tm_year = year - 1900;
    utc.tm_mon = month - 1;
    utc.tm_mday = day;
    utc.tm_hour = number(11, 2);
    utc.tm_min = number(14, 2);
    utc.tm_sec = number(17, 2);
    return static_cast<std::int64_t>(platform::FromUtcFields(utc)) * 1000 +
           (withMs ? number(20, 3) : 0);
}

std::string StatusCsvHeader() {
    return "time,roller-temperature,environment-temperature,state,error,card-channel,state-code,"
           "error-code";
}

std::string StatusCsvRow(const StatusSample& s) {
    std::string row = IsoTime(s.timeMs);
    if (s.gap)
        return row + ",,,,,,,";
    const auto state = CodeBytes(s.state);
    const auto error = CodeBytes(s.error);
    row += "," + Celsius(s.rollerCenti) + "," + Celsius(s.environmentCenti);
    row += "," + Quoted(StateText(state.data())) + "," + Quoted(ErrorText(error.data()));
    row += "," + (s.cardSensors < 0
                      ? std::string()
                      : Quoted(CardChannelText(static_cast<std::uint8_t>(s.cardSensors))));
    row += "," + Code(s.state) + "," + Code(s.error);
    return row;
}

std::string StatusCsv(const std::vector<StatusSample>& samples) {
    std::string text = StatusCsvHeader() + "\n";
    for (const StatusSample& s : samples)
        text += StatusCsvRow(s) + "\n";
    return text;
}

std::optional<std::vector<StatusSample>> ReadStatusCsv(std::istream& in, std::string& error,
                                                       std::size_t maxRows, std::size_t* dropped,
                                                       const std::string& target) {
    std::deque<StatusSample> rows;
    std::string line;
    std::size_t number = 0;
    std::size_t droppedRows = 0;
    bool targets = false;  // a first column naming the laminator of each row
    std::vector<std::string> seen;
    std::optional<std::int64_t> lastTime;
    const auto fail = [&](const std::string& why) {
        error = "line " + std::to_string(number) + ": " + why;
        return std::nullopt;
    };
    while (true) {
        line.clear();
        char c;
        bool any = false;
        while (in.get(c) && c != '\n') {
            any = true;
            if (line.size() == kMaxLine) {
                ++number;
                return fail("longer than " + std::to_string(kMaxLine) + " characters");
            }
            line += c;
        }
        if (!any && !in)
            break;
        ++number;
        if (!line.empty() && line.back() == '\r')
            line.pop_back();
        if (number == 1) {
            targets = line == "target," + StatusCsvHeader();
            if (line != StatusCsvHeader() && !targets)
                return fail("not a status history (the header should be \"" + StatusCsvHeader() +
                            "\")");
            continue;
        }
        if (line.empty())
            continue;
        std::optional<std::vector<std::string>> f = SplitCsv(line);
        const std::size_t columns = kColumns + (targets ? 1 : 0);
        if (!f || f->size() != columns)
            return fail("expected " + std::to_string(columns) + " fields");
        if (targets) {
            const std::string rowTarget = f->front();
            f->erase(f->begin());
            if (std::find(seen.begin(), seen.end(), rowTarget) == seen.end()) {
                if (seen.size() == 64)
                    return fail("more than 64 laminators");
                seen.push_back(rowTarget);
            }
            if (target.empty() ? seen.size() > 1 : rowTarget != target)
                continue;
        }
        const std::optional<std::int64_t> time = ParseIsoTime((*f)[0]);
        if (!time)
            return fail("\"" + (*f)[0] + "\" is not a time such as 2026-01-31T08:00:00.000Z");
        if (lastTime && *time < *lastTime)
            return fail("the time " + (*f)[0] + " is before the line above it");
        lastTime = time;
        StatusSample s;
        s.timeMs = *time;
        if ((*f)[1].empty() && (*f)[6].empty()) {
            s.gap = true;
        } else {
            const auto roller = ParseCelsius((*f)[1]);
            const auto environment = ParseCelsius((*f)[2]);
            const auto state = ParseCode((*f)[6]);
            const auto err = ParseCode((*f)[7]);
            if (!roller || !environment)
                return fail("a temperature is not degrees with two decimals such as 150.00");
            if (!state || !err)
                return fail("a state or error code is not eight hexadecimal digits");
            s.rollerCenti = *roller;
            s.environmentCenti = *environment;
            s.state = *state;
            s.error = *err;
            // The sensors are not in the file, only their text: keep whether they were read.
            const std::string& cards = (*f)[5];
            if (!cards.empty()) {
                s.cardSensors = 0;
                for (int channel = 1; channel <= 3; ++channel) {
                    if (cards.find(" " + std::to_string(channel)) != std::string::npos &&
                        cards.rfind("Card detected", 0) == 0)
                        s.cardSensors =
                            static_cast<std::int8_t>(s.cardSensors | 1 << (channel - 1));
                }
            }
        }
        rows.push_back(s);
        if (rows.size() > maxRows) {
            rows.pop_front();
            ++droppedRows;
        }
    }
    if (number == 0)
        return fail("empty file");
    if (targets && (target.empty() ? seen.size() > 1 : rows.empty())) {
        std::string names;
        for (const std::string& name : seen)
            names += (names.empty() ? "" : ", ") + name;
        error = target.empty()
                    ? "the file holds the readings of several laminators (" + names + "); name one"
                    : "no readings of " + target + " (the file holds " +
                          (names.empty() ? std::string("none") : names) + ")";
        return std::nullopt;
    }
    if (dropped)
        *dropped = droppedRows;
    return std::vector<StatusSample>(rows.begin(), rows.end());
}
