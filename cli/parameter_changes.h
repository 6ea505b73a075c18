#pragma once
// Changing parameters from the command line: the checks a typed value must pass before any
// link is opened, and the change itself through the laminator's update engine.
#include <optional>
#include <string>
#include <vector>

#include "cli/command_runner.h"
#include "laminator/catalogue.h"
#include "laminator/parameter_update.h"

struct CheckedValue {
    std::optional<std::string> value;  // as the laminator shows it
    std::string problem;               // why it was refused
};
// A value the window's editors could not produce or that is not a number of the
// parameter's kind: a read-only parameter, an unknown choice, "155abc", "1e1", "+5".
CheckedValue CheckAssignment(const ParameterInfo& p, const std::string& value);
// Writes what differs and reads it back. Exit 0 when every value reads back as asked, 2 when
// a limit refused one (nothing sent), 1 otherwise; says how far an interrupted write got.
// `outcome` holds the values that differed with what the laminator held before and after.
int WriteChanges(CliView& view, const std::vector<ParameterChange>& changes,
                 UpdateOutcome& outcome);
// The exit status of a laminator operation that stopped: 130 after an interrupt, else 1.
int StoppedExit();
