#include "cli/status_watch.h"

#include <CLI/CLI.hpp>
#include <algorithm>
#include <chrono>
#include <cmath>
#include <cstdio>
#include <thread>

#include "cli/cli_journal.h"
#include "cli/commands.h"
#include "cli/exit_codes.h"
#include "cli/terminal_text.h"
#include "laminator/status_csv.h"

bool SleepUnlessInterrupted(double seconds) {
    const auto until = std::chrono::steady_clock::now() + std::chrono::duration<double>(seconds);
    while (std::chrono::steady_clock::now() < until) {
        if (CliView::Interrupted().load())
            return false;
        std::this_thread::sleep_for(std::chrono::milliseconds(20));
    }
    return !CliView::Interrupted().load();
}

int WatchStatus(const CommandContext& context, const WatchPlan& plan, StatusHistories& histories,
                const std::function<void(const Target&, const nlohmann::json&,
                                         const std::vector<StatusSample>&)>& onReading) {
    // A cycle's record is its reading, not an operation, whichever command watches.
    CommandContext cycle = context;
    cycle.journalOperation = false;
    int worst = kExitOk;
    unsigned done = 0;
    for (;;) {
        const auto started = std::chrono::steady_clock::now();
        for (const Target& target : context.targets) {
            StatusHistory& history = histories[target.Key()];
            history.SetCycle(std::chrono::milliseconds(
                std::max<std::int64_t>(static_cast<std::int64_t>(plan.interval * 1000.0), 1)));
            const std::uint64_t before = history.Revision();
            std::string text;
            nlohmann::json entry = RunOnTarget(
                cycle, target,
                [&](CliView& view, const Target& t) {
                    StatusHistoryScope scope(&history);
                    return StatusReading(view, t);
                },
                text);
            // A laminator that could not be reached had no cycle: still a gap in its history.
            if (history.Revision() == before) {
                StatusSample gap = StatusSample::Gap(NowMs());
                gap.steadyMs = SteadyNowMs();
                history.Append(gap);
                RecordUnreachedReading(target, *history.Latest());
            }
            const std::vector<StatusSample> added =
                history.Newest(static_cast<std::size_t>(history.Revision() - before));
            entry["time"] = IsoTime(added.back().timeMs);
            const int exit = entry["exit"].get<int>();
            if (exit != kExitOk)
                worst = worst == kExitOk || worst == exit ? exit : kExitFailure;
            onReading(target, entry, added);
            if (CliView::Interrupted().load())
                return worst;
        }
        ++done;
        if (plan.rounds && done >= *plan.rounds)
            return worst;
        if (plan.untilMs && NowMs() >= *plan.untilMs)
            return worst;
        // The interval runs from the start of one round to the start of the next.
        const double spent =
            std::chrono::duration<double>(std::chrono::steady_clock::now() - started).count();
        double wait = plan.interval - spent;
        if (plan.untilMs)
            wait = std::min(wait, static_cast<double>(*plan.untilMs - NowMs()) / 1000.0);
        if (!SleepUnlessInterrupted(std::max(0.0, wait)))
            return worst;
    }
}

int RunStatus(const CommandContext& context, const StatusWatchOptions& options) {
    if (RefusePrinterClass(context))
        return kExitUsage;
    if (!options.watch && !options.csv)
        return RunOnTargets(context, StatusReading);
    // An infinite interval would wait for ever and pass for a watch that works.
    if (options.watch && !(options.interval > 0 && std::isfinite(options.interval)))
        return UsageError("--watch and --interval take a number of seconds above 0.");
    if (options.count && *options.count == 0)
        return UsageError("--count takes a number of readings above 0.");
    if (options.csv && context.json)
        return UsageError("--csv and --json are two formats; choose one.");
    WatchPlan plan;
    plan.interval = options.interval;
    plan.rounds = options.watch ? options.count : std::optional<unsigned>(1);
    const bool several = context.targets.size() > 1;
    if (options.csv) {
        std::printf("%s%s\n", several ? "target," : "", StatusCsvHeader().c_str());
        std::fflush(stdout);
    }
    StatusHistories histories;
    const std::vector<std::string> keys = StatusReadingKeys();
    const int exit = WatchStatus(
        context, plan, histories,
        [&](const Target& target, const nlohmann::json& entry,
            const std::vector<StatusSample>& added) {
            if (options.csv) {
                // An unread stretch's gap row too, so the file shows where nothing was read.
                for (const StatusSample& sample : added)
                    std::printf("%s%s\n", several ? (CsvField(target.Label()) + ",").c_str() : "",
                                StatusCsvRow(sample).c_str());
            } else if (context.json) {
                std::printf(
                    "%s\n",
                    entry.dump(-1, ' ', false, nlohmann::json::error_handler_t::replace).c_str());
            } else {
                std::string line = entry["time"].get<std::string>() + "  " + target.Label() + ":";
                for (const std::string& key : keys) {
                    if (!entry.contains("status") || !entry["status"].contains(key))
                        continue;
                    const nlohmann::json& value = entry["status"][key];
                    if (value.is_string())
                        line += "  " + key + "=" + EscapeControls(value.get<std::string>());
                    else if (!value.is_null())  // a number
                        line += "  " + key + "=" + value.dump();
                }
                std::printf("%s\n", line.c_str());
            }
            std::fflush(stdout);
        });
    return context.json ? PrintWatchSummary(context, exit) : exit;
}

void AddStatusWatchOptions(CLI::App& status, StatusWatchOptions& options) {
    status
        .add_option_function<double>(
            "--interval",
            [&options](double seconds) {
                options.interval = seconds;
                options.watch = true;
            },
            "Seconds between readings in a watch (2 by default)")
        ->type_name("SECONDS");
    status
        .add_option_function<unsigned>(
            "--count",
            [&options](unsigned n) {
                options.count = n;
                options.watch = true;
            },
            "Stop a watch after N readings of each laminator")
        ->type_name("N");
    status.add_flag("--csv", options.csv,
                    "A header line and one row per reading (time, temperatures, state, error, "
                    "card channel, codes)");
}
