#include "journal/journal_session.h"

#include <filesystem>
#include <memory>
#include <mutex>

#include "journal/journal_db.h"
#include "journal/journal_writer.h"
#include "journal/sha256.h"
#include "laminator/param_store.h"
#include "laminator/status_reading_observer.h"

namespace {
std::mutex g_mutex;  // the writer's lifetime and the served link
std::shared_ptr<JournalWriter> g_writer;
std::string g_link;
std::string g_version;

std::shared_ptr<JournalWriter> Writer() {
    std::lock_guard lock(g_mutex);
    return g_writer;
}

// On the poller's thread: a push into the writer's queue, never a wait on the database.
void OnReading(const StatusSample& sample) {
    std::shared_ptr<JournalWriter> writer;
    std::string link;
    {
        std::lock_guard lock(g_mutex);
        writer = g_writer;
        link = g_link;
    }
    if (writer && !link.empty())
        writer->Reading(link, sample);
}
}  // namespace

std::string JournalPathOf(const JournalSettings& settings) {
    if (settings.off)
        return {};
    return settings.file.empty() ? DefaultJournalPath() : settings.file;
}

void StartJournal(const JournalSettings& settings, const std::string& version,
                  std::function<void(const std::string&)> onProblem) {
    JournalOptions o;
    o.path = JournalPathOf(settings);
    if (o.path.empty())
        return;
    if (settings.limitMb)
        o.limitBytes = static_cast<std::int64_t>(*settings.limitMb * 1e6);
    o.version = version;
    o.onProblem = std::move(onProblem);
    auto writer = std::make_shared<JournalWriter>(std::move(o));
    {
        std::lock_guard lock(g_mutex);
        g_writer = std::move(writer);
        g_version = version;
    }
    SetStatusReadingObserver(&OnReading);
}

void StopJournal() {
    SetStatusReadingObserver(nullptr);
    std::shared_ptr<JournalWriter> writer;
    {
        std::lock_guard lock(g_mutex);
        writer.swap(g_writer);
    }
    // A poller holding its own reference lets the writer go when its push is done.
    writer.reset();
}

bool JournalKept() {
    return Writer() != nullptr;
}

bool FlushJournal(std::chrono::milliseconds timeout) {
    const std::shared_ptr<JournalWriter> writer = Writer();
    return !writer || writer->Flush(timeout);
}

void SetJournalLink(const std::string& link) {
    std::lock_guard lock(g_mutex);
    g_link = link;
}

std::string JournalLink() {
    std::lock_guard lock(g_mutex);
    return g_link;
}

void IdentifyFromStore(const std::string& link) {
    const std::shared_ptr<JournalWriter> writer = Writer();
    if (!writer || link.empty())
        return;
    // Only what this run read: a value typed into the list names no laminator.
    LaminatorIdentity identity;
    if (Store().WasRead(ParamKey::LaminatorSn))
        identity.serial = Store().Get(ParamKey::LaminatorSn);
    if (Store().WasRead(ParamKey::LaminatorModel))
        identity.model = Store().Get(ParamKey::LaminatorModel);
    if (Store().WasRead(ParamKey::MacAddress))
        identity.mac = Store().Get(ParamKey::MacAddress);
    if (!identity.serial.empty() || !identity.mac.empty())
        writer->Identify(link, identity);
}

void IdentifyByMac(const std::string& link, const std::string& mac) {
    if (const std::shared_ptr<JournalWriter> writer = Writer()) {
        LaminatorIdentity identity;
        identity.mac = mac;
        writer->Identify(link, identity);
    }
}

void RecordNetworkSettings(const std::string& kind, const std::string& mac,
                           const OperationStart& start, const std::string& result,
                           const std::string& message, const nlohmann::json& details) {
    if (!JournalKept())
        return;
    const std::string link = "udp:" + mac;
    IdentifyByMac(link, mac);
    OperationRecord r = BeginRecord(kind, link, start);
    r.result = result;
    r.message = message;
    r.details = DetailsText(details);
    RecordOperation(link, std::move(r));
}

OperationStart OperationStart::Now() {
    return {NowMs(), std::chrono::steady_clock::now()};
}

OperationRecord BeginRecord(const std::string& kind, const std::string& link,
                            const OperationStart& start) {
    OperationRecord r;
    r.timeMs = start.startMs;
    r.durationMs = std::chrono::duration_cast<std::chrono::milliseconds>(
                       std::chrono::steady_clock::now() - start.started)
                       .count();
    r.link = link;
    r.user = OsUserName();
    {
        std::lock_guard lock(g_mutex);
        r.version = g_version;
    }
    r.kind = kind;
    return r;
}

nlohmann::json FileDetails(const std::string& path) {
    nlohmann::json file = {{"name", path}};
    std::error_code ec;
    if (const auto size = std::filesystem::file_size(path, ec); !ec)
        file["size"] = size;
    if (const std::optional<std::string> sha = FileSha256Hex(path))
        file["sha256"] = *sha;
    return file;
}

std::string DetailsText(const nlohmann::json& details) {
    return details.dump(-1, ' ', false, nlohmann::json::error_handler_t::replace);
}

void RecordOperation(const std::string& link, OperationRecord record) {
    if (const std::shared_ptr<JournalWriter> writer = Writer())
        writer->Operation(link, std::move(record));
}

void RecordReading(const std::string& link, const StatusSample& sample) {
    if (const std::shared_ptr<JournalWriter> writer = Writer())
        writer->Reading(link, sample);
}
