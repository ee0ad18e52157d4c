// The core tree reload (no widgets) of 100 entities with 1,000 visible materials each, against
// 10 such entities and against a plain select of the same rows. Prints the best of a few
// rounds and the ratios.
#include <fcntl.h>
#include <sqlite3.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdlib>
#include <cstdio>
#include <filesystem>
#include <functional>
#include <string>

#include "bench/support/reload_data.h"
#include "host/hostsvc.h"
#include "package/reload.h"
#include "shell/untKQDM_BSJDW.h"
#include "store/tree.h"

namespace stdfs = std::filesystem;
using namespace unitarc;
using unitarc::bench::timed;

namespace {

int kRounds = 7;


// The busy window of a headless host talks on standard error: silenced while timing.
class QuietErrors {
public:
    QuietErrors() : m_saved(dup(2)) {
        const int null = open("/dev/null", O_WRONLY);
        dup2(null, 2);
        close(null);
    }
    ~QuietErrors() {
        dup2(m_saved, 2);
        close(m_saved);
    }
    QuietErrors(const QuietErrors&) = delete;
    QuietErrors& operator=(const QuietErrors&) = delete;

private:
    int m_saved;
};


// Every visible row of the four tables and every entity row, each column read as text.
std::size_t plainSelect(TKQDM_BSJDW& dm) {
    std::size_t cells = 0;
    sqlite3* db = dm.conUNITARC.handle();
    auto select = [&](const std::string& sql) {
        sqlite3_stmt* s = nullptr;
        sqlite3_prepare_v2(db, sql.c_str(), -1, &s, nullptr);
        const int columns = sqlite3_column_count(s);
        while (sqlite3_step(s) == SQLITE_ROW)
            for (int c = 0; c < columns; ++c)
                if (sqlite3_column_text(s, c)) ++cells;
        sqlite3_finalize(s);
    };
    select("select * from AuditedDeptInfo order by DeptIndex");
    for (const char* table : bench::kTables)
        select(std::string("select * from ") + table + " where CanVisible = 1 order by AuditedDeptCode, DirIndex");
    return cells;
}

}  // namespace

int main(int argc, char** argv) {
    if (argc > 1) kRounds = std::max(1, std::atoi(argv[1]));
    const stdfs::path work = stdfs::temp_directory_path() / ("unitarc-reload-bench-" + std::to_string(getpid()));
    hostwork::setAppExeName(std::string(UNITARC_HOST_DIR) + "/hostwork");
    hostwork::openWorkspace(work.string());

    double reload[2] = {0, 0};
    double select100 = 0;
    std::size_t nodes[2] = {0, 0};
    const int counts[2] = {10, 100};
    for (int k = 0; k < 2; ++k) {
        std::string serial = "P";
        serial += std::to_string(counts[k]);
        hostwork::createProject(serial, "性能测试项目", "ENT0", "ORG1");
        hostwork::setCurrentProject(serial);
        TKQDM_BSJDW dm;
        if (dm.Open(serial) != 1) {
            std::fprintf(stderr, "cannot open the entity database of %s\n", serial.c_str());
            return 1;
        }
        bench::fillEntities(dm, counts[k]);
        store::Tree tree;
        // Rounds of the reload and of the select take turns, so that both see the same load.
        reload[k] = select100 = 1e9;
        for (int round = 0; round < kRounds; ++round) {
            {
                QuietErrors quiet;
                reload[k] = std::min(reload[k], timed([&] { package::reloadTree(dm, tree, "导入"); }));
            }
            if (k == 1) select100 = std::min(select100, timed([&] { plainSelect(dm); }));
        }
        nodes[k] = tree.count();
        dm.Close();
    }
    stdfs::remove_all(work);

    std::printf("tree reload, 1,000 visible materials per entity, best of %d\n", kRounds);
    std::printf("  10 entities    %8.3f s  (%zu nodes)\n", reload[0], nodes[0]);
    std::printf("  100 entities   %8.3f s  (%zu nodes)\n", reload[1], nodes[1]);
    std::printf("  ratio 100/10   %8.2f    (target at most 12)\n", reload[1] / reload[0]);
    std::printf("  plain select   %8.3f s  (the same rows of 100 entities)\n", select100);
    std::printf("  ratio / select %8.2f    (target at most 3)\n", reload[1] / select100);
    return 0;
}
