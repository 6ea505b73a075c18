#include "netsetup/net_settings.h"

#include <algorithm>

std::array<int, 4> SettingsAddress(const NetSettings& settings, std::size_t offset) {
    return {settings[offset + 3], settings[offset + 2], settings[offset + 1], settings[offset]};
}

void StoreSettingsAddress(NetSettings& settings, std::size_t offset,
                          const std::array<int, 4>& fields) {
    for (std::size_t i = 0; i < 4; ++i)
        settings[offset + 3 - i] = static_cast<std::uint8_t>(std::clamp(fields[i], 0, 255));
}

bool IsStaticMethod(const NetSettings& settings) {
    return settings[0] != 0;
}

void StoreMethod(NetSettings& settings, const std::string& comboText) {
    settings[0] = comboText == "Static" ? 0x80 : 0x00;
}

std::string SettingsName(const NetSettings& settings) {
    const auto begin = settings.begin() + kSettingsNameOffset;
    const auto end = begin + kSettingsNameSize;
    return std::string(begin, std::find(begin, end, std::uint8_t{0}));
}

bool StoreSettingsName(NetSettings& settings, const std::string& name) {
    if (name.size() > kMaxDeviceNameLength)
        return false;
    const auto begin = settings.begin() + kSettingsNameOffset;
    std::fill(begin, begin + kSettingsNameSize, std::uint8_t{0});
    std::copy(name.begin(), name.end(), begin);
    return true;
}
