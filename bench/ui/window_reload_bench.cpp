// The management window's tree reload (offscreen, the window shown) of 100 entities with
// 1,000 visible materials each, against the core reload of the same data in the same run.
// Prints the best of a few rounds and the ratio.
#include <sqlite3.h>
#include <unistd.h>

#include <QApplication>
#include <QTreeView>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <functional>
#include <string>

#include "host/hostsvc.h"
#include "package/reload.h"
#include "shell/untKQDM_BSJDW.h"
#include "store/tree.h"
#include "ui/prompt_scripted.h"
#include "ui/untKQFrm_BSJDWManage.h"

namespace stdfs = std::filesystem;
using namespace unitarc;

namespace {

int kRounds = 5;
constexpr int kEntities = 100;
constexpr int kFoldersPerCategory = 25;
constexpr int kFilesPerFolder = 9;  // 4 x 25 x (1 + 9) = 1,000 materials per entity
constexpr const char* kTables[] = {"FinanceDataInfo", "FinanceResourceInfo", "TransResourceInfo", "AuditResourceInfo"};
constexpr const char* kCategories[] = {"财务数据", "财务资料", "业务资料", "审计资料"};

double timed(const std::function<void()>& work) {
    const auto start = std::chrono::steady_clock::now();
    work();
    return std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
}

void fill(TKQDM_BSJDW& dm) {
    sqlite3* db = dm.conUNITARC.handle();
    dm.conUNITARC.execute("BEGIN");
    long long index = 0;
    for (int e = 0; e < kEntities; ++e) {
        const std::string code = "ENT" + std::to_string(e);
        dm.conUNITARC.execute("insert into AuditedDeptInfo (AuditedDeptCode, AuditedDeptName, DeptIndex) values ('" +
                              code + "', '单位" + std::to_string(e) + "', " + std::to_string(e + 1) + ")");
        for (int t = 0; t < 4; ++t) {
            sqlite3_stmt* insert = nullptr;
            sqlite3_prepare_v2(db,
                               (std::string("insert into ") + kTables[t] +
                                " (AuditedDeptCode, DirID, PDirID, DirIndex, FileTag, Name, ImageIndex, CanVisible) "
                                "values (?, ?, ?, ?, ?, ?, ?, 1)")
                                   .c_str(),
                               -1, &insert, nullptr);
            auto row = [&](const std::string& id, const std::string& parent, int fileTag, const std::string& name) {
                sqlite3_bind_text(insert, 1, code.c_str(), -1, SQLITE_TRANSIENT);
                sqlite3_bind_text(insert, 2, id.c_str(), -1, SQLITE_TRANSIENT);
                sqlite3_bind_text(insert, 3, parent.c_str(), -1, SQLITE_TRANSIENT);
                sqlite3_bind_int64(insert, 4, ++index);
                sqlite3_bind_int(insert, 5, fileTag);
                sqlite3_bind_text(insert, 6, name.c_str(), -1, SQLITE_TRANSIENT);
                sqlite3_bind_int(insert, 7, fileTag);
                sqlite3_step(insert);
                sqlite3_reset(insert);
            };
            const std::string root = code + "R" + std::to_string(t);
            row(root, "", 0, kCategories[t]);
            for (int f = 0; f < kFoldersPerCategory; ++f) {
                const std::string folder = root + "F" + std::to_string(f);
                row(folder, root, 0, "文件夹" + std::to_string(f));
                for (int i = 0; i < kFilesPerFolder; ++i)
                    row(folder + "M" + std::to_string(i), folder, 1, "资料" + std::to_string(i));
            }
            sqlite3_finalize(insert);
        }
    }
    dm.conUNITARC.execute("COMMIT");
}

}  // namespace

int main(int argc, char** argv) {
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    if (argc > 1) kRounds = std::max(1, std::atoi(argv[1]));

    const stdfs::path work = stdfs::temp_directory_path() / ("unitarc-window-bench-" + std::to_string(getpid()));
    hostwork::setAppExeName(std::string(UNITARC_HOST_DIR) + "/hostwork");
    hostwork::openWorkspace(work.string());
    const std::string serial = "P100";
    hostwork::createProject(serial, "性能测试项目", "ENT0", "ORG1");
    hostwork::setCurrentProject(serial);

    int status = 0;
    {
        TKQDM_BSJDW dm;
        if (dm.Open(serial) != 1) {
            std::fprintf(stderr, "cannot open the entity database of %s\n", serial.c_str());
            return 1;
        }
        fill(dm);

        ui::ScriptedPrompt prompt;
        ui::ScopedPrompt installed(prompt);
        ui::TKQFrm_BSJDWManage window(dm);
        window.resize(1000, 700);
        window.show();  // the first reload
        QApplication::processEvents();

        // Rounds of the two take turns, so that both see the same load.
        double core = 1e9, shown = 1e9;
        std::size_t nodes = 0;
        for (int round = 0; round < kRounds; ++round) {
            store::Tree tree;
            core = std::min(core, timed([&] { package::reloadTree(dm, tree, "导入"); }));
            nodes = tree.count();
            shown = std::min(shown, timed([&] {
                                 window.reloadTree(QStringLiteral("导入"));
                                 QApplication::processEvents();  // the tree and the list paint
                             }));
        }
        if (!prompt.shown.empty()) {
            std::fprintf(stderr, "the window reported: %s\n", qPrintable(prompt.shown.front().text));
            status = 1;
        }
        std::printf("management window reload, %d entities of 1,000 visible materials, best of %d\n", kEntities,
                    kRounds);
        std::printf("  core reload     %8.3f s  (%zu nodes)\n", core, nodes);
        std::printf("  window reload   %8.3f s  (the same tree in view, the entity list open)\n", shown);
        std::printf("  ratio           %8.2f    (target at most 2)\n", shown / core);
        dm.Close();
    }
    stdfs::remove_all(work);
    return status;
}
