#include "framework/worker.h"

#include <condition_variable>
#include <mutex>
#include <thread>

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

WorkerHandle StartWorkerThread(std::function<int()> body) {
    auto worker = std::make_shared<TrackedWorker>();
    Registry& registry = GetRegistry();
    {
        std::lock_guard lock(registry.mutex);
        ++registry.running;
    }
    std::thread thread([worker, body = std::move(body)] {
        worker->SetId(std::this_thread::get_id());
        body();
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
