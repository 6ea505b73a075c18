#pragma once
// The status history as CSV, one header line and one row per reading, for a spreadsheet
// and for the service report made from a watch that ran elsewhere; and ISO 8601 times.
#include <cstdint>
#include <istream>
#include <optional>
#include <string>
#include <vector>

#include "laminator/status_history.h"

// UTC with milliseconds: 2026-12-09T20:57:16.123Z.
std::string IsoTime(std::int64_t timeMs);
// That form, with or without the milliseconds; nullopt for anything else.
std::optional<std::int64_t> ParseIsoTime(const std::string& text);

std::string StatusCsvHeader();
// A gap has its time and empty fields.
std::string StatusCsvRow(const StatusSample& sample);
std::string StatusCsv(const std::vector<StatusSample>& samples);

// Rows as StatusCsvRow writes them, after the header; at most `maxRows` (the oldest are
// dropped beyond it, as the ring would). nullopt with the line and the reason in `error`.
std::optional<std::vector<StatusSample>> ReadStatusCsv(
    std::istream& in, std::string& error, std::size_t maxRows = StatusHistory::kDefaultCapacity);
