// The services library: workspace, projects, the host functions the plug-in imports and
// the connection library.
#include "hosttest.h"

#include "demo.h"
#include "hostsvc.h"
#include "src/shell/host_abi.h"
#include "tests/paths.h"

#include <dlfcn.h>
#include <sqlite3.h>

#include <gtest/gtest.h>

using namespace hosttest;

namespace {

std::string text(size_t (*fn)(char*, size_t)) {
    char buffer[2048];
    fn(buffer, sizeof buffer);
    return buffer;
}

std::string prjFolder(const std::string& serial) {
    char buffer[2048];
    KQGetPrjFolder(serial.c_str(), buffer, sizeof buffer);
    return buffer;
}

std::string queryText(sqlite3* db, const std::string& sql) {
    sqlite3_stmt* st = nullptr;
    if (sqlite3_prepare_v2(db, sql.c_str(), -1, &st, nullptr) != SQLITE_OK) return "<error>";
    std::string out;
    if (sqlite3_step(st) == SQLITE_ROW && sqlite3_column_text(st, 0))
        out = reinterpret_cast<const char*>(sqlite3_column_text(st, 0));
    sqlite3_finalize(st);
    return out;
}

void execSql(const std::string& file, const std::string& sql) {
    sqlite3* db = nullptr;
    ASSERT_EQ(sqlite3_open(file.c_str(), &db), SQLITE_OK);
    EXPECT_EQ(sqlite3_exec(db, sql.c_str(), nullptr, nullptr, nullptr), SQLITE_OK) << sqlite3_errmsg(db);
    sqlite3_close(db);
}

class Services : public ::testing::Test {
protected:
    void SetUp() override {
        hostwork::openWorkspace(scratch / "ws");
        hostwork::clearReceived();
    }
    void TearDown() override {
        hostwork::onReceived({});
        hostwork::closeConnections();
        hostwork::setAppExeName("");
    }
    Scratch scratch;
};

TEST_F(Services, openWorkspaceCreatesItsParts) {
    const std::string ws = hostwork::workspace();
    EXPECT_EQ(ws, scratch / "ws/");
    EXPECT_TRUE(stdfs::is_regular_file(ws + "base.db"));
    EXPECT_TRUE(stdfs::is_directory(ws + "projects"));
    EXPECT_TRUE(stdfs::is_directory(ws + "temp"));
    EXPECT_EQ(hostwork::currentProject(), "");
}

TEST_F(Services, handMadeBaseDatabaseWithOnlyTheListedColumnsWorks) {
    const std::string ws = scratch / "hand";
    stdfs::create_directories(ws);
    execSql(ws + "/base.db",
            "CREATE TABLE KQ_PrjInfo (PrjID TEXT, PrjName TEXT, AuditedCorpID TEXT, PrjExecuteOrganID TEXT);"
            "CREATE TABLE KQ_TypeInfo (TypeName TEXT, TypeCaption TEXT, IsDisplay TEXT);"
            "INSERT INTO KQ_PrjInfo VALUES ('H1', '手工项目', 'DW01', 'JG01');");
    hostwork::openWorkspace(ws);
    EXPECT_EQ(hostwork::projects(), std::vector<std::string>{"H1"});
    EXPECT_EQ(prjFolder("H1"), ws + "/projects/H1/");
    hostwork::setCurrentProject("H1");
    EXPECT_EQ(text(KQGetCurPrjSerial), "H1");
    EXPECT_EQ(hostwork::projectInfo("H1").auditedCorpId, "DW01");
}

TEST_F(Services, createProjectMakesRowFolderAndResourceTable) {
    const std::string folder = hostwork::createProject("P1", "项目一", "DW01", "JG01");
    EXPECT_EQ(folder, hostwork::workspace() + "projects/P1/");
    EXPECT_TRUE(stdfs::is_directory(folder + "File"));
    sqlite3* db = nullptr;
    ASSERT_EQ(sqlite3_open((folder + "project.db").c_str(), &db), SQLITE_OK);
    for (const char* column : {"ResID", "ResParentID", "ResIndex", "ResCaption", "ResImgIndex", "ResTypeName",
                               "ResNodeType", "ResKeyWord", "ResFileFlag", "ResCreateAppID", "ResFileName",
                               "ResParam"})
        EXPECT_EQ(queryText(db, std::string("SELECT count(*) FROM pragma_table_info('KQ_ResTrv') WHERE name = '") +
                                    column + "'"),
                  "1")
            << column;
    sqlite3_close(db);
    EXPECT_THROW(hostwork::createProject("P1", "again", "", ""), std::invalid_argument);
    EXPECT_THROW(hostwork::createProject("../P2", "escape", "", ""), std::invalid_argument);
}

TEST_F(Services, updateProjectChangesTheRow) {
    hostwork::createProject("P1", "旧名", "", "");
    hostwork::updateProject("P1", "新名", "DW09", "JG09");
    const auto info = hostwork::projectInfo("P1");
    EXPECT_EQ(info.name, "新名");
    EXPECT_EQ(info.auditedCorpId, "DW09");
    EXPECT_EQ(info.organId, "JG09");
    EXPECT_THROW(hostwork::updateProject("NOPE", "", "", ""), std::runtime_error);
}

TEST_F(Services, projectFolderComesFromPrjFolderWhenSet) {
    hostwork::createProject("P1", "", "", "");
    execSql(hostwork::workspace() + "base.db", "UPDATE KQ_PrjInfo SET PrjFolder = '/elsewhere/p1' WHERE PrjID = 'P1'");
    hostwork::closeConnections();
    EXPECT_EQ(prjFolder("P1"), "/elsewhere/p1/");
    EXPECT_EQ(prjFolder("UNKNOWN"), hostwork::workspace() + "projects/UNKNOWN/");
}

TEST_F(Services, serialUnfitForAFolderNameHasNoFolder) {
    EXPECT_EQ(prjFolder("../other"), "");
    EXPECT_EQ(prjFolder(""), "");
}

TEST_F(Services, tempPathEndsInSlashAndExists) {
    stdfs::remove_all(hostwork::workspace() + "temp");
    const std::string temp = text(GetKQTempPathY);
    EXPECT_EQ(temp, hostwork::workspace() + "temp/");
    EXPECT_TRUE(stdfs::is_directory(temp));
}

TEST_F(Services, uuidStaysTheSameForTheSession) {
    const std::string first = text(KQGetCurUUID);
    EXPECT_FALSE(first.empty());
    EXPECT_EQ(text(KQGetCurUUID), first);
}

TEST_F(Services, appExeNameIsTheRunningProgramUnlessOverridden) {
    EXPECT_EQ(text(KQGetAppExeName), stdfs::read_symlink("/proc/self/exe").string());
    hostwork::setAppExeName("/opt/host/hostwork");
    EXPECT_EQ(text(KQGetAppExeName), "/opt/host/hostwork");
}

TEST_F(Services, userDoResRightRefusesReadOnlyResources) {
    const std::string folder = hostwork::createProject("P1", "", "", "");
    execSql(folder + "project.db",
            "INSERT INTO KQ_ResTrv (ResID, ResCaption, ResReadOnly) VALUES (1, 'a', 0), (2, 'b', 1)");
    hostwork::setCurrentProject("P1");
    EXPECT_EQ(GetUserDoResRight(1, "u"), 0);
    EXPECT_EQ(GetUserDoResRight(2, "u"), -91);
    EXPECT_EQ(GetUserDoResRight(3, "u"), 0);
}

TEST_F(Services, userDoResRightAllowsAllWithoutTheReadOnlyColumn) {
    const std::string folder = hostwork::createProject("P1", "", "", "");
    stdfs::remove(folder + "project.db");
    execSql(folder + "project.db", "CREATE TABLE KQ_ResTrv (ResID INTEGER, ResCaption TEXT); INSERT INTO KQ_ResTrv VALUES (2, 'b')");
    hostwork::setCurrentProject("P1");
    EXPECT_EQ(GetUserDoResRight(2, "u"), 0);
}

TEST_F(Services, callsAreRecordedInOrderAndAnnounced) {
    int announced = 0;
    hostwork::onReceived([&] { ++announced; });
    RegisterDataN("EXCEL", "模板", "u", "被审计单位：甲财务数据报表模板", "财务数据报表模板", "WWW", "", "/t/a.xls", "XMGL",
                  -1, 20, 1);
    ViewFileEx("/t/b.txt", 1, "被审计单位资料：b", 1);
    const auto got = hostwork::received();
    ASSERT_EQ(got.size(), 2u);
    EXPECT_EQ(got[0].what, "RegisterDataN");
    EXPECT_EQ(got[0].args, (std::vector<std::string>{"EXCEL", "模板", "u", "被审计单位：甲财务数据报表模板",
                                                      "财务数据报表模板", "WWW", "", "/t/a.xls", "XMGL", "-1", "20",
                                                      "1"}));
    EXPECT_EQ(got[1].what, "ViewFileEx");
    EXPECT_EQ(got[1].args, (std::vector<std::string>{"/t/b.txt", "1", "被审计单位资料：b", "1"}));
    EXPECT_EQ(announced, 2);
    hostwork::clearReceived();
    EXPECT_TRUE(hostwork::received().empty());
}

TEST_F(Services, prjInfoWritesTheProjectsBasicInformation) {
    hostwork::createProject("P1", "预算执行审计", "CZJ001", "SJJ001");
    hostwork::setCurrentProject("P1");
    char path[2048];
    ASSERT_EQ(GetPrjInfo(path, sizeof path), 1);
    EXPECT_TRUE(std::string(path).ends_with("/项目基本信息.xml"));
    const std::string xml = readFile(path);
    EXPECT_NE(xml.find("<PrjID name=\"项目编号\">P1</PrjID>"), std::string::npos) << xml;
    EXPECT_NE(xml.find("<PrjName name=\"项目名称\">预算执行审计</PrjName>"), std::string::npos);
    EXPECT_NE(xml.find("<AuditedCorpID name=\"被审计单位编码\">CZJ001</AuditedCorpID>"), std::string::npos);
    EXPECT_NE(xml.find("<PrjExecuteOrganID name=\"审计机关代码\">SJJ001</PrjExecuteOrganID>"), std::string::npos);
}

TEST_F(Services, prjInfoIsUnavailableWithoutProject) {
    char path[2048] = "";
    EXPECT_EQ(GetPrjInfo(path, sizeof path), 0);
    hostwork::setCurrentProject("GONE");
    EXPECT_EQ(GetPrjInfo(path, sizeof path), 0);
}

using ExportDataToWord = int (*)(const char*, const char*, const char*);
using ReferenceDataPackageShow = void (*)(const char*, const char*, const char*, int);

TEST_F(Services, exportDataToWordWritesAnRtfDocumentWithTheCaption) {
    const std::string folder = hostwork::createProject("P1", "", "", "");
    execSql(folder + "project.db",
            "INSERT INTO KQ_ResTrv (ResID, ResCaption, ResTypeName, ResParam) VALUES (7, '货币资金底稿', 'DGGL_SJDG', 'SJDG-7')");
    hostwork::setCurrentProject("P1");
    auto fn = reinterpret_cast<ExportDataToWord>(KQGetAppInterface("DGGL", "exportDataToWord", 1));
    ASSERT_NE(fn, nullptr);
    const std::string target = scratch / "new/folder/20260301120000.doc";
    EXPECT_EQ(fn("DGGL_SJDG", "SJDG-7", target.c_str()), 1);
    const std::string rtf = readFile(target);
    EXPECT_TRUE(rtf.starts_with("{\\rtf1")) << rtf;
    EXPECT_NE(rtf.find("\\u-29401?\\u24065?"), std::string::npos) << rtf;  // 货币, as signed 16-bit units
    EXPECT_EQ(rtf.back(), '\n');
    EXPECT_EQ(hostwork::received().back().what, "exportDataToWord");
}

TEST_F(Services, referenceDataPackageShowRecordsThePackage) {
    auto fn = reinterpret_cast<ReferenceDataPackageShow>(KQGetAppInterface("XMGL", "ReferenceDataPackage_Show", 1));
    ASSERT_NE(fn, nullptr);
    fn("被审计单位数据包：[甲]", "/p/CZJ001.zip", "XMGL_PACKAGE_BSDW", 13);
    const auto got = hostwork::received();
    ASSERT_EQ(got.size(), 1u);
    EXPECT_EQ(got[0].what, "ReferenceDataPackage_Show");
    EXPECT_EQ(got[0].args, (std::vector<std::string>{"被审计单位数据包：[甲]", "/p/CZJ001.zip", "XMGL_PACKAGE_BSDW", "13"}));
}

TEST_F(Services, unknownInterfacesAreNotOffered) {
    EXPECT_EQ(KQGetAppInterface("DGGL", "nothing", 1), nullptr);
    EXPECT_EQ(KQGetAppInterface("OTHER", "exportDataToWord", 1), nullptr);
    EXPECT_EQ(KQGetAppInterface(nullptr, nullptr, 1), nullptr);
}

TEST_F(Services, busyWindowWithoutWidgetsWritesLines) {
    testing::internal::CaptureStderr();
    BeginProcess(nullptr, "被审计单位资料管理", "正在加载");
    ChangeTransInfo("第二行");
    HideProcess();
    EndProcess();
    const std::string err = testing::internal::GetCapturedStderr();
    EXPECT_NE(err.find("被审计单位资料管理: 正在加载\n"), std::string::npos) << err;
    EXPECT_NE(err.find("被审计单位资料管理: 第二行\n"), std::string::npos) << err;
}

TEST_F(Services, imageListNeedsAGuiApplication) { EXPECT_EQ(KQGetKQImageList(1), nullptr); }

// The connection library, loaded by file name as the plug-in loads it.
class ConnectionLibrary : public Services {
protected:
    void SetUp() override {
        Services::SetUp();
        m_lib = dlopen(UNITARC_HOST_DIR "/libconnsrc.so", RTLD_NOW);
        ASSERT_NE(m_lib, nullptr) << dlerror();
        base = reinterpret_cast<Fn>(dlsym(m_lib, "GetBaseDBConnection"));
        project = reinterpret_cast<Fn>(dlsym(m_lib, "GetCurPrjDBConnection"));
        ASSERT_NE(base, nullptr);
        ASSERT_NE(project, nullptr);
    }
    void TearDown() override {
        if (m_lib) dlclose(m_lib);
        Services::TearDown();
    }
    using Fn = sqlite3* (*)();
    Fn base = nullptr;
    Fn project = nullptr;

private:
    void* m_lib = nullptr;
};

TEST_F(ConnectionLibrary, baseConnectionReadsTheProjects) {
    hostwork::createProject("P1", "项目一", "DW01", "JG01");
    sqlite3* db = base();
    ASSERT_NE(db, nullptr);
    EXPECT_EQ(queryText(db, "Select AuditedCorpID From KQ_PrjInfo Where PrjID = 'P1'"), "DW01");
}

TEST_F(ConnectionLibrary, projectConnectionFollowsTheCurrentProject) {
    EXPECT_EQ(project(), nullptr);
    for (const char* serial : {"P1", "P2"}) {
        const std::string folder = hostwork::createProject(serial, "", "", "");
        execSql(folder + "project.db",
                std::string("INSERT INTO KQ_ResTrv (ResID, ResCaption) VALUES (1, '") + serial + "')");
    }
    hostwork::setCurrentProject("P1");
    ASSERT_NE(project(), nullptr);
    EXPECT_EQ(queryText(project(), "Select ResCaption From KQ_ResTrv Where ResID = 1"), "P1");
    hostwork::setCurrentProject("P2");
    EXPECT_EQ(queryText(project(), "Select ResCaption From KQ_ResTrv Where ResID = 1"), "P2");
    hostwork::setCurrentProject("NOFOLDER");
    EXPECT_EQ(project(), nullptr);
}

TEST(Demo, initDemoMakesTwoProjectsWithResourcesOfEveryKind) {
    Scratch scratch;
    hostwork::initDemo(scratch / "demo");
    EXPECT_EQ(hostwork::projects(), (std::vector<std::string>{"P2026001", "P2026002"}));
    EXPECT_EQ(hostwork::projectInfo("P2026001").auditedCorpId, "CZJ001");
    EXPECT_EQ(hostwork::projectInfo("P2026001").organId, "SJJ001");
    EXPECT_EQ(hostwork::projectInfo("P2026002").auditedCorpId, "");

    hostwork::setCurrentProject("P2026001");
    sqlite3* db = hostsvc_projectConnection();
    ASSERT_NE(db, nullptr);
    for (const char* type : {"DGGL_SJRJ", "DGGL_DRJ", "DGGL_SJDG", "XMGL_FILE", "TXT", "HTML", "PICTURE", "DATABASE"})
        EXPECT_NE(queryText(db, std::string("Select count(*) From KQ_ResTrv Where ResTypeName = '") + type + "'"), "0")
            << type;
    EXPECT_NE(queryText(db, "Select count(*) From KQ_ResTrv Where ResNodeType < 20"), "0");
    EXPECT_NE(queryText(db, "Select ResParam From KQ_ResTrv Where ResTypeName = 'DGGL_SJDG'"), "");

    // Every resource that claims a file has it where the plug-in looks.
    sqlite3_stmt* st = nullptr;
    ASSERT_EQ(sqlite3_prepare_v2(db, "Select ResCreateAppID, ResFileName From KQ_ResTrv Where ResFileFlag = '1'", -1,
                                 &st, nullptr),
              SQLITE_OK);
    const std::string folder = prjFolder("P2026001");
    int files = 0;
    while (sqlite3_step(st) == SQLITE_ROW) {
        const std::string path = folder + "File/" + reinterpret_cast<const char*>(sqlite3_column_text(st, 0)) + "/" +
                                 reinterpret_cast<const char*>(sqlite3_column_text(st, 1));
        EXPECT_TRUE(stdfs::is_regular_file(path)) << path;
        EXPECT_GT(stdfs::file_size(path), 0u) << path;
        ++files;
    }
    sqlite3_finalize(st);
    EXPECT_GE(files, 8);
    EXPECT_EQ(readFile(folder + "File/PICTURE/现场照片.png").substr(1, 3), "PNG");

    sqlite3* base = hostsvc_baseConnection();
    EXPECT_EQ(queryText(base, "Select TypeCaption From KQ_TypeInfo Where TypeName = 'DGGL_SJRJ'"), "审计日记");
    EXPECT_NE(queryText(base, "Select count(*) From KQ_TypeInfo Where substr(IsDisplay, -1) <> '1'"), "0");

    EXPECT_THROW(hostwork::initDemo(scratch / "demo"), std::runtime_error);
    hostwork::closeConnections();
}

}  // namespace
