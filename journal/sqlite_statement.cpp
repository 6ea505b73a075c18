#include "journal/sqlite_statement.h"

SqlStatement::SqlStatement(sqlite3* db, std::string_view sql) {
    if (sqlite3_prepare_v2(db, sql.data(), static_cast<int>(sql.size()), &m_statement, nullptr) !=
        SQLITE_OK)
        m_statement = nullptr;
}

SqlStatement::~SqlStatement() {
    sqlite3_finalize(m_statement);
}

SqlStatement& SqlStatement::Bind(int index, std::int64_t value) {
    sqlite3_bind_int64(m_statement, index, value);
    return *this;
}

SqlStatement& SqlStatement::Bind(int index, std::string_view text) {
    sqlite3_bind_text(m_statement, index, text.data(), static_cast<int>(text.size()),
                      SQLITE_TRANSIENT);
    return *this;
}

SqlStatement& SqlStatement::BindNull(int index) {
    sqlite3_bind_null(m_statement, index);
    return *this;
}

SqlStatement& SqlStatement::Bind(int index, const std::optional<std::int64_t>& value) {
    return value ? Bind(index, *value) : BindNull(index);
}

int SqlStatement::Step() {
    return m_statement ? sqlite3_step(m_statement) : SQLITE_MISUSE;
}

void SqlStatement::Reset() {
    sqlite3_reset(m_statement);
    sqlite3_clear_bindings(m_statement);
}

std::int64_t SqlStatement::Int(int column) const {
    return sqlite3_column_int64(m_statement, column);
}

bool SqlStatement::IsNull(int column) const {
    return sqlite3_column_type(m_statement, column) == SQLITE_NULL;
}

std::string SqlStatement::Text(int column) const {
    const unsigned char* text = sqlite3_column_text(m_statement, column);
    return text ? std::string(reinterpret_cast<const char*>(text),
                              static_cast<std::size_t>(sqlite3_column_bytes(m_statement, column)))
                : std::string();
}

bool ExecSql(sqlite3* db, const char* sql, std::string& error) {
    char* message = nullptr;
    if (sqlite3_exec(db, sql, nullptr, nullptr, &message) == SQLITE_OK)
        return true;
    error = message ? message : sqlite3_errmsg(db);
    sqlite3_free(message);
    return false;
}
