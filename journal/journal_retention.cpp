// Keeping the service record bounded: old readings thinned, the oldest dropped past the cap.
#include <sqlite3.h>

#include <algorithm>
#include <map>
#include <utility>

#include "journal/journal_db.h"
#include "journal/sqlite_statement.h"

namespace {
constexpr std::int64_t kMinute = 60'000;
constexpr std::int64_t kHour = 60 * kMinute;
constexpr std::int64_t kDay = 24 * kHour;

struct Bucket {
    std::int64_t run = 0;
    StoredReading reading;
    bool any = false;         // a reading that was not a gap
    std::int64_t lastMs = 0;  // of the reading whose state is kept
};

void Fold(Bucket& b, const StoredReading& r, std::int64_t run) {
    if (r.sample.gap) {
        if (!b.any && r.sample.timeMs >= b.lastMs) {
            b.reading.sample = r.sample;
            b.lastMs = r.sample.timeMs;
        }
        b.run = std::max(b.run, run);
        return;
    }
    if (!b.any) {
        b.reading.rollerMin = r.rollerMin;
        b.reading.rollerMax = r.rollerMax;
        b.reading.environmentMin = r.environmentMin;
        b.reading.environmentMax = r.environmentMax;
    }
    b.reading.rollerMin = std::min(b.reading.rollerMin, r.rollerMin);
    b.reading.rollerMax = std::max(b.reading.rollerMax, r.rollerMax);
    b.reading.environmentMin = std::min(b.reading.environmentMin, r.environmentMin);
    b.reading.environmentMax = std::max(b.reading.environmentMax, r.environmentMax);
    if (!b.any || r.sample.timeMs >= b.lastMs) {
        b.reading.sample = r.sample;
        b.lastMs = r.sample.timeMs;
    }
    b.any = true;
    b.run = std::max(b.run, run);
}
}  // namespace

std::int64_t JournalDb::FreePages() {
    SqlStatement free(m_db, "PRAGMA freelist_count");
    return free.Step() == SQLITE_ROW ? free.Int(0) : 0;
}

bool JournalDb::Thin(std::int64_t nowMs) {
    RetentionRun run;
    while (run.phase < 2) {
        if (!RetentionStep(nowMs, 0, run))
            return false;
    }
    return true;
}

bool JournalDb::Limit(std::int64_t bytes) {
    RetentionRun run;
    run.phase = 2;
    while (!run.Done()) {
        if (!RetentionStep(0, bytes, run))
            return false;
    }
    return true;
}

bool JournalDb::RetentionStep(std::int64_t nowMs, std::int64_t limitBytes, RetentionRun& run) {
    bool more = false;
    bool ok = true;
    std::string error;
    switch (run.phase) {
        case 0:
            ok = ThinStep(nowMs - 7 * kDay, kMinute, more);
            break;
        case 1:
            ok = ThinStep(nowMs - 90 * kDay, kHour, more);
            break;
        case 2:
            ok = LimitStep(limitBytes, more);
            run.dropped = run.dropped || more;
            break;
        case 3:
            if (run.dropped) {
                // A few thousand pages at a time, so the file shrinks without a long hold.
                const std::int64_t before = FreePages();
                ok = ExecSql(m_db, "PRAGMA incremental_vacuum(2000)", error);
                const std::int64_t after = FreePages();
                more = ok && after > 0 && after < before;
                if (ok && !more)
                    ExecSql(m_db, "PRAGMA wal_checkpoint(TRUNCATE)", error);
            }
            break;
        default:
            return true;
    }
    if (!ok) {
        run.phase = 4;
        return false;
    }
    if (!more)
        ++run.phase;
    return true;
}

bool JournalDb::ThinStep(std::int64_t cutoffMs, std::int64_t spanMs, bool& more) {
    more = false;
    cutoffMs -= ((cutoffMs % spanMs) + spanMs) % spanMs;  // whole spans only
    std::string error;
    std::int64_t start = 0;
    {
        SqlStatement oldest(m_db, "SELECT min(time_ms) FROM readings WHERE span_ms < ?");
        oldest.Bind(1, spanMs);
        if (oldest.Step() != SQLITE_ROW)
            return false;
        if (oldest.IsNull(0) || oldest.Int(0) >= cutoffMs)
            return true;
        more = true;
        const std::int64_t first = oldest.Int(0);
        start = first - ((first % spanMs) + spanMs) % spanMs;
    }
    // Sixty spans a step: an hour of two-second readings, or 60 hours of minutes.
    const std::int64_t end = std::min(cutoffMs, start + 60 * spanMs);
    if (!ExecSql(m_db, "BEGIN IMMEDIATE", error))
        return false;
    SqlStatement rows(m_db,
                      "SELECT laminator, run, time_ms, span_ms, gap, state, error, card, "
                      "roller, environment, coalesce(roller_min, roller), "
                      "coalesce(roller_max, roller), coalesce(environment_min, environment), "
                      "coalesce(environment_max, environment) FROM readings "
                      "WHERE time_ms >= ?1 AND time_ms < ?2 AND span_ms < ?3");
    rows.Bind(1, start).Bind(2, end).Bind(3, spanMs);
    std::map<std::pair<std::int64_t, std::int64_t>, Bucket> buckets;
    int rc = SQLITE_ROW;
    while ((rc = rows.Step()) == SQLITE_ROW) {
        StoredReading r;
        r.sample.timeMs = rows.Int(2);
        r.sample.gap = rows.Int(4) != 0;
        r.sample.state = static_cast<std::uint32_t>(rows.Int(5));
        r.sample.error = static_cast<std::uint32_t>(rows.Int(6));
        r.sample.cardSensors = static_cast<std::int8_t>(rows.Int(7));
        r.sample.rollerCenti = static_cast<std::uint16_t>(rows.Int(8));
        r.sample.environmentCenti = static_cast<std::uint16_t>(rows.Int(9));
        r.rollerMin = static_cast<std::uint16_t>(rows.Int(10));
        r.rollerMax = static_cast<std::uint16_t>(rows.Int(11));
        r.environmentMin = static_cast<std::uint16_t>(rows.Int(12));
        r.environmentMax = static_cast<std::uint16_t>(rows.Int(13));
        const std::int64_t bucketStart = r.sample.timeMs - r.sample.timeMs % spanMs;
        Fold(buckets[{rows.Int(0), bucketStart}], r, rows.Int(1));
    }
    bool ok = rc == SQLITE_DONE;
    SqlStatement drop(m_db,
                      "DELETE FROM readings WHERE time_ms >= ?1 AND time_ms < ?2 AND span_ms < ?3");
    drop.Bind(1, start).Bind(2, end).Bind(3, spanMs);
    ok = ok && drop.Step() == SQLITE_DONE;
    for (auto& [key, bucket] : buckets) {
        if (!ok)
            break;
        // The span's reading stands at its start, so a later pass finds it in order.
        bucket.reading.sample.timeMs = key.second;
        bucket.reading.spanMs = spanMs;
        ok = AddReading(key.first, bucket.run, bucket.reading);
    }
    if (!ok) {
        ExecSql(m_db, "ROLLBACK", error);
        return false;
    }
    return ExecSql(m_db, "COMMIT", error);
}
bool JournalDb::LimitStep(std::int64_t bytes, bool& more) {
    more = false;
    if (UsedBytes() <= bytes)
        return true;
    SqlStatement drop(m_db,
                      "DELETE FROM readings WHERE rowid IN (SELECT rowid FROM readings "
                      "ORDER BY time_ms LIMIT 1000)");
    if (drop.Step() != SQLITE_DONE)
        return false;
    // Nothing dropped: only operations are left, and they are kept whatever the cap.
    more = sqlite3_changes(m_db) > 0;
    return true;
}
