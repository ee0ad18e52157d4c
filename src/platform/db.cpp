#include "platform/db.h"

#include <sqlite3.h>

#include <charconv>
#include <climits>
#include <cmath>
#include <unordered_map>

#include "platform/text.h"

namespace unitarc::db {

namespace {

// Jet's Right() under a name that is not an SQLite keyword.
constexpr const char* kRightFunction = "jet_right";
constexpr std::string_view kRowidAlias = "__rowid__";

char lowerAscii(char c) { return (c >= 'A' && c <= 'Z') ? char(c - 'A' + 'a') : c; }

std::string lowerAscii(std::string_view s) {
    std::string out(s);
    for (char& c : out) c = lowerAscii(c);
    return out;
}

bool equalsNoCase(std::string_view a, std::string_view b) {
    if (a.size() != b.size()) return false;
    for (std::size_t i = 0; i < a.size(); ++i)
        if (lowerAscii(a[i]) != lowerAscii(b[i])) return false;
    return true;
}

std::string_view trim(std::string_view s) {
    const auto space = [](char c) { return c == ' ' || c == '\t' || c == '\r' || c == '\n'; };
    while (!s.empty() && space(s.front())) s.remove_prefix(1);
    while (!s.empty() && space(s.back())) s.remove_suffix(1);
    return s;
}

// Bytes of UTF-8 sequences count as identifier characters: Chinese column names.
bool isIdentChar(char c) {
    const auto u = static_cast<unsigned char>(c);
    return (u >= 'a' && u <= 'z') || (u >= 'A' && u <= 'Z') || (u >= '0' && u <= '9') || u == '_' ||
           u == '$' || u >= 0x80;
}

// Calls f(position, length) for every word of the SQL text that stands outside string
// literals, quoted or bracketed names and comments.
template <class F>
void forEachWord(std::string_view sql, F&& f) {
    const std::size_t n = sql.size();
    std::size_t i = 0;
    const auto skipTo = [&](std::size_t from, std::string_view end) {
        const std::size_t at = sql.find(end, from);
        return at == std::string_view::npos ? n : at + end.size();
    };
    while (i < n) {
        const char c = sql[i];
        if (c == '\'' || c == '"' || c == '`') {
            // A doubled quote stays inside the literal.
            std::size_t j = i + 1;
            while (j < n) {
                if (sql[j] == c) {
                    if (j + 1 < n && sql[j + 1] == c) {
                        j += 2;
                        continue;
                    }
                    ++j;
                    break;
                }
                ++j;
            }
            i = j;
        } else if (c == '[') {
            i = skipTo(i + 1, "]");
        } else if (c == '-' && i + 1 < n && sql[i + 1] == '-') {
            i = skipTo(i + 2, "\n");
        } else if (c == '/' && i + 1 < n && sql[i + 1] == '*') {
            i = skipTo(i + 2, "*/");
        } else if (isIdentChar(c)) {
            const std::size_t start = i;
            while (i < n && isIdentChar(sql[i])) ++i;
            f(start, i - start);
        } else {
            ++i;
        }
    }
}

struct StatementDeleter {
    void operator()(sqlite3_stmt* s) const { sqlite3_finalize(s); }
};
using Statement = std::unique_ptr<sqlite3_stmt, StatementDeleter>;

[[noreturn]] void fail(sqlite3* db) { throw Error(sqlite3_errmsg(db)); }

int checkedSize(std::size_t size) {
    if (size > static_cast<std::size_t>(INT_MAX)) throw Error("text too long for the database");
    return static_cast<int>(size);
}

// Prepares the first statement of sql; *rest receives what follows it. A null result
// means the text held only blanks or comments.
Statement prepare(sqlite3* db, std::string_view sql, std::string_view* rest = nullptr) {
    sqlite3_stmt* raw = nullptr;
    const char* tail = nullptr;
    const int rc = sqlite3_prepare_v2(db, sql.data(), checkedSize(sql.size()), &raw, &tail);
    Statement statement(raw);
    if (rc != SQLITE_OK) fail(db);
    if (rest) *rest = tail ? sql.substr(static_cast<std::size_t>(tail - sql.data())) : std::string_view{};
    return statement;
}

// Steps a statement to its end, discarding rows.
void run(sqlite3* db, sqlite3_stmt* statement) {
    for (;;) {
        const int rc = sqlite3_step(statement);
        if (rc == SQLITE_DONE) return;
        if (rc != SQLITE_ROW) fail(db);
    }
}

void runAll(sqlite3* db, std::string_view sql) {
    while (!sql.empty()) {
        std::string_view rest;
        Statement statement = prepare(db, sql, &rest);
        if (!statement) break;
        run(db, statement.get());
        sql = rest;
    }
}

Value readColumn(sqlite3_stmt* statement, int column) {
    switch (sqlite3_column_type(statement, column)) {
    case SQLITE_INTEGER:
        return static_cast<long long>(sqlite3_column_int64(statement, column));
    case SQLITE_FLOAT:
        return sqlite3_column_double(statement, column);
    case SQLITE_TEXT: {
        const auto* text = reinterpret_cast<const char*>(sqlite3_column_text(statement, column));
        return std::string(text ? text : "", static_cast<std::size_t>(sqlite3_column_bytes(statement, column)));
    }
    case SQLITE_BLOB: {
        const auto* blob = static_cast<const char*>(sqlite3_column_blob(statement, column));
        const auto size = static_cast<std::size_t>(sqlite3_column_bytes(statement, column));
        return blob ? std::string(blob, size) : std::string();
    }
    default:
        return std::monostate{};
    }
}

void bindValue(sqlite3* db, sqlite3_stmt* statement, int index, const Value& v) {
    int rc = SQLITE_OK;
    if (std::holds_alternative<std::monostate>(v))
        rc = sqlite3_bind_null(statement, index);
    else if (const auto* i = std::get_if<long long>(&v))
        rc = sqlite3_bind_int64(statement, index, *i);
    else if (const auto* d = std::get_if<double>(&v))
        rc = sqlite3_bind_double(statement, index, *d);
    else {
        const auto& s = std::get<std::string>(v);
        rc = sqlite3_bind_text(statement, index, s.data(), checkedSize(s.size()), SQLITE_TRANSIENT);
    }
    if (rc != SQLITE_OK) fail(db);
}

std::string quoteName(std::string_view name) {
    std::string out = "\"";
    for (char c : name) {
        if (c == '"') out += '"';
        out += c;
    }
    out += '"';
    return out;
}

// Right(x, n): the last n characters of x; null in, null out.
void jetRight(sqlite3_context* context, int, sqlite3_value** argv) {
    if (sqlite3_value_type(argv[0]) == SQLITE_NULL || sqlite3_value_type(argv[1]) == SQLITE_NULL) {
        sqlite3_result_null(context);
        return;
    }
    const sqlite3_int64 count = sqlite3_value_int64(argv[1]);
    if (count < 0) {
        sqlite3_result_error(context, "Right(): negative length", -1);
        return;
    }
    const auto* text = sqlite3_value_text(argv[0]);
    if (!text) {
        sqlite3_result_error_nomem(context);
        return;
    }
    int start = sqlite3_value_bytes(argv[0]);
    const int end = start;
    for (sqlite3_int64 taken = 0; start > 0 && taken < count; ++taken) {
        --start;
        while (start > 0 && (text[start] & 0xC0) == 0x80) --start;  // back over continuation bytes
    }
    sqlite3_result_text(context, reinterpret_cast<const char*>(text) + start, end - start, SQLITE_TRANSIENT);
}

void registerFunctions(sqlite3* db) {
    const int rc = sqlite3_create_function_v2(db, kRightFunction, 2,
                                              SQLITE_UTF8 | SQLITE_DETERMINISTIC | SQLITE_INNOCUOUS, nullptr,
                                              jetRight, nullptr, nullptr, nullptr);
    // Busy means the function is already there and in use by a running statement.
    if (rc != SQLITE_OK && rc != SQLITE_BUSY) fail(db);
}

std::string formatReal(double d) {
    if (std::isfinite(d)) return text::sqlNumber(d);
    return d > 0 ? "Inf" : "-Inf";  // SQLite keeps overflowing reals as infinities
}

long long clampToInt(double d) {
    if (!std::isfinite(d)) return 0;
    if (d >= 9.2233720368547758e18) return LLONG_MAX;
    if (d <= -9.2233720368547758e18) return LLONG_MIN;
    return std::llround(d);
}

std::optional<double> parseReal(std::string_view s) {
    s = trim(s);
    if (!s.empty() && s.front() == '+') s.remove_prefix(1);
    double d = 0;
    const auto result = std::from_chars(s.data(), s.data() + s.size(), d);
    if (result.ec != std::errc() || result.ptr == s.data()) return std::nullopt;
    return d;
}

bool isKnownKey(std::string_view key) {
    static constexpr std::string_view keys[] = {"provider",   "data source", "persist security info",
                                                "password",   "user id",     "mode",
                                                "extended properties"};
    const std::string lower = lowerAscii(trim(key));
    if (lower.starts_with("jet oledb:")) return true;
    for (auto k : keys)
        if (lower == k) return true;
    return false;
}

bool readOnlyMode(std::string_view mode) {
    bool read = false;
    while (!mode.empty()) {
        const std::size_t bar = mode.find('|');
        const std::string token = lowerAscii(trim(mode.substr(0, bar)));
        if (token == "read") read = true;
        if (token == "write" || token == "readwrite") return false;
        mode = bar == std::string_view::npos ? std::string_view{} : mode.substr(bar + 1);
    }
    return read;
}

}  // namespace

// ---- values ----

std::string valueText(const Value& v) {
    if (const auto* i = std::get_if<long long>(&v)) return std::to_string(*i);
    if (const auto* d = std::get_if<double>(&v)) return formatReal(*d);
    if (const auto* s = std::get_if<std::string>(&v)) return *s;
    return {};
}

long long valueInt(const Value& v) {
    if (const auto* i = std::get_if<long long>(&v)) return *i;
    if (const auto* d = std::get_if<double>(&v)) return clampToInt(*d);
    if (const auto* s = std::get_if<std::string>(&v)) {
        std::string_view t = trim(*s);
        if (!t.empty() && t.front() == '+') t.remove_prefix(1);
        long long i = 0;
        const auto result = std::from_chars(t.data(), t.data() + t.size(), i);
        if (result.ec == std::errc() && result.ptr == t.data() + t.size()) return i;
        if (const auto d = parseReal(t)) return clampToInt(*d);
        return result.ec == std::errc() ? i : 0;  // leading digits, else 0
    }
    return 0;
}

double valueDouble(const Value& v) {
    if (const auto* i = std::get_if<long long>(&v)) return static_cast<double>(*i);
    if (const auto* d = std::get_if<double>(&v)) return *d;
    if (const auto* s = std::get_if<std::string>(&v)) return parseReal(*s).value_or(0.0);
    return 0;
}

// ---- connection text ----

std::string connectionText(std::string_view path, std::string_view password) {
    std::string text = "Provider=Microsoft.Jet.OLEDB.4.0;Data Source=";
    text += path;
    text += ";";
    text += "Persist Security Info=False;";
    if (!password.empty()) {
        text += "Jet OLEDB:Database Password=";
        text += password;
    }
    return text;
}

ConnectionSettings parseConnectionText(std::string_view text) {
    std::vector<std::pair<std::string, std::string>> pairs;
    std::size_t pos = 0;
    while (pos <= text.size()) {
        const std::size_t semi = text.find(';', pos);
        const std::string_view segment =
            text.substr(pos, semi == std::string_view::npos ? std::string_view::npos : semi - pos);
        const bool last = semi == std::string_view::npos;
        const std::size_t eq = segment.find('=');
        if (eq != std::string_view::npos && (pairs.empty() || isKnownKey(segment.substr(0, eq)))) {
            pairs.emplace_back(lowerAscii(trim(segment.substr(0, eq))), std::string(segment.substr(eq + 1)));
        } else if (!pairs.empty() && !(last && segment.empty())) {
            // Not a key of its own: the ";" belonged to the value before.
            pairs.back().second += ';';
            pairs.back().second += segment;
        }
        if (last) break;
        pos = semi + 1;
    }
    ConnectionSettings settings;
    for (auto& [key, value] : pairs) {
        if (key == "provider")
            settings.provider = value;
        else if (key == "data source")
            settings.dataSource = value;
        else if (key == "jet oledb:database password" || key == "password")
            settings.password = value;
        else if (key == "mode")
            settings.readOnly = readOnlyMode(value);
    }
    return settings;
}

std::string rewriteJet(std::string_view sql) {
    std::string out;
    std::size_t copied = 0;
    forEachWord(sql, [&](std::size_t start, std::size_t length) {
        if (!equalsNoCase(sql.substr(start, length), "right")) return;
        std::size_t after = start + length;
        while (after < sql.size() && (sql[after] == ' ' || sql[after] == '\t' || sql[after] == '\r' ||
                                      sql[after] == '\n'))
            ++after;
        if (after >= sql.size() || sql[after] != '(') return;
        out.append(sql.substr(copied, start - copied));
        out += kRightFunction;
        copied = start + length;
    });
    out.append(sql.substr(copied));
    return out;
}

// ---- connection ----

Connection::Connection() = default;

Connection::~Connection() {
    if (m_db && m_owned) sqlite3_close_v2(m_db);
}

std::unique_ptr<Connection> Connection::borrow(sqlite3* handle) {
    if (!handle) throw Error("no connection to borrow");
    registerFunctions(handle);
    auto connection = std::make_unique<Connection>();
    connection->m_db = handle;
    connection->m_owned = false;
    return connection;
}

void Connection::open() {
    close();
    const ConnectionSettings settings = parseConnectionText(connectionString);
    if (!settings.password.empty()) throw Error("database passwords are not supported");
    if (settings.dataSource.empty()) throw Error("no data source in the connection text");

    sqlite3* raw = nullptr;
    const int flags = settings.readOnly ? SQLITE_OPEN_READONLY : SQLITE_OPEN_READWRITE;
    const int rc = sqlite3_open_v2(settings.dataSource.c_str(), &raw, flags, nullptr);
    // The handle must be closed whatever happens next.
    std::unique_ptr<sqlite3, int (*)(sqlite3*)> db(raw, sqlite3_close_v2);
    if (!db) throw Error("out of memory");
    if (rc != SQLITE_OK) fail(db.get());

    sqlite3_extended_result_codes(db.get(), 1);
    sqlite3_busy_timeout(db.get(), 5000);
    sqlite3_db_config(db.get(), SQLITE_DBCONFIG_DQS_DML, 0, nullptr);
    sqlite3_db_config(db.get(), SQLITE_DBCONFIG_DQS_DDL, 0, nullptr);
    // The first read of the file: also where a file that is no database fails.
    if (settings.readOnly)
        runAll(db.get(), "PRAGMA schema_version");
    else
        runAll(db.get(), "PRAGMA journal_mode=WAL; PRAGMA synchronous=NORMAL");
    registerFunctions(db.get());

    m_db = db.release();
    m_owned = true;
}

void Connection::close() {
    if (!m_db) return;
    if (m_owned && sqlite3_close(m_db) != SQLITE_OK) fail(m_db);
    m_db = nullptr;
    m_owned = true;
}

sqlite3* Connection::requireOpen() const {
    if (!m_db) throw Error("the connection is not open");
    return m_db;
}

void Connection::execute(std::string_view sql) {
    sqlite3* db = requireOpen();
    runAll(db, rewriteJet(sql));
}

long long Connection::changes() const { return m_db ? sqlite3_changes64(m_db) : 0; }

void Connection::begin() { execute("BEGIN"); }
void Connection::commit() { execute("COMMIT"); }
void Connection::rollback() { execute("ROLLBACK"); }
bool Connection::inTransaction() const { return m_db && !sqlite3_get_autocommit(m_db); }

Transaction::Transaction(Connection& connection) : m_connection(&connection) {
    m_connection->begin();
    m_active = true;
}

Transaction::~Transaction() {
    if (!m_active || !m_connection->inTransaction()) return;
    try {
        m_connection->rollback();
    } catch (const Error&) {
        // Nothing more can be done here; SQLite rolls back when the handle closes.
    }
}

void Transaction::commit() {
    if (!m_active) throw Error("the transaction has ended");
    m_connection->commit();
    m_active = false;
}

// ---- query ----

struct Query::Snapshot {
    std::vector<std::string> names;
    std::unordered_map<std::string, std::size_t> byName;  // lower-cased; the first of equal names wins
    std::vector<Value> cells;                             // row-major
    std::size_t rows = 0;

    // The table behind a single-table select, and each field's column in it.
    bool editable = false;
    std::string database;
    std::string table;
    std::vector<std::string> origins;
    std::vector<long long> rowids;

    // Repeated locates on one field go through a text -> first row index.
    std::unordered_map<std::size_t, unsigned> locateCalls;
    std::unordered_map<std::size_t, std::unordered_map<std::string, std::size_t>> locateIndex;

    std::size_t columns() const { return names.size(); }
    Value& at(std::size_t row, std::size_t column) { return cells[row * columns() + column]; }
    const Value& at(std::size_t row, std::size_t column) const { return cells[row * columns() + column]; }
    void changed() {
        locateCalls.clear();
        locateIndex.clear();
    }
};

namespace {

// Finds the table a select reads all its fields from, and the word "select" to widen
// it with the rowid. Grouped selects are left read-only: their rows are not table rows.
bool singleTableSource(std::string_view sql, sqlite3_stmt* statement, std::size_t* selectEnd,
                       std::string* database, std::string* table) {
    const int count = sqlite3_column_count(statement);
    if (count == 0 || !sqlite3_stmt_readonly(statement)) return false;
    bool first = true, isSelect = false, grouped = false;
    forEachWord(sql, [&](std::size_t start, std::size_t length) {
        const std::string_view word = sql.substr(start, length);
        if (first) {
            isSelect = equalsNoCase(word, "select");
            *selectEnd = start + length;
            first = false;
        } else if (equalsNoCase(word, "group")) {
            grouped = true;
        }
    });
    if (!isSelect || grouped) return false;
    for (int i = 0; i < count; ++i) {
        const char* t = sqlite3_column_table_name(statement, i);
        const char* d = sqlite3_column_database_name(statement, i);
        if (!t || !d || !sqlite3_column_origin_name(statement, i)) return false;
        if (i == 0) {
            *table = t;
            *database = d;
        } else if (*table != t || *database != d) {
            return false;
        }
    }
    return true;
}

}  // namespace

Query::Query(Connection* connection) : m_connection(connection) {}
Query::~Query() = default;
Query::Query(Query&&) noexcept = default;
Query& Query::operator=(Query&&) noexcept = default;

void Query::close() {
    m_data.reset();
    m_row = 0;
    m_state = State::Browse;
    m_pending.clear();
}

void Query::open() {
    if (!m_connection || !m_connection->isOpen()) throw Error("the query has no open connection");
    sqlite3* db = m_connection->handle();
    close();

    const std::string text = rewriteJet(sql);
    std::string_view rest;
    Statement statement = prepare(db, text, &rest);
    if (!statement) throw Error("the query has no SQL text");
    if (prepare(db, rest)) throw Error("the query holds more than one statement");

    auto data = std::make_shared<Snapshot>();
    std::size_t selectEnd = 0;
    if (singleTableSource(text, statement.get(), &selectEnd, &data->database, &data->table)) {
        // The same select with the rowid in front, so posts can find their row.
        std::string widened = text.substr(0, selectEnd);
        widened += " rowid as ";
        widened += kRowidAlias;
        widened += ",";
        widened += text.substr(selectEnd);
        sqlite3_stmt* raw = nullptr;
        if (sqlite3_prepare_v2(db, widened.c_str(), checkedSize(widened.size()), &raw, nullptr) == SQLITE_OK) {
            Statement withRowid(raw);
            const char* t = sqlite3_column_table_name(raw, 0);
            const char* origin = sqlite3_column_origin_name(raw, 0);
            // A view's rowid is no table's: such a select stays read-only.
            if (t && origin && data->table == t && sqlite3_column_count(raw) == sqlite3_column_count(statement.get()) + 1) {
                statement = std::move(withRowid);
                data->editable = true;
            }
        } else {
            sqlite3_finalize(raw);
        }
    }

    const int offset = data->editable ? 1 : 0;
    const int count = sqlite3_column_count(statement.get()) - offset;
    sqlite3_stmt* s = statement.get();
    data->names.reserve(static_cast<std::size_t>(count));
    for (int i = 0; i < count; ++i) {
        const char* name = sqlite3_column_name(s, i + offset);
        data->names.emplace_back(name ? name : "");
        data->byName.emplace(lowerAscii(data->names.back()), static_cast<std::size_t>(i));
        if (data->editable) data->origins.emplace_back(sqlite3_column_origin_name(s, i + offset));
    }
    for (;;) {
        const int rc = sqlite3_step(s);
        if (rc == SQLITE_DONE) break;
        if (rc != SQLITE_ROW) fail(db);
        if (data->editable) data->rowids.push_back(sqlite3_column_int64(s, 0));
        for (int i = 0; i < count; ++i) data->cells.push_back(readColumn(s, i + offset));
        ++data->rows;
    }
    m_data = std::move(data);
}

bool Query::isOpen() const { return m_data != nullptr; }

bool Query::eof() const {
    if (!m_data) return true;
    if (m_state == State::Insert) return false;
    return m_row >= m_data->rows;
}

bool Query::isEmpty() const { return !m_data || m_data->rows == 0; }
std::size_t Query::recordCount() const { return m_data ? m_data->rows : 0; }
std::size_t Query::recNo() const { return m_row; }

void Query::checkBrowse() {
    if (m_state != State::Browse) post();
}

void Query::first() {
    checkBrowse();
    m_row = 0;
}

void Query::next() {
    checkBrowse();
    if (m_data && m_row < m_data->rows) ++m_row;
}

void Query::moveTo(std::size_t row) {
    checkBrowse();
    m_row = m_data ? std::min(row, m_data->rows) : 0;
}

int Query::fieldIndex(std::string_view field) const {
    if (!m_data) return -1;
    const auto it = m_data->byName.find(lowerAscii(field));
    return it == m_data->byName.end() ? -1 : static_cast<int>(it->second);
}

std::size_t Query::requireField(std::string_view field) const {
    if (!m_data) throw Error("the query is not open");
    const int index = fieldIndex(field);
    if (index < 0) throw Error("no field named " + std::string(field));
    return static_cast<std::size_t>(index);
}

const Value& Query::value(std::string_view field) const {
    static const Value null;
    const std::size_t column = requireField(field);
    if (m_state != State::Browse) {
        for (const auto& [index, v] : m_pending)
            if (index == column) return v;
        if (m_state == State::Insert) return null;
    }
    if (m_row >= m_data->rows) throw Error("no current row");
    return m_data->at(m_row, column);
}

bool Query::isNull(std::string_view field) const {
    return std::holds_alternative<std::monostate>(value(field));
}

std::vector<std::string> Query::fieldNames() const { return m_data ? m_data->names : std::vector<std::string>{}; }

const Value& Query::valueAt(std::size_t row, std::size_t column) const {
    if (!m_data) throw Error("the query is not open");
    if (row >= m_data->rows || column >= m_data->columns()) throw Error("no such row or field");
    return m_data->at(row, column);
}

bool Query::locate(std::string_view field, std::string_view value) {
    const std::size_t column = requireField(field);
    checkBrowse();
    Snapshot& data = *m_data;
    std::optional<std::size_t> found;
    // A one-off look-up scans; a field looked up again earns an index.
    if (++data.locateCalls[column] < 2) {
        for (std::size_t row = 0; row < data.rows && !found; ++row) {
            const Value& v = data.at(row, column);
            const auto* s = std::get_if<std::string>(&v);  // text needs no conversion
            if (s ? *s == value : valueText(v) == value) found = row;
        }
    } else {
        auto [it, created] = data.locateIndex.try_emplace(column);
        auto& index = it->second;
        if (created) {
            index.reserve(data.rows);
            for (std::size_t row = 0; row < data.rows; ++row) index.try_emplace(valueText(data.at(row, column)), row);
        }
        const auto hit = index.find(std::string(value));
        if (hit != index.end()) found = hit->second;
    }
    if (!found) return false;
    m_row = *found;
    return true;
}

Query Query::clone() const {
    Query copy(m_connection);
    copy.sql = sql;
    copy.m_data = m_data;
    return copy;
}

bool Query::isEditable() const { return m_data && m_data->editable; }

void Query::edit() {
    if (!m_data) throw Error("the query is not open");
    if (m_state == State::Edit) return;
    checkBrowse();
    if (m_row >= m_data->rows) throw Error("no current row to edit");
    m_state = State::Edit;
}

void Query::append() {
    if (!m_data) throw Error("the query is not open");
    checkBrowse();
    m_state = State::Insert;
}

void Query::setValue(std::string_view field, Value v) {
    const std::size_t column = requireField(field);
    if (m_state == State::Browse) edit();
    for (auto& [index, pending] : m_pending) {
        if (index == column) {
            pending = std::move(v);
            return;
        }
    }
    m_pending.emplace_back(column, std::move(v));
}

void Query::cancel() {
    m_pending.clear();
    m_state = State::Browse;
}

void Query::post() {
    if (m_state == State::Browse) return;
    if (!m_data->editable) throw Error("the query cannot be updated: it does not read one table");
    if (!m_connection || !m_connection->isOpen()) throw Error("the query has no open connection");
    sqlite3* db = m_connection->handle();
    Snapshot& data = *m_data;
    const std::string target = quoteName(data.database) + "." + quoteName(data.table);

    if (m_state == State::Edit && m_pending.empty()) {
        m_state = State::Browse;
        return;
    }

    long long rowid = 0;
    std::string statementText;
    if (m_state == State::Edit) {
        statementText = "UPDATE " + target + " SET ";
        for (std::size_t i = 0; i < m_pending.size(); ++i) {
            if (i) statementText += ", ";
            statementText += quoteName(data.origins[m_pending[i].first]) + "=?";
        }
        statementText += " WHERE rowid=?";
        rowid = data.rowids[m_row];
    } else if (m_pending.empty()) {
        statementText = "INSERT INTO " + target + " DEFAULT VALUES";
    } else {
        std::string columns, marks;
        for (std::size_t i = 0; i < m_pending.size(); ++i) {
            if (i) {
                columns += ", ";
                marks += ", ";
            }
            columns += quoteName(data.origins[m_pending[i].first]);
            marks += "?";
        }
        statementText = "INSERT INTO " + target + " (" + columns + ") VALUES (" + marks + ")";
    }

    Statement write = prepare(db, statementText);
    int parameter = 1;
    for (const auto& [index, v] : m_pending) bindValue(db, write.get(), parameter++, v);
    if (m_state == State::Edit) {
        if (sqlite3_bind_int64(write.get(), parameter, rowid) != SQLITE_OK) fail(db);
    }
    run(db, write.get());
    if (m_state == State::Edit && sqlite3_changes64(db) == 0) throw Error("the row to update no longer exists");
    if (m_state == State::Insert) rowid = sqlite3_last_insert_rowid(db);

    // Read the row back as stored: the column types decide what a value became.
    std::string reread = "SELECT ";
    for (std::size_t i = 0; i < data.origins.size(); ++i) {
        if (i) reread += ", ";
        reread += quoteName(data.origins[i]);
    }
    if (data.origins.empty()) reread += "1";
    reread += " FROM " + target + " WHERE rowid=?";
    Statement read = prepare(db, reread);
    if (sqlite3_bind_int64(read.get(), 1, rowid) != SQLITE_OK) fail(db);
    const int rc = sqlite3_step(read.get());
    if (rc != SQLITE_ROW && rc != SQLITE_DONE) fail(db);

    std::size_t row = m_row;
    if (m_state == State::Insert) {
        row = data.rows;
        data.cells.resize(data.cells.size() + data.columns());
        data.rowids.push_back(rowid);
        ++data.rows;
    }
    for (std::size_t i = 0; i < data.columns(); ++i)
        data.at(row, i) = rc == SQLITE_ROW ? readColumn(read.get(), static_cast<int>(i)) : Value{};
    data.changed();

    m_row = row;
    m_pending.clear();
    m_state = State::Browse;
}

}  // namespace unitarc::db
