#pragma once
// The service report a technician leaves behind: per laminator its identity, every parameter
// (marked when outside its limits or different from a baseline backup), its status over the
// visit with the warm-up figures, and the messages shown. Rendered as one self-contained
// XHTML page (inline style and SVG, no external reference; prints on A4) or as JSON.
#include <cstdint>
#include <nlohmann/json.hpp>
#include <optional>
#include <string>
#include <vector>

#include "journal/journal_records.h"
#include "laminator/catalogue.h"
#include "laminator/status_history.h"
#include "laminator/warmup_figures.h"

struct ReportParameter {
    const ParameterInfo* info = nullptr;
    std::optional<std::string> value;         // nullopt: not read
    std::optional<std::string> limitProblem;  // the limit message the value breaks
    std::optional<std::string> baseline;      // the backup's value when it differs
};

// A message shown while the report was made, with when it was shown.
struct ReportMessage {
    std::int64_t timeMs = 0;
    std::string text;
};

// A past period reported from the service record: the laminator was not asked; its
// operations and readings (thinned spans with their extremes) are as the journal kept them.
struct ReportPeriod {
    std::optional<std::int64_t> sinceMs;
    std::int64_t untilMs = 0;
    std::string key;
    LaminatorIdentity identity;
    std::vector<StoredOperation> operations;
    std::vector<StoredReading> readings;
};

struct ReportSection {
    std::string target;
    int exit = 0;
    // False: no connection, nothing read; nullopt: not asked (the report was cut short).
    std::optional<bool> connected = true;
    std::string baselineMismatch;  // the backup is of another laminator (compared by --force)
    std::vector<ReportParameter> parameters;  // catalogue order
    std::vector<StatusSample> history;
    std::optional<double> setCelsius;
    WarmupFigures warmup;
    std::vector<ReportMessage> messages;
    nlohmann::json network;  // the settings a network search read for its MAC; null if none
    std::optional<ReportPeriod> period;  // set when reported from the service record
};

struct ServiceReport {
    std::int64_t createdMs = 0;
    std::string version;
    std::string baselineFile;  // empty without one
    std::string baselineModel;
    std::string baselineSerial;
    std::int64_t baselineDateMs = 0;  // the backup file's time; 0 when unknown
    bool cutShort = false;            // Ctrl-C: the readings up to then
    int exit = 0;
    std::vector<ReportSection> sections;
};

// Parameters of a section not read in this run.
std::size_t NotReadCount(const ReportSection& section);

std::string ReportXhtml(const ServiceReport& report);
class SplicedJson;
// The report as a document; the readings of a past period go into `document`'s dump as
// text, so `report` must live until then.
nlohmann::json ReportJson(const ServiceReport& report, SplicedJson& document);

// A laminator or file text as well-formed XML character data: ShownText, markup escaped.
std::string XmlEscape(const std::string& bytes);
