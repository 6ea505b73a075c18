#pragma once
// The laminator's address from the settings file in the current directory.
#include <string>

inline constexpr const char* kIpSettingsPath = ".//IP.ini";
inline constexpr std::size_t kMaxIpTextLength = 24;

// Reads "Ip" of section "TEST" (at most 24 characters) into the "IP Address" value; a missing
// file gives an empty value. "Port" is read and discarded: the command port is fixed.
void LoadIpSettings(const std::string& path = kIpSettingsPath);
