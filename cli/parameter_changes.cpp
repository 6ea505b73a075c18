#include "cli/parameter_changes.h"

#include "cli/exit_codes.h"
#include "cli/parameter_names.h"
#include "framework/message_box.h"
#include "laminator/value_syntax.h"

CheckedValue CheckAssignment(const ParameterInfo& p, const std::string& value) {
    CheckedValue checked;
    if (!IsWritable(p)) {
        checked.problem = "\"" + std::string(p.name) + "\" is read only.";
        return checked;
    }
    ValueSyntax syntax = ParseParameterValue(p, value);
    if (!syntax.value)
        checked.problem = ValueSyntaxMessage(p, value, syntax.accepted);
    checked.value = std::move(syntax.value);
    return checked;
}

int StoppedExit() {
    return CliView::Interrupted().load() ? kExitInterrupted : kExitFailure;
}

int WriteChanges(CliView& view, const std::vector<ParameterChange>& changes,
                 UpdateOutcome& outcome) {
    outcome = ApplyParameterChanges(view, changes);
    switch (outcome.result) {
        case UpdateResult::Done:
            return kExitOk;
        case UpdateResult::Refused:
            return kExitUsage;
        case UpdateResult::NoLink:
            return kExitFailure;
        case UpdateResult::Stopped:
            if (CliView::Interrupted().load())
                MessageBox("Stopped: " + std::to_string(outcome.groupsWritten) + " of " +
                           std::to_string(outcome.groupsToWrite) + " groups written.");
            return StoppedExit();
        case UpdateResult::Differs:
            for (const AppliedChange& c : outcome.changes) {
                if (c.now != c.asked)
                    MessageBox("\"" + std::string(c.p->name) + "\" was written as \"" + c.asked +
                               "\" but reads back \"" + c.now + "\".");
            }
            return kExitFailure;
    }
    return kExitFailure;
}
