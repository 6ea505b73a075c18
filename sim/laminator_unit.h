#pragma once

// One simulated laminator as the transports see it: its engine, its faults and its
// request counts. Shared by the servers of that laminator.

#include <array>
#include <atomic>
#include <mutex>
#include <vector>

#include "sim/fault_plan.h"
#include "sim/frame_log.h"
#include "sim/laminator_engine.h"

namespace pellacor::sim {

class LaminatorUnit {
  public:
    LaminatorUnit(int index, LaminatorState factory, FrameLog& frameLog)
        : engine(index, std::move(factory)), log(frameLog), m_index(index) {}

    int Index() const { return m_index; }

    // Counts one request on `t` and says what the faults make of its reply.
    FaultDecision NextRequest(Transport t) {
        uint64_t n = ++m_requests[static_cast<size_t>(t)];
        std::lock_guard lock(m_faultMutex);
        return Decide(m_faults, t, n);
    }
    void SetFaults(std::vector<Fault> faults) {
        std::lock_guard lock(m_faultMutex);
        m_faults = std::move(faults);
        for (auto& r : m_requests) {
            r = 0;
        }
    }
    std::vector<Fault> Faults() {
        std::lock_guard lock(m_faultMutex);
        return m_faults;
    }

    LaminatorEngine engine;
    FrameLog& log;

  private:
    const int m_index;
    std::mutex m_faultMutex;
    std::vector<Fault> m_faults;
    std::array<std::atomic<uint64_t>, 4> m_requests{};
};

}  // namespace pellacor::sim
