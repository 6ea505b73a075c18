#pragma once
// A raw command typed on the command line: hexadecimal digits in pairs, separated by blanks,
// tabs or nothing. The codec drops a last unpaired digit; a typed command must not lose one.
#include <optional>
#include <string>
#include <string_view>

// The text with tabs as blanks, ready for the codec; nullopt, with the reason in `error`,
// when a run of digits has an odd length ("1c4", "1c 41 5").
std::optional<std::string> PairedHexInput(std::string_view text, std::string& error);
