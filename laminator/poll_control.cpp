#include "laminator/poll_control.h"

namespace {
struct PollState {
    std::mutex mutex;
    WorkerHandle thread;                 // the poller last started
    std::shared_ptr<PollerToken> token;  // its stop token; null once stopped
    std::mutex cycleMutex;
    std::condition_variable cycleChanged;
    bool cycleDone = false;  // auto-reset: one set releases one waiter
};
PollState& State() {
    static auto* state = new PollState();  // outlives pollers still running at exit
    return *state;
}
}  // namespace

void PollerToken::RequestStop() {
    {
        std::lock_guard lock(m_mutex);
        m_stop.store(true);
    }
    m_wake.notify_all();
}

bool PollerToken::Wait(std::chrono::milliseconds duration) {
    std::unique_lock lock(m_mutex);
    return !m_wake.wait_for(lock, duration, [&] { return m_stop.load(); });
}

void StartStatusPoller(PollerProc proc, LaminatorView* view) {
    PollState& s = State();
    std::lock_guard lock(s.mutex);
    if (s.token)
        s.token->RequestStop();
    WorkerHandle previous = s.thread;
    auto token = std::make_shared<PollerToken>();
    s.token = token;
    s.thread = StartWorkerThread(
        [proc, view, token, previous] {
            // The previous poller ends at its next step; wait for it here, never on the window.
            while (previous && !previous->Join(std::chrono::milliseconds(100))) {
                if (token->StopRequested())
                    return 1;
            }
            if (token->StopRequested())
                return 1;
            return proc(view, *token);
        },
        "the status poller");
}

void StopStatusPoller() {
    PollState& s = State();
    std::lock_guard lock(s.mutex);
    if (s.token)
        s.token->RequestStop();
    s.token.reset();
}

bool StatusPollerActive() {
    PollState& s = State();
    std::lock_guard lock(s.mutex);
    return s.token && s.thread && s.thread->IsRunning();
}

WorkerHandle PollThread() {
    PollState& s = State();
    std::lock_guard lock(s.mutex);
    return s.thread;
}

void SignalPollCycleDone() {
    PollState& s = State();
    {
        std::lock_guard lock(s.cycleMutex);
        s.cycleDone = true;
    }
    s.cycleChanged.notify_one();
}

bool WaitPollCycleDone(std::chrono::milliseconds timeout) {
    PollState& s = State();
    std::unique_lock lock(s.cycleMutex);
    if (!s.cycleChanged.wait_for(lock, timeout, [&] { return s.cycleDone; }))
        return false;
    s.cycleDone = false;
    return true;
}
