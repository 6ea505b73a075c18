#include "cli/parameter_values.h"

#include "cli/json_text.h"
#include "cli/parameter_names.h"

std::string CellOf(const CliView& view, const ParameterInfo& p) {
    return view.Cell(std::string(p.group), p.row);
}

nlohmann::json ParameterJson(const CliView& view, const ParameterInfo& p) {
    return {{"group", std::string(p.group)}, {"name", std::string(p.name)},
            {"key", StableKey(p.name)},      {"value", BytesToJsonText(CellOf(view, p))},
            {"unit", std::string(p.unit)},   {"access", std::string(AttributeText(p))}};
}
