#pragma once
// pellacorctl's service record: one writer for the process, fed by the command runner (one
// operation per laminator served) and by every status cycle (its reading).
#include <chrono>
#include <cstdint>
#include <nlohmann/json.hpp>
#include <optional>
#include <string>

#include "cli/targets.h"
#include "laminator/status_history.h"

struct CliJournalOptions {
    std::string file;  // empty: the default place
    bool off = false;
    std::optional<double> limitMb;
};

// The file the options name; empty when no journal is kept.
std::string CliJournalPath(const CliJournalOptions& options);
// Starts the writer; a journal that cannot be opened is said once on standard error (a JSON
// line with `json`) and the command goes on without it.
void StartCliJournal(const CliJournalOptions& options, bool json);
// Writes what is queued (briefly) and stops.
void StopCliJournal();

// What RunOnTarget tells: the laminator it starts serving, then how the command ended.
struct JournalOperation {
    std::string command;
    std::string file;      // a file the command read or wrote, kept with its SHA-256
    bool recorded = true;  // false for a watch's cycles: their readings are the record
    std::int64_t startMs = 0;
    std::chrono::steady_clock::time_point started;
};
void JournalTargetStarted(const Target& target);
void JournalTargetDone(const Target& target, const JournalOperation& operation,
                       const nlohmann::json& entry);
// netconfig, which reaches the laminator by its MAC over UDP: the settings before and after,
// `confirmed` only when they were read back after the write.
void JournalNetworkChange(const std::string& mac, const JournalOperation& operation, bool written,
                          bool confirmed, const nlohmann::json& details);
// A status cycle that could not reach its laminator: its gap.
void RecordUnreachedReading(const Target& target, const StatusSample& gap);
