#include "cli/parameter_names.h"

#include <cctype>

std::string StableKey(std::string_view name) {
    std::string key;
    bool gap = false;
    for (char c : name) {
        const auto u = static_cast<unsigned char>(c);
        if (std::isalnum(u) && u < 0x80) {
            if (gap && !key.empty())
                key += '-';
            key += static_cast<char>(std::tolower(u));
            gap = false;
        } else {
            gap = true;
        }
    }
    return key;
}

const ParameterInfo* FindParameterByName(std::string_view nameOrKey) {
    for (const ParameterInfo& p : Catalogue()) {
        if (p.name == nameOrKey || StableKey(p.name) == nameOrKey)
            return &p;
    }
    return nullptr;
}

std::string_view FindGroupByName(std::string_view nameOrKey) {
    for (std::string_view g : GroupNames()) {
        if (g == nameOrKey || StableKey(g) == nameOrKey)
            return g;
    }
    return {};
}

bool IsWritable(const ParameterInfo& p) {
    // The model name has no editor in the list but is written with its group all the same.
    return p.editor != Editor::None || p.key == ParamKey::LaminatorModel;
}
