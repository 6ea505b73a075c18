#pragma once
// Changing parameters on a laminator whose groups a view holds: the checks the command line
// adds to the window's (what the window's editors make impossible), and the write.
#include <optional>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "cli/command_runner.h"
#include "laminator/catalogue.h"

using ParameterChange = std::pair<const ParameterInfo*, std::string>;

// The groups in list order that hold any of `params`.
std::vector<std::string_view> GroupsOf(const std::vector<const ParameterInfo*>& params);
// A value the window's editors could not produce: a read-only parameter, a choice that is not
// in the drop-down list. Its message, or nullopt.
std::optional<std::string> CheckAssignment(const ParameterInfo& p, const std::string& value);
// Puts the values into the view's cells, tests every touched group by the window's rules
// (a refusal says why, sends nothing and gives exit 2), then writes the groups one by one.
// Ctrl-C between two groups stops there and says how far it got.
TargetResult WriteChanges(CliView& view, const std::vector<ParameterChange>& changes);
