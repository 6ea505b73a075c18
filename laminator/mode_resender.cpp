#include "laminator/mode_resender.h"

#include <condition_variable>
#include <cstdint>
#include <mutex>

#include "framework/worker.h"
#include "link/link_buffers.h"
#include "link/usb_link.h"

namespace {
// The opening of the MODE bracket and 1D 01 30; no closing follows.
constexpr const char* kResendFrame = "a53e1d1a1b1c1d4d4f4445011d0130";

struct ResenderState {
    std::mutex mutex;
    std::condition_variable wake;
    WorkerHandle thread;
    // Each resender runs while the generation is the one it started with: a stop moves it
    // on, so a resender still finishing its wait never revives after a restart.
    std::uint64_t generation = 0;
    std::uint64_t threadGeneration = 0;
};
ResenderState& State() {
    static auto* state = new ResenderState();  // outlives a resender still running at exit
    return *state;
}

thread_local std::uint64_t t_generation = 0;

// Asked under the link lock: a stop that came before the lock was taken wins, so a link the
// user closed is never reopened.
bool StillCurrent() {
    ResenderState& s = State();
    std::lock_guard lock(s.mutex);
    return s.generation == t_generation;
}

int ModeResendWorker(std::uint64_t mine) {
    ResenderState& s = State();
    t_generation = mine;
    for (;;) {
        {
            std::unique_lock lock(s.mutex);
            if (s.wake.wait_for(lock, kResendInterval, [&] { return s.generation != mine; }))
                return 1;
        }
        ResendModeFrame(&StillCurrent);
    }
}
}  // namespace

bool ResendModeFrame(bool (*stillWanted)()) {
    if (!ProbeHidLaminator())
        return false;
    LinkTransaction transaction;
    if (stillWanted && !stillWanted())
        return false;
    CloseUsbLink();
    OpenHidLink();
    // Its own frame each time: whatever another worker left in the buffer is not re-sent.
    EncodeCommand(kResendFrame);
    TxLength = 64;
    return UsbWrite() > 0;
}

bool StartModeResender() {
    ResenderState& s = State();
    std::lock_guard lock(s.mutex);
    if (s.thread && s.thread->IsRunning() && s.threadGeneration == s.generation)
        return false;
    const std::uint64_t mine = ++s.generation;
    s.threadGeneration = mine;
    s.thread = StartWorkerThread([mine] { return ModeResendWorker(mine); }, "ModeResendWorker");
    return true;
}

void RequestModeResenderStop() {
    ResenderState& s = State();
    {
        std::lock_guard lock(s.mutex);
        ++s.generation;
    }
    s.wake.notify_all();
}

void StopModeResender() {
    ResenderState& s = State();
    WorkerHandle thread;
    {
        std::lock_guard lock(s.mutex);
        ++s.generation;
        thread = s.thread;
    }
    s.wake.notify_all();
    if (thread && !thread->IsCurrentThread())
        thread->Join(std::chrono::seconds(10));
}

bool ModeResenderRunning() {
    ResenderState& s = State();
    std::lock_guard lock(s.mutex);
    return s.thread && s.thread->IsRunning() && s.threadGeneration == s.generation;
}
