#include "journal/journal_history.h"

namespace {
// The first value drawn: the span ended nearer its highest, so it rose (lowest first).
std::uint16_t FirstOf(std::uint16_t low, std::uint16_t high, std::uint16_t last) {
    return last - low >= high - last ? low : high;
}
std::uint16_t SecondOf(std::uint16_t low, std::uint16_t high, std::uint16_t last) {
    return last - low >= high - last ? high : low;
}
}  // namespace

std::vector<StatusSample> HistoryOfReadings(const std::vector<StoredReading>& readings) {
    std::vector<StatusSample> out;
    out.reserve(readings.size() + readings.size() / 4);
    for (const StoredReading& r : readings) {
        if (r.spanMs <= 0 || r.sample.gap) {
            out.push_back(r.sample);
            continue;
        }
        StatusSample first = r.sample;
        StatusSample second = r.sample;
        first.timeMs = r.sample.timeMs + r.spanMs / 4;
        second.timeMs = r.sample.timeMs + r.spanMs * 3 / 4;
        first.rollerCenti = FirstOf(r.rollerMin, r.rollerMax, r.sample.rollerCenti);
        second.rollerCenti = SecondOf(r.rollerMin, r.rollerMax, r.sample.rollerCenti);
        first.environmentCenti =
            FirstOf(r.environmentMin, r.environmentMax, r.sample.environmentCenti);
        second.environmentCenti =
            SecondOf(r.environmentMin, r.environmentMax, r.sample.environmentCenti);
        out.push_back(first);
        out.push_back(second);
    }
    return out;
}
