#pragma once
// The laminators listed in the device list: entry i is the reply shown in row i. The
// collector fills it while the window thread reads the entry of a selected row.
#include <cstddef>
#include <mutex>
#include <optional>
#include <vector>

#include "netsetup/net_protocol.h"

class FoundDeviceTable {
  public:
    void Clear();
    // Grows with the list.
    void Set(std::size_t index, const FoundLaminator& found);
    std::optional<SearchReply> Get(int index) const;
    std::optional<FoundLaminator> GetFound(int index) const;
    std::size_t Size() const;

  private:
    mutable std::mutex m_mutex;
    std::vector<FoundLaminator> m_entries;
};

extern FoundDeviceTable FoundDevices;
