#include "app/ini_profile.h"

#include <cctype>
#include <cstdlib>
#include <fstream>

namespace {
std::string_view Trim(std::string_view s) {
    while (!s.empty() && std::isspace(static_cast<unsigned char>(s.front())))
        s.remove_prefix(1);
    while (!s.empty() && std::isspace(static_cast<unsigned char>(s.back())))
        s.remove_suffix(1);
    return s;
}

bool SameName(std::string_view a, std::string_view b) {
    if (a.size() != b.size())
        return false;
    for (std::size_t i = 0; i < a.size(); ++i) {
        if (std::tolower(static_cast<unsigned char>(a[i])) !=
            std::tolower(static_cast<unsigned char>(b[i])))
            return false;
    }
    return true;
}
}  // namespace

std::optional<std::string> ReadProfileString(const std::string& path, std::string_view section,
                                             std::string_view key) {
    std::ifstream file(path, std::ios::binary);
    if (!file)
        return std::nullopt;
    std::string content(kMaxProfileBytes, '\0');
    file.read(content.data(), static_cast<std::streamsize>(content.size()));
    content.resize(static_cast<std::size_t>(file.gcount()));
    return ProfileStringIn(content, section, key);
}

std::optional<std::string> ProfileStringIn(std::string_view content, std::string_view section,
                                           std::string_view key) {
    bool inSection = false;
    while (!content.empty()) {
        const std::size_t end = content.find('\n');
        const std::string_view line = content.substr(0, end);
        content.remove_prefix(end == std::string_view::npos ? content.size() : end + 1);
        std::string_view l = Trim(line);
        if (l.empty() || l.front() == ';')
            continue;
        if (l.front() == '[') {
            const std::size_t close = l.find(']');
            if (close == std::string_view::npos)
                continue;
            // Only the first matching section is read, as the profile reader does.
            if (inSection)
                return std::nullopt;
            inSection = SameName(Trim(l.substr(1, close - 1)), section);
            continue;
        }
        if (!inSection)
            continue;
        const std::size_t eq = l.find('=');
        if (eq == std::string_view::npos || !SameName(Trim(l.substr(0, eq)), key))
            continue;
        std::string_view value = Trim(l.substr(eq + 1));
        if (value.size() >= 2 && (value.front() == '"' || value.front() == '\'') &&
            value.back() == value.front())
            value = value.substr(1, value.size() - 2);
        return std::string(value);
    }
    return std::nullopt;
}

int ReadProfileInt(const std::string& path, std::string_view section, std::string_view key,
                   int fallback) {
    const std::optional<std::string> value = ReadProfileString(path, section, key);
    if (!value)
        return fallback;
    const char* text = value->c_str();
    char* end = nullptr;
    const long parsed = std::strtol(text, &end, 10);
    if (end == text)
        return 0;  // a value without digits reads as 0
    return static_cast<int>(parsed);
}
