#include "netsetup/net_settings_json.h"

#include <array>
#include <string>

#include "framework/json_text.h"
#include "netsetup/net_settings.h"

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
