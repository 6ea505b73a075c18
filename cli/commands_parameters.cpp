// info, get and set: whole groups read and written through the engines.
#include <algorithm>
#include <cstdio>
#include <map>
#include <set>

#include "cli/commands.h"
#include "cli/exit_codes.h"
#include "cli/parameter_changes.h"
#include "cli/parameter_names.h"
#include "cli/parameter_values.h"
#include "cli/text_table.h"
#include "framework/json_text.h"
#include "framework/message_box.h"
#include "laminator/group_transfer.h"
#include "laminator/param_store.h"

namespace {
TargetResult ParameterListing(CliView& view, const std::vector<const ParameterInfo*>& params,
                              const char* jsonKey) {
    TargetResult result;
    for (std::string_view g : GroupsOf(params))
        ReadGroup(view, g);
    TextTable table({"GROUP", "PARAMETER", "VALUE", "UNIT", "ACCESS"});
    nlohmann::json list = nlohmann::json::array();
    for (const ParameterInfo* p : params) {
        list.push_back(ParameterJson(view, *p));
        table.Add({std::string(p->group), std::string(p->name), CellOf(view, *p),
                   std::string(p->unit), std::string(AttributeText(*p))});
    }
    result.data[jsonKey] = list;
    result.text = table.Render();
    return result;
}
}  // namespace

int UsageError(const std::string& text) {
    MessageBox(text);
    return kExitUsage;
}

int RunInfo(const CommandContext& context) {
    if (RefusePrinterClass(context))
        return kExitUsage;
    std::vector<const ParameterInfo*> params;
    for (std::string_view g : {kGroupVersionInfo, kGroupLaminatorInfo}) {
        for (const ParameterInfo* p : GroupParameters(g))
            params.push_back(p);
    }
    return RunOnTargets(context, [&](CliView& view, const Target&) {
        TargetResult result = ParameterListing(view, params, "parameters");
        nlohmann::json info = nlohmann::json::object();
        for (const ParameterInfo* p : params)
            info[StableKey(p->name)] = ValueJson(*p, CellOf(view, *p));
        result.data["info"] = info;
        return result;
    });
}

int RunGet(const CommandContext& context, const std::vector<std::string>& names) {
    if (RefusePrinterClass(context))
        return kExitUsage;
    std::vector<const ParameterInfo*> params;
    auto add = [&](const ParameterInfo* p) {
        if (std::find(params.begin(), params.end(), p) == params.end())
            params.push_back(p);
    };
    for (const std::string& name : names) {
        if (std::string_view group = FindGroupByName(name); !group.empty()) {
            for (const ParameterInfo* p : GroupParameters(group))
                add(p);
        } else if (const ParameterInfo* p = FindParameterByName(name)) {
            add(p);
        } else {
            return UsageError("No parameter or group is named \"" + name + "\"." +
                              NearestKeys(name, true));
        }
    }
    if (names.empty()) {
        for (const ParameterInfo& p : Catalogue())
            add(&p);
    }
    return RunOnTargets(context, [&](CliView& view, const Target&) {
        return ParameterListing(view, params, "parameters");
    });
}

int RunSet(const CommandContext& context, const std::vector<std::string>& assignments) {
    if (RefusePrinterClass(context))
        return kExitUsage;
    std::vector<ParameterChange> wanted;
    for (const std::string& a : assignments) {
        const std::size_t eq = a.find('=');
        if (eq == std::string::npos)
            return UsageError("set takes PARAMETER=VALUE, not \"" + a + "\".");
        const std::string name = a.substr(0, eq);
        const ParameterInfo* p = FindParameterByName(name);
        if (!p)
            return UsageError("No parameter is named \"" + name + "\"." + NearestKeys(name, false));
        for (const auto& [q, value] : wanted) {
            if (q == p)
                return UsageError("\"" + std::string(p->name) + "\" is named twice.");
        }
        const CheckedValue checked = CheckAssignment(*p, a.substr(eq + 1));
        if (!checked.value)
            return UsageError(checked.problem);
        wanted.emplace_back(p, *checked.value);
    }
    return RunOnTargets(context, [&](CliView& view, const Target&) {
        std::vector<const ParameterInfo*> params;
        for (const auto& [p, value] : wanted)
            params.push_back(p);
        for (std::string_view g : GroupsOf(params))
            ReadGroup(view, g);
        TargetResult result;
        // Values that were not read are not written over.
        if (context.messages->AnyFailure() || view.StopRequested()) {
            result.exit = StoppedExit();
            return result;
        }
        UpdateOutcome outcome;
        result.exit = WriteChanges(view, wanted, outcome);
        nlohmann::json changes = nlohmann::json::array();
        TextTable table({"PARAMETER", "BEFORE", "AFTER", "UNIT"});
        if (result.exit == kExitOk || outcome.result == UpdateResult::Differs) {
            for (const AppliedChange& c : outcome.changes) {
                changes.push_back({{"key", StableKey(c.p->name)},
                                   {"name", std::string(c.p->name)},
                                   {"group", std::string(c.p->group)},
                                   {"before", ValueJson(*c.p, c.before)},
                                   {"after", ValueJson(*c.p, c.now)}});
                table.Add({std::string(c.p->name), c.before, c.now, std::string(c.p->unit)});
            }
        }
        result.data["changes"] = changes;
        result.text =
            table.Empty() ? (result.exit == kExitOk ? "Nothing changed.\n" : "") : table.Render();
        return result;
    });
}
