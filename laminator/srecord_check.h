#pragma once
// Motorola S-record text, the form of a .mot firmware file, checked before it is sent: the
// laminator's loader would take a damaged file as it is. The check never changes the bytes.
#include <cstddef>
#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <string_view>

struct SRecordProblem {
    std::size_t line = 0;  // 1-based
    std::string reason;
};

// The first thing wrong with `text`: a line that is no S-record, hex digits that do not
// pair, a byte count that does not match, a wrong checksum, or a missing header (S0) or
// termination record (S7, S8, S9). nullopt when the file is well formed.
std::optional<SRecordProblem> CheckSRecords(std::span<const std::uint8_t> text);

// True for a path the check applies to: one ending in ".mot", in any case.
bool IsSRecordPath(std::string_view path);

// "main.mot, line 3: wrong checksum 3c (the record's bytes give 3d)"
std::string SRecordProblemText(std::string_view path, const SRecordProblem& problem);
