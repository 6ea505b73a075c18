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
// Names and keys are matched without regard to case, blanks or dashes.
const ParameterInfo* FindParameterByName(std::string_view nameOrKey);
// The group's name as the window shows it; empty when no group is so named.
std::string_view FindGroupByName(std::string_view nameOrKey);
// " Did you mean \"a\" or \"b\"?" with the keys nearest to `typed` (parameters, and
// groups when `groups`); empty when none is near.
std::string NearestKeys(std::string_view typed, bool groups);
// The nearest of `words` to `typed` by edit distance, when it is near; empty otherwise.
std::vector<std::string> Nearest(std::string_view typed, const std::vector<std::string>& words);
// What the command line may change: the cells the window lets the user edit, and the model
// name.
bool IsWritable(const ParameterInfo& p);
