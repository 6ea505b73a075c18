#pragma once
// Aligned columns for the human-readable output.
#include <string>
#include <vector>

class TextTable {
  public:
    explicit TextTable(std::vector<std::string> header) { m_rows.push_back(std::move(header)); }
    // Cells may hold laminator or file text: their control characters are escaped.
    void Add(std::vector<std::string> row);
    bool Empty() const { return m_rows.size() == 1; }
    std::string Render() const;

  private:
    std::vector<std::vector<std::string>> m_rows;
};
