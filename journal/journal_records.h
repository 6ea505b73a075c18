#pragma once
// What the service record keeps: laminators by identity, the operations done to them and
// their status readings.
#include <cstdint>
#include <optional>
#include <string>

#include "laminator/status_history.h"

struct LaminatorIdentity {
    std::string serial;  // the information reply's "Laminator SN"
    std::string model;
    std::string mac;
    std::string link;  // the link and address it was reached by ("tcp:127.0.0.1:9100")

    // By serial; a laminator whose serial is not known (or reads empty) by MAC, else by link.
    std::string Key() const;
};

struct OperationRecord {
    std::int64_t timeMs = 0;      // UTC, milliseconds since 1970
    std::int64_t durationMs = 0;  // steady clock
    std::string link;
    std::string user;     // operating-system user
    std::string version;  // the tool's
    std::string kind;     // "set", "firmware", "connect", ...
    std::string result;   // "done" only when the laminator confirmed; "sent", "failed", ...
    std::string message;  // what the screen said
    std::string details;  // a JSON object: old and new values, files and their SHA-256, ...
};

struct StoredOperation {
    std::string laminator;  // its key
    std::string serial;
    OperationRecord record;
};

// A reading as kept: raw (span 0), or a thinned minute or hour with its extremes.
struct StoredReading {
    std::string laminator;
    StatusSample sample;  // the last state of the span
    std::int64_t spanMs = 0;
    std::uint16_t rollerMin = 0, rollerMax = 0, environmentMin = 0, environmentMax = 0;
};

struct LaminatorRow {
    std::string key;
    LaminatorIdentity identity;
    std::int64_t firstMs = 0;  // first and last visit: the oldest and newest record
    std::int64_t lastMs = 0;
    std::int64_t operations = 0;
    std::int64_t readings = 0;
};

struct JournalQuery {
    std::string serial;  // a serial or a laminator key; empty for all
    std::optional<std::int64_t> sinceMs;
    std::optional<std::int64_t> untilMs;
    std::string kind;  // empty for all
};

std::string OsUserName();
