#include "cli/text_table.h"

#include <algorithm>

#include "cli/terminal_text.h"

void TextTable::Add(std::vector<std::string> row) {
    for (std::string& cell : row)
        cell = EscapeControls(cell);
    m_rows.push_back(std::move(row));
}

std::string TextTable::Render() const {
    std::vector<std::size_t> widths;
    for (const auto& row : m_rows) {
        widths.resize(std::max(widths.size(), row.size()));
        for (std::size_t i = 0; i < row.size(); ++i)
            widths[i] = std::max(widths[i], row[i].size());
    }
    std::string out;
    for (const auto& row : m_rows) {
        std::string line;
        for (std::size_t i = 0; i < row.size(); ++i) {
            line += row[i];
            if (i + 1 < row.size())
                line += std::string(widths[i] - row[i].size() + 2, ' ');
        }
        while (!line.empty() && line.back() == ' ')
            line.pop_back();
        out += line + "\n";
    }
    return out;
}
