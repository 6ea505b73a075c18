#pragma once
// Parameter values as the command line shows them, read from the view's cells.
#include <nlohmann/json.hpp>
#include <string>

#include "cli/cli_view.h"
#include "laminator/catalogue.h"

std::string CellOf(const CliView& view, const ParameterInfo& p);
// {"group", "name", "key", "value", "unit", "access"}.
nlohmann::json ParameterJson(const CliView& view, const ParameterInfo& p);
