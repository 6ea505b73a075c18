#pragma once
// A firmware file read whole into memory, sent later byte for byte.
#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <vector>

inline constexpr std::uint64_t kMaxFirmwareBytes = 64ull * 1024 * 1024;
inline constexpr const char* kFirmwareInfoFailed = "Failed to obtain the file information!";
inline constexpr const char* kFirmwareTooLarge = "The firmware file is larger than 64 MiB!";
inline constexpr const char* kFirmwareNotReadWhole = "The firmware file could not be read whole!";
inline constexpr const char* kFirmwareEmpty = "The firmware file is empty.";

struct FirmwareLoad {
    // The file's bytes; null when it was refused.
    std::shared_ptr<const std::vector<std::uint8_t>> bytes;
    // What to tell the user, in order, when it was refused.
    std::vector<std::string> messages;
};

// Reads `path` whole. A file that cannot be opened gives the system's message and
// "Failed to obtain the file information!"; an empty one, one over 64 MiB, or one whose
// bytes could not all be read, is refused with its own message and nothing loaded.
FirmwareLoad LoadFirmwareFile(const std::string& path);

// What is wrong with a loaded file's format, as "FILE, line N: reason": a .mot file must
// be well-formed S-record text. nullopt when it is, or when the format is not checked.
std::optional<std::string> FirmwareFormatProblem(const std::string& path,
                                                 const std::vector<std::uint8_t>& bytes);
