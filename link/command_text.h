#pragma once
// Commands are written as text of hexadecimal byte pairs ("1c 72 49 01"); blanks, carriage
// returns and line feeds are skipped anywhere, a last unpaired digit is dropped.
#include <cstddef>
#include <cstdint>
#include <string_view>

inline constexpr int kBadCommandCharacter = -1;
// The text holds more bytes than the destination can take; what fitted has been written.
inline constexpr int kCommandTextTooLong = -2;

// Converts `text` into `dest` from its start. Returns the number of bytes written, or
// kBadCommandCharacter at the first character that is neither a hexadecimal digit nor a
// separator, or kCommandTextTooLong when the destination is full before the text ends.
int HexPairsToBytes(std::string_view text, std::uint8_t* dest, std::size_t capacity);
