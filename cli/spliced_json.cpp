#include "cli/spliced_json.h"

#include <charconv>
#include <cmath>
#include <random>

namespace {
// A laminator's texts go into the same document: the placeholder carries a number drawn
// afresh for each document, which no reply can foresee.
std::string DrawPrefix() {
    std::random_device device;
    return "\x01pellacor-list-" + std::to_string(device()) + std::to_string(device()) + ":";
}

std::string Dumped(const std::string& text) {
    return nlohmann::json(text).dump(-1, ' ', false, nlohmann::json::error_handler_t::replace);
}
}  // namespace

SplicedJson::SplicedJson() : m_prefix(DrawPrefix()) {}

nlohmann::json SplicedJson::Hole(Writer write) {
    m_writers.push_back(std::move(write));
    return m_prefix + std::to_string(m_writers.size() - 1);
}

std::string SplicedJson::Dump(const nlohmann::json& doc) const {
    const std::string tree = doc.dump(2, ' ', false, nlohmann::json::error_handler_t::replace);
    if (m_writers.empty())
        return tree;
    // The dumped placeholder without its closing quote and number.
    std::string start = Dumped(m_prefix);
    start.pop_back();
    std::string out;
    std::size_t from = 0;
    // The holes come in the order the dump meets them, not necessarily the order made.
    for (;;) {
        const std::size_t at = tree.find(start, from);
        if (at == std::string::npos)
            break;
        const std::size_t end = tree.find('"', at + start.size());
        std::size_t index = m_writers.size();
        std::from_chars(tree.data() + at + start.size(), tree.data() + end, index);
        const std::size_t lineStart = tree.rfind('\n', at);
        const std::size_t column = lineStart == std::string::npos ? 0 : lineStart + 1;
        const std::size_t spaces = tree.find_first_not_of(' ', column) - column;
        out.append(tree, from, at - from);
        if (index < m_writers.size())
            m_writers[index](out, std::string(spaces, ' '));
        else
            out.append(tree, at, end + 1 - at);
        from = end + 1;
    }
    out.append(tree, from, std::string::npos);
    return out;
}

std::string JsonString(const std::string& text) {
    return Dumped(text);
}

void AppendJsonDouble(std::string& out, double value) {
    if (!std::isfinite(value)) {
        out += "null";  // as the tree writes them
        return;
    }
    char text[32];
    const auto [end, ec] = std::to_chars(text, text + sizeof text, value);
    const std::string_view written(text, static_cast<std::size_t>(end - text));
    out += written;
    if (written.find_first_of(".e") == std::string_view::npos)
        out += ".0";
}
