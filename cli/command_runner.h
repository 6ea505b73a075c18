#pragma once
// Runs one command on each target in turn: the link opened, the command run, the link
// closed; one failure does not stop the others. The output has one entry per laminator.
#include <functional>
#include <nlohmann/json.hpp>
#include <string>
#include <vector>

#include "cli/cli_view.h"
#include "cli/stderr_messages.h"
#include "cli/targets.h"

struct TargetResult {
    int exit = 0;
    nlohmann::json data = nlohmann::json::object();  // the command's own keys
    std::string text;                                // its table or lines
    // The text still says something true after a reply did not come (how far a transfer
    // got); otherwise nothing is printed for that laminator.
    bool textSurvivesLinkFailure = false;
};

struct CommandContext {
    std::string command;
    std::vector<Target> targets;
    bool json = false;
    StderrMessageSink* messages = nullptr;
    // For the service record: a file the command reads or writes, and what it sends.
    std::string journalFile;
    nlohmann::json journalDetails = nlohmann::json::object();
    bool journalOperation = true;  // false: only its readings are recorded
};

using TargetCommand = std::function<TargetResult(CliView&, const Target&)>;

// One target: fresh values, the link opened (exit 3 when it cannot be), the command, the
// link closed. A message box that reports a failure turns a success into exit 1; the first
// reply that did not come ends the command there (the view asks the engines to stop).
nlohmann::json RunOnTarget(const CommandContext& context, const Target& target,
                           const TargetCommand& command, std::string& text);
// Every target, then the output: one JSON document or the texts. Returns the exit status.
int RunOnTargets(const CommandContext& context, const TargetCommand& command);
// True, having said why on standard error, when a target is on the printing-class path,
// which carries only reset and firmware.
bool RefusePrinterClass(const CommandContext& context);
// Whether a document or text went to standard output since the last reset.
bool DocumentPrinted();
void ResetDocumentPrinted();
// The last line of a JSON watch: {"command", "exit", "messages"} on one line, the exit as
// the process will end (Ctrl-C after a failure is 130); the messages are the run's own.
int PrintWatchSummary(const CommandContext& context, int exit);
// Prints a document (JSON), its long lists spliced in from `lists`, or the text on
// standard output.
class SplicedJson;
void PrintResult(const CommandContext& context, const nlohmann::json& document,
                 const std::string& text, const SplicedJson* lists = nullptr);
