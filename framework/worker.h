#pragma once
// Worker threads: a thread procedure with one argument (the window), started at once and
// tracked, so that tests and an orderly shutdown can wait for every worker to end.
#include <chrono>
#include <functional>
#include <memory>

class WorkerThread {
  public:
    virtual ~WorkerThread() = default;
    virtual bool IsRunning() const = 0;
    // Waits for the worker to end; false when the time-out passed first.
    virtual bool Join(std::chrono::milliseconds timeout) = 0;
    // The thread's own id, so a worker can tell that it is the one being stopped.
    virtual bool IsCurrentThread() const = 0;
};

using WorkerHandle = std::shared_ptr<WorkerThread>;

WorkerHandle StartWorkerThread(std::function<int()> body);

template <class Window>
WorkerHandle StartWorker(int (*proc)(Window*), Window* window) {
    return StartWorkerThread([proc, window] { return proc(window); });
}

std::size_t RunningWorkerCount();
// Waits until no tracked worker runs; false on time-out.
bool WaitForAllWorkers(std::chrono::milliseconds timeout);
