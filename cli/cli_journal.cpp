#include "cli/cli_journal.h"

#include <cstdio>
#include <filesystem>
#include <memory>
#include <mutex>

#include "cli/exit_codes.h"
#include "journal/journal_db.h"
#include "journal/journal_writer.h"
#include "journal/sha256.h"
#include "laminator/param_store.h"
#include "laminator/status_reading_observer.h"

#ifndef PELLACOR_VERSION
#define PELLACOR_VERSION "0"
#endif

namespace {
std::unique_ptr<JournalWriter> g_writer;
std::mutex g_linkMutex;
std::string g_link;  // the laminator being served; readings go under it

void OnReading(const StatusSample& sample) {
    std::string link;
    {
        std::lock_guard lock(g_linkMutex);
        link = g_link;
    }
    if (g_writer && !link.empty())
        g_writer->Reading(link, sample);
}

// Only what the laminator confirmed is "done": a reset it was not seen to take is "sent".
std::string ResultOf(const nlohmann::json& entry) {
    const int exit = entry.value("exit", kExitFailure);
    if (exit == kExitUnreachable)
        return "unreachable";
    if (exit == kExitInterrupted)
        return "interrupted";
    if (exit != kExitOk)
        return "failed";
    if (entry.contains("confirmed") && entry["confirmed"] == false)
        return "sent";
    if (entry.contains("complete") && entry["complete"] == false)
        return "failed";
    return "done";
}
}  // namespace

std::string CliJournalPath(const CliJournalOptions& options) {
    if (options.off)
        return {};
    return options.file.empty() ? DefaultJournalPath() : options.file;
}

void StartCliJournal(const CliJournalOptions& options, bool json) {
    JournalOptions o;
    o.path = CliJournalPath(options);
    if (o.path.empty())
        return;
    if (options.limitMb)
        o.limitBytes = static_cast<std::int64_t>(*options.limitMb * 1e6);
    o.version = PELLACOR_VERSION;
    o.onProblem = [json](const std::string& text) {
        if (json)
            std::fprintf(stderr, "%s\n", nlohmann::json({{"message", text}}).dump().c_str());
        else
            std::fprintf(stderr, "%s\n", text.c_str());
    };
    g_writer = std::make_unique<JournalWriter>(std::move(o));
    SetStatusReadingObserver(&OnReading);
}

void StopCliJournal() {
    SetStatusReadingObserver(nullptr);
    g_writer.reset();
}

void JournalTargetStarted(const Target& target) {
    std::lock_guard lock(g_linkMutex);
    g_link = target.Key();
}

void JournalTargetDone(const Target& target, const JournalOperation& operation,
                       const nlohmann::json& entry) {
    {
        std::lock_guard lock(g_linkMutex);
        g_link.clear();
    }
    if (!g_writer)
        return;
    // The serial, model and MAC are in the store only when this run read them.
    LaminatorIdentity identity;
    identity.serial = Store().Get(ParamKey::LaminatorSn);
    identity.model = Store().Get(ParamKey::LaminatorModel);
    identity.mac = Store().Get(ParamKey::MacAddress);
    if (!identity.serial.empty() || !identity.mac.empty())
        g_writer->Identify(target.Key(), identity);
    // A status reading is its own record; the watch's cycles are not operations.
    if (!operation.recorded || operation.command == "status")
        return;
    OperationRecord r;
    r.timeMs = operation.startMs;
    r.durationMs = std::chrono::duration_cast<std::chrono::milliseconds>(
                       std::chrono::steady_clock::now() - operation.started)
                       .count();
    r.link = target.Label();
    r.user = OsUserName();
    r.version = PELLACOR_VERSION;
    r.kind = operation.command;
    r.result = ResultOf(entry);
    nlohmann::json details = entry;
    details.erase("target");
    details.erase("messages");
    if (!operation.file.empty()) {
        nlohmann::json file = {{"name", operation.file}};
        std::error_code ec;
        if (const auto size = std::filesystem::file_size(operation.file, ec); !ec)
            file["size"] = size;
        if (const std::optional<std::string> sha = FileSha256Hex(operation.file))
            file["sha256"] = *sha;
        details["file"] = file;
    }
    for (const auto& m : entry.value("messages", nlohmann::json::array()))
        r.message += (r.message.empty() ? "" : "\n") + m.get<std::string>();
    r.details = details.dump(-1, ' ', false, nlohmann::json::error_handler_t::replace);
    g_writer->Operation(target.Key(), std::move(r));
}

void JournalNetworkChange(const std::string& mac, const JournalOperation& operation, bool written,
                          bool confirmed, const nlohmann::json& details) {
    if (!g_writer)
        return;
    const std::string link = "udp:" + mac;
    LaminatorIdentity identity;
    identity.mac = mac;
    g_writer->Identify(link, identity);
    OperationRecord r;
    r.timeMs = operation.startMs;
    r.durationMs = std::chrono::duration_cast<std::chrono::milliseconds>(
                       std::chrono::steady_clock::now() - operation.started)
                       .count();
    r.link = link;
    r.user = OsUserName();
    r.version = PELLACOR_VERSION;
    r.kind = operation.command;
    r.result = !written ? "failed" : confirmed ? "done" : "sent";
    r.details = details.dump(-1, ' ', false, nlohmann::json::error_handler_t::replace);
    g_writer->Operation(link, std::move(r));
}

void RecordUnreachedReading(const Target& target, const StatusSample& gap) {
    if (g_writer)
        g_writer->Reading(target.Key(), gap);
}
