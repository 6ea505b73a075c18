#pragma once
// The one status poller: started, asked to stop and replaced without the window thread
// ever waiting for it. Each poller has its own stop token, so clearing the request for a
// new poller can never revive one that was asked to end; a new poller first waits, on its
// own thread, until the previous one is gone, so at most one polls at a time.
#include <atomic>
#include <chrono>
#include <condition_variable>
#include <memory>
#include <mutex>

#include "framework/worker.h"
#include "laminator/laminator_view.h"

class PollerToken {
  public:
    void RequestStop();
    bool StopRequested() const { return m_stop.load(); }
    // Sleeps up to `duration`; false when a stop was requested before or during the wait.
    bool Wait(std::chrono::milliseconds duration);

  private:
    std::atomic<bool> m_stop{false};
    std::mutex m_mutex;
    std::condition_variable m_wake;
};

enum class PollerKind { Usb, Net };

using PollerProc = int (*)(LaminatorView*, PollerToken&);

// Asks the running poller (if any) to stop, then starts `proc` as the new one.
void StartStatusPoller(PollerProc proc, LaminatorView* view);
// Asks the running poller to end and forgets it (PollThread cleared). Returns at once.
void StopStatusPoller();
// True while a started poller has not been stopped and has not ended by itself.
bool StatusPollerActive();
// The poller thread last started, or null after a stop (tests join it).
WorkerHandle PollThread();

// Set by the poller after each completed status exchange; the device list dialog waits
// for it (bounded) before it ends the poller.
void SignalPollCycleDone();
bool WaitPollCycleDone(std::chrono::milliseconds timeout);
