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
    // Every value back to empty (tests).
    void Clear();

  private:
    mutable std::mutex m_mutex;
    std::array<std::string, kParamCount> m_values;
};

ParamStore& Store();

// The group shown in the parameter list; compared as exact text everywhere.
std::string CurrentGroup();
void SetCurrentGroup(const std::string& group);

// 1 single-motor, 0 double-motor, any other value: no film-position limit. 0 at start.
extern std::atomic<std::uint8_t> MotorType;
