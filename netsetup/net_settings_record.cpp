#include "netsetup/net_settings_record.h"

#include <mutex>

namespace {
std::mutex g_mutex;
NetSettingsObserver g_observer;
}  // namespace

void SetNetSettingsObserver(NetSettingsObserver observer) {
    std::lock_guard lock(g_mutex);
    g_observer = std::move(observer);
}

void TellNetSettingsDone(const NetSettingsDone& done) {
    NetSettingsObserver observer;
    {
        std::lock_guard lock(g_mutex);
        observer = g_observer;
    }
    if (observer)
        observer(done);
}
