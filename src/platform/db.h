#pragma once
// An ADO-like layer over SQLite: connections, queries with a client-side snapshot
// and a cursor, and statements. Speaks the Jet SQL that the system writes.
#include <memory>
#include <optional>
#include <stdexcept>
#include <string>
#include <string_view>
#include <utility>
#include <variant>
#include <vector>

struct sqlite3;

namespace unitarc::db {

// Every failure inside the layer; carries SQLite's message.
class Error : public std::runtime_error {
public:
    using std::runtime_error::runtime_error;
};

// A field value as SQLite holds it (blobs come back as bytes in a string).
using Value = std::variant<std::monostate, long long, double, std::string>;

std::string valueText(const Value& v);   // null "", integers in decimal, reals up to 15 digits
long long valueInt(const Value& v);       // null 0; text parsed leniently
double valueDouble(const Value& v);       // null 0

// "Provider=...;Data Source=P;Persist Security Info=False;" and, only with a password,
// "Jet OLEDB:Database Password=W" with no closing ";".
std::string connectionText(std::string_view path, std::string_view password);

struct ConnectionSettings {
    std::string provider;
    std::string dataSource;
    std::string password;
    bool readOnly = false;  // "Mode=Read": for browsing files that are not ours
};
// Values are taken verbatim; a ";" inside a value survives as long as what follows
// it does not read as a known key.
ConnectionSettings parseConnectionText(std::string_view text);

// The Jet SQL that SQLite reads otherwise, rewritten: Right(x, n) becomes a registered
// function of another name. Exposed for tests.
std::string rewriteJet(std::string_view sql);

class Connection {
public:
    Connection();
    ~Connection();
    Connection(const Connection&) = delete;
    Connection& operator=(const Connection&) = delete;

    // A connection lent by the host: never closed by us.
    static std::unique_ptr<Connection> borrow(sqlite3* handle);

    std::string connectionString;  // set before open()
    // Opens connectionString (closing first when open). Never creates a missing file;
    // a password is refused, since SQLite files carry none. Throws Error.
    void open();
    void close();                  // no-op when closed; a borrowed handle is only let go
    bool isOpen() const { return m_db != nullptr; }
    bool isBorrowed() const { return m_db != nullptr && !m_owned; }

    void execute(std::string_view sql);  // one or more statements; throws Error
    long long changes() const;

    // Explicit transactions, for work that must land whole or not at all.
    void begin();
    void commit();
    void rollback();
    bool inTransaction() const;

    sqlite3* handle() const { return m_db; }

private:
    sqlite3* requireOpen() const;
    sqlite3* m_db = nullptr;
    bool m_owned = true;
};

// Begins a transaction and rolls it back on destruction unless committed.
class Transaction {
public:
    explicit Transaction(Connection& connection);
    ~Transaction();
    Transaction(const Transaction&) = delete;
    Transaction& operator=(const Transaction&) = delete;

    void commit();

private:
    Connection* m_connection;
    bool m_active = false;
};

// A query: close, set SQL, open, then walk a snapshot of its rows with a cursor.
// Single-table selects can be edited, appended to and posted back.
class Query {
public:
    explicit Query(Connection* connection = nullptr);
    ~Query();
    Query(Query&&) noexcept;
    Query& operator=(Query&&) noexcept;

    void setConnection(Connection* connection) { m_connection = connection; }
    Connection* connection() const { return m_connection; }

    std::string sql;
    void close();                      // drops pending edits
    void open();                       // throws Error
    void open(std::string_view text) { close(); sql = text; open(); }
    bool isOpen() const;

    bool eof() const;
    bool isEmpty() const;
    std::size_t recordCount() const;
    std::size_t recNo() const;         // 0-based cursor position
    // Moving the cursor posts a pending edit first.
    void first();
    void next();
    void moveTo(std::size_t row);

    // Fields of the current row, by name (case-insensitive). Throws Error for an
    // unknown name or when there is no current row. While editing, a value set with
    // setValue() is what reads back.
    const Value& value(std::string_view field) const;
    std::string text(std::string_view field) const { return valueText(value(field)); }
    long long integer(std::string_view field) const { return valueInt(value(field)); }
    double number(std::string_view field) const { return valueDouble(value(field)); }
    bool isNull(std::string_view field) const;
    std::vector<std::string> fieldNames() const;
    const Value& valueAt(std::size_t row, std::size_t column) const;
    int fieldIndex(std::string_view field) const;  // -1 when absent

    // Moves to the first row whose field equals the value exactly (text comparison).
    // Leaves the cursor where it was when no row matches.
    bool locate(std::string_view field, std::string_view value);

    // An independent cursor over the same snapshot, for look-ups without moving this one.
    // It starts at the first row; rows posted through either are seen by both.
    Query clone() const;

    // Editing the current row or a new one; post() writes it back with one statement
    // and re-reads the row as stored. Only a select over one table can be posted.
    bool isEditable() const;
    void edit();
    void append();
    void setValue(std::string_view field, Value v);  // starts an edit when browsing
    void post();
    void cancel();

private:
    struct Snapshot;
    std::size_t requireField(std::string_view field) const;
    void checkBrowse();
    Connection* m_connection = nullptr;
    std::shared_ptr<Snapshot> m_data;
    std::size_t m_row = 0;
    enum class State { Browse, Edit, Insert } m_state = State::Browse;
    std::vector<std::pair<std::size_t, Value>> m_pending;  // field index, new value
};

}  // namespace unitarc::db
