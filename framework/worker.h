#pragma once
// Worker threads: a thread procedure with one argument (the window), started at once and
// tracked, so that tests and an orderly shutdown can wait for every worker to end.
#include <chrono>
#include <functional>
#include <memory>
#include <string>

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

// `name` is what a failure report calls the worker.
WorkerHandle StartWorkerThread(std::function<int()> body, std::string name = "a worker");

template <class Window>
WorkerHandle StartWorker(int (*proc)(Window*), Window* window, std::string name = "a worker") {
    return StartWorkerThread([proc, window] { return proc(window); }, std::move(name));
}

// What escapes a worker is caught: the handler is called on that worker's thread with the
// worker's name and the exception's text, and the program goes on. The default handler
// shows "Internal error in <worker>: <what>"; the window installs one that also puts its
// links and buttons back in a usable state.
using WorkerFailureHandler =
    std::function<void(const std::string& worker, const std::string& what)>;
void SetWorkerFailureHandler(WorkerFailureHandler handler);
std::string InternalErrorText(const std::string& worker, const std::string& what);

std::size_t RunningWorkerCount();
// Waits until no tracked worker runs; false on time-out.
bool WaitForAllWorkers(std::chrono::milliseconds timeout);
