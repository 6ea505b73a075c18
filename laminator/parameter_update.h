#pragma once
// Changing some parameters of a laminator whose groups were just read: only the values that
// differ from what it holds are written, only the blocks that hold them are sent, and the
// groups written are read back, so what is reported is what the laminator now holds.
#include <set>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "laminator/catalogue.h"
#include "laminator/laminator_view.h"

// A parameter and the value asked for, in the form a read shows it.
using ParameterChange = std::pair<const ParameterInfo*, std::string>;

struct AppliedChange {
    const ParameterInfo* p = nullptr;
    std::string before;  // as read before writing
    std::string asked;
    std::string now;  // as read back after writing
};

enum class UpdateResult {
    Done,     // every change reads back as asked (or nothing differed)
    Refused,  // a limit refused a value; it said why and nothing was sent
    Stopped,  // the view asked to stop (an interrupt or a reply that did not come)
    Differs,  // written, but a value reads back other than asked
    NoLink,
};

struct UpdateOutcome {
    UpdateResult result = UpdateResult::Done;
    std::vector<AppliedChange> changes;  // the values that differed, in catalogue order
    int groupsWritten = 0;
    int groupsToWrite = 0;
};

// The groups in list order that hold any of `params`.
std::vector<std::string_view> GroupsOf(const std::vector<const ParameterInfo*>& params);
// The rows of `group` among `changes`.
std::set<int> RowsOf(std::string_view group, const std::vector<ParameterChange>& changes);
// What a change would write, tested as the write would test it, with nothing sent: Refused
// (having said why) or Done, with the values that differ.
UpdateOutcome CheckParameterChanges(LaminatorView& view,
                                    const std::vector<ParameterChange>& changes);
// Compares with the store (the values the last read brought), tests every group touched by
// the window's rules before anything is sent, writes group by group, then reads them back.
UpdateOutcome ApplyParameterChanges(LaminatorView& view,
                                    const std::vector<ParameterChange>& changes);
