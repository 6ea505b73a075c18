#pragma once
// How the status reply's fields read on screen.
#include <cstdint>
#include <string>

// Hundredths of a degree, little-endian, shown as whole degrees with the fraction dropped.
std::string TemperatureText(std::uint8_t low, std::uint8_t high);
// The machine state box from the 4-byte state code (empty for an unknown code).
std::string StateText(const std::uint8_t code[4]);
// The error or warning box: a table text for E and W codes (empty when unknown), else the
// code itself as 0x and eight lowercase hexadecimal digits.
std::string ErrorText(const std::uint8_t code[4]);
// The card-channel box from the sensor byte.
std::string CardChannelText(std::uint8_t sensors);
