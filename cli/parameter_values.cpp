#include "cli/parameter_values.h"

#include "cli/parameter_names.h"
#include "framework/json_text.h"
#include "laminator/encodings.h"
#include "laminator/value_syntax.h"

std::string CellOf(const CliView& view, const ParameterInfo& p) {
    return view.Cell(std::string(p.group), p.row);
}

nlohmann::json ValueJson(const ParameterInfo& p, const std::string& text) {
    if (text.empty())
        return nullptr;
    const ValueSyntax syntax = ParseParameterValue(p, text);
    if (syntax.value) {
        switch (p.encoding) {
            case Encoding::U8:
            case Encoding::TEMP:
            case Encoding::U24:
            case Encoding::U32:
                return CAtoi(*syntax.value);
            case Encoding::S16T:
            case Encoding::U16T:
                return CAtof(*syntax.value);
            default:
                break;
        }
    }
    return BytesToJsonText(text);
}

nlohmann::json ParameterJson(const CliView& view, const ParameterInfo& p) {
    return {{"group", std::string(p.group)}, {"name", std::string(p.name)},
            {"key", StableKey(p.name)},      {"value", ValueJson(p, CellOf(view, p))},
            {"unit", std::string(p.unit)},   {"access", std::string(AttributeText(p))}};
}
