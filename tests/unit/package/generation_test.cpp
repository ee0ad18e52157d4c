#include "package/generation.h"

#include <algorithm>
#include <chrono>
#include <filesystem>

#include <gtest/gtest.h>

#include "package/import.h"
#include "package/writing.h"
#include "store/ids.h"
#include "store/records.h"
#include "tests/unit/package/package_fixture.h"

namespace unitarc::package {
namespace {

namespace stdfs = std::filesystem;
using test::FakeHost;
using test::Outcome;

constexpr const char* kTables[] = {"", "", "", "FinanceDataInfo", "FinanceResourceInfo", "TransResourceInfo",
                                   "AuditResourceInfo"};
constexpr const char* kCategories[] = {"", "", "", "财务数据", "财务资料", "业务资料", "审计资料"};

std::string readAll(const std::string& path) {
    std::string bytes;
    fs::readFile(path, bytes);
    return bytes;
}

class GenerationTest : public test::PackageTest {
protected:
    void SetUp() override { ASSERT_EQ(recreateFolder(stagingFolder()), 1); }

    void exec(TKQDM_BSJDW& module, const std::string& sql) { module.conUNITARC.execute(sql); }

    // An entity as an import leaves it: its row and the four category roots.
    void addEntity(const std::string& code, const std::string& name, int deptIndex) {
        exec(*dm, "Insert Into AuditedDeptInfo (AuditedDeptCode, AuditedDeptName, DeptIndex, KQTag, NodeID, Type, "
                  "Name, BaseInfo, ImageIndex) Values (" +
                      text::quoted(code) + "," + text::quoted(name) + "," + std::to_string(deptIndex) +
                      ",0,'','JBXX','基本信息','<基本信息/>',0)");
        for (int kind = 3; kind <= 6; ++kind)
            exec(*dm, std::string("Insert Into ") + kTables[kind] +
                          " (AuditedDeptCode, DirID, PDirID, KQTag, FileTag, Name) Values (" + text::quoted(code) + "," +
                          text::quoted(store::newNodeId()) + ",''," + "0,0," + text::quoted(kCategories[kind]) + ")");
    }

    std::string rootOf(TKQDM_BSJDW& module, int kind, const std::string& code) {
        db::Query q(&module.conUNITARC);
        q.open(std::string("Select DirID From ") + kTables[kind] + " Where AuditedDeptCode = " + text::quoted(code) +
               " and PDirID = ''");
        return q.text("DirID");
    }

    std::string dirIdOf(TKQDM_BSJDW& module, int kind, const std::string& code, const std::string& name) {
        db::Query q(&module.conUNITARC);
        q.open(std::string("Select DirID From ") + kTables[kind] + " Where AuditedDeptCode = " + text::quoted(code) +
               " and Name = " + text::quoted(name));
        return q.eof() ? std::string() : q.text("DirID");
    }

    store::MaterialRow material(const std::string& code, const std::string& parent, const std::string& name,
                                int fileTag, const std::string& fileName = {}) {
        store::MaterialRow r;
        r.code = code;
        r.dirId = store::newNodeId();
        r.pDirId = parent;
        r.fileTag = fileTag;
        r.name = name;
        r.nodeId = store::newNodeId();
        r.fileName = fileName;
        r.materialName = name;
        r.title = name;
        r.prjSerial = FakeHost::kSerial;
        return r;
    }

    std::string insert(int kind, store::MaterialRow r) {
        if (kind == 3) r.type = "CWSJ";
        if (kind == 6 && r.type.empty()) r.type = "SJZL";
        EXPECT_EQ(store::insertMaterialRow(*dm, kind, r), 1);
        return r.dirId;
    }

    // A stored material: the file at folder (relative to the entity data folder) and its row.
    std::string storedFile(int kind, const std::string& code, const std::string& parent, const std::string& folder,
                           const std::string& name, const std::string& fileName, const std::string& content) {
        stdfs::create_directories(dm->folder() + folder);
        fs::writeFile(dm->folder() + folder + fileName, content);
        return insert(kind, material(code, parent, name, 1, fileName));
    }

    std::string nodeIdOf(TKQDM_BSJDW& module, const std::string& code) {
        db::Query q(&module.conUNITARC);
        q.open("Select NodeID From AuditedDeptInfo Where AuditedDeptCode = " + text::quoted(code));
        return q.text("NodeID");
    }

    std::vector<EntityChoice> entities() { return listEntities(*dm).entities; }
};

// --- the entity list

TEST_F(GenerationTest, entitiesComeInDeptIndexOrderWithThePrincipalMarked) {
    addEntity("E002", "乙单位", 3);
    addEntity(FakeHost::kAuditedCorpId, "总部", 2);
    addEntity("corp001x", "丙单位", 1);
    const EntityList list = listEntities(*dm);

    EXPECT_EQ(list.projectName, FakeHost::kProjectName);
    ASSERT_EQ(list.entities.size(), 3u);
    EXPECT_EQ(list.entities[0].code, "corp001x");
    EXPECT_EQ(list.entities[1].code, FakeHost::kAuditedCorpId);
    EXPECT_EQ(list.entities[2].code, "E002");
    EXPECT_FALSE(list.entities[0].principal);
    EXPECT_TRUE(list.entities[1].principal);
    EXPECT_EQ(entityLabel(list.entities[1]), "[总部]");
    EXPECT_EQ(entityLabel(list.entities[2]), "（延伸单位）[乙单位]");
}

TEST_F(GenerationTest, preparingEmptiesTheStagingFolderUnderTheHostProgram) {
    EXPECT_EQ(stagingFolder(), fake.appFolder() + "~KQ~temp/BSJDWPck/");
    fs::writeFile(stagingFolder() + "old.zip", "old");
    prepareGeneration(*dm);
    EXPECT_TRUE(fs::isDirectory(stagingFolder()));
    EXPECT_TRUE(stdfs::is_empty(stagingFolder()));
}

// --- the run

TEST_F(GenerationTest, runPackagesEveryEntityInOrderAndRegistersEachArchive) {
    addEntity(FakeHost::kAuditedCorpId, "总部", 1);
    addEntity("E002", "分部", 2);
    const GenerationOutcome outcome = generatePackages(*dm, entities());

    EXPECT_EQ(outcome.lines, (std::vector<std::string>{"生成被审计单位[总部]的数据包成功！",
                                                       "生成被审计单位（延伸单位）[分部]的数据包成功！"}));
    EXPECT_FALSE(outcome.failed);
    EXPECT_EQ(fake.busyTexts, (std::vector<std::string>{"被审计单位数据包", "开始生成被审计单位数据包，请稍候．．．",
                                                        "正在生成被审计单位[总部]的数据包，请稍候．．．",
                                                        "正在生成被审计单位（延伸单位）[分部]的数据包，请稍候．．．"}));
    EXPECT_EQ(fake.busyOpen, 0);
    EXPECT_EQ(fake.callsOf("HideProcess").size(), 2u);

    const auto shown = fake.callsOf("ReferenceDataPackage_Show");
    ASSERT_EQ(shown.size(), 2u);
    EXPECT_EQ(shown[0].args, (std::vector<std::string>{"被审计单位数据包：[总部]",
                                                       stagingFolder() + FakeHost::kAuditedCorpId + ".zip",
                                                       "XMGL_PACKAGE_BSDW", "13"}));
    EXPECT_EQ(shown[1].args[0], "被审计单位数据包：（延伸单位）[分部]");
    EXPECT_TRUE(fs::isFile(stagingFolder() + "E002.zip"));
    EXPECT_EQ(outcome.archives, (std::vector<std::string>{stagingFolder() + FakeHost::kAuditedCorpId + ".zip",
                                                          stagingFolder() + "E002.zip"}));
    EXPECT_EQ(nodeIdOf(*dm, "E002"), "0");
}

TEST_F(GenerationTest, failingEntityStopsTheRunAndKeepsItsMarks) {
    addEntity("E001", "甲", 1);
    addEntity("E002", "乙", 2);
    addEntity("E003", "丙", 3);
    storedFile(4, "E002", rootOf(*dm, 4, "E002"), "E002/所有文件/财务资料/", "a/b", "x.doc", "x");
    const GenerationOutcome outcome = generatePackages(*dm, entities());

    EXPECT_EQ(outcome.lines, (std::vector<std::string>{"生成被审计单位（延伸单位）[甲]的数据包成功！",
                                                       "生成被审计单位（延伸单位）[乙]的数据包失败！"}));
    EXPECT_TRUE(outcome.failed);
    EXPECT_EQ(nodeIdOf(*dm, "E001"), "0");
    EXPECT_EQ(nodeIdOf(*dm, "E002"), "");
    EXPECT_EQ(std::count(fake.busyTexts.begin(), fake.busyTexts.end(), "正在生成被审计单位（延伸单位）[丙]的数据包，请稍候．．．"), 0);
    EXPECT_EQ(fake.callsOf("ReferenceDataPackage_Show").size(), 1u);
    EXPECT_FALSE(fs::exists(stagingFolder() + "E002.zip"));
    EXPECT_EQ(fake.busyOpen, 0);
}

struct CompressCase {
    const char* label;
    Outcome outcome;
};
void PrintTo(const CompressCase& c, std::ostream* os) { *os << c.label; }

class CompressFailureTest : public GenerationTest, public ::testing::WithParamInterface<CompressCase> {};

TEST_P(CompressFailureTest, entityWithoutArchiveFailsAndItsFilesGoInNextTime) {
    addEntity("E001", "甲", 1);
    storedFile(4, "E001", rootOf(*dm, 4, "E001"), "E001/所有文件/财务资料/", "凭证", "凭证.pdf", "pdf");
    fake.setCompressOutcome(GetParam().outcome);
    const GenerationOutcome failed = generatePackages(*dm, entities());

    EXPECT_EQ(failed.lines, std::vector<std::string>{"生成被审计单位（延伸单位）[甲]的数据包失败！"});
    EXPECT_TRUE(fake.callsOf("ReferenceDataPackage_Show").empty());
    EXPECT_EQ(nodeIdOf(*dm, "E001"), "");
    EXPECT_EQ(fake.busyOpen, 0);

    fake.setCompressOutcome(Outcome::Normal);
    ASSERT_FALSE(generatePackages(*dm, entities()).failed);
    EXPECT_TRUE(fs::isFile(stagingFolder() + "E001/所有文件/基本信息/基本信息.xml"));
    EXPECT_TRUE(fs::isFile(stagingFolder() + "E001/所有文件/财务资料/凭证.PDF"));
}

INSTANTIATE_TEST_SUITE_P(Host, CompressFailureTest,
                         ::testing::Values(CompressCase{"emptyResult", Outcome::Empty},
                                           CompressCase{"raises", Outcome::Throw}),
                         [](const auto& info) { return std::string(info.param.label); });

TEST_F(GenerationTest, missingStagingFolderFailsTheFirstEntity) {
    addEntity("E001", "甲", 1);
    stdfs::remove_all(stagingFolder());
    const GenerationOutcome outcome = generatePackages(*dm, entities());
    EXPECT_EQ(outcome.lines, std::vector<std::string>{"生成被审计单位（延伸单位）[甲]的数据包失败！"});
}

struct RegistrationCase {
    const char* label;
    bool available;
    bool raises;
};
void PrintTo(const RegistrationCase& c, std::ostream* os) { *os << c.label; }

class RegistrationTest : public GenerationTest, public ::testing::WithParamInterface<RegistrationCase> {};

TEST_P(RegistrationTest, hostThatTakesNoPackageDoesNotFailTheRun) {
    addEntity("E001", "甲", 1);
    addEntity("E002", "乙", 2);
    fake.setAppEntriesAvailable(GetParam().available);
    fake.setAppEntriesThrow(GetParam().raises);
    const GenerationOutcome outcome = generatePackages(*dm, entities());
    EXPECT_FALSE(outcome.failed);
    EXPECT_EQ(outcome.lines.size(), 2u);
    EXPECT_EQ(nodeIdOf(*dm, "E002"), "0");
}

INSTANTIATE_TEST_SUITE_P(Host, RegistrationTest,
                         ::testing::Values(RegistrationCase{"noFunction", false, false},
                                           RegistrationCase{"functionRaises", true, true}),
                         [](const auto& info) { return std::string(info.param.label); });

TEST_F(GenerationTest, databaseErrorPropagatesAfterTheBusyWindowCloses) {
    addEntity("E001", "甲", 1);
    exec(*dm, "Drop Table AuditResourceInfo");
    EXPECT_THROW(generatePackages(*dm, entities()), db::Error);
    EXPECT_EQ(fake.busyOpen, 0);
}

TEST_F(GenerationTest, failedWorkingPaperExportsAreCollectedForTheWindow) {
    addEntity("E001", "甲", 1);
    const long long paper = fake.addResource({.caption = "底稿", .typeName = "DGGL_SJDG", .fileName = "wp.doc"});
    store::MaterialRow r = material("E001", rootOf(*dm, 6, "E001"), "底稿", 1, "|" + std::to_string(paper));
    insert(6, r);
    fake.setAppEntriesThrow(true);
    const GenerationOutcome outcome = generatePackages(*dm, entities());
    EXPECT_FALSE(outcome.failed);
    EXPECT_EQ(outcome.warnings, std::vector<std::string>{kWordExportWarning});
}

struct SummaryCase {
    const char* label;
    std::vector<std::string> lines;
    const char* shown;
};
void PrintTo(const SummaryCase& c, std::ostream* os) { *os << c.label; }

class SummaryTest : public ::testing::TestWithParam<SummaryCase> {};

TEST_P(SummaryTest, summaryJoinsTheLinesOrSaysDone) {
    GenerationOutcome outcome;
    outcome.lines = GetParam().lines;
    EXPECT_EQ(generationSummary(outcome), GetParam().shown);
}

INSTANTIATE_TEST_SUITE_P(
    Lines, SummaryTest,
    ::testing::Values(SummaryCase{"noLine", {}, "生成被审计单位数据包完成！"},
                      SummaryCase{"oneLine", {"生成被审计单位[甲]的数据包成功！"}, "生成被审计单位[甲]的数据包成功！"},
                      SummaryCase{"successThenFailure",
                                  {"生成被审计单位[甲]的数据包成功！", "生成被审计单位[乙]的数据包失败！"},
                                  "生成被审计单位[甲]的数据包成功！\r\n生成被审计单位[乙]的数据包失败！"}),
    [](const auto& info) { return std::string(info.param.label); });

// --- round trip: import, arrange, generate, import into another project

class RoundTripTest : public GenerationTest {
protected:
    static constexpr const char* kSecondSerial = "P2026002";

    // Every row of a category of the entity as "path" or "path*" for a file, sorted.
    std::vector<std::string> tree(TKQDM_BSJDW& module, int kind, const std::string& code) {
        db::Query q(&module.conUNITARC);
        q.open(std::string("Select * From ") + kTables[kind] + " Where AuditedDeptCode = " + text::quoted(code));
        std::map<std::string, std::pair<std::string, std::string>> byId;  // DirID -> parent, name
        for (; !q.eof(); q.next()) byId[q.text("DirID")] = {q.text("PDirID"), q.text("Name")};
        q.first();
        std::vector<std::string> paths;
        for (; !q.eof(); q.next()) {
            std::string path = q.text("Name");
            for (auto up = byId.find(q.text("PDirID")); up != byId.end(); up = byId.find(up->second.first))
                path = up->second.second + "/" + path;
            paths.push_back(path + (q.integer("FileTag") == 1 ? "*" : ""));
        }
        std::sort(paths.begin(), paths.end());
        return paths;
    }

    std::string secondProjectFolder() { return "第二项目（项目编号：" + std::string(kSecondSerial) + "）"; }
};

TEST_F(RoundTripTest, arrangedMaterialsArriveInAnotherProjectWithTheirFiles) {
    test::PackageBuilder received("E001", "测试单位");
    received.baseItem("DWDZ", "单位地址", "北京");
    received.add(test::Category::FinanceRes, test::folder("2023年", {test::file("原始凭证", "原始凭证.PDF", "orig")}));
    received.add(test::Category::AuditRes, test::file("旧文书", "旧文书.DOC", "old"));
    ASSERT_EQ(importPackages(*dm, {zip(received)}).imported, 1);

    // Arranged in this project, through the record operations.
    const std::string finRoot = rootOf(*dm, 4, "E001");
    const std::string year = dirIdOf(*dm, 4, "E001", "2023年");
    storedFile(4, "E001", year, "E001/所有文件/财务资料/2023年/", "二月", "二月.pdf", "feb");
    store::MaterialRow vouchers = material("E001", finRoot, "凭证", 0);
    insert(4, vouchers);
    store::MaterialRow january = material("E001", vouchers.dirId, "一月", 1, "一月.pdf");
    january.materialDate = text::encodeDate(2024, 1, 31);
    stdfs::create_directories(dm->folder() + "E001/所有文件/财务资料/凭证");
    fs::writeFile(dm->folder() + "E001/所有文件/财务资料/凭证/一月.pdf", "jan");
    insert(4, january);

    const std::string finData = rootOf(*dm, 3, "E001");
    storedFile(3, "E001", finData, "E001/所有文件/财务数据/", "资产负债表", "资产负债表.xls", "workbook");
    store::MaterialRow data = material("E001", finData, "资产负债表", 1, "资产负债表.xml");
    data.canVisible = 0;
    fs::writeFile(dm->folder() + "E001/所有文件/财务数据/资产负债表.xml", "<items/>");
    insert(3, data);

    const long long sheet = fake.addResource({.caption = "台账", .typeName = "XMGL_FILE", .createAppId = "XMGL",
                                              .fileName = "ledger.xls", .content = "sheet"});
    insert(5, material("E001", rootOf(*dm, 5, "E001"), "台账", 1, "|" + std::to_string(sheet)));

    const std::string auditRoot = rootOf(*dm, 6, "E001");
    const long long paper = fake.addResource(
        {.caption = "底稿", .typeName = "DGGL_SJDG", .fileName = "wp.doc", .param = "p1", .content = "paper"});
    store::MaterialRow wp = material("E001", auditRoot, "底稿", 1, "|" + std::to_string(paper));
    insert(6, wp);
    store::MaterialRow docs = material("E001", auditRoot, "本项目文书", 0);
    insert(6, docs);
    store::MaterialRow report = material("E001", docs.dirId, "报告", 1, "报告.doc");
    stdfs::create_directories(dm->folder() + "E001/所有文件/审计资料/本项目文书");
    fs::writeFile(dm->folder() + "E001/所有文件/审计资料/本项目文书/报告.doc", "report");
    insert(6, report);

    prepareGeneration(*dm);
    const GenerationOutcome outcome = generatePackages(*dm, entities());
    ASSERT_EQ(outcome.lines, std::vector<std::string>{"生成被审计单位（延伸单位）[测试单位]的数据包成功！"});
    const std::string archive = outcome.archives.at(0);
    const std::string exported = fake.callsOf("exportDataToWord").at(0).args[2];

    fake.addProject(kSecondSerial, "第二项目", "CORP002", "ORGAN002");
    fake.setSerial(kSecondSerial);
    auto second = fake.openDataModule();
    const ImportOutcome imported = importPackages(*second, {archive});
    ASSERT_EQ(imported.imported, 1) << (imported.messages.empty() ? "" : imported.messages[0]);

    EXPECT_EQ(tree(*second, 3, "E001"), (std::vector<std::string>{"财务数据", "财务数据/资产负债表*", "财务数据/资产负债表*"}));
    EXPECT_EQ(tree(*second, 4, "E001"), (std::vector<std::string>{"财务资料", "财务资料/2023年", "财务资料/2023年/二月*",
                                                                 "财务资料/凭证", "财务资料/凭证/一月*"}));
    EXPECT_EQ(tree(*second, 5, "E001"), (std::vector<std::string>{"业务资料", "业务资料/台账*"}));
    const auto audit = tree(*second, 6, "E001");
    for (const char* expected : {"审计资料/底稿*", "审计资料/本项目文书", "审计资料/本项目文书/报告*"})
        EXPECT_NE(std::find(audit.begin(), audit.end(), expected), audit.end()) << expected;
    EXPECT_EQ(std::find(audit.begin(), audit.end(), "审计资料/旧文书*"), audit.end());
    const auto firstAudit = tree(*dm, 6, "E001");
    for (const auto& path : audit) {
        if (path.rfind("审计资料/" + secondProjectFolder(), 0) == 0 || path == "审计资料/旧文书*") continue;
        EXPECT_NE(std::find(firstAudit.begin(), firstAudit.end(), path), firstAudit.end()) << path;
    }

    const std::string files = second->folder() + "E001/所有文件/";
    EXPECT_EQ(readAll(files + "财务数据/资产负债表.XML"), "<items/>");
    EXPECT_EQ(readAll(files + "财务数据/资产负债表.XLS"), "workbook");
    EXPECT_EQ(readAll(files + "财务资料/凭证/一月.PDF"), "jan");
    EXPECT_EQ(readAll(files + "财务资料/2023年/二月.PDF"), "feb");
    EXPECT_EQ(readAll(files + "业务资料/台账.XLS"), "sheet");
    EXPECT_EQ(readAll(files + "审计资料/本项目文书/报告.DOC"), "report");
    EXPECT_EQ(readAll(files + "审计资料/底稿.DOC"), readAll(exported));
    EXPECT_FALSE(fs::exists(files + "财务资料/2023年/原始凭证.PDF"));

    db::Query arrived(&second->conUNITARC);
    arrived.open("select * from FinanceResourceInfo where Name = '一月'");
    ASSERT_EQ(arrived.recordCount(), 1u);
    EXPECT_EQ(text::formatDate(arrived.number("财务资料日期")), "2024-01-31");
    EXPECT_EQ(arrived.integer("KQTag"), 0);
    // An audit material keeps its node id from project to project.
    EXPECT_EQ(dirIdOf(*second, 6, "E001", "报告"), report.nodeId);
    EXPECT_NE(store::entityField(*second, "E001", "BaseInfo").find("北京"), std::string::npos);
}

TEST_F(RoundTripTest, packageOfAnUnchangedEntityCannotBeImportedElsewhere) {
    test::PackageBuilder received("E001", "测试单位");
    ASSERT_EQ(importPackages(*dm, {zip(received)}).imported, 1);
    ASSERT_FALSE(generatePackages(*dm, entities()).failed);
    prepareGeneration(*dm);
    const GenerationOutcome again = generatePackages(*dm, entities());
    ASSERT_FALSE(again.failed);
    EXPECT_FALSE(fs::exists(stagingFolder() + "E001/所有文件/基本信息/基本信息.xml"));
    EXPECT_TRUE(fs::isDirectory(stagingFolder() + "E001/所有文件/基本信息"));

    fake.addProject(kSecondSerial, "第二项目", "CORP002", "ORGAN002");
    fake.setSerial(kSecondSerial);
    auto second = fake.openDataModule();
    const ImportOutcome refused = importPackages(*second, {again.archives.at(0)});
    EXPECT_EQ(refused.imported, 0);
    EXPECT_EQ(refused.refused, 1);
}

}  // namespace
}  // namespace unitarc::package
