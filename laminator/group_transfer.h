#pragma once
// Whole groups read and written on the link in use, on the calling thread: what a front end
// that does not show one group at a time (the command line, backups) needs of the read and
// write engines. The view's cells of each group are filled and read as the window's are.
#include <set>
#include <string_view>

#include "laminator/laminator_view.h"

// Makes `group` the current group, then runs the parameter read (and, for "Laminator info",
// the model name read) on the link in use. True only when every value of the group was
// decoded from a reply in this read (Store().WasRead); false when any was not, or no link.
bool ReadGroup(LaminatorView& view, std::string_view group);
// Every group in list order.
bool ReadAllGroups(LaminatorView& view);
// Makes `group` the current group, tests its cells with the window's rules (a refusal says
// why and sends nothing), then writes it (and the model name for "Laminator info").
enum class GroupWriteResult { Written, Refused, NoLink };
GroupWriteResult WriteGroup(LaminatorView& view, std::string_view group);
// As WriteGroup, sending only the blocks that hold one of `rows` of the group, and the model
// name only when its row is among them.
GroupWriteResult WriteGroupRows(LaminatorView& view, std::string_view group,
                                const std::set<int>& rows);
