#pragma once
// One laminator's service record as the window shows it: its operations in a period, and its
// readings over that period reduced for a chart. Toolkit-free; loaded on a worker thread.
#include <cstdint>
#include <string>
#include <vector>

#include "journal/journal_records.h"

struct ServiceRecordView {
    // Non-empty when there is nothing to show, saying why (no journal, an unknown laminator).
    std::string problem;
    std::vector<StoredOperation> operations;  // oldest first
    std::vector<std::string> details;         // OperationDetailsLine of each operation
    // The readings reduced to `columns` (thinned spans give their extremes), gaps kept.
    std::vector<StatusSample> chart;
    std::int64_t readings = 0;  // stored readings in the period, before the reduction
};

// `laminator` is a serial or a laminator key (a link's name before the serial was read).
// Never makes a journal where there is none.
ServiceRecordView LoadServiceRecord(const std::string& path, const std::string& laminator,
                                    std::int64_t sinceMs, std::int64_t untilMs, int columns);

// "Firmware download" for "firmware"; a kind no table knows is its own name.
std::string OperationWhat(const std::string& kind);
// The details in a line: old → new values, a file with its digest, frames acknowledged, a
// reply; other details as kept; then the message shown, unless `withMessage` is false.
std::string OperationDetailsLine(const OperationRecord& record, bool withMessage = true);
