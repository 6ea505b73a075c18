#include "laminator/status_history.h"

#include <algorithm>

StatusSample StatusSample::Gap(std::int64_t timeMs) {
    StatusSample s;
    s.timeMs = timeMs;
    s.gap = true;
    return s;
}

std::int64_t NowMs() {
    return std::chrono::duration_cast<std::chrono::milliseconds>(
               std::chrono::system_clock::now().time_since_epoch())
        .count();
}

std::int64_t SteadyNowMs() {
    return std::chrono::duration_cast<std::chrono::milliseconds>(
               std::chrono::steady_clock::now().time_since_epoch())
        .count();
}

std::int64_t ElapsedMs(const StatusSample& from, const StatusSample& to) {
    if (from.steadyMs != 0 && to.steadyMs != 0)
        return to.steadyMs - from.steadyMs;
    return to.timeMs - from.timeMs;
}

StatusHistory::StatusHistory(std::size_t capacity)
    : m_capacity(std::max<std::size_t>(capacity, 1)) {}

void StatusHistory::SetCycle(std::chrono::milliseconds cycle) {
    std::lock_guard lock(m_mutex);
    m_cycleMs = std::max<std::int64_t>(cycle.count(), 1);
}

void StatusHistory::Append(const StatusSample& sample) {
    std::lock_guard lock(m_mutex);
    if (m_count > 0 && !sample.gap && sample.steadyMs != 0) {
        const StatusSample& last = m_ring[(m_next + m_ring.size() - 1) % m_ring.size()];
        if (!last.gap && last.steadyMs != 0 &&
            sample.steadyMs - last.steadyMs > kUnreadCycles * m_cycleMs) {
            StatusSample gap = StatusSample::Gap(last.timeMs + m_cycleMs);
            gap.steadyMs = last.steadyMs + m_cycleMs;
            Push(gap);
        }
    }
    Push(sample);
}

void StatusHistory::Push(const StatusSample& sample) {
    // Storage grows with the readings: a target watched once costs one reading, not a ring.
    if (m_ring.size() < m_capacity) {
        m_ring.push_back(sample);
        m_next = m_ring.size() % m_capacity;
        m_count = m_ring.size();
    } else {
        m_ring[m_next] = sample;
        m_next = (m_next + 1) % m_capacity;
        m_count = m_capacity;
    }
    ++m_revision;
}

std::vector<StatusSample> StatusHistory::Snapshot(std::int64_t sinceMs) const {
    std::lock_guard lock(m_mutex);
    std::vector<StatusSample> out;
    if (m_count == 0)
        return out;
    out.reserve(m_count);
    const std::size_t first = (m_next + m_ring.size() - m_count) % m_ring.size();
    for (std::size_t i = 0; i < m_count; ++i) {
        const StatusSample& s = m_ring[(first + i) % m_ring.size()];
        if (s.timeMs >= sinceMs)
            out.push_back(s);
    }
    return out;
}

std::optional<StatusSample> StatusHistory::Latest() const {
    std::lock_guard lock(m_mutex);
    if (m_count == 0)
        return std::nullopt;
    return m_ring[(m_next + m_ring.size() - 1) % m_ring.size()];
}

std::vector<StatusSample> StatusHistory::Newest(std::size_t count) const {
    std::lock_guard lock(m_mutex);
    count = std::min(count, m_count);
    std::vector<StatusSample> out;
    out.reserve(count);
    for (std::size_t i = count; i > 0; --i)
        out.push_back(m_ring[(m_next + m_ring.size() - i) % m_ring.size()]);
    return out;
}

std::size_t StatusHistory::Size() const {
    std::lock_guard lock(m_mutex);
    return m_count;
}

std::uint64_t StatusHistory::Revision() const {
    std::lock_guard lock(m_mutex);
    return m_revision;
}

void StatusHistory::Clear() {
    std::lock_guard lock(m_mutex);
    m_ring.clear();
    m_ring.shrink_to_fit();
    m_next = 0;
    m_count = 0;
    ++m_revision;
}

StatusHistory& SharedStatusHistory() {
    static StatusHistory history;
    return history;
}

namespace {
thread_local StatusHistory* t_history = nullptr;
thread_local bool t_historySet = false;
}  // namespace

StatusHistory* CurrentStatusHistory() {
    return t_historySet ? t_history : &SharedStatusHistory();
}

StatusHistoryScope::StatusHistoryScope(StatusHistory* history)
    : m_previous(t_history), m_previousSet(t_historySet) {
    t_history = history;
    t_historySet = true;
}

StatusHistoryScope::~StatusHistoryScope() {
    t_history = m_previous;
    t_historySet = m_previousSet;
}
