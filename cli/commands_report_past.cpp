// report --since/--until: a past period of one laminator from the service record, through
// the same page as a watched visit. No laminator is asked and no link is opened.
#include <algorithm>
#include <cstdlib>
#include <filesystem>
#include <map>

#include "cli/backup_file.h"
#include "cli/commands.h"
#include "cli/exit_codes.h"
#include "cli/journal_json.h"
#include "cli/parameter_names.h"
#include "cli/parameter_values.h"
#include "cli/report_page.h"
#include "framework/file_write.h"
#include "framework/json_text.h"
#include "framework/message_box.h"
#include "journal/journal_db.h"
#include "journal/journal_history.h"
#include "laminator/limit_check.h"
#include "laminator/status_csv.h"
#include "laminator/warmup_figures.h"

#ifndef PELLACOR_VERSION
#define PELLACOR_VERSION "0"
#endif

namespace {
// The laminators the options point at: by serial or key, by the link a target names, or all.
std::vector<LaminatorRow> Chosen(const CommandContext& context, const std::string& serial,
                                 std::vector<LaminatorRow> rows) {
    const auto named = [&](const LaminatorRow& row) {
        if (!serial.empty())
            return row.key == serial || row.identity.serial == serial;
        if (context.targets.empty())
            return true;
        return std::any_of(context.targets.begin(), context.targets.end(), [&](const Target& t) {
            return row.identity.link == t.Key() || row.key == "link:" + t.Key();
        });
    };
    rows.erase(std::remove_if(rows.begin(), rows.end(), [&](const auto& r) { return !named(r); }),
               rows.end());
    return rows;
}

std::string Names(const std::vector<LaminatorRow>& rows) {
    std::string text;
    for (const LaminatorRow& r : rows)
        text += (text.empty() ? "" : ", ") + r.key;
    return text;
}

std::string Chooser(const CommandContext& context, const std::string& serial) {
    if (!serial.empty())
        return "\"" + serial + "\"";
    std::string text;
    for (const Target& t : context.targets)
        text += (text.empty() ? "reached by " : " or ") + t.Key();
    return text;
}

// The parameters as the period's confirmed operations last gave them, by key: the values a
// `get` or `info` read, the new values a `set` read back.
std::map<std::string, nlohmann::json> LastValues(const std::vector<StoredOperation>& operations) {
    std::map<std::string, nlohmann::json> values;
    const auto take = [&](const nlohmann::json& list, const char* field) {
        if (!list.is_array())
            return;
        for (const auto& p : list) {
            if (p.is_object() && p.contains("key") && p["key"].is_string() && p.contains(field) &&
                !p[field].is_null())
                values[p["key"].get<std::string>()] = p[field];
        }
    };
    for (const StoredOperation& o : operations) {
        if (o.record.result != "done")
            continue;
        const nlohmann::json d = DetailsJson(o.record.details);
        if (!d.is_object())
            continue;
        if (d.contains("parameters"))
            take(d["parameters"], "value");
        if (d.contains("changes"))
            take(d["changes"], "after");
    }
    return values;
}

// Every parameter with its last value in the period, judged against its limits and the
// baseline as a visit's are; compared as the command line's JSON values, so 12.50 in a
// backup is 12.5 from a listing.
void FillParameters(ReportSection& section, const std::vector<StoredOperation>& operations,
                    const Backup* baseline) {
    const std::map<std::string, nlohmann::json> values = LastValues(operations);
    for (const ParameterInfo& info : Catalogue()) {
        ReportParameter rp;
        rp.info = &info;
        const auto found = values.find(StableKey(info.name));
        if (found != values.end()) {
            const nlohmann::json& v = found->second;
            rp.value = v.is_string()
                           ? JsonTextToBytes(v.get<std::string>()).value_or(v.get<std::string>())
                           : v.dump();
            rp.limitProblem = LimitProblem(info, *rp.value);
            const std::string* old = baseline ? baseline->Value(info.key) : nullptr;
            if (old && ValueJson(info, *old) != v)
                rp.baseline = *old;
        }
        section.parameters.push_back(std::move(rp));
    }
}

std::string PeriodWords(const JournalQuery& q) {
    return (q.sinceMs ? "between " + IsoTime(*q.sinceMs) : std::string("from its first record")) +
           " and " + IsoTime(*q.untilMs);
}
}  // namespace

int RunPastReport(const CommandContext& context, const ReportOptions& options,
                  const std::string& journal) {
    if (options.minutes || !options.fromCsv.empty() || options.network)
        return UsageError(
            "--since and --until report a past period from the service record; --minutes, "
            "--from-csv and --network ask the laminators now.");
    if (!options.serial.empty() && !context.targets.empty())
        return UsageError("Name the laminator by --serial or by a target, not both.");
    JournalQuery query;
    if (const std::optional<int> refused = ParsePeriod(options.since, options.until, query))
        return *refused;
    if (!query.untilMs)
        query.untilMs = NowMs();
    if (query.sinceMs && *query.sinceMs >= *query.untilMs)
        return UsageError("--since must come before --until.");
    std::string error = ReportOutputProblem(options.out, {&options.baseline, &journal});
    if (!error.empty())
        return UsageError(error);
    std::optional<Backup> baseline;
    if (!options.baseline.empty()) {
        baseline = ReadBackupFile(options.baseline, error);
        if (!baseline)
            return UsageError(error);
    }
    if (journal.empty()) {
        MessageBox(
            "No service record is kept (--no-journal, or no home folder): there is no "
            "past period to report.");
        return kExitFailure;
    }
    std::error_code ec;
    if (!std::filesystem::exists(journal, ec)) {
        // Opening would make an empty one: say there is none instead.
        MessageBox("There is no service record at " + journal + ": no past period to report.");
        return kExitFailure;
    }
    std::unique_ptr<JournalDb> db = JournalDb::Open(journal, error);
    if (!db) {
        MessageBox("The service record cannot be opened: " + error + ".");
        return kExitFailure;
    }
    const std::vector<LaminatorRow> chosen = Chosen(context, options.serial, db->Laminators());
    if (chosen.empty() && (!options.serial.empty() || !context.targets.empty())) {
        MessageBox("The service record " + journal + " holds no laminator " +
                   Chooser(context, options.serial) + ".");
        return kExitFailure;
    }
    std::vector<LaminatorRow> inPeriod;
    for (const LaminatorRow& row : chosen) {
        JournalQuery one = query;
        one.serial = row.key;
        if (db->CountRecords(one) > 0)
            inPeriod.push_back(row);
    }
    if (inPeriod.size() > 1)
        return UsageError("The service record holds " + std::to_string(inPeriod.size()) +
                          " laminators " + PeriodWords(query) + ": " + Names(inPeriod) +
                          "; choose one with --serial.");
    if (inPeriod.empty()) {
        MessageBox("The service record " + journal + " holds nothing of " +
                   (chosen.size() == 1 ? chosen.front().key : std::string("any laminator")) + " " +
                   PeriodWords(query) + "; no report was written.");
        return kExitFailure;
    }
    const LaminatorRow& row = inPeriod.front();
    if (baseline && !options.force) {
        const std::string mismatch =
            BackupMismatch(*baseline, row.identity.model, row.identity.serial);
        if (!mismatch.empty())
            return UsageError(mismatch + "; --force compares with it all the same.");
    }

    query.serial = row.key;
    ReportPeriod period;
    period.sinceMs = query.sinceMs;
    period.untilMs = *query.untilMs;
    period.key = row.key;
    period.identity = row.identity;
    period.operations = db->Operations(query);
    period.readings = db->Readings(query);
    db.reset();

    ServiceReport report;
    report.createdMs = NowMs();
    report.version = PELLACOR_VERSION;
    if (baseline)
        NameBaseline(report, options.baseline, *baseline);
    ReportSection section;
    section.target = row.identity.serial.empty() ? row.key : row.identity.serial;
    section.connected = std::nullopt;
    FillParameters(section, period.operations, baseline ? &*baseline : nullptr);
    // The set temperature the period last gave stands for all of it, as a visit's last read
    // stands for the visit.
    for (const ReportParameter& p : section.parameters) {
        if (p.info->key == ParamKey::HeatingRollerTemperature && p.value && !p.value->empty())
            section.setCelsius = std::atof(p.value->c_str());
    }
    section.history = HistoryOfReadings(period.readings);
    section.warmup = ComputeWarmup(section.history, section.setCelsius);
    section.period = std::move(period);
    report.sections.push_back(std::move(section));
    return WriteReportPage(context, options.out, report, kExitOk);
}
