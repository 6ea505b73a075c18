#pragma once
// The backup file: every parameter of a laminator, its model name and its identity, as JSON
// with a format version. The file is untrusted when read back: anything but a well-formed
// backup of this format is refused with a clear message, so nothing of it is ever written.
#include <cstddef>
#include <map>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "laminator/catalogue.h"

inline constexpr std::string_view kBackupFormat = "pellacor-backup";
inline constexpr int kBackupVersion = 1;
// Bounds on what a backup may hold; a real one is a few kilobytes.
inline constexpr std::size_t kMaxBackupBytes = 1024 * 1024;
inline constexpr std::size_t kMaxBackupText = 256;
inline constexpr int kMaxBackupDepth = 4;

struct Backup {
    std::string model;
    // "serial-number", "main-version", "main-boot", "model-id".
    std::map<std::string, std::string> identity;
    std::vector<std::pair<ParamKey, std::string>> values;  // catalogue order

    const std::string* Value(ParamKey key) const;
};

// The document of a backup.
std::string FormatBackup(const Backup& backup);
// Parses a backup document; nullopt with the reason in `error`.
std::optional<Backup> ParseBackup(std::string_view text, std::string& error);
// Reads and parses the file, bounded by kMaxBackupBytes.
std::optional<Backup> ReadBackupFile(const std::string& path, std::string& error);
// Where the backup is not of the laminator with this model and serial number (either empty
// when not known): the words for it, empty when it is.
std::string BackupMismatch(const Backup& backup, const std::string& model,
                           const std::string& serial);
// Writes the document whole or not at all (a temporary file renamed over `path`).
bool WriteBackupFile(const std::string& path, const Backup& backup, std::string& error);
