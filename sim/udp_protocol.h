#pragma once

// Byte layouts of the discovery and configuration protocol (UDP port 1901).

#include <array>
#include <cstdint>
#include <string>
#include <vector>

#include "sim/laminator_state.h"

namespace pellacor::sim {

inline constexpr std::array<uint8_t, 4> kWriteAck = {0xFF, 0x01, 0x05, 0x4B};
inline constexpr std::array<uint8_t, 5> kFinishAck = {0xFF, 0x02, 0x04, 0x4B, 0x51};
inline constexpr size_t kSearchReplySize = 36;
inline constexpr size_t kSettingsReplySize = 69;
inline constexpr size_t kSettingsSize = 65;

// Low 8 bits of the sum of every byte after the leading FF and before the checksum.
uint8_t UdpChecksum(const uint8_t* frame, size_t total);

std::vector<uint8_t> BuildSearchReply(const LaminatorState& s);
std::vector<uint8_t> BuildSettingsReply(const LaminatorState& s);

struct UdpRequest {
    enum class Kind { Invalid, Incomplete, Search, ReadSettings, WriteSettings, Finish };
    Kind kind = Kind::Invalid;
    uint8_t command = 0;
    std::array<uint8_t, 6> mac{};  // as carried: the search reply's bytes 9 to 14
    std::array<uint8_t, kSettingsSize> settings{};
    std::string error;  // why Invalid or Incomplete
};

// Checks framing, length, checksum and the two login fields.
UdpRequest ParseUdpRequest(const uint8_t* data, size_t size);

}  // namespace pellacor::sim
