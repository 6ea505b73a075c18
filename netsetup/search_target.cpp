#include "netsetup/search_target.h"

#include <atomic>
#include <charconv>

#include "link/ipv4_text.h"

namespace {
// Address in the high half, port in the low bits: one atomic word.
std::atomic<std::uint64_t> g_target{std::uint64_t{0xFFFFFFFFu} << 16 | kDiscoveryPort};
}  // namespace

std::string SearchTarget::Text() const {
    return Ipv4Text(address) + ":" + std::to_string(port);
}

std::optional<SearchTarget> ParseSearchTarget(const std::string& text, std::string& error) {
    SearchTarget target;
    std::string host = text;
    const auto colon = text.rfind(':');
    if (colon != std::string::npos) {
        host = text.substr(0, colon);
        const std::string port = text.substr(colon + 1);
        unsigned value = 0;
        const auto [end, ec] = std::from_chars(port.data(), port.data() + port.size(), value);
        if (ec != std::errc() || end != port.data() + port.size() || value == 0 || value > 65535) {
            error = "--search-address takes a port number from 1 to 65535, not \"" + port + "\"";
            return std::nullopt;
        }
        target.port = static_cast<std::uint16_t>(value);
    }
    const std::optional<Ipv4Octets> octets = ParseIpv4(host);
    if (!octets) {
        error =
            "--search-address takes an IPv4 address such as 192.168.1.255, not \"" + host + "\"";
        return std::nullopt;
    }
    target.address = Ipv4Number(*octets);
    return target;
}

void SetSearchTarget(const SearchTarget& target) {
    g_target.store(std::uint64_t{target.address} << 16 | target.port);
}

SearchTarget GetSearchTarget() {
    const std::uint64_t word = g_target.load();
    SearchTarget target;
    target.address = static_cast<std::uint32_t>(word >> 16);
    target.port = static_cast<std::uint16_t>(word & 0xFFFF);
    return target;
}
