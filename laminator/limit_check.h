#pragma once
// One value against the limits a Write tests (defined with the other checks).
#include <optional>
#include <string>

#include "laminator/catalogue.h"

// The limit message of the first rule `value` breaks for the parameter, as a Write would
// show it; nullopt when it keeps every rule (or none applies).
std::optional<std::string> LimitProblem(const ParameterInfo& p, const std::string& value);
