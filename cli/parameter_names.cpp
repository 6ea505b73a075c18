#include "cli/parameter_names.h"

#include <algorithm>
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
        if (StableKey(p.name) == StableKey(nameOrKey))
            return &p;
    }
    return nullptr;
}

std::string_view FindGroupByName(std::string_view nameOrKey) {
    for (std::string_view g : GroupNames()) {
        if (StableKey(g) == StableKey(nameOrKey))
            return g;
    }
    return {};
}

bool IsWritable(const ParameterInfo& p) {
    // The model name has no editor in the list but is written with its group all the same.
    return p.editor != Editor::None || p.key == ParamKey::LaminatorModel;
}

namespace {
std::size_t EditDistance(std::string_view a, std::string_view b) {
    std::vector<std::size_t> row(b.size() + 1);
    for (std::size_t j = 0; j <= b.size(); ++j)
        row[j] = j;
    for (std::size_t i = 1; i <= a.size(); ++i) {
        std::size_t diagonal = row[0];
        row[0] = i;
        for (std::size_t j = 1; j <= b.size(); ++j) {
            const std::size_t above = row[j];
            row[j] = std::min({row[j] + 1, row[j - 1] + 1, diagonal + (a[i - 1] != b[j - 1])});
            diagonal = above;
        }
    }
    return row[b.size()];
}
}  // namespace

std::vector<std::string> Nearest(std::string_view typed, const std::vector<std::string>& words) {
    const std::string key = StableKey(typed);
    std::vector<std::pair<std::size_t, std::string>> scored;
    for (const std::string& w : words) {
        // A word that starts with what was typed is as near as can be.
        const std::size_t d = w.rfind(key, 0) == 0 && !key.empty() ? 0 : EditDistance(key, w);
        if (d <= std::max<std::size_t>(2, key.size() / 3))
            scored.emplace_back(d, w);
    }
    std::stable_sort(scored.begin(), scored.end(),
                     [](const auto& a, const auto& b) { return a.first < b.first; });
    std::vector<std::string> nearest;
    for (const auto& [d, w] : scored) {
        if (nearest.size() < 3)
            nearest.push_back(w);
    }
    return nearest;
}

std::string NearestKeys(std::string_view typed, bool groups) {
    std::vector<std::string> words;
    for (const ParameterInfo& p : Catalogue())
        words.push_back(StableKey(p.name));
    if (groups) {
        for (std::string_view g : GroupNames())
            words.push_back(StableKey(g));
    }
    const std::vector<std::string> nearest = Nearest(typed, words);
    if (nearest.empty())
        return {};
    std::string text = " Did you mean ";
    for (std::size_t i = 0; i < nearest.size(); ++i)
        text += (i == 0                    ? ""
                 : i + 1 == nearest.size() ? " or "
                                           : ", ") +
                ("\"" + nearest[i] + "\"");
    return text + "?";
}
