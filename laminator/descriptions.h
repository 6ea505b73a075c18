#pragma once
// The description shown for a clicked row of a group (strings 173 to 202).
#include <optional>
#include <string>
#include <string_view>

std::optional<std::string_view> RowDescription(std::string_view group, int row);
