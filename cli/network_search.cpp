#include "cli/network_search.h"

#include <array>
#include <chrono>
#include <string>

#include "cli/json_text.h"
#include "netsetup/net_discovery.h"
#include "netsetup/net_settings.h"

std::vector<FoundLaminator> SearchNetwork(CNetDiscovery& discovery, NetResult& result) {
    std::vector<FoundLaminator> found;
    result = discovery.Search();
    if (result != kNetSuccess)
        return found;
    // The collection ends by itself 500 ms after the last datagram.
    for (;;) {
        discovery.WaitForReplyOrIdle(std::chrono::milliseconds(1000));
        FoundLaminator laminator;
        while (discovery.PopReply(laminator))
            found.push_back(laminator);
        if (discovery.IsIdle() && discovery.QueueSize() == 0)
            break;
    }
    return found;
}

namespace {
std::string AddressText(const NetSettings& s, std::size_t offset) {
    const std::array<int, 4> f = SettingsAddress(s, offset);
    return std::to_string(f[0]) + "." + std::to_string(f[1]) + "." + std::to_string(f[2]) + "." +
           std::to_string(f[3]);
}
}  // namespace

nlohmann::json SettingsJson(const NetSettings& s) {
    return {{"name", BytesToJsonText(SettingsName(s))},
            {"method", IsStaticMethod(s) ? "static" : "dynamic"},
            {"ip-address", AddressText(s, kSettingsIpOffset)},
            {"subnet-mask", AddressText(s, kSettingsMaskOffset)},
            {"gateway", AddressText(s, kSettingsGatewayOffset)}};
}
