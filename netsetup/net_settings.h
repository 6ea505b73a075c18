#pragma once
// How the network settings record maps to what the settings dialog shows: three addresses
// stored last octet first, the IP method byte and the device name area.
#include <array>
#include <cstddef>
#include <string>

#include "netsetup/net_protocol.h"

inline constexpr std::size_t kSettingsIpOffset = 3;
inline constexpr std::size_t kSettingsGatewayOffset = 7;
inline constexpr std::size_t kSettingsMaskOffset = 11;
// The name area holds the text and at least one zero byte.
inline constexpr std::size_t kMaxDeviceNameLength = kSettingsNameSize - 1;

// The four fields of an address control, left to right, from the record bytes at `offset`.
std::array<int, 4> SettingsAddress(const NetSettings& settings, std::size_t offset);
// Stores four fields (a blank field, -1, as 0; each at most 255) at `offset`.
void StoreSettingsAddress(NetSettings& settings, std::size_t offset,
                          const std::array<int, 4>& fields);

bool IsStaticMethod(const NetSettings& settings);
// 0x80 for exactly "Static", 0x00 for any other text.
void StoreMethod(NetSettings& settings, const std::string& comboText);

// The name from byte 15 up to its first zero byte, never beyond the 30-byte area.
std::string SettingsName(const NetSettings& settings);
// The text, then zeros, over the whole area; false (nothing stored) when it is too long.
bool StoreSettingsName(NetSettings& settings, const std::string& name);
