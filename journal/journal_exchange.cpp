// A laminator's record carried from one technician's service record to another's.
#include <sqlite3.h>

#include "journal/journal_db.h"
#include "journal/sqlite_statement.h"

std::optional<RecordFile> JournalDb::Export(const std::string& serial) {
    std::optional<RecordFile> file;
    for (const LaminatorRow& row : Laminators()) {
        if (row.key == serial || (!serial.empty() && row.identity.serial == serial)) {
            file = RecordFile{row.identity, {}, {}};
            break;
        }
    }
    if (!file)
        return std::nullopt;
    JournalQuery query;
    query.serial = file->laminator.Key();
    for (StoredOperation& o : Operations(query))
        file->operations.push_back(std::move(o.record));
    file->readings = Readings(query);
    return file;
}

std::optional<std::int64_t> JournalDb::Import(const RecordFile& file) {
    std::string error;
    if (!ExecSql(m_db, "BEGIN IMMEDIATE", error))
        return std::nullopt;
    const auto fail = [&]() -> std::optional<std::int64_t> {
        ExecSql(m_db, "ROLLBACK", error);
        return std::nullopt;
    };
    const std::optional<std::int64_t> run = NewRun();
    const std::optional<std::int64_t> laminator = Laminator(file.laminator);
    if (!run || !laminator)
        return fail();
    std::int64_t added = 0;
    // The same file imported twice adds nothing the second time.
    SqlStatement knownOperation(m_db,
                                "SELECT 1 FROM operations WHERE laminator = ? AND time_ms = ? "
                                "AND kind = ? AND duration_ms = ?");
    for (const OperationRecord& r : file.operations) {
        knownOperation.Reset();
        knownOperation.Bind(1, *laminator).Bind(2, r.timeMs).Bind(3, r.kind).Bind(4, r.durationMs);
        const int rc = knownOperation.Step();
        if (rc == SQLITE_ROW)
            continue;
        if (rc != SQLITE_DONE || !AddOperation(*laminator, *run, r))
            return fail();
        ++added;
    }
    SqlStatement knownReading(m_db,
                              "SELECT 1 FROM readings WHERE laminator = ? AND time_ms = ? AND "
                              "span_ms = ?");
    for (const StoredReading& r : file.readings) {
        knownReading.Reset();
        knownReading.Bind(1, *laminator).Bind(2, r.sample.timeMs).Bind(3, r.spanMs);
        const int rc = knownReading.Step();
        if (rc == SQLITE_ROW)
            continue;
        if (rc != SQLITE_DONE || !AddReading(*laminator, *run, r))
            return fail();
        ++added;
    }
    if (!ExecSql(m_db, "COMMIT", error))
        return fail();
    return added;
}
