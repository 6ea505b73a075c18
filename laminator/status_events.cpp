#include "laminator/status_events.h"

#include <array>
#include <cstdio>

#include "laminator/status_text.h"

namespace {
std::array<std::uint8_t, 4> Bytes(std::uint32_t code) {
    return {static_cast<std::uint8_t>(code >> 24), static_cast<std::uint8_t>(code >> 16),
            static_cast<std::uint8_t>(code >> 8), static_cast<std::uint8_t>(code)};
}

constexpr std::uint32_t kNoError = 0x45000000;
}  // namespace

std::string SampleStateText(const StatusSample& s) {
    return StateText(Bytes(s.state).data());
}

std::string SampleErrorText(const StatusSample& s) {
    return ErrorText(Bytes(s.error).data());
}

std::vector<StatusEvent> StatusEvents(const std::vector<StatusSample>& samples, std::size_t limit) {
    std::vector<StatusEvent> events;
    const StatusSample* last = nullptr;
    bool inGap = false;
    for (const StatusSample& s : samples) {
        if (s.gap) {
            if (!inGap)
                events.push_back({s.timeMs, "No reply", true});
            inGap = true;
            continue;
        }
        const bool resumed = inGap;
        inGap = false;
        if (!last || resumed || s.state != last->state) {
            const std::string text = SampleStateText(s);
            events.push_back(
                {s.timeMs, text.empty() ? "State " + StatusCodeHex(s.state) : text, false});
        }
        if (!last || resumed || s.error != last->error) {
            const std::string text = SampleErrorText(s);
            const bool fault = (s.error >> 24) == 0x45 && s.error != kNoError;
            events.push_back({s.timeMs, text.empty() ? StatusCodeHex(s.error) : text, fault});
        }
        last = &s;
    }
    if (events.size() > limit)
        events.erase(events.begin(), events.end() - static_cast<std::ptrdiff_t>(limit));
    return events;
}

std::string StatusCodeHex(std::uint32_t code) {
    char text[12];
    std::snprintf(text, sizeof text, "0x%08x", code);
    return text;
}
