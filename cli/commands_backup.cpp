// backup, restore and diff: a laminator's parameters saved to a file and put back.
#include <cstdio>

#include "cli/backup_file.h"
#include "cli/commands.h"
#include "cli/exit_codes.h"
#include "cli/parameter_changes.h"
#include "cli/parameter_names.h"
#include "cli/parameter_values.h"
#include "cli/terminal_text.h"
#include "cli/text_table.h"
#include "framework/json_text.h"
#include "framework/message_box.h"
#include "laminator/group_transfer.h"
#include "laminator/value_syntax.h"

namespace {
bool RefuseManyOrPrinter(const CommandContext& context, const char* what) {
    for (const Target& t : context.targets) {
        if (t.IsPrinterClass()) {
            MessageBox(std::string(what) +
                       " needs --usb or --tcp; the printing-class path has no reads.");
            return true;
        }
    }
    return false;
}

std::string ModelOf(const CliView& view) {
    return CellOf(view, Parameter(ParamKey::LaminatorModel));
}

// What a restore puts back: the settings, not the counters or the model name.
bool IsRestored(const ParameterInfo& p) {
    return IsWritable(p) && p.key != ParamKey::TotalCardAmount && p.key != ParamKey::LaminatorModel;
}

struct Difference {
    const ParameterInfo* p;
    std::string laminator;
    std::string backup;
};

std::vector<Difference> Differences(const CliView& view, const Backup& backup) {
    std::vector<Difference> found;
    for (const auto& [key, value] : backup.values) {
        const ParameterInfo& p = Parameter(key);
        const std::string now = CellOf(view, p);
        if (now != value)
            found.push_back({&p, now, value});
    }
    return found;
}

nlohmann::json DifferenceJson(const Difference& d) {
    return {{"key", StableKey(d.p->name)},
            {"name", std::string(d.p->name)},
            {"group", std::string(d.p->group)},
            {"laminator", ValueJson(*d.p, d.laminator)},
            {"backup", ValueJson(*d.p, d.backup)}};
}

TextTable DifferenceTable() {
    return TextTable({"GROUP", "PARAMETER", "LAMINATOR", "BACKUP"});
}

void AddRow(TextTable& table, const Difference& d) {
    table.Add({std::string(d.p->group), std::string(d.p->name), d.laminator, d.backup});
}

// A backup whose values all have the form a read gives: "155abc" is no temperature.
std::optional<Backup> ReadCheckedBackup(const std::string& file, std::string& error) {
    std::optional<Backup> backup = ReadBackupFile(file, error);
    if (!backup)
        return std::nullopt;
    for (auto& [key, value] : backup->values) {
        const ParameterInfo& p = Parameter(key);
        if (value.empty())
            continue;
        const ValueSyntax syntax = ParseParameterValue(p, value);
        if (!syntax.value) {
            error =
                "The backup file is not valid: " + ValueSyntaxMessage(p, value, syntax.accepted);
            return std::nullopt;
        }
        value = *syntax.value;  // "close" compares equal to the "Close" a read gives
    }
    return backup;
}

// Reads every group; false (exit 1 in `result`) when a read failed.
bool ReadEverything(const CommandContext& context, CliView& view, TargetResult& result) {
    ReadAllGroups(view);
    if (context.messages->AnyFailure() || view.StopRequested()) {
        result.exit = StoppedExit();
        return false;
    }
    return true;
}
}  // namespace

int RunBackup(const CommandContext& context, const std::string& file) {
    if (RefuseManyOrPrinter(context, "backup"))
        return kExitUsage;
    if (context.targets.size() != 1)
        return UsageError("backup saves one laminator: name exactly one target.");
    return RunOnTargets(context, [&](CliView& view, const Target&) {
        TargetResult result;
        if (!ReadEverything(context, view, result))
            return result;
        Backup backup;
        backup.model = ModelOf(view);
        backup.identity["serial-number"] = CellOf(view, Parameter(ParamKey::LaminatorSn));
        backup.identity["main-version"] = CellOf(view, Parameter(ParamKey::MainVersion));
        backup.identity["main-boot"] = CellOf(view, Parameter(ParamKey::MainBoot));
        backup.identity["model-id"] = CellOf(view, Parameter(ParamKey::ModelId));
        for (const ParameterInfo& p : Catalogue())
            backup.values.emplace_back(p.key, CellOf(view, p));
        std::string error;
        if (!WriteBackupFile(file, backup, error)) {
            MessageBox(error);
            result.exit = kExitFailure;
            return result;
        }
        result.data["file"] = file;
        result.data["model"] = BytesToJsonText(backup.model);
        result.data["parameters"] = backup.values.size();
        result.text = "Saved " + std::to_string(backup.values.size()) + " parameters of \"" +
                      EscapeControls(backup.model) + "\" to " + EscapeControls(file) + ".\n";
        return result;
    });
}

int RunDiff(const CommandContext& context, const std::string& file) {
    if (RefuseManyOrPrinter(context, "diff"))
        return kExitUsage;
    std::string error;
    const std::optional<Backup> backup = ReadCheckedBackup(file, error);
    if (!backup)
        return UsageError(error);
    return RunOnTargets(context, [&](CliView& view, const Target&) {
        TargetResult result;
        if (!ReadEverything(context, view, result))
            return result;
        nlohmann::json list = nlohmann::json::array();
        TextTable table = DifferenceTable();
        for (const Difference& d : Differences(view, *backup)) {
            list.push_back(DifferenceJson(d));
            AddRow(table, d);
        }
        result.data["differences"] = list;
        result.data["model"] = {{"laminator", BytesToJsonText(ModelOf(view))},
                                {"backup", BytesToJsonText(backup->model)}};
        result.text = table.Empty() ? "No differences.\n" : table.Render();
        // As diff(1): 1 tells a script that the two differ.
        if (!table.Empty())
            result.exit = kExitDifferent;
        return result;
    });
}

int RunRestore(const CommandContext& context, const std::string& file,
               const RestoreOptions& options) {
    if (RefuseManyOrPrinter(context, "restore"))
        return kExitUsage;
    std::string error;
    const std::optional<Backup> backup = ReadCheckedBackup(file, error);
    if (!backup)
        return UsageError(error);
    // Every value must be one the window could have written, before anything is sent.
    for (const auto& [key, value] : backup->values) {
        const ParameterInfo& p = Parameter(key);
        if (!IsRestored(p) || value.empty())
            continue;
        const CheckedValue checked = CheckAssignment(p, value);
        if (!checked.value)
            return UsageError("The backup file is not valid: " + checked.problem);
    }
    return RunOnTargets(context, [&](CliView& view, const Target&) {
        TargetResult result;
        if (!ReadEverything(context, view, result))
            return result;
        const std::string model = ModelOf(view);
        if (model != backup->model && !options.force) {
            MessageBox("The backup is of model \"" + backup->model + "\", the laminator is \"" +
                       model + "\"; --force restores it all the same.");
            result.exit = kExitUsage;
            return result;
        }
        std::vector<ParameterChange> changes;
        nlohmann::json restored = nlohmann::json::array();
        nlohmann::json skipped = nlohmann::json::array();
        TextTable table = DifferenceTable();
        for (const Difference& d : Differences(view, *backup)) {
            const bool network = d.p->group == kGroupInterfaceSetup;
            if (!IsRestored(*d.p) || d.backup.empty() || (network && !options.includeNetwork)) {
                skipped.push_back(DifferenceJson(d));
                continue;
            }
            changes.emplace_back(d.p, d.backup);
            restored.push_back(DifferenceJson(d));
            AddRow(table, d);
        }
        result.data["dry-run"] = options.dryRun;
        result.data["differences"] = nlohmann::json::array();
        result.data["skipped"] = skipped;
        // A dry run is tested exactly as the restore would be, and ends as it would.
        UpdateOutcome outcome;
        result.exit =
            options.dryRun
                ? (CheckParameterChanges(view, changes).result == UpdateResult::Refused ? kExitUsage
                                                                                        : kExitOk)
                : WriteChanges(view, changes, outcome);
        if (result.exit != kExitOk)
            return result;  // nothing, or not all, went as the table would say
        result.data["differences"] = restored;
        result.text = table.Empty() ? "Nothing to restore.\n" : table.Render();
        if (!skipped.empty())
            result.text += std::to_string(skipped.size()) +
                           " differing values left alone (read only, or network settings "
                           "without --include-network).\n";
        return result;
    });
}
