#include "laminator/status_csv.h"

#include <array>
#include <cstdio>
#include <ctime>
#include <deque>

#include "laminator/status_text.h"

namespace {
constexpr std::size_t kMaxLine = 512;
constexpr int kColumns = 8;

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

std::optional<std::uint16_t> ParseCelsius(const std::string& text) {
    unsigned whole = 0, fraction = 0;
    int used = 0;
    if (std::sscanf(text.c_str(), "%5u.%2u%n", &whole, &fraction, &used) != 2 ||
        used != static_cast<int>(text.size()) || text.size() < 4 || text[text.size() - 3] != '.')
        return std::nullopt;
    const unsigned centi = whole * 100 + fraction;
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
    gmtime_r(&seconds, &utc);
    char text[40];
    std::snprintf(text, sizeof text, "%04d-%02d-%02dT%02d:%02d:%02d.%03dZ", utc.tm_year + 1900,
                  utc.tm_mon + 1, utc.tm_mday, utc.tm_hour, utc.tm_min, utc.tm_sec,
                  static_cast<int>(timeMs % 1000));
    return text;
}

std::optional<std::int64_t> ParseIsoTime(const std::string& text) {
    std::tm utc{};
    int ms = 0, used = 0;
    if (std::sscanf(text.c_str(), "%4d-%2d-%2dT%2d:%2d:%2d%n", &utc.tm_year, &utc.tm_mon,
                    &utc.tm_mday, &utc.tm_hour, &utc.tm_min, &utc.tm_sec, &used) != 6)
        return std::nullopt;
    std::string rest = text.substr(static_cast<std::size_t>(used));
    if (rest.size() == 5 && rest[0] == '.') {
        int digits = 0;
        if (std::sscanf(rest.c_str(), ".%3d%n", &ms, &digits) != 1 || digits != 4)
            return std::nullopt;
        rest = rest.substr(4);
    }
    if (rest != "Z" || utc.tm_mon < 1 || utc.tm_mon > 12 || utc.tm_mday < 1 || utc.tm_mday > 31 ||
        utc.tm_hour > 23 || utc.tm_min > 59 || utc.tm_sec > 60)
        return std::nullopt;
    utc.tm_year -= 1900;
    utc.tm_mon -= 1;
    return static_cast<std::int64_t>(timegm(&utc)) * 1000 + ms;
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
                                                       std::size_t maxRows) {
    std::deque<StatusSample> rows;
    std::string line;
    std::size_t number = 0;
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
            if (line != StatusCsvHeader())
                return fail("not a status history (the header should be \"" + StatusCsvHeader() +
                            "\")");
            continue;
        }
        if (line.empty())
            continue;
        const std::optional<std::vector<std::string>> f = SplitCsv(line);
        if (!f || f->size() != kColumns)
            return fail("expected " + std::to_string(kColumns) + " fields");
        const std::optional<std::int64_t> time = ParseIsoTime((*f)[0]);
        if (!time)
            return fail("\"" + (*f)[0] + "\" is not a time such as 2026-01-31T08:00:00.000Z");
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
        if (rows.size() > maxRows)
            rows.pop_front();
    }
    if (number == 0)
        return fail("empty file");
    return std::vector<StatusSample>(rows.begin(), rows.end());
}
