#pragma once
// Where the requests of the discovery protocol go: the limited broadcast on port 1901 (sent
// out of every interface that can broadcast), or one address given on the command line (a
// directed broadcast on a real network, a loopback address in tests and the demo).
#include <cstdint>
#include <optional>
#include <string>

#include "netsetup/net_protocol.h"

struct SearchTarget {
    std::uint32_t address = 0xFFFFFFFFu;  // host byte order
    std::uint16_t port = kDiscoveryPort;
    bool IsLimitedBroadcast() const { return address == 0xFFFFFFFFu; }
    std::string Text() const;
    bool operator==(const SearchTarget&) const = default;
};

// "ADDRESS[:PORT]" with a dotted-quad address; nullopt with the reason in `error`.
std::optional<SearchTarget> ParseSearchTarget(const std::string& text, std::string& error);

// The target of every search the program starts.
void SetSearchTarget(const SearchTarget& target);
SearchTarget GetSearchTarget();
