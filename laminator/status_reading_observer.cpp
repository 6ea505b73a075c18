#include "laminator/status_reading_observer.h"

#include <atomic>

namespace {
std::atomic<StatusReadingObserver> g_observer{nullptr};
}

void SetStatusReadingObserver(StatusReadingObserver observer) {
    g_observer.store(observer);
}

void NotifyStatusReading(const StatusSample& sample) {
    if (const StatusReadingObserver observer = g_observer.load())
        observer(sample);
}
