// backup, restore and diff: a laminator's parameters saved to a file and put back.
#include <cstdio>

#include "cli/backup_file.h"
#include "cli/commands.h"
#include "cli/exit_codes.h"
#include "cli/json_text.h"
#include "cli/parameter_changes.h"
#include "cli/parameter_names.h"
#include "cli/parameter_values.h"
#include "cli/terminal_text.h"
#include "cli/text_table.h"
#include "laminator/group_transfer.h"

namespace {
bool RefuseManyOrPrinter(const CommandContext& context, const char* what) {
    for (const Target& t : context.targets) {
        if (t.IsPrinterClass()) {
            std::fprintf(stderr, "%s needs --usb or --tcp; the printing-class path has no reads.\n",
                         what);
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
            {"laminator", BytesToJsonText(d.laminator)},
            {"backup", BytesToJsonText(d.backup)}};
}

TextTable DifferenceTable() {
    return TextTable({"GROUP", "PARAMETER", "LAMINATOR", "BACKUP"});
}

void AddRow(TextTable& table, const Difference& d) {
    table.Add({std::string(d.p->group), std::string(d.p->name), d.laminator, d.backup});
}

// Reads every group; false (exit 1 in `result`) when a read failed.
bool ReadEverything(const CommandContext& context, CliView& view, TargetResult& result) {
    ReadAllGroups(view);
    if (context.messages->AnyFailure() || CliView::Interrupted().load()) {
        result.exit = kExitFailure;
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
            std::fprintf(stderr, "%s\n", error.c_str());
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
    const std::optional<Backup> backup = ReadBackupFile(file, error);
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
        return result;
    });
}

int RunRestore(const CommandContext& context, const std::string& file,
               const RestoreOptions& options) {
    if (RefuseManyOrPrinter(context, "restore"))
        return kExitUsage;
    std::string error;
    const std::optional<Backup> backup = ReadBackupFile(file, error);
    if (!backup)
        return UsageError(error);
    // Every value must be one the window could have written, before anything is sent.
    for (const auto& [key, value] : backup->values) {
        const ParameterInfo& p = Parameter(key);
        if (!IsRestored(p) || value.empty())
            continue;
        if (std::optional<std::string> problem = CheckAssignment(p, value))
            return UsageError("The backup file is not valid: " + *problem);
    }
    return RunOnTargets(context, [&](CliView& view, const Target&) {
        TargetResult result;
        if (!ReadEverything(context, view, result))
            return result;
        const std::string model = ModelOf(view);
        if (model != backup->model && !options.force) {
            std::fprintf(stderr,
                         "The backup is of model \"%s\", the laminator is \"%s\"; --force "
                         "restores it all the same.\n",
                         backup->model.c_str(), model.c_str());
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
        result.data["differences"] = restored;
        result.data["skipped"] = skipped;
        result.data["dry-run"] = options.dryRun;
        result.text = table.Empty() ? "Nothing to restore.\n" : table.Render();
        if (!skipped.empty())
            result.text += std::to_string(skipped.size()) +
                           " differing values left alone (read only, or network settings "
                           "without --include-network).\n";
        if (options.dryRun || changes.empty())
            return result;
        TargetResult written = WriteChanges(view, changes);
        result.exit = written.exit;
        return result;
    });
}
