#pragma once

// Saves and restores laminator states as JSON, so a simulated laminator keeps what was
// written to it across runs (`--state FILE`).

#include <nlohmann/json_fwd.hpp>
#include <string>
#include <vector>

#include "sim/laminator_state.h"

namespace pellacor::sim {

nlohmann::json StateToJson(const LaminatorState& s);
// Fields missing from `j` keep their value in `s`; false with `error` on a malformed field.
bool StateFromJson(const nlohmann::json& j, LaminatorState& s, std::string* error);

bool SaveStates(const std::string& path, const std::vector<LaminatorState>& states,
                std::string* error);
// Restores as many laminators as the file holds, at most states.size().
bool LoadStates(const std::string& path, std::vector<LaminatorState>& states, std::string* error);
// The same from the file's text; `states` is left as it was when the text is refused.
bool StatesFromText(const std::string& text, std::vector<LaminatorState>& states,
                    std::string* error);

}  // namespace pellacor::sim
