#include "netsetup/found_devices.h"

FoundDeviceTable FoundDevices;

void FoundDeviceTable::Clear() {
    std::lock_guard lock(m_mutex);
    m_entries.clear();
}

void FoundDeviceTable::Set(std::size_t index, const FoundLaminator& found) {
    std::lock_guard lock(m_mutex);
    if (index >= m_entries.size())
        m_entries.resize(index + 1);
    m_entries[index] = found;
}

std::optional<SearchReply> FoundDeviceTable::Get(int index) const {
    const std::optional<FoundLaminator> found = GetFound(index);
    if (!found)
        return std::nullopt;
    return found->reply;
}

std::optional<FoundLaminator> FoundDeviceTable::GetFound(int index) const {
    std::lock_guard lock(m_mutex);
    if (index < 0 || static_cast<std::size_t>(index) >= m_entries.size())
        return std::nullopt;
    return m_entries[static_cast<std::size_t>(index)];
}

std::size_t FoundDeviceTable::Size() const {
    std::lock_guard lock(m_mutex);
    return m_entries.size();
}
