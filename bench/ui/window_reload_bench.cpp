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

#include "bench/support/reload_data.h"
#include "host/hostsvc.h"
#include "package/reload.h"
#include "shell/untKQDM_BSJDW.h"
#include "store/tree.h"
#include "ui/prompt_scripted.h"
#include "ui/untKQFrm_BSJDWManage.h"

namespace stdfs = std::filesystem;
using namespace unitarc;
using unitarc::bench::timed;

namespace {

int kRounds = 5;
constexpr int kEntities = 100;



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
        bench::fillEntities(dm, kEntities);

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
