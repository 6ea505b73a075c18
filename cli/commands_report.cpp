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
#include "cli/file_write.h"
#include "cli/network_search.h"
#include "cli/service_report.h"
#include "cli/status_watch.h"
#include "laminator/group_transfer.h"
#include "laminator/limit_check.h"
#include "laminator/status_csv.h"
#include "netsetup/net_discovery.h"

#ifndef PELLACOR_VERSION
#define PELLACOR_VERSION "0"
#endif

namespace {
constexpr double kMaxMinutes = 24 * 60;
constexpr std::size_t kMaxMessages = 500;

bool WriteWhole(const std::string& path, const std::string& text, std::string& error) {
    return WriteFileWhole(path, text, "The report", error);
}

std::optional<std::vector<StatusSample>> ReadCsvFile(const std::string& path, std::string& error) {
    std::ifstream in(path, std::ios::binary);
    if (!in) {
        error = "The status file \"" + path + "\" cannot be read: " + std::strerror(errno);
        return std::nullopt;
    }
    std::optional<std::vector<StatusSample>> rows = ReadStatusCsv(in, error);
    if (!rows)
        error = "The status file \"" + path + "\" is refused: " + error;
    return rows;
}

// Every group read; the parameters with their marks.
TargetResult ReadEverything(CliView& view, ReportSection& section, const Backup* baseline) {
    TargetResult result;
    for (std::string_view group : GroupNames()) {
        if (CliView::Interrupted().load())
            break;
        const bool read = ReadGroup(view, group);
        for (const ParameterInfo* p : GroupParameters(group)) {
            ReportParameter rp;
            rp.info = p;
            if (read) {
                rp.value = view.Cell(std::string(p->group), p->row);
                rp.limitProblem = LimitProblem(*p, *rp.value);
                if (baseline) {
                    const std::string* old = baseline->Value(p->key);
                    if (old && *old != *rp.value)
                        rp.baseline = *old;
                }
            }
            section.parameters.push_back(std::move(rp));
        }
        if (!read)
            result.exit = kExitFailure;
    }
    for (const ReportParameter& p : section.parameters) {
        if (p.info->key == ParamKey::HeatingRollerTemperature && p.value && !p.value->empty())
            section.setCelsius = std::atof(p.value->c_str());
    }
    return result;
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
            section.messages.push_back("No laminator with MAC address " + mac +
                                       " answered the network search.");
        } else if (discovery.ReadConfig(*match) == kNetSuccess) {
            section.network = SettingsJson(discovery.m_settings);
        } else {
            section.messages.push_back("Reading the network settings of " + mac + " failed.");
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
}

int RunReport(const CommandContext& context, const ReportOptions& options) {
    if (RefusePrinterClass(context))
        return kExitUsage;
    if (options.minutes && !(*options.minutes >= 0 && *options.minutes <= kMaxMinutes))
        return UsageError("--minutes takes a number from 0 to 1440.");
    if (!options.fromCsv.empty() && context.targets.size() != 1)
        return UsageError("--from-csv holds the readings of one laminator; name one target.");
    std::optional<Backup> baseline;
    std::string error;
    if (!options.baseline.empty()) {
        baseline = ReadBackupFile(options.baseline, error);
        if (!baseline)
            return UsageError(error);
    }
    StatusHistories histories;
    std::map<std::string, std::vector<std::string>> messages;
    if (!options.fromCsv.empty()) {
        const auto rows = ReadCsvFile(options.fromCsv, error);
        if (!rows)
            return UsageError(error);
        StatusHistory& history = histories[context.targets.front().Key()];
        for (const StatusSample& s : *rows)
            history.Append(s);
    } else {
        WatchPlan plan;
        if (options.minutes && *options.minutes > 0) {
            plan.untilMs = NowMs() + static_cast<std::int64_t>(*options.minutes * 60000);
            std::fprintf(stderr, "Watching the status for %g minutes.\n", *options.minutes);
        } else {
            plan.rounds = 1;
        }
        WatchStatus(context, plan, histories,
                    [&](const Target& target, const nlohmann::json& entry, const StatusSample&) {
                        // A message that repeats every cycle is listed once per run of it.
                        std::vector<std::string>& list = messages[target.Key()];
                        for (const auto& m : entry["messages"]) {
                            const std::string text = m.get<std::string>();
                            if (list.size() < kMaxMessages && (list.empty() || list.back() != text))
                                list.push_back(text);
                        }
                    });
    }

    ServiceReport report;
    report.createdMs = NowMs();
    report.version = PELLACOR_VERSION;
    report.baselineFile = options.baseline;
    std::vector<int> codes;
    for (const Target& target : context.targets) {
        if (CliView::Interrupted().load())
            break;
        ReportSection section;
        std::string text;
        const nlohmann::json entry = RunOnTarget(
            context, target,
            [&](CliView& view, const Target&) {
                return ReadEverything(view, section, baseline ? &*baseline : nullptr);
            },
            text);
        section.target = target.Label();  // a USB device's port and node once it was opened
        section.exit = entry["exit"].get<int>();
        section.messages = messages[target.Key()];
        for (const auto& m : entry["messages"])
            section.messages.push_back(m.get<std::string>());
        section.history = histories[target.Key()].Snapshot();
        section.warmup = ComputeWarmup(section.history, section.setCelsius);
        codes.push_back(section.exit);
        report.sections.push_back(std::move(section));
    }
    if (options.network && !CliView::Interrupted().load())
        AddNetworkSettings(report);
    int exit = CombinedExit(codes.data(), static_cast<int>(codes.size()));
    if (CliView::Interrupted().load())
        exit = kExitFailure;
    nlohmann::json doc = ReportJson(report);
    const std::string page =
        context.json ? doc.dump(2, ' ', false, nlohmann::json::error_handler_t::replace) + "\n"
                     : ReportXhtml(report);
    const bool written = WriteWhole(options.out, page, error);
    if (!written) {
        std::fprintf(stderr, "%s\n", error.c_str());
        exit = kExitFailure;
    }
    if (context.json) {
        doc["command"] = context.command;
        doc["exit"] = exit;
        doc["file"] = options.out;
        PrintResult(context, doc, "");
    } else if (written) {
        std::printf("Wrote %s (%zu laminator%s).\n", options.out.c_str(), report.sections.size(),
                    report.sections.size() == 1 ? "" : "s");
    }
    return exit;
}
