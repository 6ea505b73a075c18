#pragma once
// The process-wide parameter values: one display text per parameter, empty until something
// sets it, shared by the window thread and the workers; plus the group on screen and the
// laminator's motor type.
#include <array>
#include <atomic>
#include <cstdint>
#include <mutex>
#include <string>

#include "laminator/catalogue.h"

class ParamStore {
  public:
    std::string Get(ParamKey key) const;
    void Set(ParamKey key, const std::string& value);
    // A value decoded from a reply (not one kept from before): what a report may judge.
    void SetRead(ParamKey key, const std::string& value);
    bool WasRead(ParamKey key) const;
    void ForgetRead(ParamKey key);
    // Every value back to empty and unread (tests, each command-line target).
    void Clear();

  private:
    mutable std::mutex m_mutex;
    std::array<std::string, kParamCount> m_values;
    std::array<bool, kParamCount> m_read{};
};

ParamStore& Store();

// The group shown in the parameter list; compared as exact text everywhere.
std::string CurrentGroup();
void SetCurrentGroup(const std::string& group);

// 1 single-motor, 0 double-motor, any other value: no film-position limit. 0 at start.
extern std::atomic<std::uint8_t> MotorType;
