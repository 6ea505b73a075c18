#pragma once
// Parameters and groups named on the command line: by their name in the window
// ("Heating Roller temperature") or by a stable key derived from it
// ("heating-roller-temperature").
#include <string>
#include <string_view>
#include <vector>

#include "laminator/catalogue.h"

// Lower case, every run of other characters one "-", none at either end.
std::string StableKey(std::string_view name);
const ParameterInfo* FindParameterByName(std::string_view nameOrKey);
// The group's name as the window shows it; empty when no group is so named.
std::string_view FindGroupByName(std::string_view nameOrKey);
// What the command line may change: the cells the window lets the user edit, and the model
// name.
bool IsWritable(const ParameterInfo& p);
