#pragma once
// Parameter values as the command line shows them, read from the view's cells.
#include <nlohmann/json.hpp>
#include <string>

#include "cli/cli_view.h"
#include "laminator/catalogue.h"

std::string CellOf(const CliView& view, const ParameterInfo& p);
// A value as JSON: a number for the numeric kinds, null when it was not read, else text.
nlohmann::json ValueJson(const ParameterInfo& p, const std::string& text);
// {"group", "name", "key", "value", "unit", "access"}.
nlohmann::json ParameterJson(const CliView& view, const ParameterInfo& p);
