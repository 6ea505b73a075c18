#include "link/ipv4_text.h"

namespace {
struct Reading {
    Ipv4Octets octets{};
    const char* problem = nullptr;
};

Reading Read(std::string_view text, bool padded) {
    Reading r;
    std::size_t at = 0;
    for (int i = 0; i < 4; ++i) {
        if (i > 0) {
            if (at >= text.size() || text[at] != '.') {
                r.problem = "is not four numbers joined by dots";
                return r;
            }
            ++at;
        }
        const std::size_t start = at;
        int value = 0;
        while (at < text.size() && text[at] >= '0' && text[at] <= '9' && at - start < 4) {
            value = value * 10 + (text[at] - '0');
            ++at;
        }
        const std::size_t digits = at - start;
        if (digits == 0 || digits > 3) {
            r.problem = "is not four numbers joined by dots";
            return r;
        }
        if (!padded && digits > 1 && text[start] == '0') {
            r.problem = "has a number with a leading zero";
            return r;
        }
        if (value > 255) {
            r.problem = "has a number above 255";
            return r;
        }
        r.octets[static_cast<std::size_t>(i)] = static_cast<std::uint8_t>(value);
    }
    if (at != text.size())
        r.problem = "is not four numbers joined by dots";
    return r;
}
}  // namespace

std::optional<Ipv4Octets> ParseIpv4(std::string_view text) {
    const Reading r = Read(text, false);
    if (r.problem)
        return std::nullopt;
    return r.octets;
}

std::optional<Ipv4Octets> ParsePaddedIpv4(std::string_view text) {
    const Reading r = Read(text, true);
    if (r.problem)
        return std::nullopt;
    return r.octets;
}

const char* Ipv4Problem(std::string_view text) {
    return Read(text, false).problem;
}

std::string Ipv4Text(std::uint32_t address) {
    return std::to_string(address >> 24) + "." + std::to_string(address >> 16 & 0xFF) + "." +
           std::to_string(address >> 8 & 0xFF) + "." + std::to_string(address & 0xFF);
}

std::uint32_t Ipv4Number(const Ipv4Octets& octets) {
    return std::uint32_t{octets[0]} << 24 | std::uint32_t{octets[1]} << 16 |
           std::uint32_t{octets[2]} << 8 | octets[3];
}
