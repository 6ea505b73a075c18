#pragma once
// One laminator's service record as a file another technician can import: JSON lines, the
// first naming the format and the laminator, then one operation or reading a line.
#include <cstddef>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "journal/journal_records.h"

struct RecordFile {
    LaminatorIdentity laminator;
    std::vector<OperationRecord> operations;
    std::vector<StoredReading> readings;
};

// Bounds on what an import takes in: it is untrusted.
constexpr std::size_t kMaxRecordFileBytes = 512u * 1024 * 1024;
constexpr std::size_t kMaxRecordLine = 1024 * 1024;
constexpr std::size_t kMaxRecordText = 64 * 1024;

std::string FormatRecordFile(const RecordFile& file);
// nullopt with the line and the reason in `error` for anything that is not such a file.
std::optional<RecordFile> ParseRecordFile(std::string_view text, std::string& error);
