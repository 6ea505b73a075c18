#include "journal/journal_writer.h"

#include <algorithm>

#include "journal/journal_db.h"

namespace {
// How long an idle writer sleeps before it looks whether retention is due.
constexpr std::chrono::seconds kIdleLook{60};
// Readings wait for the writer to come by, so a status cycle never pays for waking it and
// the writing falls in the pause between cycles; they are written together, in one
// transaction. Operations, a Flush or a queue a quarter full wake it.
constexpr std::chrono::milliseconds kReadingsWait{500};
constexpr std::size_t kReadingsPerBatch = 512;
}  // namespace

JournalWriter::JournalWriter(JournalOptions options) : m_options(std::move(options)) {
    m_thread = std::thread([this] { Run(); });
}

JournalWriter::~JournalWriter() {
    Flush(std::chrono::seconds(2));
    {
        std::lock_guard lock(m_mutex);
        m_stop = true;
    }
    m_changed.notify_all();
    m_thread.join();
}

void JournalWriter::Operation(const std::string& link, OperationRecord record) {
    Push(OperationItem{link, std::move(record)});
}

void JournalWriter::Reading(const std::string& link, const StatusSample& sample) {
    Push(ReadingItem{link, sample});
}

void JournalWriter::Identify(const std::string& link, LaminatorIdentity identity) {
    identity.link = link;
    Push(IdentifyItem{link, std::move(identity)});
}

void JournalWriter::Push(Item item) {
    bool wake = false;
    {
        std::lock_guard lock(m_mutex);
        if (m_queue.size() >= m_options.queueCapacity || m_stop) {
            ++m_lost;  // never wait: the operation matters more than its record
            return;
        }
        const bool reading = std::holds_alternative<ReadingItem>(item);
        if (!reading)
            ++m_urgentQueued;
        m_queue.push_back(std::move(item));
        ++m_pushed;
        // The first reading ends the writer's idle wait; the next ones gather without it.
        wake = !reading || m_queue.size() == 1 || m_queue.size() >= WakeAt();
    }
    if (wake)
        m_changed.notify_all();
}

bool JournalWriter::WaitForWriter(std::chrono::milliseconds timeout, bool retentionToo) {
    std::unique_lock lock(m_mutex);
    const std::uint64_t target = m_pushed;
    ++m_waiters;
    m_changed.notify_all();  // the writer need not wait for its look at the readings
    const bool done = m_changed.wait_for(
        lock, timeout, [&] { return m_done >= target && !(retentionToo && m_retentionPending); });
    --m_waiters;
    return done;
}

bool JournalWriter::Flush(std::chrono::milliseconds timeout) {
    return WaitForWriter(timeout, false);
}

bool JournalWriter::Settle(std::chrono::milliseconds timeout) {
    return WaitForWriter(timeout, true);
}

std::uint64_t JournalWriter::RetentionRuns() const {
    std::lock_guard lock(m_mutex);
    return m_retentionRuns;
}

std::int64_t JournalWriter::Now() const {
    return m_options.clock ? m_options.clock() : NowMs();
}

bool JournalWriter::RetentionDue() {
    if (!m_retentionPending) {
        const std::int64_t now = Now();
        // A clock set back counts as due, or it would wait as long as it went back.
        m_retentionPending = now >= m_nextRetentionMs || now < m_retentionStartedMs;
    }
    return m_retentionPending;
}

void JournalWriter::RetentionStep(JournalDb& db) {
    if (!m_retention) {
        m_retention.emplace();
        m_retentionStartedMs = Now();
    }
    const bool ok = db.RetentionStep(m_retentionStartedMs, m_options.limitBytes, *m_retention);
    if (!ok)
        Problem("The service record " + m_options.path + " could not be thinned (" +
                db.LastError() + ").");
    if (!ok || m_retention->Done()) {
        m_retention.reset();
        m_nextRetentionMs = m_retentionStartedMs + m_options.retentionEveryMs;
        std::lock_guard lock(m_mutex);
        m_retentionPending = false;
        ++m_retentionRuns;
        m_changed.notify_all();
    }
}

std::uint64_t JournalWriter::Lost() const {
    std::lock_guard lock(m_mutex);
    return m_lost;
}

void JournalWriter::Problem(const std::string& text) {
    if (m_reported || !m_options.onProblem)
        return;
    m_reported = true;
    m_options.onProblem(text);
}

void JournalWriter::Run() {
    std::string error;
    std::unique_ptr<JournalDb> db = JournalDb::Open(m_options.path, error);
    std::optional<std::int64_t> run;
    if (db) {
        run = db->NewRun();
        if (!run)
            error = m_options.path + ": " + db->LastError();
    }
    if (!run) {
        Problem("The service record is not kept: " + error + ".");
        db.reset();
    }
    std::unique_lock lock(m_mutex);
    // Retention is due at the start; it goes in short steps while no record waits.
    m_nextRetentionMs = Now();
    const auto work = [&] { return m_stop || !m_queue.empty() || (db && RetentionDue()); };
    const auto due = [&] {
        return m_stop || m_urgentQueued > 0 || m_waiters > 0 || m_queue.size() >= WakeAt() ||
               (db && RetentionDue());
    };
    for (;;) {
        m_changed.wait_for(lock, kIdleLook, work);
        if (!m_queue.empty())
            m_changed.wait_for(lock, kReadingsWait, due);  // readings gather meanwhile
        if (m_stop) {
            // The owner gave up waiting (a journal locked or stalled): what is left is lost
            // rather than holding the tool up at its exit.
            m_lost += m_queue.size();
            m_queue.clear();
            return;
        }
        if (m_queue.empty()) {
            if (db && m_retentionPending) {
                lock.unlock();
                RetentionStep(*db);
                lock.lock();
            }
            continue;
        }
        std::vector<Item> batch = TakeBatch();
        lock.unlock();
        if (db)
            Write(*db, *run, batch);
        lock.lock();
        if (!db)
            m_lost += batch.size();
        m_done += batch.size();
        if (db)
            RetentionDue();  // so Settle, woken now, sees a run that is due
        m_changed.notify_all();
    }
}

std::size_t JournalWriter::WakeAt() const {
    return std::max<std::size_t>(1, m_options.queueCapacity / 4);
}

std::vector<JournalWriter::Item> JournalWriter::TakeBatch() {
    std::vector<Item> batch;
    if (!std::holds_alternative<ReadingItem>(m_queue.front())) {
        --m_urgentQueued;
        batch.push_back(std::move(m_queue.front()));
        m_queue.pop_front();
        return batch;
    }
    while (!m_queue.empty() && batch.size() < kReadingsPerBatch &&
           std::holds_alternative<ReadingItem>(m_queue.front())) {
        batch.push_back(std::move(m_queue.front()));
        m_queue.pop_front();
    }
    return batch;
}

std::optional<std::int64_t> JournalWriter::LaminatorOf(JournalDb& db, const std::string& link) {
    if (auto it = m_laminatorOfLink.find(link); it != m_laminatorOfLink.end())
        return it->second;
    LaminatorIdentity byLink;
    byLink.link = link;
    const std::optional<std::int64_t> id = db.Laminator(byLink);
    if (id)
        m_laminatorOfLink[link] = *id;
    return id;
}

void JournalWriter::Write(JournalDb& db, std::int64_t run, const std::vector<Item>& batch) {
    std::size_t lost = 0;
    std::string error;
    std::vector<JournalDb::LaminatorReading> readings;
    for (const Item& item : batch) {
        bool ok = true;
        if (const auto* reading = std::get_if<ReadingItem>(&item)) {
            const std::optional<std::int64_t> id = LaminatorOf(db, reading->link);
            if (id) {
                readings.push_back({*id, {}});
                readings.back().reading.sample = reading->sample;
            }
            ok = id.has_value();
        } else {
            ok = WriteOne(db, run, item);
        }
        if (!ok) {
            ++lost;
            error = db.LastError();
        }
    }
    if (!readings.empty() && !db.AddReadings(run, readings, error))
        lost += readings.size();
    if (lost > 0) {
        std::lock_guard lock(m_mutex);
        m_lost += lost;
        Problem("The service record " + m_options.path + " could not be written (" + error +
                "); the laminator is served without it.");
    }
}

bool JournalWriter::WriteOne(JournalDb& db, std::int64_t run, const Item& item) {
    if (const auto* op = std::get_if<OperationItem>(&item)) {
        const std::optional<std::int64_t> id = LaminatorOf(db, op->link);
        return id && db.AddOperation(*id, run, op->record);
    }
    const auto& identify = std::get<IdentifyItem>(item);
    const std::optional<std::int64_t> from = LaminatorOf(db, identify.link);
    const std::optional<std::int64_t> to = db.Laminator(identify.identity);
    if (to)
        m_laminatorOfLink[identify.link] = *to;
    return from && to && db.Join(*from, *to, run);
}
