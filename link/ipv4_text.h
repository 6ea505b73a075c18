#pragma once
// The one reading of a typed IPv4 address, for the command line, the window's address fields
// and the connector alike: four decimal numbers 0-255 joined by dots, nothing else. A number
// with a leading zero is refused: some readers take it as octal, so its meaning is in doubt.
#include <array>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

using Ipv4Octets = std::array<std::uint8_t, 4>;  // first octet of the dotted form first

std::optional<Ipv4Octets> ParseIpv4(std::string_view text);
// The laminator's own display form, numbers zero-padded to three digits ("192.168.001.020"),
// read as decimal: a value typed as the laminator shows it, never an address to connect to.
std::optional<Ipv4Octets> ParsePaddedIpv4(std::string_view text);
// Why `text` is not an address, for a message ("has a leading zero", ...).
const char* Ipv4Problem(std::string_view text);
// The dotted form of an address held in host byte order.
std::string Ipv4Text(std::uint32_t address);
// An address in host byte order.
std::uint32_t Ipv4Number(const Ipv4Octets& octets);
