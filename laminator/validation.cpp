#include "laminator/validation.h"

#include <functional>
#include <vector>

#include "laminator/catalogue.h"
#include "laminator/encodings.h"
#include "laminator/limit_check.h"
#include "laminator/param_store.h"
#include "link/link_buffers.h"

namespace {

struct Rule {
    std::string_view group;
    int row;
    std::function<bool(const std::string&)> holds;
    int message;
};

bool Between(int v, int low, int high) {
    return low <= v && v <= high;
}
bool Between(double v, double low, double high) {
    return low <= v && v <= high;
}

const std::vector<Rule>& Rules() {
    static const std::vector<Rule> rules = {
        {kGroupLaminatorInfo, 0,
         [](const std::string& t) {
             return t == "0" || t == Store().Get(ParamKey::TotalCardAmount);
         },
         156},
        {kGroupLaminatorInfo, 2, [](const std::string& t) { return t.size() <= 16; }, 157},
        {kGroupParameterSetup, 1, [](const std::string& t) { return CAtoi(t) % 5 == 0; }, 158},
        {kGroupParameterSetup, 1, [](const std::string& t) { return Between(CAtoi(t), 100, 185); },
         158},
        {kGroupParameterSetup, 2, [](const std::string& t) { return Between(CAtoi(t), 5, 35); },
         159},
        {kGroupParameterSetup, 2, [](const std::string& t) { return CAtoi(t) % 5 == 0; }, 160},
        {kGroupParameterSetup, 3, [](const std::string& t) { return Between(CAtoi(t), 9, 35); },
         161},
        {kGroupParameterSetup, 4,
         [](const std::string& t) { return MotorType != 1 || Between(CAtof(t), 0.0, 80.0); }, 162},
        {kGroupParameterSetup, 4,
         [](const std::string& t) { return MotorType != 0 || Between(CAtof(t), -80.0, 80.0); },
         163},
        {kGroupParameterSetup, 5,
         [](const std::string& t) { return Between(CAtof(t), -10.0, 10.0); }, 164},
        {kGroupParameterSetup, 6, [](const std::string& t) { return Between(CAtof(t), 0.0, 80.0); },
         165},
        {kGroupParameterSetup, 8, [](const std::string& t) { return Between(CAtoi(t), 9, 35); },
         166},
        {kGroupParameterSetup, 9, [](const std::string& t) { return Between(CAtoi(t), 0, 10); },
         167},
        {kGroupLaminatorSetup, 1,
         [](const std::string& t) { return CAtoi(t) == 0 || Between(CAtoi(t), 5, 120); }, 168},
        {kGroupLaminatorSetup, 2,
         [](const std::string& t) { return CAtoi(t) == 0 || Between(CAtoi(t), 5, 120); }, 169},
        {kGroupLaminatorSetup, 4, [](const std::string& t) { return Between(CAtoi(t), 0, 255); },
         170},
        {kGroupInterfaceSetup, 0, [](const std::string& t) { return Between(CAtoi(t), 0, 15); },
         171},
        {kGroupInterfaceSetup, 6, [](const std::string& t) { return Between(CAtoi(t), 0, 255); },
         172},
    };
    return rules;
}

// The cells a write of the group encodes as numbers or choices; the text items (serial
// number, model ID, model name) are left out of a write instead when empty.
bool IsEncodedCell(const ParameterInfo& p) {
    if (p.group == kGroupLaminatorInfo)
        return p.key == ParamKey::TotalCardAmount;
    return p.group != kGroupVersionInfo;
}

std::string AddressMessage(std::string_view name) {
    return "The " + std::string(name) + " must be four numbers from 0 to 255 separated by dots!";
}

bool Refuse(LaminatorView& view, const std::string& message) {
    ReportLinkMessage(message);
    view.RunRead();
    return false;
}

}  // namespace

std::optional<std::string> FindUnwritableCell(std::string_view group, const LaminatorView& view) {
    for (const ParameterInfo* p : GroupParameters(group)) {
        if (IsEncodedCell(*p) && view.GetParamCell(p->row).empty())
            return std::string(kReadBeforeWriting);
    }
    if (group != kGroupInterfaceSetup)
        return std::nullopt;
    for (ParamKey key : {ParamKey::IpAddress, ParamKey::SubnetMask, ParamKey::Gateway}) {
        const ParameterInfo& p = Parameter(key);
        if (!IsDottedQuad(view.GetParamCell(p.row)))
            return AddressMessage(p.name);
    }
    if (!IsMacText(view.GetParamCell(Parameter(ParamKey::MacAddress).row)))
        return std::string("The MAC Address must be six hexadecimal pairs separated by colons!");
    return std::nullopt;
}

std::optional<std::string> LimitProblem(const ParameterInfo& p, const std::string& value) {
    for (const Rule& rule : Rules()) {
        if (rule.group == p.group && rule.row == p.row && !rule.holds(value))
            return std::string(LimitMessage(rule.message));
    }
    return std::nullopt;
}

bool ValidateParameters(LaminatorView& view) {
    const std::string group = CurrentGroup();
    for (std::string_view name :
         {kGroupLaminatorInfo, kGroupParameterSetup, kGroupLaminatorSetup, kGroupInterfaceSetup}) {
        if (group != name)
            continue;
        for (const Rule& rule : Rules()) {
            if (rule.group == name && !rule.holds(view.GetParamCell(rule.row)))
                return Refuse(view, std::string(LimitMessage(rule.message)));
        }
        if (std::optional<std::string> problem = FindUnwritableCell(name, view))
            return Refuse(view, *problem);
    }
    return true;
}
