#pragma once
// Status readings of every target in turn, repeated: each cycle feeds the target's history,
// so a watch, its CSV and the service report all see the same readings.
#include <functional>
#include <map>
#include <nlohmann/json.hpp>
#include <optional>
#include <string>

#include "cli/command_runner.h"
#include "laminator/status_history.h"

// One history per target, by its label.
using StatusHistories = std::map<std::string, StatusHistory>;

struct WatchPlan {
    double interval = 2.0;
    std::optional<unsigned> rounds;       // readings per target; none: until interrupted
    std::optional<std::int64_t> untilMs;  // or until this wall-clock time
};

// Called after each reading with the target, its JSON entry (with "time") and what the cycle
// added to the history, oldest first: its reading or gap last, before it the gap of a long
// unread stretch when there was one. Returns the worst exit status. Ctrl-C ends it between
// readings.
int WatchStatus(const CommandContext& context, const WatchPlan& plan, StatusHistories& histories,
                const std::function<void(const Target&, const nlohmann::json&,
                                         const std::vector<StatusSample>&)>& onReading);

// Sleeps up to `seconds`; false once Ctrl-C was pressed.
bool SleepUnlessInterrupted(double seconds);
