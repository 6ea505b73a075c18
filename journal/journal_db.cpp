#include "journal/journal_db.h"

#include <sqlite3.h>

#include <chrono>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <thread>

#include "journal/sqlite_statement.h"
#include "platform/process.h"

namespace {
// "PELJ": tells a service record from any other SQLite file.
constexpr std::int64_t kApplicationId = 0x50454C4A;

// Each entry takes the schema from the version before it to its own (index + 1). Released
// entries are never changed: a new schema is a new entry.
const char* const kMigrations[] = {
    R"(CREATE TABLE runs(id INTEGER PRIMARY KEY, started_ms INTEGER NOT NULL, pid INTEGER);
       CREATE TABLE laminators(id INTEGER PRIMARY KEY, key TEXT NOT NULL UNIQUE,
         serial TEXT NOT NULL DEFAULT '', model TEXT NOT NULL DEFAULT '',
         mac TEXT NOT NULL DEFAULT '', link TEXT NOT NULL DEFAULT '');
       CREATE TABLE operations(id INTEGER PRIMARY KEY, laminator INTEGER NOT NULL,
         run INTEGER NOT NULL, time_ms INTEGER NOT NULL, duration_ms INTEGER NOT NULL,
         link TEXT NOT NULL, user TEXT NOT NULL, version TEXT NOT NULL, kind TEXT NOT NULL,
         result TEXT NOT NULL, message TEXT NOT NULL, details TEXT NOT NULL);
       CREATE INDEX operations_by_laminator ON operations(laminator, time_ms);
       CREATE INDEX operations_by_time ON operations(time_ms);
       CREATE TABLE readings(laminator INTEGER NOT NULL, run INTEGER NOT NULL,
         time_ms INTEGER NOT NULL, span_ms INTEGER NOT NULL, gap INTEGER NOT NULL,
         state INTEGER NOT NULL, error INTEGER NOT NULL, card INTEGER NOT NULL,
         roller INTEGER NOT NULL, environment INTEGER NOT NULL,
         roller_min INTEGER, roller_max INTEGER, environment_min INTEGER,
         environment_max INTEGER);
       CREATE INDEX readings_by_laminator ON readings(laminator, time_ms);
       CREATE INDEX readings_by_time ON readings(time_ms);)",
};
constexpr int kMigrationCount = sizeof kMigrations / sizeof kMigrations[0];
static_assert(kMigrationCount == JournalDb::kSchemaVersion);

std::int64_t PragmaInt(sqlite3* db, const char* sql, bool& ok) {
    SqlStatement s(db, sql);
    const int rc = s.Step();
    ok = rc == SQLITE_ROW || rc == SQLITE_DONE;
    return rc == SQLITE_ROW ? s.Int(0) : 0;
}
}  // namespace

std::string DefaultJournalPath() {
    std::filesystem::path base;
    if (const char* state = std::getenv("XDG_STATE_HOME"); state && *state)
        base = state;
    else if (const char* local = std::getenv("LOCALAPPDATA"); local && *local)
        base = local;  // Windows' folder for a user's own state; never set elsewhere
    else if (const char* home = std::getenv("HOME"); home && *home)
        base = std::filesystem::path(home) / ".local" / "state";
    else
        return {};
    return (base / "pellacor" / "journal.sqlite").string();
}

std::unique_ptr<JournalDb> JournalDb::Open(const std::string& path, std::string& error,
                                           int busyTimeoutMs) {
    const std::filesystem::path folder = std::filesystem::path(path).parent_path();
    std::error_code ec;
    if (!folder.empty() && !std::filesystem::exists(folder, ec)) {
        std::filesystem::create_directories(folder, ec);
        if (ec) {
            error = path + ": cannot make its folder (" + ec.message() + ")";
            return nullptr;
        }
    }
    sqlite3* db = nullptr;
    const int rc =
        sqlite3_open_v2(path.c_str(), &db,
                        SQLITE_OPEN_READWRITE | SQLITE_OPEN_CREATE | SQLITE_OPEN_NOMUTEX, nullptr);
    if (rc != SQLITE_OK) {
        error = path + ": " + (db ? sqlite3_errmsg(db) : sqlite3_errstr(rc));
        sqlite3_close(db);
        return nullptr;
    }
    std::unique_ptr<JournalDb> journal(new JournalDb(db, path));
    sqlite3_busy_timeout(db, busyTimeoutMs);
    sqlite3_extended_result_codes(db, 1);
    // Two processes opening a new journal at once: switching it to a write-ahead log takes
    // the file whole, and SQLite answers "busy" at once rather than wait where waiting could
    // deadlock. The set-up is all or nothing, so it is tried again until the time-out.
    const auto deadline =
        std::chrono::steady_clock::now() + std::chrono::milliseconds(busyTimeoutMs);
    for (;;) {
        std::string reason;
        if (journal->Migrate(reason))
            return journal;
        const int code = sqlite3_errcode(db) & 0xFF;
        if ((code != SQLITE_BUSY && code != SQLITE_LOCKED) ||
            std::chrono::steady_clock::now() >= deadline) {
            error = path + ": " + reason;
            return nullptr;
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
}

JournalDb::~JournalDb() {
    sqlite3_close(m_db);
}

std::string JournalDb::LastError() const {
    // SQLite says "disk I/O error" for a full disk or a file-size limit alike: the system's
    // reason tells them apart.
    std::string text = sqlite3_errmsg(m_db);
    if (m_systemError)
        text += ": " + std::string(std::strerror(m_systemError));
    return text;
}

bool JournalDb::Done(int rc) {
    if (rc == SQLITE_DONE)
        return true;
    const int code = rc & 0xFF;
    m_systemError = code == SQLITE_IOERR || code == SQLITE_FULL || code == SQLITE_CANTOPEN
                        ? sqlite3_system_errno(m_db)
                        : 0;
    return false;
}

bool JournalDb::Migrate(std::string& error) {
    bool ok = true;
    // One read transaction for the three: another process's first migration, committed
    // between them, would otherwise show its tables without its application id.
    if (!ExecSql(m_db, "BEGIN", error))
        return false;
    // Reading the header also tells a file that is not a database at all.
    const std::int64_t version = PragmaInt(m_db, "PRAGMA user_version", ok);
    const std::int64_t application = ok ? PragmaInt(m_db, "PRAGMA application_id", ok) : 0;
    const std::int64_t tables = ok ? PragmaInt(m_db, "SELECT count(*) FROM sqlite_master", ok) : 0;
    if (!ok) {
        error = LastError();
        std::string ignored;
        ExecSql(m_db, "ROLLBACK", ignored);
        return false;
    }
    if (!ExecSql(m_db, "COMMIT", error))
        return false;
    if (tables > 0 && application != kApplicationId) {
        error = "not a Pellacor service record (another program's database)";
        return false;
    }
    if (version > kSchemaVersion) {
        error = "made by a newer Pellacor (schema " + std::to_string(version) +
                ", this one knows " + std::to_string(kSchemaVersion) + ")";
        return false;
    }
    if (tables == 0 && !ExecSql(m_db, "PRAGMA auto_vacuum = INCREMENTAL", error))
        return false;
    {
        SqlStatement wal(m_db, "PRAGMA journal_mode = WAL");
        if (wal.Step() != SQLITE_ROW || wal.Text(0) != "wal") {
            error = "cannot keep a write-ahead log (" + LastError() + ")";
            return false;
        }
    }
    if (!ExecSql(m_db, "PRAGMA synchronous = NORMAL", error))
        return false;
    for (std::int64_t v = version; v < kSchemaVersion; ++v) {
        // BEGIN IMMEDIATE: two processes starting at once migrate one after the other.
        if (!ExecSql(m_db, "BEGIN IMMEDIATE", error))
            return false;
        const std::int64_t now = PragmaInt(m_db, "PRAGMA user_version", ok);
        if (now > v) {
            ExecSql(m_db, "COMMIT", error);
            v = now - 1;
            continue;
        }
        const std::string bump = "PRAGMA application_id = " + std::to_string(kApplicationId) +
                                 "; PRAGMA user_version = " + std::to_string(v + 1);
        if (!ExecSql(m_db, kMigrations[v], error) || !ExecSql(m_db, bump.c_str(), error) ||
            !ExecSql(m_db, "COMMIT", error)) {
            std::string ignored;
            ExecSql(m_db, "ROLLBACK", ignored);
            return false;
        }
    }
    return true;
}

std::optional<std::int64_t> JournalDb::NewRun() {
    SqlStatement s(m_db, "INSERT INTO runs(started_ms, pid) VALUES(?, ?)");
    s.Bind(1, NowMs()).Bind(2, static_cast<std::int64_t>(platform::ProcessId()));
    if (s.Step() != SQLITE_DONE)
        return std::nullopt;
    return sqlite3_last_insert_rowid(m_db);
}

std::optional<std::int64_t> JournalDb::Laminator(const LaminatorIdentity& identity) {
    SqlStatement upsert(
        m_db,
        "INSERT INTO laminators(key, serial, model, mac, link) VALUES(?,?,?,?,?) "
        "ON CONFLICT(key) DO UPDATE SET "
        "serial = CASE WHEN excluded.serial <> '' THEN excluded.serial ELSE serial END,"
        "model = CASE WHEN excluded.model <> '' THEN excluded.model ELSE model END,"
        "mac = CASE WHEN excluded.mac <> '' THEN excluded.mac ELSE mac END,"
        "link = CASE WHEN excluded.link <> '' THEN excluded.link ELSE link END "
        "RETURNING id");
    upsert.Bind(1, identity.Key())
        .Bind(2, identity.serial)
        .Bind(3, identity.model)
        .Bind(4, identity.mac)
        .Bind(5, identity.link);
    if (upsert.Step() != SQLITE_ROW)
        return std::nullopt;
    const std::int64_t id = upsert.Int(0);
    if (upsert.Step() != SQLITE_DONE)
        return std::nullopt;
    return id;
}

bool JournalDb::AddOperation(std::int64_t laminator, std::int64_t run, const OperationRecord& r) {
    SqlStatement s(m_db,
                   "INSERT INTO operations(laminator, run, time_ms, duration_ms, link, user, "
                   "version, kind, result, message, details) VALUES(?,?,?,?,?,?,?,?,?,?,?)");
    s.Bind(1, laminator)
        .Bind(2, run)
        .Bind(3, r.timeMs)
        .Bind(4, r.durationMs)
        .Bind(5, r.link)
        .Bind(6, r.user)
        .Bind(7, r.version)
        .Bind(8, r.kind)
        .Bind(9, r.result)
        .Bind(10, r.message)
        .Bind(11, r.details.empty() ? std::string_view("{}") : std::string_view(r.details));
    return Done(s.Step());
}

namespace {
constexpr const char* kInsertReading =
    "INSERT INTO readings(laminator, run, time_ms, span_ms, gap, state, error, card, roller, "
    "environment, roller_min, roller_max, environment_min, environment_max) "
    "VALUES(?,?,?,?,?,?,?,?,?,?,?,?,?,?)";

void BindReading(SqlStatement& s, std::int64_t laminator, std::int64_t run,
                 const StoredReading& r) {
    const StatusSample& x = r.sample;
    s.Bind(1, laminator)
        .Bind(2, run)
        .Bind(3, x.timeMs)
        .Bind(4, r.spanMs)
        .Bind(5, std::int64_t{x.gap})
        .Bind(6, std::int64_t{x.state})
        .Bind(7, std::int64_t{x.error})
        .Bind(8, std::int64_t{x.cardSensors})
        .Bind(9, std::int64_t{x.rollerCenti})
        .Bind(10, std::int64_t{x.environmentCenti});
    if (r.spanMs > 0) {
        s.Bind(11, std::int64_t{r.rollerMin})
            .Bind(12, std::int64_t{r.rollerMax})
            .Bind(13, std::int64_t{r.environmentMin})
            .Bind(14, std::int64_t{r.environmentMax});
    }
}
}  // namespace

bool JournalDb::AddReading(std::int64_t laminator, std::int64_t run, const StoredReading& r) {
    SqlStatement s(m_db, kInsertReading);
    BindReading(s, laminator, run, r);
    return Done(s.Step());
}

bool JournalDb::AddReadings(std::int64_t run, const std::vector<LaminatorReading>& rows,
                            std::string& error) {
    if (!ExecSql(m_db, "BEGIN IMMEDIATE", error))
        return false;
    SqlStatement s(m_db, kInsertReading);
    bool ok = s.Ok();
    for (const LaminatorReading& row : rows) {
        if (!ok)
            break;
        BindReading(s, row.laminator, run, row.reading);
        ok = Done(s.Step());
        s.Reset();
    }
    if (ok && ExecSql(m_db, "COMMIT", error))
        return true;
    if (!ok)
        error = LastError();
    std::string ignored;
    ExecSql(m_db, "ROLLBACK", ignored);
    return false;
}

bool JournalDb::Join(std::int64_t from, std::int64_t to, std::int64_t run) {
    if (from == to)
        return true;
    std::string error;
    if (!ExecSql(m_db, "BEGIN IMMEDIATE", error))
        return false;
    bool ok = true;
    for (const char* sql :
         {"UPDATE operations SET laminator = ?1 WHERE laminator = ?2 AND run = ?3",
          "UPDATE readings SET laminator = ?1 WHERE laminator = ?2 AND run = ?3",
          "DELETE FROM laminators WHERE id = ?2 AND NOT EXISTS (SELECT 1 FROM "
          "operations WHERE laminator = ?2) AND NOT EXISTS (SELECT 1 FROM "
          "readings WHERE laminator = ?2)"}) {
        SqlStatement s(m_db, sql);
        s.Bind(1, to).Bind(2, from).Bind(3, run);
        ok = ok && s.Step() == SQLITE_DONE;
    }
    if (!ok) {
        ExecSql(m_db, "ROLLBACK", error);
        return false;
    }
    return ExecSql(m_db, "COMMIT", error);
}

std::int64_t JournalDb::UsedBytes() {
    bool ok = true;
    const std::int64_t pages = PragmaInt(m_db, "PRAGMA page_count", ok);
    const std::int64_t free = PragmaInt(m_db, "PRAGMA freelist_count", ok);
    return (pages - free) * PragmaInt(m_db, "PRAGMA page_size", ok);
}
