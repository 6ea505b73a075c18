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

// A CSV field, quoted when it holds a comma, a quote or a line break.
std::string CsvField(const std::string& text);

// Rows as StatusCsvRow writes them, after the header, their times in order; at most
// `maxRows` (the oldest beyond it are dropped, and counted in `dropped`). A file of several
// laminators (a first column "target", as status --csv writes for several) gives the rows of
// `target`; without one it must hold a single laminator. nullopt with the line and the
// reason in `error`.
std::optional<std::vector<StatusSample>> ReadStatusCsv(
    std::istream& in, std::string& error, std::size_t maxRows = StatusHistory::kDefaultCapacity,
    std::size_t* dropped = nullptr, const std::string& target = {});
