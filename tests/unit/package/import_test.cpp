// The import action's per-package steps, their messages, and deleting entities.
#include <stdlib.h>
#include <sys/stat.h>

#include <filesystem>
#include <functional>

#include "package/import.h"
#include "platform/fs.h"
#include "tests/unit/package/package_fixture.h"

namespace unitarc::test {
namespace {

namespace stdfs = std::filesystem;
using package::importPackages;

std::string imported(const std::string& file) { return "导入被审计单位（延伸审计单位）数据包[" + file + "]成功！"; }
std::string unpackFailed(const std::string& file) { return "解压缩被审计单位数据包[" + file + "]失败！"; }
std::string noBaseInfo(const std::string& file) { return "获得被审计单位数据包[" + file + "]中的[基本信息.xml]失败！"; }
std::string noCode(const std::string& file) { return "获得被审计单位数据包[" + file + "]中的被审计单位编码失败！"; }
std::string alreadyThere(const std::string& file) { return "被审计单位数据包[" + file + "]的资料已经存在！"; }
std::string dataFailed(const std::string& file) { return "导入被审计单位数据包[" + file + "]中的数据失败！"; }
const std::string kBindingFailed = "被审计单位（延伸审计单位）资料中创建当前项目的审计资料结构失败！";

PackageBuilder samplePackage(const std::string& code = "E001") {
    PackageBuilder p(code, "测试单位");
    p.add(Category::FinanceData, financialPair("资产负债表", {{"BBRQ", "报表日期", "2023-12-31"}}));
    p.add(Category::FinanceRes, folder("凭证", {file("一号凭证", "一号凭证.PDF", "pdf bytes")}));
    p.add(Category::AuditRes, projectTemplate({folder("实施阶段")}));
    return p;
}

using Messages = std::vector<std::string>;

class ImportTest : public PackageTest {
protected:
    package::ImportOutcome import(const std::vector<std::string>& archives) { return importPackages(*dm, archives); }
    // Every row of every table, whatever entity.
    std::size_t allRows() {
        std::size_t n = 0;
        for (const char* t : {"AuditedDeptInfo", "FinanceDataInfo", "FinanceResourceInfo", "TransResourceInfo",
                              "AuditResourceInfo"})
            n += rows(std::string("select * from ") + t).size();
        return n;
    }
    // Folders below the entity data folder: only entity package roots live there.
    std::vector<std::string> entityFolders() {
        std::vector<std::string> names;
        for (const auto& e : stdfs::directory_iterator(fake.entityFolder()))
            if (e.is_directory()) names.push_back(e.path().filename().string());
        return names;
    }
    // Anything named "evil" anywhere in the workspace or the system's temporary folder.
    bool evilWritten() {
        for (const std::string& top : {fake.workspace(), stdfs::temp_directory_path().string()}) {
            std::error_code ec;
            for (auto it = stdfs::recursive_directory_iterator(top, stdfs::directory_options::skip_permission_denied, ec);
                 it != stdfs::recursive_directory_iterator(); it.increment(ec)) {
                if (ec) break;
                if (it->path().filename().string().find("evil") != std::string::npos) return true;
                if (it.depth() > 6) it.disable_recursion_pending();
            }
        }
        return false;
    }
};

TEST_F(ImportTest, importsAPackageWithItsFilesAndRows) {
    const auto outcome = import({zip(samplePackage())});
    EXPECT_EQ(outcome.messages, Messages{imported("E001.zip")});
    EXPECT_EQ(outcome.imported, 1);
    EXPECT_EQ(outcome.refused, 0);
    EXPECT_EQ(count("AuditedDeptInfo", "E001"), 1u);
    std::string pdf;
    ASSERT_TRUE(fs::readFile(entityRoot("E001") + "/所有文件/财务资料/凭证/一号凭证.PDF", pdf));
    EXPECT_EQ(pdf, "pdf bytes");
    EXPECT_TRUE(exists(entityRoot("E001") + "/数据包描述.xml"));
    EXPECT_TRUE(fs::isDirectory(fake.tempPath() + "BSJDWUnZip")) << "the unpack folder stays";
}

TEST_F(ImportTest, extractsAgainWhenTheUnpackFolderIsOnAnotherFileSystem) {
    const std::string shm = "/dev/shm/";
    struct stat a {}, b {};
    if (stat(shm.c_str(), &a) != 0 || stat(fake.entityFolder().c_str(), &b) != 0 || a.st_dev == b.st_dev)
        GTEST_SKIP() << "no second file system";
    std::string folder = shm + "unitarc-test-XXXXXX";
    ASSERT_NE(mkdtemp(folder.data()), nullptr);
    struct Remove {
        std::string path;
        ~Remove() { stdfs::remove_all(path); }
    } remove{folder};
    fake.setTempPath(folder + "/");
    EXPECT_EQ(import({zip(samplePackage())}).messages, Messages{imported("E001.zip")});
    EXPECT_TRUE(exists(entityRoot("E001") + "/所有文件/财务资料/凭证/一号凭证.PDF"));
    EXPECT_EQ(fake.callsOf("ExtractFile").size(), 2u);
}

TEST_F(ImportTest, emptiesTheUnpackFolderFirst) {
    stdfs::create_directories(fake.tempPath() + "BSJDWUnZip/old");
    import({zip(samplePackage())});
    EXPECT_FALSE(exists(fake.tempPath() + "BSJDWUnZip/old"));
}

struct FormCase {
    const char* name;
    std::function<void(PackageOptions&)> change;
};

class ImportFormTest : public ImportTest, public ::testing::WithParamInterface<FormCase> {};

TEST_P(ImportFormTest, importsEveryArchiveForm) {
    PackageBuilder p = samplePackage();
    GetParam().change(p.options);
    EXPECT_EQ(import({zip(p)}).messages, Messages{imported("E001.zip")});
    EXPECT_TRUE(exists(entityRoot("E001") + "/所有文件/财务资料/凭证/一号凭证.PDF"));
    EXPECT_TRUE(exists(entityRoot("E001") + "/所有文件/财务数据/资产负债表.XLS"));
}

INSTANTIATE_TEST_SUITE_P(
    Forms, ImportFormTest,
    ::testing::Values(FormCase{"TopFolder", [](PackageOptions&) {}},
                      FormCase{"NoTopFolder", [](PackageOptions& o) { o.topFolder = false; }},
                      FormCase{"Cp936Names", [](PackageOptions& o) { o.cp936Names = true; }},
                      FormCase{"BackslashSeparators", [](PackageOptions& o) { o.backslashes = true; }},
                      FormCase{"Cp936NamesWithBackslashes",
                               [](PackageOptions& o) { o.cp936Names = true, o.backslashes = true, o.topFolder = false; }},
                      FormCase{"NoFolderEntries", [](PackageOptions& o) { o.folderEntries = false; }},
                      FormCase{"Gb2312Description", [](PackageOptions& o) { o.description = Encoding::Gb2312; }},
                      FormCase{"IndentedDescription", [](PackageOptions& o) { o.indent = true; }},
                      FormCase{"Utf8BaseInfo", [](PackageOptions& o) { o.baseInfo = Encoding::Utf8; }},
                      FormCase{"StoredEntries", [](PackageOptions& o) { o.store = true; }}),
    [](const auto& info) { return std::string(info.param.name); });

struct HostileCase {
    const char* name;
    std::function<void(PackageBuilder&)> change;
    std::function<std::string(const std::string&)> message;
};

class ImportHostileTest : public ImportTest, public ::testing::WithParamInterface<HostileCase> {};

TEST_P(ImportHostileTest, isRefusedWithItsMessageAndLeavesNothing) {
    PackageBuilder p = samplePackage();
    GetParam().change(p);
    const auto outcome = import({zip(p, "bad.zip")});
    EXPECT_EQ(outcome.messages, Messages{GetParam().message("bad.zip")});
    EXPECT_EQ(outcome.refused, 1);
    EXPECT_EQ(allRows(), 0u);
    EXPECT_TRUE(entityFolders().empty());
    EXPECT_FALSE(evilWritten());
    EXPECT_TRUE(fs::isFile(fake.entityFolder() + "UNITARC.mdb"));
}

INSTANTIATE_TEST_SUITE_P(
    Hostile, ImportHostileTest,
    ::testing::Values(
        HostileCase{"TruncatedArchive", [](PackageBuilder& p) { p.truncate(300); }, unpackFailed},
        HostileCase{"EntryEscapingTheFolder", [](PackageBuilder& p) { p.rawEntry("../evil.txt", "x"); }, unpackFailed},
        HostileCase{"DeepEntryEscapingTheFolder",
                    [](PackageBuilder& p) { p.rawEntry("E001/所有文件/../../../evil.txt", "x"); }, unpackFailed},
        HostileCase{"AbsoluteEntry", [](PackageBuilder& p) { p.rawEntry("/tmp/evil-absolute.txt", "x"); },
                    unpackFailed},
        HostileCase{"BackslashEntryEscaping", [](PackageBuilder& p) { p.rawEntry("..\\..\\evil.txt", "x"); },
                    unpackFailed},
        HostileCase{"DriveLetterEntry", [](PackageBuilder& p) { p.rawEntry("C:\\evil.txt", "x"); }, unpackFailed},
        HostileCase{"SymlinkEntry", [](PackageBuilder& p) { p.symlinkEntry("所有文件/evil-link", "/etc"); },
                    unpackFailed},
        HostileCase{"MissingBaseInfo", [](PackageBuilder& p) { p.withoutBaseInfo(); }, noBaseInfo},
        HostileCase{"BaseInfoNotXml", [](PackageBuilder& p) { p.baseInfoText("BSJDWSBM=E001"); }, noCode},
        HostileCase{"BaseInfoWithoutCode", [](PackageBuilder& p) { p.entityCodeItem(std::nullopt); }, noCode},
        HostileCase{"EmptyEntityCode", [](PackageBuilder& p) { p.entityCodeItem(""); }, noCode},
        HostileCase{"EntityCodeWithSeparator", [](PackageBuilder& p) { p.entityCodeItem("../evil"); }, noCode},
        HostileCase{"EntityCodeDotDot", [](PackageBuilder& p) { p.entityCodeItem(".."); }, noCode},
        HostileCase{"EntityCodeWithBackslash", [](PackageBuilder& p) { p.entityCodeItem("..\\evil"); }, noCode},
        HostileCase{"EntityCodeNamingTheDatabase", [](PackageBuilder& p) { p.entityCodeItem("UNITARC.mdb"); },
                    unpackFailed},
        HostileCase{"EntityLoopInBaseInfo",
                    [](PackageBuilder& p) {
                        p.baseInfoText("<?xml version=\"1.0\"?><!DOCTYPE b [<!ENTITY a \"&b;\"><!ENTITY b \"&a;\">]>"
                                       "<基本信息><BSJDWSBM>&a;</BSJDWSBM></基本信息>");
                    },
                    noCode},
        HostileCase{"ExternalEntityInBaseInfo",
                    [](PackageBuilder& p) {
                        p.baseInfoText("<?xml version=\"1.0\"?><!DOCTYPE b [<!ENTITY x SYSTEM \"file:///etc/hostname\">]>"
                                       "<基本信息><BSJDWSBM>&x;</BSJDWSBM></基本信息>");
                    },
                    noCode},
        HostileCase{"DescriptionNotXml", [](PackageBuilder& p) { p.descriptionText("not xml at all"); }, dataFailed},
        HostileCase{"DescriptionMissing",
                    [](PackageBuilder& p) {
                        p.withoutDescription();
                        p.options.topFolder = false;
                    },
                    dataFailed},
        // The archive holds no entry for these: only the description names them.
        HostileCase{"FolderNameEscaping",
                    [](PackageBuilder& p) {
                        p.add(Category::TransRes, folder("..", {folder("evil")}));
                        p.options.folderEntries = false;
                    },
                    dataFailed},
        HostileCase{"FileTextEscaping",
                    [](PackageBuilder& p) {
                        Material m = file("表", "../../evil.txt");
                        m.storeFile = false;
                        p.add(Category::FinanceRes, m);
                    },
                    dataFailed},
        HostileCase{"TemplateFolderEscaping",
                    [](PackageBuilder& p) {
                        p.add(Category::AuditRes, projectTemplate({folder("../../evil")}));
                        p.options.folderEntries = false;
                    },
                    dataFailed},
        HostileCase{"FolderEntryEscaping",
                    [](PackageBuilder& p) { p.add(Category::TransRes, folder("..", {folder("evil")})); },
                    unpackFailed},
        HostileCase{"UnknownLastCategory", [](PackageBuilder& p) { p.extraCategory(folder("其他")); }, dataFailed}),
    [](const auto& info) { return std::string(info.param.name); });

TEST_F(ImportTest, aFileThatIsNoArchiveIsRefused) {
    const std::string path = archives / "plain.zip";
    ASSERT_TRUE(fs::writeFile(path, "just text"));
    EXPECT_EQ(import({path}).messages, Messages{unpackFailed("plain.zip")});
}

TEST_F(ImportTest, anExtractionThatThrowsCountsAsFailed) {
    fake.setExtractOutcome(Outcome::Throw);
    EXPECT_EQ(import({zip(samplePackage())}).messages, Messages{unpackFailed("E001.zip")});
}

TEST_F(ImportTest, collectsTheMessagesOfSeveralPackagesInOrder) {
    PackageBuilder truncated = samplePackage("E003");
    truncated.truncate(200);
    PackageBuilder withoutBaseInfo = samplePackage("E004");
    withoutBaseInfo.withoutBaseInfo();
    const auto outcome = import({zip(samplePackage("E001")), zip(samplePackage("E001"), "again.zip"),
                                 zip(truncated), zip(withoutBaseInfo), zip(samplePackage("E002"))});
    EXPECT_EQ(outcome.messages, (Messages{imported("E001.zip"), alreadyThere("again.zip"), unpackFailed("E003.zip"),
                                          noBaseInfo("E004.zip"), imported("E002.zip")}));
    EXPECT_EQ(outcome.imported, 2);
    EXPECT_EQ(outcome.refused, 3);
    EXPECT_EQ(package::importSummary(outcome),
              imported("E001.zip") + "\r\n" + alreadyThere("again.zip") + "\r\n" + unpackFailed("E003.zip") + "\r\n" +
                  noBaseInfo("E004.zip") + "\r\n" + imported("E002.zip"));
}

TEST_F(ImportTest, aSecondPackageOfAnEntityLeavesTheFirstUnchanged) {
    import({zip(samplePackage())});
    const std::size_t before = entityRows("E001");
    PackageBuilder other = samplePackage();
    other.add(Category::TransRes, file("新合同", "新合同.DOC"));
    EXPECT_EQ(import({zip(other, "other.zip")}).messages, Messages{alreadyThere("other.zip")});
    EXPECT_EQ(entityRows("E001"), before);
    EXPECT_FALSE(exists(entityRoot("E001") + "/所有文件/业务资料/新合同.DOC"));
}

TEST_F(ImportTest, summaryWithoutMessagesReportsSuccess) {
    EXPECT_EQ(package::importSummary({}), "导入被审计单位资料树成功！");
}

TEST_F(ImportTest, withoutAnAuditedEntityInTheProjectEveryPackageIsRefused) {
    fake.execBase("update KQ_PrjInfo set AuditedCorpID = ''");
    const std::string reason = "，\r\n原因：当前项目信息中没有填写[被审计单位编码]，请您填写后再重新引入！";
    const auto outcome = import({zip(samplePackage("E001")), zip(samplePackage("E002"))});
    EXPECT_EQ(outcome.messages,
              (Messages{"没有引入被审计单位数据包[E001.zip]" + reason, "没有引入被审计单位数据包[E002.zip]" + reason}));
    EXPECT_EQ(allRows(), 0u);
}

TEST_F(ImportTest, projectEntityCheckIgnoresLatinCase) {
    EXPECT_EQ(package::projectEntityCheck("corp001"), 1);
    EXPECT_EQ(package::projectEntityCheck("CORP001"), 1);
    EXPECT_EQ(package::projectEntityCheck("CORP002"), 0);
    fake.setConnectionsAvailable(false);
    EXPECT_EQ(package::projectEntityCheck("CORP001"), -1);
}

TEST_F(ImportTest, clearsAFolderLeftWithoutRowsBeforeExtracting) {
    stdfs::create_directories(entityRoot("E001") + "/所有文件/stale");
    ASSERT_TRUE(fs::writeFile(entityRoot("E001") + "/stale.txt", "left by a killed import"));
    EXPECT_EQ(import({zip(samplePackage())}).messages, Messages{imported("E001.zip")});
    EXPECT_FALSE(exists(entityRoot("E001") + "/stale.txt"));
    EXPECT_FALSE(exists(entityRoot("E001") + "/所有文件/stale"));
}

// A package generated in this very project carries the project's folder already.
PackageBuilder packageOfThisProject(const std::string& code) {
    PackageBuilder p(code, "单位");
    p.add(Category::AuditRes, folder(std::string("旧名（项目编号：") + FakeHost::kSerial + "）", {folder("项目基本信息")}));
    return p;
}

TEST_F(ImportTest, anExistingProjectFolderIsNoFailureForThePrincipalEntity) {
    EXPECT_EQ(import({zip(packageOfThisProject("corp001"))}).messages, Messages{imported("corp001.zip")});
}

TEST_F(ImportTest, anExistingProjectFolderIsAFailureForAnExtendedEntity) {
    const auto outcome = import({zip(packageOfThisProject("E001"))});
    EXPECT_EQ(outcome.messages, (Messages{kBindingFailed, imported("E001.zip")}));
    EXPECT_EQ(outcome.imported, 1);
    EXPECT_EQ(outcome.bindingFailures, 1);
    EXPECT_EQ(count("AuditResourceInfo", "E001"), 3u) << "the package's own rows stay";
}

TEST_F(ImportTest, aProjectWithoutNameFailsTheBindingButKeepsThePackage) {
    fake.execBase("update KQ_PrjInfo set PrjName = ''");
    const auto outcome = import({zip(samplePackage("CORP001"))});
    EXPECT_EQ(outcome.messages, (Messages{kBindingFailed, imported("CORP001.zip")}));
    EXPECT_EQ(count("AuditedDeptInfo", "CORP001"), 1u);
    EXPECT_TRUE(exists(entityRoot("CORP001") + "/数据包描述.xml"));
}

TEST_F(ImportTest, aFailedBindingLeavesNoneOfItsRowsOrFolders) {
    PackageBuilder p("E001", "单位");
    p.add(Category::AuditRes, projectTemplate({folder("阶段")}));
    p.add(Category::AuditRes, projectTemplate({}, false));  // its folder exists when its turn comes: -888
    const auto outcome = import({zip(p)});
    EXPECT_EQ(outcome.messages, (Messages{kBindingFailed, imported("E001.zip")}));
    EXPECT_TRUE(rows("select * from AuditResourceInfo where FileID <> ''").empty());
    EXPECT_EQ(count("AuditResourceInfo", "E001"), 6u) << "category, two templates, 阶段, 项目基本信息 folder and file";
    const std::string projectFolder =
        entityRoot("E001") + "/所有文件/审计资料/" + FakeHost::kProjectName + "（项目编号：" + FakeHost::kSerial + "）";
    EXPECT_FALSE(exists(projectFolder));
}

TEST_F(ImportTest, deleteEntityRemovesRowsAndFolder) {
    import({zip(samplePackage("E001")), zip(samplePackage("E002"))});
    package::deleteEntity(*dm, "E001");
    EXPECT_EQ(entityRows("E001"), 0u);
    EXPECT_FALSE(exists(entityRoot("E001")));
    EXPECT_GT(entityRows("E002"), 0u);
    EXPECT_TRUE(exists(entityRoot("E002")));
}

TEST_F(ImportTest, deleteEntityRemovesRowsWhenTheFolderWasRemovedByHand) {
    import({zip(samplePackage())});
    stdfs::remove_all(entityRoot("E001"));
    EXPECT_EQ(package::deleteEntityAction(*dm, "E001", "测试单位"), "删除被审计单位[测试单位]的数据包成功！");
    EXPECT_EQ(entityRows("E001"), 0u);
}

TEST_F(ImportTest, deleteEntityWithAnEmptyOrUnsafeCodeKeepsTheEntityFolder) {
    import({zip(samplePackage())});
    package::deleteEntity(*dm, "");
    package::deleteEntity(*dm, "..");
    EXPECT_TRUE(exists(fake.entityFolder() + "UNITARC.mdb"));
    EXPECT_TRUE(exists(entityRoot("E001")));
    EXPECT_GT(entityRows("E001"), 0u);
}

}  // namespace
}  // namespace unitarc::test
