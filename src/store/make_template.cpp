// Builds the template entity database from the schema script: make_template SCHEMA OUTPUT.
// The file is written under a temporary name and renamed, so a reader never sees half of it.
#include <sqlite3.h>

#include <cstdio>
#include <filesystem>
#include <fstream>
#include <memory>
#include <sstream>
#include <string>

namespace {

namespace fs = std::filesystem;

bool build(const fs::path& schema, const fs::path& output) {
    std::ifstream in(schema, std::ios::binary);
    if (!in) {
        std::fprintf(stderr, "make_template: cannot read %s\n", schema.c_str());
        return false;
    }
    std::ostringstream script;
    script << in.rdbuf();

    std::error_code ec;
    fs::create_directories(output.parent_path(), ec);
    const fs::path temporary = output.string() + ".tmp";
    fs::remove(temporary, ec);

    {
        sqlite3* raw = nullptr;
        const int rc = sqlite3_open_v2(temporary.c_str(), &raw, SQLITE_OPEN_READWRITE | SQLITE_OPEN_CREATE, nullptr);
        std::unique_ptr<sqlite3, int (*)(sqlite3*)> db(raw, sqlite3_close);
        // A rollback journal: the copied file must hold everything by itself.
        const std::string sql = "PRAGMA journal_mode=DELETE; BEGIN; " + script.str() + "; COMMIT;";
        char* message = nullptr;
        if (rc != SQLITE_OK || sqlite3_exec(db.get(), sql.c_str(), nullptr, nullptr, &message) != SQLITE_OK) {
            std::fprintf(stderr, "make_template: %s\n", message ? message : sqlite3_errmsg(db.get()));
            sqlite3_free(message);
            db.reset();
            fs::remove(temporary, ec);
            return false;
        }
        if (sqlite3_close(db.release()) != SQLITE_OK) {
            fs::remove(temporary, ec);
            return false;
        }
    }

    fs::rename(temporary, output, ec);
    if (ec) {
        std::fprintf(stderr, "make_template: %s\n", ec.message().c_str());
        fs::remove(temporary, ec);
        return false;
    }
    return true;
}

}  // namespace

int main(int argc, char** argv) {
    if (argc != 3) {
        std::fprintf(stderr, "usage: make_template SCHEMA OUTPUT\n");
        return 2;
    }
    return build(argv[1], argv[2]) ? 0 : 1;
}
