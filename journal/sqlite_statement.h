#pragma once
// A prepared SQLite statement that finalises itself; binds by position from 1.
#include <sqlite3.h>

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

class SqlStatement {
  public:
    SqlStatement(sqlite3* db, std::string_view sql);
    ~SqlStatement();
    SqlStatement(const SqlStatement&) = delete;
    SqlStatement& operator=(const SqlStatement&) = delete;

    bool Ok() const { return m_statement != nullptr; }
    SqlStatement& Bind(int index, std::int64_t value);
    SqlStatement& Bind(int index, std::string_view text);
    SqlStatement& BindNull(int index);
    SqlStatement& Bind(int index, const std::optional<std::int64_t>& value);
    // SQLITE_ROW, SQLITE_DONE or an error code.
    int Step();
    void Reset();
    std::int64_t Int(int column) const;
    bool IsNull(int column) const;
    std::string Text(int column) const;

  private:
    sqlite3_stmt* m_statement = nullptr;
};

// Runs SQL without results; false with SQLite's reason in `error`.
bool ExecSql(sqlite3* db, const char* sql, std::string& error);
