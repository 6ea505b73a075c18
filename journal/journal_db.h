#pragma once
// One service-record database: opened (made and migrated when needed), written one record
// (or one batch of readings) to a transaction, queried and kept within bounds. Not
// thread-safe: one thread per instance.
#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "journal/journal_records.h"
#include "journal/record_file.h"

struct sqlite3;

class JournalDb {
  public:
    static constexpr int kSchemaVersion = 1;

    // Null with the reason in `error` ("FILE: file is not a database"). A file that is a
    // database of something else, or of a newer schema, is refused and left as it is.
    static std::unique_ptr<JournalDb> Open(const std::string& path, std::string& error,
                                           int busyTimeoutMs = 5000);
    ~JournalDb();
    JournalDb(const JournalDb&) = delete;
    JournalDb& operator=(const JournalDb&) = delete;

    const std::string& Path() const { return m_path; }
    std::string LastError() const;

    // This process's run, so records taken under a link can later be joined to a serial.
    std::optional<std::int64_t> NewRun();
    // The laminator's row, made when new; what the identity knows fills in the rest.
    std::optional<std::int64_t> Laminator(const LaminatorIdentity& identity);
    bool AddOperation(std::int64_t laminator, std::int64_t run, const OperationRecord& record);
    bool AddReading(std::int64_t laminator, std::int64_t run, const StoredReading& reading);
    struct LaminatorReading {
        std::int64_t laminator = 0;
        StoredReading reading;
    };
    // All in one transaction, or none with the reason in `error`.
    bool AddReadings(std::int64_t run, const std::vector<LaminatorReading>& rows,
                     std::string& error);
    // The run's records of `from` move to `to`; `from` goes when nothing is left under it.
    bool Join(std::int64_t from, std::int64_t to, std::int64_t run);

    // One laminator's whole record (by serial or key), for another technician.
    std::optional<RecordFile> Export(const std::string& serial);
    // Adds what the file holds that is not here yet, in one transaction; the records added.
    std::optional<std::int64_t> Import(const RecordFile& file);

    std::vector<LaminatorRow> Laminators();
    std::vector<StoredOperation> Operations(const JournalQuery& query);
    std::vector<StoredReading> Readings(const JournalQuery& query);
    // Operations and readings the query's laminator and period hold (its kind aside).
    std::int64_t CountRecords(const JournalQuery& query);

    // Where a retention run stands between its steps.
    struct RetentionRun {
        int phase = 0;  // to minutes, to hours, past the cap, space given back, done
        bool dropped = false;
        bool Done() const { return phase >= 4; }
    };
    // One short step of keeping the record bounded, its own transaction: a stretch thinned,
    // a batch of the oldest readings dropped or some free pages given back, so a writer
    // between records is never held up long. False on a failure.
    bool RetentionStep(std::int64_t nowMs, std::int64_t limitBytes, RetentionRun& run);
    // Readings older than a week to one a minute, older than 90 days to one an hour (the
    // extremes and the last state kept): every step of it at once.
    bool Thin(std::int64_t nowMs);
    // Drops the oldest readings until the data takes at most `bytes`; operations stay.
    bool Limit(std::int64_t bytes);
    // Pages in use, in bytes.
    std::int64_t UsedBytes();

  private:
    JournalDb(sqlite3* db, std::string path) : m_db(db), m_path(std::move(path)) {}
    bool Migrate(std::string& error);
    // One stretch older than `cutoffMs` thinned to spans of `spanMs`; `more` false when
    // none is left.
    bool ThinStep(std::int64_t cutoffMs, std::int64_t spanMs, bool& more);
    bool LimitStep(std::int64_t bytes, bool& more);
    std::int64_t FreePages();
    // True for SQLITE_DONE; otherwise keeps the system's reason for LastError.
    bool Done(int rc);

    sqlite3* m_db;
    std::string m_path;
    int m_systemError = 0;
};

// $XDG_STATE_HOME/pellacor/journal.sqlite, or ~/.local/state/pellacor/ without it; empty when
// neither is set.
std::string DefaultJournalPath();
