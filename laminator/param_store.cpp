#include "laminator/param_store.h"

std::atomic<std::uint8_t> MotorType{0};

namespace {
std::mutex g_groupMutex;
std::string g_currentGroup;
}  // namespace

std::string ParamStore::Get(ParamKey key) const {
    std::lock_guard lock(m_mutex);
    return m_values[static_cast<std::size_t>(key)];
}

void ParamStore::Set(ParamKey key, const std::string& value) {
    std::lock_guard lock(m_mutex);
    m_values[static_cast<std::size_t>(key)] = value;
}

void ParamStore::SetRead(ParamKey key, const std::string& value) {
    std::lock_guard lock(m_mutex);
    m_values[static_cast<std::size_t>(key)] = value;
    m_read[static_cast<std::size_t>(key)] = true;
}

bool ParamStore::WasRead(ParamKey key) const {
    std::lock_guard lock(m_mutex);
    return m_read[static_cast<std::size_t>(key)];
}

void ParamStore::ForgetRead(ParamKey key) {
    std::lock_guard lock(m_mutex);
    m_read[static_cast<std::size_t>(key)] = false;
}

void ParamStore::Clear() {
    std::lock_guard lock(m_mutex);
    for (auto& v : m_values)
        v.clear();
    m_read.fill(false);
}

ParamStore& Store() {
    static auto* store = new ParamStore();  // outlives workers still running at exit
    return *store;
}

std::string CurrentGroup() {
    std::lock_guard lock(g_groupMutex);
    return g_currentGroup;
}

void SetCurrentGroup(const std::string& group) {
    std::lock_guard lock(g_groupMutex);
    g_currentGroup = group;
}
