#pragma once
// A small SQLite wrapper for the host's own tables.
#include <sqlite3.h>

#include <memory>
#include <optional>
#include <stdexcept>
#include <string>

namespace hostwork::sql {

struct CloseDb {
    void operator()(sqlite3* db) const { sqlite3_close_v2(db); }
};
using Db = std::unique_ptr<sqlite3, CloseDb>;

// Opens (creating when asked) a database with a busy timeout; nullptr on failure.
Db open(const std::string& path, bool create);

class Statement {
public:
    Statement(sqlite3* db, const std::string& sql);  // throws std::runtime_error
    ~Statement() { sqlite3_finalize(m_stmt); }
    Statement(const Statement&) = delete;
    Statement& operator=(const Statement&) = delete;

    Statement& bind(int index, const std::string& text);
    Statement& bind(int index, long long value);
    bool step();  // true while a row is available; throws on error
    void run();   // steps to the end
    std::string text(int column) const;
    long long integer(int column) const;
    bool isNull(int column) const;

private:
    sqlite3* m_db;
    sqlite3_stmt* m_stmt = nullptr;
};

void exec(sqlite3* db, const std::string& sql);  // throws std::runtime_error
bool hasTable(sqlite3* db, const std::string& table);
bool hasColumn(sqlite3* db, const std::string& table, const std::string& column);

}  // namespace hostwork::sql
