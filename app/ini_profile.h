#pragma once
// Reads settings files with the rules of the Windows profile reader: section and key names
// match without regard to case, blanks around names and values are trimmed, a value in
// matching quotes loses them, and the first matching key of the first matching section wins.
#include <optional>
#include <string>
#include <string_view>

// The value of `key` in `section` of the file at `path`; nullopt when the file, the section
// or the key is missing. Reads at most kMaxProfileBytes of the file.
std::optional<std::string> ReadProfileString(const std::string& path, std::string_view section,
                                             std::string_view key);
// The same rules on the text of a file already read.
std::optional<std::string> ProfileStringIn(std::string_view content, std::string_view section,
                                           std::string_view key);
// As the integer reader: leading digits of the value with an optional sign, else `fallback`.
int ReadProfileInt(const std::string& path, std::string_view section, std::string_view key,
                   int fallback);

inline constexpr std::size_t kMaxProfileBytes = 1 << 20;
