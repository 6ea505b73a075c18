#include "cli/cli_journal.h"

#include <cstdio>

#include "cli/exit_codes.h"
#include "journal/journal_session.h"

#ifndef PELLACOR_VERSION
#define PELLACOR_VERSION "0"
#endif

namespace {
// A reset that went, or firmware whose every frame went: what the entry says was sent whole.
bool SentWhole(const nlohmann::json& entry) {
    if (entry.contains("reset"))
        return entry["reset"] == true;
    if (entry.contains("frames"))
        return entry.value("frames-sent", -1) == entry["frames"];
    return false;
}

// Only what the laminator confirmed is "done": a reset it was not seen to take is "sent".
std::string ResultOf(const nlohmann::json& entry) {
    const int exit = entry.value("exit", kExitFailure);
    if (exit == kExitUnreachable)
        return "unreachable";
    if (exit == kExitInterrupted)
        return "interrupted";
    // Sent whole but not confirmed is what the tool said: not a failure the laminator showed.
    if (entry.contains("confirmed") && entry["confirmed"] == false)
        return SentWhole(entry) ? "sent" : "failed";
    if (exit != kExitOk)
        return "failed";
    if (entry.contains("complete") && entry["complete"] == false)
        return "failed";
    return "done";
}
}  // namespace

std::string CliJournalPath(const CliJournalOptions& options) {
    return JournalPathOf({options.file, options.off, options.limitMb});
}

void StartCliJournal(const CliJournalOptions& options, bool json) {
    StartJournal(
        {options.file, options.off, options.limitMb}, PELLACOR_VERSION,
        [json](const std::string& text) {
            if (json)
                std::fprintf(stderr, "%s\n", nlohmann::json({{"message", text}}).dump().c_str());
            else
                std::fprintf(stderr, "%s\n", text.c_str());
        });
}

void StopCliJournal() {
    StopJournal();
}

void JournalTargetStarted(const Target& target) {
    SetJournalLink(target.Key());
}

void JournalTargetDone(const Target& target, const JournalOperation& operation,
                       const nlohmann::json& entry) {
    SetJournalLink({});
    if (!JournalKept())
        return;
    IdentifyFromStore(target.Key());
    // A status reading is its own record; the watch's cycles are not operations.
    if (!operation.recorded || operation.command == "status")
        return;
    OperationRecord r =
        BeginRecord(operation.command, target.Label(), {operation.startMs, operation.started});
    r.result = ResultOf(entry);
    nlohmann::json details = entry;
    details.erase("target");
    details.erase("messages");
    if (!operation.file.empty())
        details["file"] = FileDetails(operation.file);
    for (const auto& m : entry.value("messages", nlohmann::json::array()))
        r.message += (r.message.empty() ? "" : "\n") + m.get<std::string>();
    r.details = DetailsText(details);
    RecordOperation(target.Key(), std::move(r));
}

void JournalNetworkChange(const std::string& mac, const JournalOperation& operation, bool written,
                          bool confirmed, const nlohmann::json& details) {
    RecordNetworkSettings(operation.command, mac, {operation.startMs, operation.started},
                          !written    ? "failed"
                          : confirmed ? "done"
                                      : "sent",
                          "", details);
}

void RecordUnreachedReading(const Target& target, const StatusSample& gap) {
    RecordReading(target.Key(), gap);
}
