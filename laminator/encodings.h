#pragma once
// How parameter texts become wire bytes and back. Pure functions: no store, no link.
// Numbers are parsed with the C library's atoi/atof rules, independent of the process
// locale, so "2.5" means two and a half whatever the desktop's language.
#include <array>
#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

#include "laminator/catalogue.h"

// atoi: leading white space, an optional sign, decimal digits up to the first other
// character; no digits gives 0. Beyond the long range it saturates, then keeps 32 bits.
// The value of one hexadecimal digit, -1 for any other character.
int HexValue(char c);
int CAtoi(std::string_view text);
// atof in the "C" locale: an empty or non-numeric text gives 0.0.
double CAtof(std::string_view text);
// strtol base 16 on "0x" + text: the leading hexadecimal digits, 0 without any.
long CHexPart(std::string_view text);

// Bytes to display text. Multi-byte values are little-endian; `p` points at the lowest offset.
std::string DecodeU8(std::uint8_t b);
std::string DecodeTemp(std::uint8_t b);
std::string DecodeU24(const std::uint8_t* p);
std::string DecodeU32(const std::uint8_t* p);
std::string DecodeS16T(const std::uint8_t* p);
std::string DecodeU16T(const std::uint8_t* p);
std::string DecodeIp4(const std::uint8_t* p);
std::string DecodeMac6(const std::uint8_t* p);
std::string DecodeVer4(const std::uint8_t* p);
// One char per byte (0x80 and above kept as that byte), ending at the first zero byte.
std::string BytesToText(const std::uint8_t* p, std::size_t n);

// A choice byte to its name; nullopt for a byte the table does not know (the caller keeps
// the previous text). `key` is one of the drop-down parameters.
std::optional<std::string> DecodeChoice(ParamKey key, std::uint8_t b);
// A choice name to its byte by the write table. nullopt only for a LanguageSetup text that
// names no language: that setting is then left out rather than guessed.
std::optional<std::uint8_t> EncodeChoice(ParamKey key, std::string_view text);

// Display text to bytes, in rising offset order.
std::uint8_t EncodeU8(std::string_view text);
std::uint8_t EncodeTemp(std::string_view text);
std::array<std::uint8_t, 3> EncodeU24(std::string_view text);
std::array<std::uint8_t, 4> EncodeU32(std::string_view text);
// Tenths of a millimetre: atof x 10 truncated toward zero, low 16 bits.
std::array<std::uint8_t, 2> EncodeTenths(std::string_view text);
// The last number of the dotted text goes to the lowest offset; a missing one counts as 0.
std::array<std::uint8_t, 4> EncodeIp4(std::string_view text);
// The last pair of the colon text goes to the lowest offset; a missing one counts as 0.
std::array<std::uint8_t, 6> EncodeMac6(std::string_view text);

// Four decimal numbers 0 to 255 joined by ".".
bool IsDottedQuad(std::string_view text);
// Six pairs of hexadecimal digits joined by ":".
bool IsMacText(std::string_view text);
