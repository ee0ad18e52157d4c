#include <sqlite3.h>

#include <QApplication>
#include <QDialog>
#include <QMainWindow>
#include <QMdiArea>
#include <QMdiSubWindow>
#include <QPointer>
#include <QTimer>

#include <climits>
#include <filesystem>

#include "harness.h"
#include "host/hostsvc.h"

namespace unitarc::test {
namespace {

namespace stdfs = std::filesystem;

constexpr std::int32_t kShow = 704;
constexpr std::int32_t kPackage = 705;
constexpr std::int32_t kShutDown = -999;

const QString kNoProject = "Fieldora|没有打开项目！";
const QString kOpenFailed = "Fieldora|连接被审计单位数据库失败！";

// While a modal dialog runs, notes it and closes it; stops itself once it has.
class ModalCloser {
public:
    ModalCloser() {
        m_timer.setInterval(10);
        QObject::connect(&m_timer, &QTimer::timeout, [this] {
            if (QWidget* modal = QApplication::activeModalWidget()) {
                dialog = qobject_cast<QDialog*>(modal);
                title = modal->windowTitle();
                parent = modal->parentWidget();
                modal->close();
                m_timer.stop();
            }
        });
        m_timer.start();
    }
    QPointer<QDialog> dialog;
    QString title;
    QPointer<QWidget> parent;

private:
    QTimer m_timer;
};

// A stand-in for the host's main window with its MDI area.
struct HostMainWindow {
    HostMainWindow() {
        window.setCentralWidget(mdi);
        window.resize(800, 600);
        window.show();
    }
    QMainWindow window;
    QMdiArea* mdi = new QMdiArea;
};

class RunAppEvnTest : public HostedPluginTest {};

// --- no project open

struct NoProjectCase {
    const char* name;
    const char* serial;
    std::int32_t code;
};
void PrintTo(const NoProjectCase& c, std::ostream* os) { *os << c.name; }

class NoProjectOpen : public HostedPluginTest, public ::testing::WithParamInterface<NoProjectCase> {};

TEST_P(NoProjectOpen, refusesWithAMessageAndTouchesNothing) {
    hostwork::setCurrentProject(GetParam().serial);

    EXPECT_EQ(plugin->run(GetParam().code), -2);

    EXPECT_EQ(messages(), QStringList{kNoProject});
    EXPECT_TRUE(managerWindows().isEmpty());
    EXPECT_FALSE(stdfs::exists(projectFolder() + "File/BSJDW"));
}

INSTANTIATE_TEST_SUITE_P(
    SerialsAndCodes, NoProjectOpen,
    ::testing::Values(NoProjectCase{"emptySerialShow", "", kShow},
                      NoProjectCase{"emptySerialPackage", "", kPackage},
                      NoProjectCase{"emptySerialShutDown", "", kShutDown},
                      NoProjectCase{"emptySerialOtherCode", "", 0},
                      NoProjectCase{"upperCaseTestProjectShow", "PROJECTTEST", kShow},
                      NoProjectCase{"lowerCaseTestProjectShutDown", "projecttest", kShutDown},
                      NoProjectCase{"mixedCaseTestProjectPackage", "ProjectTest", kPackage}),
    [](const auto& info) { return std::string(info.param.name); });

TEST_F(RunAppEvnTest, shutDownWithoutProjectLeavesTheConnectionOpen) {
    ASSERT_EQ(plugin->run(0), 0);
    ASSERT_TRUE(fileIsOpen(database()));
    hostwork::setCurrentProject("");

    EXPECT_EQ(plugin->run(kShutDown), -2);

    EXPECT_TRUE(fileIsOpen(database()));
}

TEST_F(RunAppEvnTest, aSerialMerelyContainingTheTestNameIsAProject) {
    const std::string folder = hostwork::createProject("PROJECTTEST2", "x", "", "");
    hostwork::setCurrentProject("PROJECTTEST2");

    EXPECT_EQ(plugin->run(0), 0);

    EXPECT_TRUE(stdfs::exists(folder + "File/BSJDW/UNITARC.mdb"));
}

// --- shutting down

TEST_F(RunAppEvnTest, shutDownWithoutWindowClosesTheConnection) {
    ASSERT_EQ(plugin->run(0), 0);
    ASSERT_TRUE(fileIsOpen(database()));

    EXPECT_EQ(plugin->run(kShutDown), 0);

    EXPECT_FALSE(fileIsOpen(database()));
    EXPECT_TRUE(messages().isEmpty());
}

TEST_F(RunAppEvnTest, shutDownClosesAndFreesTheManagerWindow) {
    HostMainWindow host;
    ASSERT_EQ(plugin->run(kShow), 0);
    ASSERT_EQ(managerWindows().size(), 1);

    EXPECT_EQ(plugin->run(kShutDown), 0);
    settle();

    EXPECT_TRUE(managerWindows().isEmpty());
    EXPECT_TRUE(host.mdi->subWindowList().isEmpty());
    EXPECT_FALSE(fileIsOpen(database()));
}

TEST_F(RunAppEvnTest, shutDownFreesAStandAloneManagerWindow) {
    ASSERT_EQ(plugin->run(kShow), 0);
    QPointer<QWidget> window = managerWindows().value(0);
    ASSERT_TRUE(window && window->isWindow());

    EXPECT_EQ(plugin->run(kShutDown), 0);
    settle();

    EXPECT_TRUE(window.isNull());
    EXPECT_TRUE(managerWindows().isEmpty());
}

TEST_F(RunAppEvnTest, showAfterShutDownOpensAgain) {
    ASSERT_EQ(plugin->run(kShow), 0);
    ASSERT_EQ(plugin->run(kShutDown), 0);

    EXPECT_EQ(plugin->run(kShow), 0);
    settle();

    EXPECT_EQ(managerWindows().size(), 1);
    EXPECT_TRUE(fileIsOpen(database()));
}

// --- the management window

TEST_F(RunAppEvnTest, twoShowCallsMakeOneWindowLoadedOnce) {
    HostMainWindow host;

    EXPECT_EQ(plugin->run(kShow), 0);
    EXPECT_EQ(plugin->run(kShow), 0);

    const auto windows = managerWindows();
    ASSERT_EQ(windows.size(), 1);
    EXPECT_EQ(windows[0]->property("reloadCount").toInt(), 1);
    EXPECT_TRUE(windows[0]->isVisible());
    EXPECT_EQ(windows[0]->windowTitle(), "被审计单位资料管理");
}

TEST_F(RunAppEvnTest, managerWindowIsAMaximisedSubwindowOfTheHost) {
    HostMainWindow host;

    ASSERT_EQ(plugin->run(kShow), 0);

    const auto subwindows = host.mdi->subWindowList();
    ASSERT_EQ(subwindows.size(), 1);
    EXPECT_EQ(subwindows[0]->widget(), managerWindows().value(0));
    EXPECT_TRUE(subwindows[0]->isMaximized());
    EXPECT_EQ(host.mdi->activeSubWindow(), subwindows[0]);
}

TEST_F(RunAppEvnTest, managerWindowStandsAloneWithoutAnMdiArea) {
    ASSERT_EQ(plugin->run(kShow), 0);

    const auto windows = managerWindows();
    ASSERT_EQ(windows.size(), 1);
    EXPECT_TRUE(windows[0]->isWindow());
    EXPECT_TRUE(windows[0]->isVisible());
}

TEST_F(RunAppEvnTest, everyCallReopensTheDatabaseWhileTheWindowStaysOpen) {
    ASSERT_EQ(plugin->run(kShow), 0);
    const std::string other = hostwork::createProject("P2", "第二个项目", "", "");
    hostwork::setCurrentProject("P2");

    EXPECT_EQ(plugin->run(kShow), 0);

    EXPECT_TRUE(fileIsOpen(other + "File/BSJDW/UNITARC.mdb"));
    EXPECT_FALSE(fileIsOpen(database()));
    EXPECT_EQ(managerWindows().size(), 1);
}

// --- the package dialog

TEST_F(RunAppEvnTest, packageDialogRunsModallyAndIsFreed) {
    ModalCloser closer;

    EXPECT_EQ(plugin->run(kPackage), 0);

    EXPECT_EQ(closer.title, "生成被审计单位数据包");
    EXPECT_TRUE(closer.title.size() > 0 && closer.dialog.isNull());
}

TEST_F(RunAppEvnTest, packageDialogRunsOverTheOpenManager) {
    HostMainWindow host;
    ASSERT_EQ(plugin->run(kShow), 0);
    ModalCloser closer;

    EXPECT_EQ(plugin->run(kPackage), 0);

    EXPECT_EQ(closer.parent.data(), managerWindows().value(0));
    EXPECT_EQ(managerWindows().size(), 1);
}

TEST_F(RunAppEvnTest, exceptionWhileThePackageDialogIsMadeGivesMinus1WithoutAMessage) {
    ASSERT_EQ(plugin->run(0), 0);
    ASSERT_EQ(plugin->run(kShutDown), 0);
    // A database that still opens but has lost its entity table: the dialog cannot list them.
    sqlite3* db = nullptr;
    ASSERT_EQ(sqlite3_open(database().c_str(), &db), SQLITE_OK);
    ASSERT_EQ(sqlite3_exec(db, "Drop Table AuditedDeptInfo", nullptr, nullptr, nullptr), SQLITE_OK);
    sqlite3_close(db);
    ModalCloser closer;

    EXPECT_EQ(plugin->run(kPackage), -1);
    settle();

    EXPECT_TRUE(messages().isEmpty());
    EXPECT_TRUE(closer.title.isEmpty()) << "no dialog ran";
    for (QWidget* w : QApplication::topLevelWidgets())
        EXPECT_NE(w->windowTitle(), "生成被审计单位数据包") << "the dialog was left behind";
    EXPECT_TRUE(fileIsOpen(database())) << "the database was opened before the dialog";
}

// --- opening the entity database

TEST_F(RunAppEvnTest, firstCallCopiesTheTemplateAndSecondDoesNotRecopy) {
    ASSERT_EQ(plugin->run(0), 0);
    ASSERT_TRUE(stdfs::exists(database()));
    ASSERT_EQ(plugin->run(kShutDown), 0);
    sqlite3* db = nullptr;
    ASSERT_EQ(sqlite3_open(database().c_str(), &db), SQLITE_OK);
    ASSERT_EQ(sqlite3_exec(db, "Insert Into AuditedDeptInfo (AuditedDeptCode) Values ('MARK')", nullptr, nullptr,
                           nullptr),
              SQLITE_OK);
    sqlite3_close(db);

    ASSERT_EQ(plugin->run(0), 0);
    ASSERT_EQ(plugin->run(kShutDown), 0);

    ASSERT_EQ(sqlite3_open(database().c_str(), &db), SQLITE_OK);
    int rows = 0;
    sqlite3_exec(
        db, "Select Count(*) From AuditedDeptInfo Where AuditedDeptCode = 'MARK'",
        [](void* out, int, char** values, char**) {
            *static_cast<int*>(out) = std::atoi(values[0]);
            return 0;
        },
        &rows, nullptr);
    sqlite3_close(db);
    EXPECT_EQ(rows, 1);
}

struct OpenFailureCase {
    const char* name;
    std::int32_t code;
};
void PrintTo(const OpenFailureCase& c, std::ostream* os) { *os << c.name; }

class OpenFailure : public HostedPluginTest, public ::testing::WithParamInterface<OpenFailureCase> {};

TEST_P(OpenFailure, missingProjectFolderGivesMinus100) {
    stdfs::remove_all(projectFolder());

    EXPECT_EQ(plugin->run(GetParam().code), -100);

    EXPECT_EQ(messages(), QStringList{kOpenFailed});
    EXPECT_TRUE(managerWindows().isEmpty());
}

TEST_P(OpenFailure, projectWithoutFileFolderGivesMinus101) {
    stdfs::remove_all(projectFolder() + "File");

    EXPECT_EQ(plugin->run(GetParam().code), -101);

    EXPECT_EQ(messages(), QStringList{kOpenFailed});
    EXPECT_FALSE(stdfs::exists(projectFolder() + "File"));
}

TEST_P(OpenFailure, missingTemplateGivesMinus101) {
    stdfs::remove(templateCopy());

    EXPECT_EQ(plugin->run(GetParam().code), -101);

    EXPECT_EQ(messages(), QStringList{kOpenFailed});
    EXPECT_FALSE(stdfs::exists(database()));
}

INSTANTIATE_TEST_SUITE_P(Codes, OpenFailure,
                         ::testing::Values(OpenFailureCase{"show", kShow}, OpenFailureCase{"package", kPackage},
                                           OpenFailureCase{"otherCode", 0}),
                         [](const auto& info) { return std::string(info.param.name); });

TEST_F(RunAppEvnTest, missingProjectFolderLeavesThePreviousConnectionOpen) {
    ASSERT_EQ(plugin->run(0), 0);
    hostwork::createProject("P2", "第二个项目", "", "");
    stdfs::remove_all(m_workspace.path() + "projects/P2");
    hostwork::setCurrentProject("P2");

    EXPECT_EQ(plugin->run(0), -100);

    EXPECT_TRUE(fileIsOpen(database()));
}

TEST_F(RunAppEvnTest, failedOpenClosesThePreviousConnection) {
    ASSERT_EQ(plugin->run(0), 0);
    const std::string other = hostwork::createProject("P2", "第二个项目", "", "");
    stdfs::remove_all(other + "File");
    hostwork::setCurrentProject("P2");

    EXPECT_EQ(plugin->run(0), -101);

    EXPECT_FALSE(fileIsOpen(database()));
}

// A workspace made by hand with sqlite3, holding only the documented tables and columns.
TEST_F(RunAppEvnTest, handMadeWorkspaceWithOnlyTheDocumentedColumnsWorks) {
    const std::string hand = m_workspace.path() + "hand/";
    stdfs::create_directories(hand + "projects/H1/File");
    const auto run = [](const std::string& file, const char* sql) {
        sqlite3* db = nullptr;
        ASSERT_EQ(sqlite3_open(file.c_str(), &db), SQLITE_OK);
        EXPECT_EQ(sqlite3_exec(db, sql, nullptr, nullptr, nullptr), SQLITE_OK) << sqlite3_errmsg(db);
        sqlite3_close(db);
    };
    run(hand + "base.db",
        "CREATE TABLE KQ_PrjInfo (PrjID TEXT, PrjName TEXT, AuditedCorpID TEXT, PrjExecuteOrganID TEXT);"
        "CREATE TABLE KQ_TypeInfo (TypeName TEXT, TypeCaption TEXT, IsDisplay TEXT);"
        "INSERT INTO KQ_PrjInfo VALUES ('H1', '手工项目', 'DW01', 'JG01');"
        "INSERT INTO KQ_TypeInfo VALUES ('DGGL_SJRJ', '审计日记', '01');");
    run(hand + "projects/H1/project.db",
        "CREATE TABLE KQ_ResTrv (ResID INTEGER, ResParentID INTEGER, ResIndex INTEGER, ResCaption TEXT, "
        "ResImgIndex INTEGER, ResTypeName TEXT, ResNodeType INTEGER, ResKeyWord TEXT, ResFileFlag TEXT, "
        "ResCreateAppID TEXT, ResFileName TEXT, ResParam TEXT);"
        "INSERT INTO KQ_ResTrv VALUES (1, 0, 1, '审计日记一', 3, 'DGGL_SJRJ', 20, '', '0', 'DGGL', '', 'P');");
    hostwork::openWorkspace(hand);
    hostwork::setCurrentProject("H1");
    HostMainWindow host;

    EXPECT_EQ(plugin->run(kShow), 0);
    ModalCloser closer;
    EXPECT_EQ(plugin->run(kPackage), 0);

    EXPECT_TRUE(stdfs::is_regular_file(hand + "projects/H1/File/BSJDW/UNITARC.mdb"));
    EXPECT_EQ(managerWindows().size(), 1);
    EXPECT_EQ(closer.title, "生成被审计单位数据包");
    EXPECT_TRUE(messages().isEmpty());
}

// --- codes and fields

class OtherCode : public HostedPluginTest, public ::testing::WithParamInterface<std::int32_t> {};

TEST_P(OtherCode, opensTheDatabaseAndDoesNothingElse) {
    EXPECT_EQ(plugin->run(GetParam()), 0);

    EXPECT_TRUE(fileIsOpen(database()));
    EXPECT_TRUE(managerWindows().isEmpty());
    EXPECT_TRUE(messages().isEmpty());
}

INSTANTIATE_TEST_SUITE_P(Codes, OtherCode, ::testing::Values(0, 1, 703, 706, -1, -998, INT32_MAX, INT32_MIN),
                         [](const auto& info) {
                             return "code" + std::string(info.param < 0 ? "Minus" : "") +
                                    std::to_string(info.param < 0 ? -static_cast<long long>(info.param)
                                                                  : static_cast<long long>(info.param));
                         });

struct FieldsCase {
    const char* name;
    std::int32_t f1, f2, f3, f4, f6, f7;
};
void PrintTo(const FieldsCase& c, std::ostream* os) { *os << c.name; }

class UnreadFields : public HostedPluginTest, public ::testing::WithParamInterface<FieldsCase> {};

TEST_P(UnreadFields, takeAnyValue) {
    const auto& f = GetParam();

    EXPECT_EQ(plugin->runFields(f.f1, f.f2, f.f3, f.f4, kShow, f.f6, f.f7), 0);

    EXPECT_EQ(managerWindows().size(), 1);
}

INSTANTIATE_TEST_SUITE_P(
    Values, UnreadFields,
    ::testing::Values(FieldsCase{"zeros", 0, 0, 0, 0, 0, 0},
                      FieldsCase{"largest", 1, 2, 3, INT32_MAX, INT32_MAX, INT32_MAX},
                      FieldsCase{"smallest", 1, 2, 3, INT32_MIN, INT32_MIN, INT32_MIN},
                      FieldsCase{"minusOnes", -1, -1, -1, -1, -1, -1},
                      FieldsCase{"codesInUnreadFields", 1, 2, 3, -999, 705, -999}),
    [](const auto& info) { return std::string(info.param.name); });

}  // namespace
}  // namespace unitarc::test
