#pragma once
// The laminator's status over time: every status cycle of every poller (the window's and the
// command line's) appends one reading, a failed cycle a gap. A bounded ring, toolkit-free,
// shared by the window's chart, the command line's watch and the service report.
#include <chrono>
#include <cstddef>
#include <cstdint>
#include <mutex>
#include <optional>
#include <vector>

struct StatusSample {
    std::int64_t timeMs = 0;  // wall clock, milliseconds since 1970 (UTC)
    std::uint32_t state = 0;  // the 4-byte codes as sent, first byte highest
    std::uint32_t error = 0;
    std::uint16_t rollerCenti = 0;  // hundredths of a degree Celsius
    std::uint16_t environmentCenti = 0;
    // The set roller temperature known when the reading was taken, in hundredths; 0 when
    // none was read. Warm-up figures start again where it changes.
    std::uint16_t setCenti = 0;
    std::int8_t cardSensors = -1;  // the card-channel bits; -1 when not read (TCP, or failed)
    bool gap = false;              // the cycle got no status reply: nothing else is valid
    // The steady clock when the reading was recorded, in milliseconds; 0 for readings read
    // back from a file, which have only their wall time. Durations are measured on it, as
    // the wall clock may be set back or forward while the laminator is watched.
    std::int64_t steadyMs = 0;

    double RollerCelsius() const { return rollerCenti / 100.0; }
    double EnvironmentCelsius() const { return environmentCenti / 100.0; }
    static StatusSample Gap(std::int64_t timeMs);
};

std::int64_t NowMs();
std::int64_t SteadyNowMs();
// Milliseconds from one reading to a later one: on the steady clock when both were recorded
// live, else on their wall times.
std::int64_t ElapsedMs(const StatusSample& from, const StatusSample& to);

// More than this many cycles without a reading is a stretch nobody measured: the history
// records a gap there and no line crosses it.
inline constexpr int kUnreadCycles = 3;

class StatusHistory {
  public:
    // 36 hours at the two-second cycle: at most 64800 readings of 32 bytes, about 2 MB;
    // the storage grows with the readings up to that.
    static constexpr std::size_t kDefaultCapacity = 64800;

    // The window's polling cycle; a watch sets its own interval.
    static constexpr std::chrono::milliseconds kDefaultCycle{2000};

    explicit StatusHistory(std::size_t capacity = kDefaultCapacity);

    // A reading recorded live (steadyMs set) that comes more than kUnreadCycles cycles after
    // the last reading is preceded by a gap one cycle after that one: polling stopped or was
    // held, and the stretch is recorded as unread rather than bridged.
    void Append(const StatusSample& sample);
    void SetCycle(std::chrono::milliseconds cycle);
    // Oldest first; only readings at or after `sinceMs`.
    std::vector<StatusSample> Snapshot(std::int64_t sinceMs = INT64_MIN) const;
    std::optional<StatusSample> Latest() const;
    // The last `count` readings (fewer when the history holds fewer), oldest first.
    std::vector<StatusSample> Newest(std::size_t count) const;
    std::size_t Size() const;
    std::size_t Capacity() const { return m_capacity; }
    // Grows with every append, so a chart redraws only when something came.
    std::uint64_t Revision() const;
    void Clear();

  private:
    mutable std::mutex m_mutex;
    void Push(const StatusSample& sample);

    std::size_t m_capacity;
    std::int64_t m_cycleMs = kDefaultCycle.count();
    std::vector<StatusSample> m_ring;
    std::size_t m_next = 0;  // where the next sample goes
    std::size_t m_count = 0;
    std::uint64_t m_revision = 0;
};

// The process's history: the window's poller and a single-laminator command line feed it.
StatusHistory& SharedStatusHistory();

// Where the status cycles of the calling thread record: the shared history unless a scope
// names another one (a watch keeps one per laminator) or none (null).
StatusHistory* CurrentStatusHistory();
class StatusHistoryScope {
  public:
    explicit StatusHistoryScope(StatusHistory* history);
    ~StatusHistoryScope();
    StatusHistoryScope(const StatusHistoryScope&) = delete;
    StatusHistoryScope& operator=(const StatusHistoryScope&) = delete;

  private:
    StatusHistory* m_previous;
    bool m_previousSet;
};
