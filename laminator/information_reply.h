#pragma once
// The two ";"-separated fields the tool takes from the laminator's information reply.
// Both scans read `rx` as RxBuffer holds the reply and never go past `length`.
#include <cstddef>
#include <cstdint>
#include <string>

// The text between the third and the fourth ";", scanned from `start` (8 over USB, 6 over
// Ethernet) while below offset 62. Empty with fewer than three ";"; without a fourth one
// the text runs to offset 60.
std::string ScanSerialNumber(const std::uint8_t* rx, std::size_t length, std::size_t start);
// The text between the second and the third ";", scanned from offset 5 while below the
// signed value of byte 1. Empty with fewer than two ";".
std::string ScanMainVersion(const std::uint8_t* rx, std::size_t length);
