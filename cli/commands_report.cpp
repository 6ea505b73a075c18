// report: everything the tool can read of each laminator, with its status over the visit,
// as one page to hand over (or JSON).
#include <CLI/CLI.hpp>
#include <algorithm>
#include <cctype>
#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <map>

#include "cli/backup_file.h"
#include "cli/commands.h"
#include "cli/exit_codes.h"
#include "cli/network_search.h"
#include "cli/report_page.h"
#include "cli/service_report.h"
#include "cli/status_watch.h"
#include "framework/file_write.h"
#include "laminator/group_transfer.h"
#include "laminator/limit_check.h"
#include "laminator/param_store.h"
#include "laminator/status_csv.h"
#include "netsetup/net_discovery.h"
#include "platform/files.h"

#ifndef PELLACOR_VERSION
#define PELLACOR_VERSION "0"
#endif

namespace {
constexpr double kMaxMinutes = 24 * 60;
constexpr std::size_t kMaxMessages = 500;

std::optional<std::vector<StatusSample>> ReadCsvFile(const std::string& path,
                                                     const std::string& target,
                                                     std::size_t& dropped, std::string& error) {
    std::error_code ec;
    if (std::filesystem::exists(path, ec) && !std::filesystem::is_regular_file(path, ec)) {
        error = "The status file \"" + path + "\" cannot be read: it is not a regular file.";
        return std::nullopt;
    }
    std::ifstream in(path, std::ios::binary);
    if (!in) {
        error = "The status file \"" + path + "\" cannot be read: " + std::strerror(errno);
        return std::nullopt;
    }
    std::optional<std::vector<StatusSample>> rows =
        ReadStatusCsv(in, error, StatusHistory::kDefaultCapacity, &dropped, target);
    if (!rows)
        error = "The status file \"" + path + "\" is refused: " + error;
    return rows;
}

// Every group read; the parameters with their marks. Only a value decoded in this run is
// judged against its limits or the baseline: an unread one is no finding.
TargetResult ReadEverything(CliView& view, ReportSection& section, const Backup* baseline) {
    TargetResult result;
    for (std::string_view group : GroupNames()) {
        if (CliView::Interrupted().load())
            break;
        if (!ReadGroup(view, group))
            result.exit = kExitFailure;
    }
    for (const ParameterInfo& info : Catalogue()) {
        ReportParameter rp;
        rp.info = &info;
        if (Store().WasRead(info.key)) {
            rp.value = view.Cell(std::string(info.group), info.row);
            rp.limitProblem = LimitProblem(info, *rp.value);
            if (baseline) {
                const std::string* old = baseline->Value(info.key);
                if (old && *old != *rp.value)
                    rp.baseline = *old;
            }
        }
        section.parameters.push_back(std::move(rp));
    }
    if (Store().WasRead(ParamKey::HeatingRollerTemperature)) {
        const std::string set = Store().Get(ParamKey::HeatingRollerTemperature);
        if (!set.empty())
            section.setCelsius = std::atof(set.c_str());
    }
    return result;
}

// Model and serial number as the laminator gave them in this run; empty when not read.
std::string ReadText(ParamKey key) {
    return Store().WasRead(key) ? Store().Get(key) : std::string();
}

// Where the backup's laminator is not this one: the words for it, empty when it is.
std::string BaselineMismatch(const Backup& baseline) {
    return BackupMismatch(baseline, ReadText(ParamKey::LaminatorModel),
                          ReadText(ParamKey::LaminatorSn));
}

// Before a watch that may last an hour: a baseline of another laminator is refused now,
// not after the readings were taken.
bool BaselineFits(const CommandContext& context, const Backup& baseline, std::string& mismatch) {
    for (const Target& target : context.targets) {
        std::string text;
        RunOnTarget(
            context, target,
            [&](CliView& view, const Target&) {
                ReadGroup(view, kGroupLaminatorInfo);
                mismatch = BaselineMismatch(baseline);
                return TargetResult{};
            },
            text);
        if (!mismatch.empty())
            return false;
    }
    return true;
}

std::string Lowercase(std::string text) {
    for (char& c : text)
        c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    return text;
}

// One search for all of them; each laminator's settings read by its MAC address.
void AddNetworkSettings(ServiceReport& report) {
    CNetDiscovery discovery;
    NetResult result = kNetSuccess;
    const std::vector<FoundLaminator> found = SearchNetwork(discovery, result);
    for (ReportSection& section : report.sections) {
        std::string mac;
        for (const ReportParameter& p : section.parameters) {
            if (p.info->key == ParamKey::MacAddress && p.value)
                mac = Lowercase(*p.value);
        }
        if (mac.empty())
            continue;
        const auto match = std::find_if(found.begin(), found.end(), [&](const FoundLaminator& f) {
            return ReplyMacText(f.reply) == mac;
        });
        if (match == found.end()) {
            section.messages.push_back({NowMs(), "No laminator with MAC address " + mac +
                                                     " answered the network search."});
        } else if (discovery.ReadConfig(*match) == kNetSuccess) {
            section.network = SettingsJson(discovery.m_settings);
        } else {
            section.messages.push_back(
                {NowMs(), "Reading the network settings of " + mac + " failed."});
        }
    }
}
}  // namespace

void AddReportOptions(CLI::App& report, ReportOptions& options) {
    report.add_option("out", options.out, "The page to write (XHTML, or JSON with --json)")
        ->required()
        ->type_name("OUT.html");
    report.add_option("--minutes", options.minutes, "Watch the status for N minutes first")
        ->type_name("N");
    report
        .add_option("--baseline", options.baseline,
                    "Mark the values that differ from this backup (old and new)")
        ->type_name("BACKUP.json");
    report.add_flag("--network", options.network,
                    "Also the network settings of each laminator a network search finds by its "
                    "MAC address");
    report
        .add_option("--from-csv", options.fromCsv,
                    "Take the status over the visit from this file of status --csv")
        ->type_name("FILE");
    report.add_flag("--force", options.force,
                    "Compare with a baseline of another model or serial number all the same");
    report
        .add_option("--since", options.since,
                    "Report a past period from the service record, from this time: 30d, 12h, "
                    "15m or 2026-12-01[T08:00:00Z] (no laminator is asked)")
        ->type_name("T");
    report.add_option("--until", options.until, "The past period's end (now by default)")
        ->type_name("T");
    report
        .add_option("--serial", options.serial,
                    "The past period's laminator, by serial number or key (needed when the "
                    "period holds several)")
        ->type_name("SN");
}

int RunReport(const CommandContext& context, const ReportOptions& options) {
    if (RefusePrinterClass(context))
        return kExitUsage;
    if (!options.serial.empty())
        return UsageError(
            "--serial chooses the laminator of a past period: it goes with --since "
            "or --until.");
    if (options.minutes && !(*options.minutes >= 0 && *options.minutes <= kMaxMinutes))
        return UsageError("--minutes takes a number from 0 to 1440.");
    if (!options.fromCsv.empty() && context.targets.size() != 1)
        return UsageError("--from-csv holds the readings of one laminator; name one target.");
    // OUT checked before a watch, so no reading is taken only to be lost.
    std::string error = ReportOutputProblem(options.out, {&options.baseline, &options.fromCsv});
    if (!error.empty())
        return UsageError(error);
    std::optional<Backup> baseline;
    if (!options.baseline.empty()) {
        baseline = ReadBackupFile(options.baseline, error);
        if (!baseline)
            return UsageError(error);
        std::string mismatch;
        if (!options.force && !BaselineFits(context, *baseline, mismatch))
            return UsageError(mismatch + "; --force compares with it all the same.");
    }
    StatusHistories histories;
    std::map<std::string, std::vector<ReportMessage>> messages;
    std::map<std::string, int> watchExits;
    if (!options.fromCsv.empty()) {
        std::size_t dropped = 0;
        const auto rows =
            ReadCsvFile(options.fromCsv, context.targets.front().Label(), dropped, error);
        if (!rows)
            return UsageError(error);
        if (dropped > 0) {
            const std::string note =
                "The status file holds more readings than a report shows: "
                "the oldest " +
                std::to_string(dropped) + " readings are not shown.";
            messages[context.targets.front().Key()].push_back({NowMs(), note});
            if (!context.json)
                std::fprintf(stderr, "%s\n", note.c_str());
        }
        StatusHistory& history = histories[context.targets.front().Key()];
        for (const StatusSample& s : *rows)
            history.Append(s);
    } else {
        WatchPlan plan;
        if (options.minutes && *options.minutes > 0) {
            plan.untilMs = NowMs() + static_cast<std::int64_t>(*options.minutes * 60000);
            if (!context.json)  // standard error carries JSON lines only
                std::fprintf(stderr, "Watching the status for %g minutes.\n", *options.minutes);
        } else {
            plan.rounds = 1;
        }
        WatchStatus(
            context, plan, histories,
            [&](const Target& target, const nlohmann::json& entry,
                const std::vector<StatusSample>& added) {
                const int exit = entry["exit"].get<int>();
                if (exit != kExitOk && exit != kExitInterrupted)
                    watchExits[target.Key()] = kExitFailure;
                // A message that repeats every cycle is listed once per run of it.
                std::vector<ReportMessage>& list = messages[target.Key()];
                for (const auto& m : entry["messages"]) {
                    const std::string text = m.get<std::string>();
                    if (list.size() < kMaxMessages && (list.empty() || list.back().text != text))
                        list.push_back({added.back().timeMs, text});
                }
            });
    }

    ServiceReport report;
    report.createdMs = NowMs();
    report.version = PELLACOR_VERSION;
    if (baseline)
        NameBaseline(report, options.baseline, *baseline);
    std::vector<int> codes;
    for (const Target& target : context.targets) {
        ReportSection section;
        section.target = target.Label();
        // Cut short: the readings so far are the report; the laminators are not asked again.
        if (CliView::Interrupted().load()) {
            section.exit = kExitInterrupted;
            section.connected = std::nullopt;
        } else {
            std::string text;
            const nlohmann::json entry = RunOnTarget(
                context, target,
                [&](CliView& view, const Target&) {
                    TargetResult result =
                        ReadEverything(view, section, baseline ? &*baseline : nullptr);
                    if (baseline) {
                        section.baselineMismatch = BaselineMismatch(*baseline);
                        if (!section.baselineMismatch.empty() && !options.force)
                            result.exit = kExitUsage;  // changed since the first look
                    }
                    return result;
                },
                text);
            section.target = target.Label();  // a USB device's port and node once opened
            section.exit = entry["exit"].get<int>();
            section.connected = section.exit != kExitUnreachable;
            for (const auto& m : entry["messages"])
                messages[target.Key()].push_back({NowMs(), m.get<std::string>()});
        }
        if (section.parameters.empty()) {  // not reached, or not asked: every value unread
            for (const ParameterInfo& info : Catalogue())
                section.parameters.push_back({&info, std::nullopt, std::nullopt, std::nullopt});
        }
        if (section.exit == kExitOk && watchExits.count(target.Key()) != 0)
            section.exit = kExitFailure;
        section.messages = messages[target.Key()];
        section.history = histories[target.Key()].Snapshot();
        section.warmup = ComputeWarmup(section.history, section.setCelsius);
        codes.push_back(section.exit);
        report.sections.push_back(std::move(section));
    }
    if (options.network && !CliView::Interrupted().load())
        AddNetworkSettings(report);
    int exit = CombinedExit(codes.data(), static_cast<int>(codes.size()));
    report.cutShort = CliView::Interrupted().load();
    if (report.cutShort)
        exit = kExitInterrupted;
    return WriteReportPage(context, options.out, report, exit);
}
