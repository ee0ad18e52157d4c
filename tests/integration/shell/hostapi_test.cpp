#include <sqlite3.h>

#include <filesystem>

#include "harness.h"
#include "host/hostsvc.h"
#include "shell/hostapi.h"
#include "shell/untKQDM_BSJDW.h"
#include "tests/paths.h"

namespace unitarc::test {
namespace {

namespace stdfs = std::filesystem;

// The named imports, resolved against the reference host's services in this process.
class ImportedHostTest : public HostWorkspaceTest {
protected:
    host::Host& imports = host::host();
};

TEST_F(ImportedHostTest, answersFromTheHostServices) {
    EXPECT_EQ(imports.curPrjSerial(), kSerial);
    EXPECT_EQ(addBackslash(imports.prjFolder(kSerial)), projectFolder());
    EXPECT_FALSE(imports.curUUID().empty());
    EXPECT_EQ(imports.tempPath(), m_workspace.path() + "temp/");
}

TEST_F(ImportedHostTest, appFolderFollowsTheHostProgram) {
    EXPECT_EQ(imports.appFolder(), appFolder());
    EXPECT_EQ(templatePath(), templateCopy());
}

TEST_F(ImportedHostTest, longTextsAreReadWhole) {
    // Longer than any first buffer: the texts must come back whole, not cut.
    std::string deep = m_workspace.path();
    while (deep.size() < 1500) deep += "很长的文件夹名称很长的文件夹名称/";
    sqlite3* base = nullptr;
    ASSERT_EQ(sqlite3_open((m_workspace.path() + "base.db").c_str(), &base), SQLITE_OK);
    const std::string update = "Update KQ_PrjInfo Set PrjFolder = '" + deep + "P1/' Where PrjID = 'P1'";
    ASSERT_EQ(sqlite3_exec(base, update.c_str(), nullptr, nullptr, nullptr), SQLITE_OK);
    sqlite3_close(base);
    hostwork::setAppExeName(deep + "hostwork");

    EXPECT_EQ(addBackslash(imports.prjFolder(kSerial)), deep + "P1/");
    EXPECT_EQ(imports.appFolder(), deep);
}

TEST_F(ImportedHostTest, projectInformationFileIsAvailable) {
    std::string path;

    EXPECT_EQ(imports.getPrjInfo(path), 1);

    EXPECT_TRUE(stdfs::is_regular_file(path)) << path;
}

TEST_F(ImportedHostTest, appInterfaceGivesTheTwoEntries) {
    EXPECT_NE(imports.appInterface("DGGL", "exportDataToWord", 1), nullptr);
    EXPECT_NE(imports.appInterface("XMGL", "ReferenceDataPackage_Show", 1), nullptr);
    EXPECT_EQ(imports.appInterface("XMGL", "NoSuchFunction", 1), nullptr);
}

TEST_F(ImportedHostTest, zipServicesRoundTrip) {
    const std::string source = m_workspace.path() + "pack/CODE/";
    stdfs::create_directories(source + "所有文件");
    std::FILE* f = std::fopen((source + "所有文件/说明.txt").c_str(), "w");
    ASSERT_NE(f, nullptr);
    std::fputs("内容", f);
    std::fclose(f);
    const std::string archive = m_workspace.path() + "CODE.zip";

    const std::string written = imports.compressFile(source, archive);
    ASSERT_FALSE(written.empty());
    const std::string out = imports.extractFile(written, m_workspace.path() + "out/");

    ASSERT_FALSE(out.empty());
    EXPECT_TRUE(stdfs::exists(addBackslash(out) + "CODE/所有文件/说明.txt"));
}

std::string firstText(sqlite3* db, const char* sql) {
    std::string text;
    sqlite3_exec(
        db, sql,
        [](void* out, int, char** values, char**) {
            *static_cast<std::string*>(out) = values[0] ? values[0] : "";
            return 0;
        },
        &text, nullptr);
    return text;
}

TEST_F(ImportedHostTest, connectionsComeFromTheConnectionLibrary) {
    sqlite3* base = imports.baseConnection();
    sqlite3* project = imports.curPrjConnection();

    ASSERT_NE(base, nullptr);
    ASSERT_NE(project, nullptr);
    EXPECT_EQ(firstText(base, "Select PrjName From KQ_PrjInfo Where PrjID = 'P1'"), "测试项目");
    EXPECT_EQ(firstText(project, "Select Count(*) From KQ_ResTrv"), "0");
}

TEST_F(ImportedHostTest, connectionLibraryIsFoundInTheHostProgramFolderFirst) {
    hostwork::setAppExeName(UNITARC_HOST_DIR "/hostwork");

    auto base = hostBaseConnection();

    ASSERT_NE(base, nullptr);
    db::Query q(base.get());
    q.open("Select PrjID From KQ_PrjInfo");
    EXPECT_EQ(q.text("PrjID"), kSerial);
}

TEST_F(ImportedHostTest, noProjectConnectionWithoutAProject) {
    hostwork::setCurrentProject("");

    EXPECT_EQ(imports.curPrjConnection(), nullptr);
    EXPECT_EQ(hostProjectConnection(), nullptr);
}

}  // namespace
}  // namespace unitarc::test
