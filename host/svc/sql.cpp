#include "svc/sql.h"

namespace hostwork::sql {

Db open(const std::string& path, bool create) {
    sqlite3* raw = nullptr;
    const int flags = SQLITE_OPEN_READWRITE | (create ? SQLITE_OPEN_CREATE : 0) | SQLITE_OPEN_FULLMUTEX;
    const int rc = sqlite3_open_v2(path.c_str(), &raw, flags, nullptr);
    Db db(raw);
    if (rc != SQLITE_OK) return nullptr;
    sqlite3_busy_timeout(raw, 5000);
    return db;
}

Statement::Statement(sqlite3* db, const std::string& sql) : m_db(db) {
    if (sqlite3_prepare_v2(db, sql.c_str(), -1, &m_stmt, nullptr) != SQLITE_OK)
        throw std::runtime_error(sqlite3_errmsg(db));
}

Statement& Statement::bind(int index, const std::string& text) {
    sqlite3_bind_text(m_stmt, index, text.data(), static_cast<int>(text.size()), SQLITE_TRANSIENT);
    return *this;
}

Statement& Statement::bind(int index, long long value) {
    sqlite3_bind_int64(m_stmt, index, value);
    return *this;
}

bool Statement::step() {
    const int rc = sqlite3_step(m_stmt);
    if (rc == SQLITE_ROW) return true;
    if (rc == SQLITE_DONE) return false;
    throw std::runtime_error(sqlite3_errmsg(m_db));
}

void Statement::run() {
    while (step()) {
    }
}

std::string Statement::text(int column) const {
    const auto* p = reinterpret_cast<const char*>(sqlite3_column_text(m_stmt, column));
    return p ? std::string(p, static_cast<std::size_t>(sqlite3_column_bytes(m_stmt, column))) : std::string();
}

long long Statement::integer(int column) const { return sqlite3_column_int64(m_stmt, column); }

bool Statement::isNull(int column) const { return sqlite3_column_type(m_stmt, column) == SQLITE_NULL; }

void exec(sqlite3* db, const std::string& sql) {
    char* message = nullptr;
    if (sqlite3_exec(db, sql.c_str(), nullptr, nullptr, &message) != SQLITE_OK) {
        std::string text = message ? message : "SQLite error";
        sqlite3_free(message);
        throw std::runtime_error(text);
    }
}

bool hasTable(sqlite3* db, const std::string& table) {
    Statement st(db, "SELECT 1 FROM sqlite_master WHERE type = 'table' AND name = ?1 COLLATE NOCASE");
    st.bind(1, table);
    return st.step();
}

bool hasColumn(sqlite3* db, const std::string& table, const std::string& column) {
    Statement st(db, "SELECT 1 FROM pragma_table_info(?1) WHERE name = ?2 COLLATE NOCASE");
    st.bind(1, table).bind(2, column);
    return st.step();
}

}  // namespace hostwork::sql
