#include "framework/worker.h"

#include <condition_variable>
#include <exception>
#include <mutex>
#include <thread>

#include "framework/message_box.h"

namespace {
struct Registry {
    std::mutex mutex;
    std::condition_variable changed;
    std::size_t running = 0;
};
// Never destroyed: detached workers may outlive static destruction at exit.
Registry& GetRegistry() {
    static auto* registry = new Registry();
    return *registry;
}

struct FailureHook {
    std::mutex mutex;
    WorkerFailureHandler handler;
};
FailureHook& GetFailureHook() {
    static auto* hook = new FailureHook();
    return *hook;
}

void ReportFailure(const std::string& worker, const std::string& what) {
    WorkerFailureHandler handler;
    {
        FailureHook& hook = GetFailureHook();
        std::lock_guard lock(hook.mutex);
        handler = hook.handler;
    }
    try {
        if (handler)
            handler(worker, what);
        else
            MessageBox(InternalErrorText(worker, what));
    } catch (...) {
        // A failing report must not end the program either.
    }
}

// Runs the body; whatever escapes it is reported instead of ending the program.
void RunGuarded(const std::function<int()>& body, const std::string& name) {
    try {
        body();
    } catch (const std::exception& e) {
        ReportFailure(name, e.what());
    } catch (...) {
        ReportFailure(name, "unknown exception");
    }
}

class TrackedWorker : public WorkerThread {
  public:
    bool IsRunning() const override {
        std::lock_guard lock(m_mutex);
        return !m_done;
    }
    bool Join(std::chrono::milliseconds timeout) override {
        std::unique_lock lock(m_mutex);
        return m_doneChanged.wait_for(lock, timeout, [&] { return m_done; });
    }
    bool IsCurrentThread() const override {
        std::lock_guard lock(m_mutex);
        return m_id == std::this_thread::get_id();
    }
    void SetId(std::thread::id id) {
        std::lock_guard lock(m_mutex);
        m_id = id;
    }
    void MarkDone() {
        {
            std::lock_guard lock(m_mutex);
            m_done = true;
        }
        m_doneChanged.notify_all();
    }

  private:
    mutable std::mutex m_mutex;
    std::condition_variable m_doneChanged;
    bool m_done = false;
    std::thread::id m_id;
};
}  // namespace

void SetWorkerFailureHandler(WorkerFailureHandler handler) {
    FailureHook& hook = GetFailureHook();
    std::lock_guard lock(hook.mutex);
    hook.handler = std::move(handler);
}

std::string InternalErrorText(const std::string& worker, const std::string& what) {
    return "Internal error in " + worker + ": " + what;
}

WorkerHandle StartWorkerThread(std::function<int()> body, std::string name) {
    auto worker = std::make_shared<TrackedWorker>();
    Registry& registry = GetRegistry();
    {
        std::lock_guard lock(registry.mutex);
        ++registry.running;
    }
    std::thread thread([worker, body = std::move(body), name = std::move(name)] {
        worker->SetId(std::this_thread::get_id());
        RunGuarded(body, name);
        worker->MarkDone();
        Registry& r = GetRegistry();
        {
            std::lock_guard lock(r.mutex);
            --r.running;
        }
        r.changed.notify_all();
    });
    worker->SetId(thread.get_id());
    thread.detach();
    return worker;
}

std::size_t RunningWorkerCount() {
    Registry& registry = GetRegistry();
    std::lock_guard lock(registry.mutex);
    return registry.running;
}

bool WaitForAllWorkers(std::chrono::milliseconds timeout) {
    Registry& registry = GetRegistry();
    std::unique_lock lock(registry.mutex);
    return registry.changed.wait_for(lock, timeout, [&] { return registry.running == 0; });
}
