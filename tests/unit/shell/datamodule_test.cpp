#include <sqlite3.h>

#include <filesystem>
#include <fstream>

#include <gtest/gtest.h>

#include "platform/db.h"
#include "shell/untKQDM_BSJDW.h"
#include "tests/support/fakehost.h"

namespace unitarc {
namespace {

namespace stdfs = std::filesystem;
using test::FakeHost;

std::string openFileOf(const TKQDM_BSJDW& dm) {
    if (!dm.conUNITARC.isOpen()) return {};
    return sqlite3_db_filename(dm.conUNITARC.handle(), "main");
}

std::string readAll(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), {});
}

class DataModuleTest : public test::FakeHostTest {
protected:
    std::string databaseOf(const std::string& serial = {}) const { return fake.entityFolder(serial) + "UNITARC.mdb"; }

    TKQDM_BSJDW dm;
};

TEST_F(DataModuleTest, firstOpenCreatesEntityFolderAndCopiesTemplate) {
    ASSERT_FALSE(stdfs::exists(fake.entityFolder()));

    EXPECT_EQ(dm.Open(FakeHost::kSerial), 1);

    EXPECT_EQ(dm.folder(), fake.entityFolder());
    EXPECT_EQ(openFileOf(dm), databaseOf());
    db::Query q(&dm.conUNITARC);
    q.open("Select Count(*) as N From AuditedDeptInfo");
    EXPECT_EQ(q.integer("N"), 0);
}

TEST_F(DataModuleTest, secondOpenKeepsTheExistingDatabase) {
    ASSERT_EQ(dm.Open(FakeHost::kSerial), 1);
    dm.conUNITARC.execute("Insert Into AuditedDeptInfo (AuditedDeptCode, AuditedDeptName) Values ('MARK', 'kept')");
    ASSERT_EQ(dm.Close(), 1);

    ASSERT_EQ(dm.Open(FakeHost::kSerial), 1);

    db::Query q(&dm.conUNITARC);
    q.open("Select AuditedDeptName From AuditedDeptInfo Where AuditedDeptCode = 'MARK'");
    ASSERT_FALSE(q.eof());
    EXPECT_EQ(q.text("AuditedDeptName"), "kept");
}

TEST_F(DataModuleTest, openMovesTheConnectionToTheNewProject) {
    fake.addProject("P2");
    ASSERT_EQ(dm.Open(FakeHost::kSerial), 1);

    EXPECT_EQ(dm.Open("P2"), 1);

    EXPECT_EQ(openFileOf(dm), databaseOf("P2"));
    EXPECT_EQ(dm.folder(), fake.entityFolder("P2"));
}

TEST_F(DataModuleTest, missingProjectFolderLeavesTheConnectionOnThePreviousProject) {
    ASSERT_EQ(dm.Open(FakeHost::kSerial), 1);
    const std::string missing = fake.workspace() + "nowhere/P9";
    fake.setPrjFolder("P9", missing);

    EXPECT_EQ(dm.Open("P9"), -100);

    EXPECT_EQ(dm.folder(), missing);
    EXPECT_EQ(openFileOf(dm), databaseOf());
    EXPECT_FALSE(stdfs::exists(missing));
}

TEST_F(DataModuleTest, projectWithoutFileFolderFailsAndCreatesNothing) {
    ASSERT_EQ(dm.Open(FakeHost::kSerial), 1);
    const std::string folder = fake.addProject("P2");
    stdfs::remove_all(folder + "File");

    EXPECT_EQ(dm.Open("P2"), -101);

    EXPECT_FALSE(stdfs::exists(folder + "File"));
    EXPECT_FALSE(dm.conUNITARC.isOpen());
}

TEST_F(DataModuleTest, missingTemplateFailsAndLeavesNoDatabase) {
    fake.removeTemplate();

    EXPECT_EQ(dm.Open(FakeHost::kSerial), -101);

    EXPECT_TRUE(stdfs::is_directory(fake.entityFolder()));
    EXPECT_TRUE(stdfs::is_empty(fake.entityFolder()));
}

TEST_F(DataModuleTest, templateThatIsAFolderFailsAndLeavesNothing) {
    fake.removeTemplate();
    stdfs::create_directories(fake.templateFile());  // a folder where the file should be

    EXPECT_EQ(dm.Open(FakeHost::kSerial), -101);

    EXPECT_TRUE(stdfs::is_empty(fake.entityFolder()));
}

TEST_F(DataModuleTest, damagedDatabaseFailsAndIsNeverReplaced) {
    stdfs::create_directories(fake.entityFolder());
    const std::string garbage(4096, 'x');
    std::ofstream(databaseOf(), std::ios::binary) << garbage;

    EXPECT_EQ(dm.Open(FakeHost::kSerial), -101);

    EXPECT_EQ(readAll(databaseOf()), garbage);
}

TEST_F(DataModuleTest, projectFolderWithoutTrailingSeparatorGetsOne) {
    std::string folder = fake.projectFolder();
    folder.pop_back();
    fake.setPrjFolder(FakeHost::kSerial, folder);

    EXPECT_EQ(dm.Open(FakeHost::kSerial), 1);

    EXPECT_EQ(dm.folder(), folder + "/File/BSJDW/");
}

TEST_F(DataModuleTest, openAsksTheHostForTheFolderOfTheGivenSerial) {
    fake.addProject("P2");
    ASSERT_EQ(dm.Open("P2"), 1);

    const auto asked = fake.callsOf("KQGetPrjFolder");
    ASSERT_EQ(asked.size(), 1u);
    EXPECT_EQ(asked[0].args, std::vector<std::string>{"P2"});
}

TEST_F(DataModuleTest, closeClosesTheConnection) {
    ASSERT_EQ(dm.Open(FakeHost::kSerial), 1);

    EXPECT_EQ(dm.Close(), 1);

    EXPECT_FALSE(dm.conUNITARC.isOpen());
    EXPECT_EQ(dm.Close(), 1);
}

TEST_F(DataModuleTest, templateLiesInTheHostProgramFolder) {
    EXPECT_EQ(templatePath(), fake.appFolder() + "System/API/BSJDW/UNITARC.mdb");
    EXPECT_EQ(templatePath(), fake.templateFile());
}

TEST_F(DataModuleTest, fakeOpensADataModuleOnTheCurrentProject) {
    auto opened = fake.openDataModule();
    EXPECT_EQ(opened->folder(), fake.entityFolder());
    EXPECT_TRUE(opened->conUNITARC.isOpen());
}

TEST(DataModuleRegistry, createsOneModuleAndFindsItAgain) {
    destroyDataModule();
    ASSERT_EQ(findDataModule(), nullptr);

    TKQDM_BSJDW& first = ensureDataModule();
    TKQDM_BSJDW& second = ensureDataModule();

    EXPECT_EQ(&first, &second);
    EXPECT_EQ(findDataModule(), &first);
    destroyDataModule();
    EXPECT_EQ(findDataModule(), nullptr);
}

struct BackslashCase {
    const char* name;
    std::string path;
    std::string expected;
};
void PrintTo(const BackslashCase& c, std::ostream* os) { *os << c.name; }

class AddBackslash : public ::testing::TestWithParam<BackslashCase> {};

TEST_P(AddBackslash, looksAtTheLastByteOnly) { EXPECT_EQ(addBackslash(GetParam().path), GetParam().expected); }

INSTANTIATE_TEST_SUITE_P(
    Paths, AddBackslash,
    ::testing::Values(BackslashCase{"withoutSeparator", "/data/P1", "/data/P1/"},
                      BackslashCase{"withSeparator", "/data/P1/", "/data/P1/"},
                      BackslashCase{"root", "/", "/"},
                      BackslashCase{"relative", "P1", "P1/"},
                      BackslashCase{"chineseLastCharacter", "/data/项目", "/data/项目/"},
                      BackslashCase{"backslashIsAnOrdinaryCharacter", "C:\\P1\\", "C:\\P1\\/"},
                      BackslashCase{"doubledSeparatorKept", "/data//", "/data//"}),
    [](const auto& info) { return std::string(info.param.name); });

}  // namespace
}  // namespace unitarc
