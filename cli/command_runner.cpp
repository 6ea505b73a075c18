#include "cli/command_runner.h"

#include <chrono>
#include <cstdio>

#include "cli/cli_journal.h"
#include "cli/exit_codes.h"
#include "cli/spliced_json.h"
#include "framework/message_box.h"
#include "laminator/param_store.h"
#include "laminator/status_history.h"
#include "link/frame_trace.h"
#include "link/reply_wait.h"

nlohmann::json RunOnTarget(const CommandContext& context, const Target& target,
                           const TargetCommand& command, std::string& text) {
    // Values of an earlier laminator must never stand in for this one's.
    Store().Clear();
    MotorType = 0;
    // What was said before this laminator (a file's problem, a search's overflow) belongs to
    // the whole run; its own messages go into its entry.
    context.messages->SetAsideForRun();
    context.messages->SetTarget(target.Label());
    SetFrameTraceTarget(target.Label());
    ClearLinkFailure();
    CliView view;
    TargetResult result;
    const JournalOperation operation = {context.command, context.journalFile,
                                        context.journalOperation, NowMs(),
                                        std::chrono::steady_clock::now()};
    JournalTargetStarted(target);
    if (!OpenTarget(target)) {
        result.exit = kExitUnreachable;
    } else {
        // A USB target's label now says which device it is.
        context.messages->SetTarget(target.Label());
        SetFrameTraceTarget(target.Label());
        result = command(view, target);
        if (result.exit == kExitOk && context.messages->AnyFailure())
            result.exit = kExitFailure;
        if (LastLinkFailure() != LinkFailure::None) {
            if (result.exit == kExitOk)
                result.exit = kExitFailure;
            if (!result.textSurvivesLinkFailure)
                result.text.clear();
        }
        if (CliView::Interrupted().load() && result.exit != kExitOk)
            result.exit = kExitInterrupted;
    }
    CloseTarget();
    context.messages->SetTarget({});
    SetFrameTraceTarget({});
    nlohmann::json entry = result.data;
    entry["target"] = target.Label();
    entry["exit"] = result.exit;
    entry["messages"] = context.messages->Take();
    nlohmann::json recorded = entry;
    recorded.update(context.journalDetails);
    JournalTargetDone(target, operation, recorded);
    text = result.text;
    return entry;
}

int RunOnTargets(const CommandContext& context, const TargetCommand& command) {
    nlohmann::json entries = nlohmann::json::array();
    std::vector<int> codes;
    std::string text;
    for (const Target& target : context.targets) {
        std::string one;
        nlohmann::json entry = RunOnTarget(context, target, command, one);
        codes.push_back(entry["exit"].get<int>());
        if (context.targets.size() > 1 && !one.empty())
            text += "== " + target.Label() + " ==\n";
        text += one;
        entries.push_back(std::move(entry));
        if (CliView::Interrupted().load())
            break;  // Ctrl-C: the laminators after this one are not touched
    }
    int exit = CombinedExit(codes.data(), static_cast<int>(codes.size()));
    if (CliView::Interrupted().load() && exit != kExitOk)
        exit = kExitInterrupted;
    nlohmann::json doc = {{"command", context.command},
                          {"exit", exit},
                          {"laminators", entries},
                          {"messages", context.messages->TakeRun()}};
    PrintResult(context, doc, text);
    return exit;
}

namespace {
bool g_documentPrinted = false;
}

bool DocumentPrinted() {
    return g_documentPrinted;
}

void ResetDocumentPrinted() {
    g_documentPrinted = false;
}

int PrintWatchSummary(const CommandContext& context, int exit) {
    if (CliView::Interrupted().load() && exit != kExitOk)
        exit = kExitInterrupted;
    g_documentPrinted = true;
    const nlohmann::json summary = {
        {"command", context.command}, {"exit", exit}, {"messages", context.messages->TakeRun()}};
    std::fprintf(stdout, "%s\n",
                 summary.dump(-1, ' ', false, nlohmann::json::error_handler_t::replace).c_str());
    std::fflush(stdout);
    return exit;
}

void PrintResult(const CommandContext& context, const nlohmann::json& document,
                 const std::string& text, const SplicedJson* lists) {
    g_documentPrinted = true;
    if (context.json) {
        const std::string out =
            (lists ? lists->Dump(document)
                   : document.dump(2, ' ', false, nlohmann::json::error_handler_t::replace)) +
            "\n";
        std::fwrite(out.data(), 1, out.size(), stdout);
    } else {
        std::fputs(text.c_str(), stdout);
    }
    std::fflush(stdout);
}

bool RefusePrinterClass(const CommandContext& context) {
    for (const Target& t : context.targets) {
        if (t.IsPrinterClass()) {
            MessageBox(
                "The printing-class path carries only reset and firmware; this command "
                "needs --usb or --tcp.");
            return true;
        }
    }
    return false;
}
