// The workspace: base.db, the projects and their databases, the cached connections.
#include "svc/state.h"

#include <QUuid>

#include <array>
#include <cstdlib>
#include <filesystem>
#include <stdexcept>
#include <utility>

namespace stdfs = std::filesystem;

namespace hostwork {
namespace detail {
namespace {

struct Column {
    const char* name;
    const char* type;
};

// Columns of the host tables; a hand-made database gets the missing ones added.
constexpr std::array<Column, 5> kPrjInfoColumns = {{{"PrjID", "TEXT COLLATE NOCASE"},
                                                    {"PrjName", "TEXT"},
                                                    {"AuditedCorpID", "TEXT COLLATE NOCASE"},
                                                    {"PrjExecuteOrganID", "TEXT COLLATE NOCASE"},
                                                    {"PrjFolder", "TEXT"}}};
constexpr std::array<Column, 3> kTypeInfoColumns = {
    {{"TypeName", "TEXT COLLATE NOCASE"}, {"TypeCaption", "TEXT"}, {"IsDisplay", "TEXT"}}};
constexpr std::array<Column, 13> kResTrvColumns = {{{"ResID", "INTEGER PRIMARY KEY"},
                                                    {"ResParentID", "INTEGER"},
                                                    {"ResIndex", "INTEGER"},
                                                    {"ResCaption", "TEXT"},
                                                    {"ResImgIndex", "INTEGER"},
                                                    {"ResTypeName", "TEXT COLLATE NOCASE"},
                                                    {"ResNodeType", "INTEGER"},
                                                    {"ResKeyWord", "TEXT"},
                                                    {"ResFileFlag", "TEXT"},
                                                    {"ResCreateAppID", "TEXT"},
                                                    {"ResFileName", "TEXT"},
                                                    {"ResParam", "TEXT"},
                                                    {"ResReadOnly", "INTEGER DEFAULT 0"}}};

template <std::size_t N>
void ensureTable(sqlite3* db, const std::string& table, const std::array<Column, N>& columns) {
    if (!sql::hasTable(db, table)) {
        std::string ddl = "CREATE TABLE " + table + " (";
        for (std::size_t i = 0; i < N; ++i) {
            if (i) ddl += ", ";
            ddl += std::string(columns[i].name) + " " + columns[i].type;
        }
        sql::exec(db, ddl + ")");
        return;
    }
    for (const Column& c : columns) {
        if (sql::hasColumn(db, table, c.name)) continue;
        std::string type = c.type;
        if (type.starts_with("INTEGER PRIMARY KEY")) type = "INTEGER";  // cannot be added later
        sql::exec(db, "ALTER TABLE " + table + " ADD COLUMN " + c.name + " " + type);
    }
}

std::string withSlash(std::string path) {
    if (path.empty() || path.back() != '/') path += '/';
    return path;
}

void makeFolder(const stdfs::path& p) {
    std::error_code ec;
    stdfs::create_directories(p, ec);
    if (ec || !stdfs::is_directory(p)) throw std::runtime_error("cannot create folder " + p.string());
}

}  // namespace

State& state() {
    static State s;
    return s;
}

bool isPlainComponent(const std::string& name) {
    if (name.empty() || name == "." || name == "..") return false;
    for (const char ch : name) {
        const auto c = static_cast<unsigned char>(ch);
        if (c < 0x20 || c == 0x7F || c == '/' || c == '\\') return false;
    }
    return true;
}

std::string workspaceFolder() {
    std::lock_guard lock(state().mutex);
    return state().workspace.empty() ? defaultWorkspace() : state().workspace;
}

sqlite3* baseDb() {
    State& s = state();
    std::lock_guard lock(s.mutex);
    if (!s.base) {
        const std::string path = workspaceFolder() + "base.db";
        if (!stdfs::is_regular_file(path)) return nullptr;
        s.base = sql::open(path, false);
    }
    return s.base.get();
}

sqlite3* projectDb() {
    State& s = state();
    std::lock_guard lock(s.mutex);
    if (s.project.empty()) return nullptr;
    if (s.projectDb && s.projectDbSerial == s.project) return s.projectDb.get();
    s.projectDb.reset();
    const std::string folder = projectFolder(s.project);
    if (folder.empty()) return nullptr;
    const std::string path = folder + "project.db";
    if (!stdfs::is_regular_file(path)) return nullptr;
    s.projectDb = sql::open(path, false);
    s.projectDbSerial = s.project;
    return s.projectDb.get();
}

std::string projectFolder(const std::string& serial) {
    if (!isPlainComponent(serial)) return {};
    std::string own;
    if (sqlite3* db = baseDb()) {
        try {
            sql::Statement st(db, "SELECT PrjFolder FROM KQ_PrjInfo WHERE PrjID = ?1");
            st.bind(1, serial);
            if (st.step()) own = st.text(0);
        } catch (const std::exception&) {
            own.clear();  // a hand-made base.db the host has not completed yet
        }
    }
    if (own.empty()) return workspaceFolder() + "projects/" + serial + "/";
    if (own.front() != '/') own = workspaceFolder() + own;
    return withSlash(own);
}

std::string tempFolder() {
    const std::string folder = workspaceFolder() + "temp/";
    std::error_code ec;
    stdfs::create_directories(folder, ec);
    return folder;
}

std::string uuid() {
    static const std::string made =
        QUuid::createUuid().toString(QUuid::WithBraces).toUpper().toStdString();
    return made;
}

std::string appExeName() {
    {
        std::lock_guard lock(state().mutex);
        if (!state().appExe.empty()) return state().appExe;
    }
    std::error_code ec;
    const auto exe = stdfs::read_symlink("/proc/self/exe", ec);
    return ec ? std::string() : exe.string();
}

void record(std::string what, std::vector<std::string> args) {
    std::function<void()> listener;
    {
        std::lock_guard lock(state().mutex);
        state().received.push_back({std::move(what), std::move(args)});
        listener = state().listener;
    }
    if (listener) listener();
}

std::size_t putText(const std::string& text, char* out, std::size_t cap) {
    if (out && cap > 0) {
        const std::size_t n = std::min(text.size(), cap - 1);
        text.copy(out, n);
        out[n] = '\0';
    }
    return text.size();
}

}  // namespace detail

using namespace detail;

void openWorkspace(const std::string& dir) {
    if (dir.empty()) throw std::runtime_error("no workspace folder given");
    const std::string root = withSlash(stdfs::absolute(dir).lexically_normal().string());
    makeFolder(root);
    makeFolder(root + "projects");
    makeFolder(root + "temp");
    sql::Db db = sql::open(root + "base.db", true);
    if (!db) throw std::runtime_error("cannot open " + root + "base.db");
    ensureTable(db.get(), "KQ_PrjInfo", kPrjInfoColumns);
    ensureTable(db.get(), "KQ_TypeInfo", kTypeInfoColumns);

    State& s = state();
    std::lock_guard lock(s.mutex);
    s.projectDb.reset();
    s.projectDbSerial.clear();
    s.base = std::move(db);
    s.workspace = root;
    s.project.clear();
}

std::string workspace() { return workspaceFolder(); }

std::string defaultWorkspace() {
    if (const char* env = std::getenv("HOSTWORK_WORKSPACE"); env && *env) return withSlash(env);
    if (const char* xdg = std::getenv("XDG_DATA_HOME"); xdg && *xdg) return withSlash(xdg) + "hostwork/";
    const char* home = std::getenv("HOME");
    return withSlash(home && *home ? home : "/tmp") + ".local/share/hostwork/";
}

void setCurrentProject(const std::string& serial) {
    State& s = state();
    std::lock_guard lock(s.mutex);
    if (s.project == serial) return;
    s.project = serial;
    s.projectDb.reset();
    s.projectDbSerial.clear();
}

std::string currentProject() {
    std::lock_guard lock(state().mutex);
    return state().project;
}

void ensureProjectDatabase(const std::string& projectDbPath) {
    sql::Db db = sql::open(projectDbPath, true);
    if (!db) throw std::runtime_error("cannot open " + projectDbPath);
    ensureTable(db.get(), "KQ_ResTrv", kResTrvColumns);
}

std::string createProject(const std::string& serial, const std::string& name, const std::string& auditedCorpId,
                          const std::string& organId) {
    if (!isPlainComponent(serial)) throw std::invalid_argument("project serial unfit for a folder name: " + serial);
    std::lock_guard lock(state().mutex);
    sqlite3* db = baseDb();
    if (!db) throw std::runtime_error("no workspace database");
    {
        sql::Statement st(db, "SELECT 1 FROM KQ_PrjInfo WHERE PrjID = ?1");
        st.bind(1, serial);
        if (st.step()) throw std::invalid_argument("project exists: " + serial);
    }
    const std::string folder = projectFolder(serial);
    makeFolder(folder + "File");
    ensureProjectDatabase(folder + "project.db");
    sql::Statement st(db,
                      "INSERT INTO KQ_PrjInfo (PrjID, PrjName, AuditedCorpID, PrjExecuteOrganID, PrjFolder) "
                      "VALUES (?1, ?2, ?3, ?4, '')");
    st.bind(1, serial).bind(2, name).bind(3, auditedCorpId).bind(4, organId).run();
    return folder;
}

void updateProject(const std::string& serial, const std::string& name, const std::string& auditedCorpId,
                   const std::string& organId) {
    std::lock_guard lock(state().mutex);
    sqlite3* db = baseDb();
    if (!db) throw std::runtime_error("no workspace database");
    sql::Statement st(db,
                      "UPDATE KQ_PrjInfo SET PrjName = ?2, AuditedCorpID = ?3, PrjExecuteOrganID = ?4 "
                      "WHERE PrjID = ?1");
    st.bind(1, serial).bind(2, name).bind(3, auditedCorpId).bind(4, organId).run();
    if (sqlite3_changes(db) == 0) throw std::runtime_error("no such project: " + serial);
}

std::vector<std::string> projects() {
    std::lock_guard lock(state().mutex);
    std::vector<std::string> serials;
    sqlite3* db = baseDb();
    if (!db) return serials;
    sql::Statement st(db, "SELECT PrjID FROM KQ_PrjInfo ORDER BY PrjID");
    while (st.step()) serials.push_back(st.text(0));
    return serials;
}

ProjectInfo projectInfo(const std::string& serial) {
    std::lock_guard lock(state().mutex);
    ProjectInfo info;
    sqlite3* db = baseDb();
    if (!db) return info;
    try {
        sql::Statement st(db,
                          "SELECT PrjID, PrjName, AuditedCorpID, PrjExecuteOrganID FROM KQ_PrjInfo WHERE PrjID = ?1");
        st.bind(1, serial);
        if (st.step()) info = {st.text(0), st.text(1), st.text(2), st.text(3)};
    } catch (const std::exception&) {
        info = {};
    }
    return info;
}

void setAppExeName(const std::string& path) {
    std::lock_guard lock(state().mutex);
    state().appExe = path;
}

std::vector<Received> received() {
    std::lock_guard lock(state().mutex);
    return state().received;
}

void clearReceived() {
    std::lock_guard lock(state().mutex);
    state().received.clear();
}

void onReceived(std::function<void()> cb) {
    std::lock_guard lock(state().mutex);
    state().listener = std::move(cb);
}

void closeConnections() {
    State& s = state();
    std::lock_guard lock(s.mutex);
    s.base.reset();
    s.projectDb.reset();
    s.projectDbSerial.clear();
}

}  // namespace hostwork

extern "C" {
sqlite3* hostsvc_baseConnection(void) { return hostwork::detail::baseDb(); }
sqlite3* hostsvc_projectConnection(void) { return hostwork::detail::projectDb(); }
}
