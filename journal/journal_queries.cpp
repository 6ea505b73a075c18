// What the service record holds, listed for the command line, the window and export.
#include <sqlite3.h>

#include "journal/journal_db.h"
#include "journal/sqlite_statement.h"

namespace {
// The filters every listing shares; ?1 serial or key, ?2 since, ?3 until, ?4 kind.
constexpr const char* kLaminatorFilter =
    "(?1 = '' OR l.serial = ?1 OR l.key = ?1) AND (?2 IS NULL OR x.time_ms >= ?2) AND "
    "(?3 IS NULL OR x.time_ms < ?3)";

void BindQuery(SqlStatement& s, const JournalQuery& q) {
    s.Bind(1, q.serial).Bind(2, q.sinceMs).Bind(3, q.untilMs).Bind(4, q.kind);
}
}  // namespace

std::vector<LaminatorRow> JournalDb::Laminators() {
    SqlStatement s(m_db,
                   "SELECT l.key, l.serial, l.model, l.mac, l.link,"
                   " (SELECT min(time_ms) FROM operations WHERE laminator = l.id),"
                   " (SELECT max(time_ms) FROM operations WHERE laminator = l.id),"
                   " (SELECT min(time_ms) FROM readings WHERE laminator = l.id),"
                   " (SELECT max(time_ms) FROM readings WHERE laminator = l.id),"
                   " (SELECT count(*) FROM operations WHERE laminator = l.id),"
                   " (SELECT count(*) FROM readings WHERE laminator = l.id)"
                   " FROM laminators l ORDER BY l.key");
    std::vector<LaminatorRow> rows;
    while (s.Step() == SQLITE_ROW) {
        LaminatorRow r;
        r.key = s.Text(0);
        r.identity = {s.Text(1), s.Text(2), s.Text(3), s.Text(4)};
        bool any = false;
        for (int c : {5, 7}) {
            if (!s.IsNull(c)) {
                r.firstMs = any ? std::min(r.firstMs, s.Int(c)) : s.Int(c);
                r.lastMs = any ? std::max(r.lastMs, s.Int(c + 1)) : s.Int(c + 1);
                any = true;
            }
        }
        r.operations = s.Int(9);
        r.readings = s.Int(10);
        rows.push_back(std::move(r));
    }
    return rows;
}

std::vector<StoredOperation> JournalDb::Operations(const JournalQuery& query) {
    SqlStatement s(m_db, std::string("SELECT l.key, l.serial, x.time_ms, x.duration_ms, x.link, "
                                     "x.user, x.version, x.kind, x.result, x.message, x.details "
                                     "FROM operations x JOIN laminators l ON l.id = x.laminator "
                                     "WHERE ") +
                             kLaminatorFilter +
                             " AND (?4 = '' OR x.kind = ?4) ORDER BY x.time_ms, x.id");
    BindQuery(s, query);
    std::vector<StoredOperation> rows;
    while (s.Step() == SQLITE_ROW) {
        StoredOperation o;
        o.laminator = s.Text(0);
        o.serial = s.Text(1);
        OperationRecord& r = o.record;
        r.timeMs = s.Int(2);
        r.durationMs = s.Int(3);
        r.link = s.Text(4);
        r.user = s.Text(5);
        r.version = s.Text(6);
        r.kind = s.Text(7);
        r.result = s.Text(8);
        r.message = s.Text(9);
        r.details = s.Text(10);
        rows.push_back(std::move(o));
    }
    return rows;
}

std::vector<StoredReading> JournalDb::Readings(const JournalQuery& query) {
    SqlStatement s(m_db, std::string("SELECT l.key, x.time_ms, x.span_ms, x.gap, x.state, "
                                     "x.error, x.card, x.roller, x.environment, x.roller_min, "
                                     "x.roller_max, x.environment_min, x.environment_max "
                                     "FROM readings x JOIN laminators l ON l.id = x.laminator "
                                     "WHERE ") +
                             kLaminatorFilter + " AND ?4 = ?4 ORDER BY x.time_ms");
    BindQuery(s, query);
    std::vector<StoredReading> rows;
    while (s.Step() == SQLITE_ROW) {
        StoredReading r;
        r.laminator = s.Text(0);
        StatusSample& x = r.sample;
        x.timeMs = s.Int(1);
        r.spanMs = s.Int(2);
        x.gap = s.Int(3) != 0;
        x.state = static_cast<std::uint32_t>(s.Int(4));
        x.error = static_cast<std::uint32_t>(s.Int(5));
        x.cardSensors = static_cast<std::int8_t>(s.Int(6));
        x.rollerCenti = static_cast<std::uint16_t>(s.Int(7));
        x.environmentCenti = static_cast<std::uint16_t>(s.Int(8));
        const bool thinned = !s.IsNull(9);
        r.rollerMin = thinned ? static_cast<std::uint16_t>(s.Int(9)) : x.rollerCenti;
        r.rollerMax = thinned ? static_cast<std::uint16_t>(s.Int(10)) : x.rollerCenti;
        r.environmentMin = thinned ? static_cast<std::uint16_t>(s.Int(11)) : x.environmentCenti;
        r.environmentMax = thinned ? static_cast<std::uint16_t>(s.Int(12)) : x.environmentCenti;
        rows.push_back(std::move(r));
    }
    return rows;
}

std::int64_t JournalDb::CountRecords(const JournalQuery& query) {
    std::int64_t count = 0;
    for (const char* table : {"operations", "readings"}) {
        SqlStatement s(m_db, std::string("SELECT count(*) FROM ") + table +
                                 " x JOIN laminators l ON l.id = x.laminator WHERE " +
                                 kLaminatorFilter + " AND ?4 = ?4");
        BindQuery(s, query);
        if (s.Step() == SQLITE_ROW)
            count += s.Int(0);
    }
    return count;
}
