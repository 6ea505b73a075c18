#include "journal/journal_time.h"

#include <charconv>

#include "laminator/status_csv.h"

std::optional<std::int64_t> ParseJournalTime(const std::string& text, std::int64_t nowMs) {
    if (text.size() >= 2 && text.size() <= 12) {
        std::int64_t count = 0;
        const char* end = text.data() + text.size() - 1;
        const auto [stop, ec] = std::from_chars(text.data(), end, count);
        if (ec == std::errc() && stop == end && count >= 0) {
            std::int64_t unit = 0;
            switch (text.back()) {
                case 'd':
                    unit = 86'400'000;
                    break;
                case 'h':
                    unit = 3'600'000;
                    break;
                case 'm':
                    unit = 60'000;
                    break;
                case 's':
                    unit = 1'000;
                    break;
                default:
                    break;
            }
            // Ages beyond 100 years back are typing mistakes, not visits.
            if (unit && count <= 36'500LL * 86'400'000 / unit)
                return nowMs - count * unit;
        }
    }
    if (text.size() == 10)
        return ParseIsoTime(text + "T00:00:00Z");
    return ParseIsoTime(text);
}
