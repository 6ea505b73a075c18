#pragma once
// pellacorctl's commands. Each returns the exit status and prints its own output; the
// per-laminator ones run through RunOnTargets.
#include <optional>
#include <string>
#include <vector>

#include "cli/command_runner.h"

namespace CLI {
class App;
}
struct JournalQuery;

int RunInfo(const CommandContext& context);
int RunGet(const CommandContext& context, const std::vector<std::string>& names);
int RunSet(const CommandContext& context, const std::vector<std::string>& assignments);
struct StatusWatchOptions {
    bool watch = false;     // repeat until interrupted or `count` readings
    double interval = 2.0;  // seconds between the starts of two readings
    std::optional<unsigned> count;
    bool csv = false;
};
int RunStatus(const CommandContext& context, const StatusWatchOptions& options);
// --interval, --count (both imply a watch) and --csv on the status subcommand.
void AddStatusWatchOptions(CLI::App& status, StatusWatchOptions& options);
// One status reading of the target, its boxes as keys (the order of StatusReadingKeys).
TargetResult StatusReading(CliView& view, const Target& target);
std::vector<std::string> StatusReadingKeys();

int RunBackup(const CommandContext& context, const std::string& file);
struct RestoreOptions {
    bool dryRun = false;
    bool includeNetwork = false;
    bool force = false;
};
int RunRestore(const CommandContext& context, const std::string& file,
               const RestoreOptions& options);
int RunDiff(const CommandContext& context, const std::string& file);

struct ReportOptions {
    std::string out;
    std::optional<double> minutes;
    std::string baseline;
    std::string fromCsv;
    bool network = false;
    bool force = false;  // a baseline of another model or serial all the same
    // A past period from the service record: no watch, no link.
    std::string since, until, serial;
    bool Past() const { return !since.empty() || !until.empty(); }
};
void AddReportOptions(CLI::App& report, ReportOptions& options);
int RunReport(const CommandContext& context, const ReportOptions& options);
// The laminator chosen by --serial or by the targets named (none: the only one the period
// holds), reported from the service record at `journal`.
int RunPastReport(const CommandContext& context, const ReportOptions& options,
                  const std::string& journal);

// With `verify`, the parameters are read back afterwards: only an answer confirms the reset.
int RunReset(const CommandContext& context, bool confirmed, bool verify);
int RunMode(const CommandContext& context, const std::string& mode);
int RunSend(const CommandContext& context, const std::string& hex);
// A .mot file that is not well-formed S-record text is refused (exit 2) unless `force`.
int RunFirmware(const CommandContext& context, const std::string& file, bool force);

int RunDiscover(const CommandContext& context);
int RunList(const CommandContext& context, bool network);
struct NetconfigOptions {
    std::string mac;
    bool setStatic = false;
    bool setDynamic = false;
    std::string ip, mask, gateway;
    std::optional<std::string> name;
    std::string address;  // which answer to take when the MAC answered at several addresses
};
int RunNetconfig(const CommandContext& context, const NetconfigOptions& options);
// Each read query once: reply lengths, times, echoes, continuation frames, codes. Reads only.
int RunProbe(const CommandContext& context);

struct JournalListOptions {
    std::string serial, since, until, kind;
    bool csv = false;
    std::string action;  // empty (list), "laminators", "export" or "import"
    std::string file;
};
void AddJournalOptions(CLI::App& journal, JournalListOptions& options);
// --since and --until into `query`, as every listing of the service record takes them; a
// usage error's exit status when one is not a time.
std::optional<int> ParsePeriod(const std::string& since, const std::string& until,
                               JournalQuery& query);
// The service record at `path` (empty: none is kept).
int RunJournal(const CommandContext& context, const std::string& path,
               const JournalListOptions& options);

// A usage error: the text on standard error, exit 2.
int UsageError(const std::string& text);
