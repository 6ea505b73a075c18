#include "cli/parameter_changes.h"

#include <algorithm>
#include <cstdio>

#include "cli/exit_codes.h"
#include "cli/parameter_names.h"
#include "laminator/group_transfer.h"
#include "laminator/param_store.h"
#include "laminator/validation.h"

std::vector<std::string_view> GroupsOf(const std::vector<const ParameterInfo*>& params) {
    std::vector<std::string_view> groups;
    for (std::string_view g : GroupNames()) {
        if (std::any_of(params.begin(), params.end(),
                        [&](const ParameterInfo* p) { return p->group == g; }))
            groups.push_back(g);
    }
    return groups;
}

std::optional<std::string> CheckAssignment(const ParameterInfo& p, const std::string& value) {
    if (!IsWritable(p))
        return "\"" + std::string(p.name) + "\" is read only.";
    if (p.encoding == Encoding::ENUM &&
        std::find(p.choices.begin(), p.choices.end(), value) == p.choices.end()) {
        std::string list;
        for (std::string_view c : p.choices)
            list += (list.empty() ? "" : ", ") + ("\"" + std::string(c) + "\"");
        return "\"" + std::string(p.name) + "\" takes one of " + list + ".";
    }
    return std::nullopt;
}

TargetResult WriteChanges(CliView& view, const std::vector<ParameterChange>& changes) {
    TargetResult result;
    std::vector<const ParameterInfo*> touched;
    for (const auto& [p, value] : changes)
        touched.push_back(p);
    const std::vector<std::string_view> groups = GroupsOf(touched);
    for (const auto& [p, value] : changes)
        view.SetCell(std::string(p->group), p->row, value);
    for (std::string_view g : groups) {
        SetCurrentGroup(std::string(g));
        if (!ValidateParameters(view)) {
            result.exit = kExitUsage;
            return result;
        }
    }
    int written = 0;
    for (std::string_view g : groups) {
        if (CliView::Interrupted().load()) {
            std::fprintf(stderr, "Stopped: %d of %zu groups written.\n", written, groups.size());
            result.exit = kExitFailure;
            return result;
        }
        if (WriteGroup(view, g) != GroupWriteResult::Written) {
            result.exit = kExitFailure;
            return result;
        }
        ++written;
    }
    return result;
}
