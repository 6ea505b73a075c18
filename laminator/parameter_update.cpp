#include "laminator/parameter_update.h"

#include <algorithm>

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

std::set<int> RowsOf(std::string_view group, const std::vector<ParameterChange>& changes) {
    std::set<int> rows;
    for (const auto& [p, value] : changes) {
        if (p->group == group)
            rows.insert(p->row);
    }
    return rows;
}

namespace {
std::vector<ParameterChange> Differing(const UpdateOutcome& outcome) {
    std::vector<ParameterChange> differing;
    for (const AppliedChange& c : outcome.changes)
        differing.emplace_back(c.p, c.asked);
    return differing;
}

std::vector<std::string_view> GroupsOf(const std::vector<ParameterChange>& changes) {
    std::vector<const ParameterInfo*> touched;
    for (const auto& [p, value] : changes)
        touched.push_back(p);
    return GroupsOf(touched);
}
}  // namespace

UpdateOutcome CheckParameterChanges(LaminatorView& view,
                                    const std::vector<ParameterChange>& changes) {
    UpdateOutcome outcome;
    for (const ParameterInfo& p : Catalogue()) {
        for (const auto& [q, value] : changes) {
            if (q == &p && Store().Get(p.key) != value)
                outcome.changes.push_back({q, Store().Get(p.key), value, {}});
        }
    }
    const std::vector<ParameterChange> differing = Differing(outcome);
    const std::vector<std::string_view> groups = GroupsOf(differing);
    outcome.groupsToWrite = static_cast<int>(groups.size());
    // The window's rules see the whole group as it would be written: read values and changes.
    for (std::string_view g : groups) {
        SetCurrentGroup(std::string(g));
        for (const ParameterInfo* p : GroupParameters(g))
            view.SetParamCell(std::string(g), p->row, Store().Get(p->key));
        for (const auto& [p, value] : differing) {
            if (p->group == g)
                view.SetParamCell(std::string(g), p->row, value);
        }
        if (!ValidateParameters(view)) {
            outcome.result = UpdateResult::Refused;
            return outcome;
        }
    }
    return outcome;
}

UpdateOutcome ApplyParameterChanges(LaminatorView& view,
                                    const std::vector<ParameterChange>& changes) {
    UpdateOutcome outcome = CheckParameterChanges(view, changes);
    if (outcome.result != UpdateResult::Done || outcome.changes.empty())
        return outcome;
    const std::vector<ParameterChange> differing = Differing(outcome);
    const std::vector<std::string_view> groups = GroupsOf(differing);
    for (std::string_view g : groups) {
        if (view.StopRequested()) {
            outcome.result = UpdateResult::Stopped;
            return outcome;
        }
        const GroupWriteResult written = WriteGroupRows(view, g, RowsOf(g, differing));
        if (written == GroupWriteResult::NoLink) {
            outcome.result = UpdateResult::NoLink;
            return outcome;
        }
        if (written == GroupWriteResult::Refused) {
            outcome.result = UpdateResult::Refused;
            return outcome;
        }
        ++outcome.groupsWritten;
    }
    for (std::string_view g : groups) {
        if (!view.StopRequested())
            ReadGroup(view, g);
    }
    if (view.StopRequested()) {
        outcome.result = UpdateResult::Stopped;
        return outcome;
    }
    for (AppliedChange& c : outcome.changes) {
        c.now = Store().Get(c.p->key);
        if (c.now != c.asked)
            outcome.result = UpdateResult::Differs;
    }
    return outcome;
}
