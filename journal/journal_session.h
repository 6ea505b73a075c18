#pragma once
// The service record of this process, as both front ends keep it: one writer, the status
// reading hook that feeds it, the laminator being served, the identity join once its serial
// is read, and the parts every operation record shares.
#include <chrono>
#include <cstdint>
#include <functional>
#include <nlohmann/json.hpp>
#include <optional>
#include <string>

#include "journal/journal_records.h"

struct JournalSettings {
    std::string file;  // empty: the default place
    bool off = false;
    std::optional<double> limitMb;
};

// The file the settings name; empty when no journal is kept.
std::string JournalPathOf(const JournalSettings& settings);
// Starts the writer and the reading hook. `onProblem` gets, once and from the writer's
// thread, a text naming the file and why the record is not kept.
void StartJournal(const JournalSettings& settings, const std::string& version,
                  std::function<void(const std::string&)> onProblem);
// Writes what is queued (briefly) and stops.
void StopJournal();
bool JournalKept();
// Waits until what was recorded so far is written (tests, the end of a command).
bool FlushJournal(std::chrono::milliseconds timeout);

// The laminator the status readings belong to, by link key; empty while none is served.
void SetJournalLink(const std::string& link);
std::string JournalLink();

// The serial, model and MAC this run read (the parameter store) name the laminator behind
// `link`: its records so far move to it. Nothing happens while neither was read.
void IdentifyFromStore(const std::string& link);
void IdentifyByMac(const std::string& link, const std::string& mac);

// When an operation started, on both clocks.
struct OperationStart {
    std::int64_t startMs = 0;
    std::chrono::steady_clock::time_point started;
    static OperationStart Now();
};
// A record with the time, duration, link, user and tool version filled in.
OperationRecord BeginRecord(const std::string& kind, const std::string& link,
                            const OperationStart& start);
// {"name", "size", "sha256"} of a file sent or written; size and digest when readable.
nlohmann::json FileDetails(const std::string& path);
// The details as the record keeps them: compact JSON, bad UTF-8 replaced.
std::string DetailsText(const nlohmann::json& details);

void RecordOperation(const std::string& link, OperationRecord record);
// A network settings read or write, reached by the laminator's MAC over UDP: kept under
// "udp:MAC" and joined to the laminator that MAC names.
void RecordNetworkSettings(const std::string& kind, const std::string& mac,
                           const OperationStart& start, const std::string& result,
                           const std::string& message, const nlohmann::json& details);
void RecordReading(const std::string& link, const StatusSample& sample);
