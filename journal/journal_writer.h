#pragma once
// The service record as the tool writes it: every record handed to a background thread
// through a bounded queue, so an operation is never failed or held up by the journal. A
// journal that cannot be opened or written is reported once and then left alone.
#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <deque>
#include <functional>
#include <map>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <thread>
#include <variant>
#include <vector>

#include "journal/journal_db.h"
#include "journal/journal_records.h"

struct JournalOptions {
    std::string path;
    std::int64_t limitBytes = 200LL * 1000 * 1000;
    std::string version;
    // Called once, from the writer thread, with a text naming the file and the reason.
    std::function<void(const std::string&)> onProblem;
    std::size_t queueCapacity = 10000;
    // The wall clock retention judges ages by and schedules its runs on (NowMs when unset).
    std::function<std::int64_t()> clock;
    // Retention runs at the start and then at most this often, between records.
    std::int64_t retentionEveryMs = 3'600'000;
};

class JournalWriter {
  public:
    explicit JournalWriter(JournalOptions options);
    // Writes what is queued, for at most a couple of seconds, then stops after the record in
    // flight; what is still queued then is lost.
    ~JournalWriter();
    JournalWriter(const JournalWriter&) = delete;
    JournalWriter& operator=(const JournalWriter&) = delete;

    // Records are kept under the laminator `link` leads to: the link's own name until
    // Identify names the laminator, which also moves this run's earlier records to it.
    void Operation(const std::string& link, OperationRecord record);
    void Reading(const std::string& link, const StatusSample& sample);
    void Identify(const std::string& link, LaminatorIdentity identity);
    // Waits until every record queued so far is written or given up; false on time-out.
    bool Flush(std::chrono::milliseconds timeout);
    // Records not kept because the queue was full or the journal failed.
    std::uint64_t Lost() const;
    // Like Flush, and also until a retention run that is due has ended.
    bool Settle(std::chrono::milliseconds timeout);
    // Retention runs ended since the start.
    std::uint64_t RetentionRuns() const;

  private:
    struct OperationItem {
        std::string link;
        OperationRecord record;
    };
    struct ReadingItem {
        std::string link;
        StatusSample sample;
    };
    struct IdentifyItem {
        std::string link;
        LaminatorIdentity identity;
    };
    using Item = std::variant<OperationItem, ReadingItem, IdentifyItem>;

    void Push(Item item);
    bool WaitForWriter(std::chrono::milliseconds timeout, bool retentionToo);
    void Run();
    // With the lock held: the next operation alone, or the readings before the next one.
    std::vector<Item> TakeBatch();
    // Readings queued that wake the writer before its look.
    std::size_t WakeAt() const;
    std::int64_t Now() const;
    // With the lock held: whether a retention run is due, marking it pending if so.
    bool RetentionDue();
    // One step of the run in progress, without the lock; its end scheduled the next.
    void RetentionStep(JournalDb& db);
    void Write(JournalDb& db, std::int64_t run, const std::vector<Item>& batch);
    bool WriteOne(JournalDb& db, std::int64_t run, const Item& item);
    std::optional<std::int64_t> LaminatorOf(JournalDb& db, const std::string& link);
    void Problem(const std::string& text);

    JournalOptions m_options;
    mutable std::mutex m_mutex;
    std::condition_variable m_changed;
    std::deque<Item> m_queue;
    std::size_t m_urgentQueued = 0;  // queued items that are not readings
    int m_waiters = 0;               // callers in Flush or Settle
    std::uint64_t m_pushed = 0;
    std::uint64_t m_done = 0;
    std::uint64_t m_lost = 0;
    bool m_stop = false;
    bool m_reported = false;
    bool m_retentionPending = false;
    std::uint64_t m_retentionRuns = 0;
    // Writer thread only: the run in progress and when the next is due.
    std::optional<JournalDb::RetentionRun> m_retention;
    std::int64_t m_retentionStartedMs = 0;
    std::int64_t m_nextRetentionMs = 0;
    // Writer thread only: where each link's records go in this run.
    std::map<std::string, std::int64_t> m_laminatorOfLink;
    std::thread m_thread;
};
