#pragma once
// The discovery and configuration protocol on UDP port 1901: request frames, the records the
// laminators answer with, and how a search reply's fields are shown.
#include <array>
#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

inline constexpr std::uint16_t kDiscoveryPort = 1901;
inline constexpr std::size_t kSearchReplySize = 36;
inline constexpr std::size_t kNetSettingsSize = 65;
inline constexpr std::size_t kReadReplySize = 69;

using SearchReply = std::array<std::uint8_t, kSearchReplySize>;
using NetSettings = std::array<std::uint8_t, kNetSettingsSize>;
using MacBytes = std::array<std::uint8_t, 6>;

// A laminator as a search found it: its reply and the address the reply came from, which is
// the only address its settings are taken from.
struct FoundLaminator {
    SearchReply reply{};
    std::uint32_t address = 0;  // host byte order
    bool operator==(const FoundLaminator&) const = default;
};

// Results of the protocol's operations.
using NetResult = int;
inline constexpr NetResult kNetSuccess = 0;
inline constexpr NetResult kNetBusy = 1;
inline constexpr NetResult kNetSendFailed = 2;
inline constexpr NetResult kNetNoReply = 3;
inline constexpr NetResult kNetNotRead = 4;
inline constexpr NetResult kNetBadAck = -1;

inline constexpr std::uint8_t kCommandSearch = 0x01;
inline constexpr std::uint8_t kCommandRead = 0x03;
inline constexpr std::uint8_t kCommandFinish = 0x04;
inline constexpr std::uint8_t kCommandWrite = 0x05;

inline constexpr std::array<std::uint8_t, 4> kWriteAcknowledgement = {0xFF, 0x01, 0x05, 0x4B};
inline constexpr std::array<std::uint8_t, 5> kFinishAcknowledgement = {0xFF, 0x02, 0x04, 0x4B,
                                                                       0x51};

// Offsets inside the records.
inline constexpr std::size_t kReplyMacOffset = 9;
inline constexpr std::size_t kSettingsNameOffset = 15;
inline constexpr std::size_t kSettingsNameSize = 30;
inline constexpr std::size_t kSettingsMacOffset = 45;

// Low 8 bits of the sum of every byte after the leading FF and before the checksum.
std::uint8_t Checksum(const std::uint8_t* frame, std::size_t total);

std::vector<std::uint8_t> BuildSearchRequest();
// Read settings (03) or finishing command (04) for the laminator with `mac`.
std::vector<std::uint8_t> BuildAddressedRequest(std::uint8_t command, const MacBytes& mac);
std::vector<std::uint8_t> BuildWriteRequest(const MacBytes& mac, const NetSettings& settings);

// The MAC as the laminator reported it (bytes 9 to 14), copied unchanged into requests.
MacBytes ReplyMac(const SearchReply& reply);

// The five cells a search reply is listed with.
std::string ReplyDeviceId(const SearchReply& reply);
std::string ReplyMacText(const SearchReply& reply);
std::string ReplyName(const SearchReply& reply);  // at most 16 bytes, trailing blanks removed
std::string ReplyFwBoot(const SearchReply& reply);
std::string ReplyIpText(const SearchReply& reply);
