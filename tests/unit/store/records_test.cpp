#include "store/records.h"

#include <filesystem>
#include <regex>

#include <gtest/gtest.h>

#include "platform/text.h"
#include "tests/support/fakehost.h"

namespace unitarc::store {
namespace {

using test::FakeHost;

constexpr const char* kCode = "E001";

// File ids carry the clock and random characters: the statements are compared with them masked.
std::string maskFileIds(const std::string& sql) {
    static const std::regex fileId("'E001[0-9]{14}[0-9A-Za-z]{4}'");
    return std::regex_replace(sql, fileId, "'<FILEID>'");
}

// One assignment of an update: the column, the spaces that fill it to 21 bytes (counted
// here by hand), "=" and the value.
std::string set(const std::string& column, int spaces, const std::string& value) {
    return column + std::string(static_cast<std::size_t>(spaces), ' ') + "=" + value;
}

MaterialRow sampleRow() {
    MaterialRow r;
    r.code = kCode;
    r.dirId = "D1";
    r.pDirId = "P1";
    r.fileTag = 1;
    r.name = "报表";
    r.nodeId = "N1";
    r.type = "XMXX";
    r.fileName = "报表.xls";
    r.imageIndex = 7;
    r.canVisible = 0;
    r.createTime = 45000.5;
    r.materialName = "凭证";
    r.materialDate = 45000;
    r.prjSerial = "P2026001";
    r.title = "标题一";
    r.docType = "审计日记";
    r.docNo = "文号1";
    r.issuer = "发文";
    r.copyTo = "抄送";
    r.written = 45001;
    r.filed = 45002.25;
    r.subject = "主题";
    r.summary = "摘要一";
    return r;
}

class RecordsTest : public test::FakeHostTest {
protected:
    void SetUp() override { dm = fake.openDataModule(); }

    void exec(const std::string& sql) { dm->conUNITARC.execute(sql); }

    db::Query select(const std::string& sql) {
        db::Query q(&dm->conUNITARC);
        q.open(sql);
        return q;
    }

    // A material row written directly, for the look-ups.
    void addRow(const std::string& table, const std::string& code, const std::string& dirId,
                const std::string& pDirId, const std::string& name, int fileTag, const std::string& fileName = {}) {
        exec("Insert Into " + table + " (AuditedDeptCode, DirID, PDirID, Name, FileTag, FileName, CanVisible) Values (" +
             text::quoted(code) + "," + text::quoted(dirId) + "," + text::quoted(pDirId) + "," + text::quoted(name) +
             "," + std::to_string(fileTag) + "," + text::quoted(fileName) + ",1)");
    }

    std::unique_ptr<TKQDM_BSJDW> dm;
};

// --- the exact statements

struct StatementCase {
    std::string label;
    int kind;
    std::string expected;
};

class InsertStatement : public RecordsTest, public ::testing::WithParamInterface<StatementCase> {};

TEST_P(InsertStatement, hasTheHeadAndValuesInColumnOrder) {
    EXPECT_EQ(maskFileIds(insertMaterialSql(*dm, GetParam().kind, sampleRow())), GetParam().expected);
}

INSTANTIATE_TEST_SUITE_P(
    Tables, InsertStatement,
    ::testing::Values(
        StatementCase{"FinanceData", 3,
                      "Insert Into FinanceDataInfo (AuditedDeptCode, DirID, PDirID, DirIndex,FileTag, KQTag, Name, "
                      "NodeID, FileID,FileName, ImageIndex, Type, CanVisible, CreateTime) Values "
                      "('E001','D1','P1',1,1,1,'报表','N1','<FILEID>','报表.xls',7,'XMXX',0,45000.5)"},
        StatementCase{"FinanceResource", 4,
                      "Insert Into FinanceResourceInfo (AuditedDeptCode, DirID, PDirID, DirIndex,KQTag, FileTag, "
                      "Name, NodeID, Type, FileID,被审计单位识别码, 财务资料名称, 财务资料日期,FileName, ImageIndex, "
                      "CanVisible, CreateTime) Values "
                      "('E001','D1','P1',1,1,1,'报表','N1','CWZL','<FILEID>','E001','凭证',45000,'报表.xls',7,1,"
                      "45000.5)"},
        StatementCase{"TransResource", 5,
                      "Insert Into TransResourceInfo (AuditedDeptCode, DirID, PDirID, DirIndex,KQTag, FileTag, "
                      "Name, NodeID, Type, FileID,业务资料名称, 被审计单位识别码, 业务资料日期,FileName, ImageIndex, "
                      "CanVisible, CreateTime) Values "
                      "('E001','D1','P1',1,1,1,'报表','N1','YWZL','<FILEID>','凭证','E001',45000,'报表.xls',7,1,"
                      "45000.5)"},
        StatementCase{"AuditResource", 6,
                      "Insert Into AuditResourceInfo (AuditedDeptCode, DirID, PDirID, DirIndex,KQTag, FileTag, "
                      "Name, NodeID, 被审计单位识别码, Type,项目编号, 标题, 类型, 文号, 发文单位, 抄送单位,成文时间, "
                      "归档时间, 主题词, 摘要, FileID,审计机关代码, FileName, ImageIndex, CanVisible, CreateTime) "
                      "Values ('E001','D1','P1',1,1,1,'报表','N1','E001','XMXX','P2026001','标题一','审计日记',"
                      "'文号1','发文','抄送',45001,45002.25,'主题','摘要一','<FILEID>','ORGAN001','报表.xls',7,0,"
                      "45000.5)"}),
    [](const auto& info) { return info.param.label; });

class UpdateStatement : public RecordsTest, public ::testing::WithParamInterface<StatementCase> {};

TEST_P(UpdateStatement, padsColumnNamesToTwentyOneGbkBytes) {
    EXPECT_EQ(maskFileIds(updateMaterialSql(GetParam().kind, sampleRow(), false)), GetParam().expected);
}

const std::string kWhere = " where DirID          ='D1'";

INSTANTIATE_TEST_SUITE_P(
    Tables, UpdateStatement,
    ::testing::Values(
        StatementCase{"FinanceData", 3,
                      "update FinanceDataInfo set " + set("AuditedDeptCode", 6, "'E001'") + "," +
                          set("FileTag", 14, "1") + "," + set("KQTag", 16, "1") + "," + set("Name", 17, "'报表'") +
                          "," + set("NodeID", 15, "'N1'") + "," + set("FileID", 15, "'<FILEID>'") + "," +
                          set("FileName", 13, "'报表.xls'") + "," + set("ImageIndex", 11, "7") + "," +
                          set("Type", 17, "'CWSJ'") + "," + set("CanVisible", 11, "0") + "," +
                          set("CreateTime", 11, "45000.5") + kWhere},
        StatementCase{"FinanceResource", 4,
                      "update FinanceResourceInfo set " + set("AuditedDeptCode", 6, "'E001'") + "," +
                          set("KQTag", 16, "1") + "," + set("FileTag", 14, "1") + "," + set("Name", 17, "'报表'") +
                          "," + set("NodeID", 15, "'N1'") + "," + set("Type", 17, "'CWZL'") + "," +
                          set("FileID", 15, "'<FILEID>'") + "," + set("被审计单位识别码", 5, "'E001'") + "," +
                          set("财务资料名称", 9, "'凭证'") + "," + set("财务资料日期", 9, "45000") + "," +
                          set("FileName", 13, "'报表.xls'") + "," + set("ImageIndex", 11, "7") + "," +
                          set("CanVisible", 11, "0") + "," + set("CreateTime", 11, "45000.5") + kWhere},
        StatementCase{"TransResource", 5,
                      "update TransResourceInfo set " + set("AuditedDeptCode", 6, "'E001'") + "," +
                          set("KQTag", 16, "1") + "," + set("FileTag", 14, "1") + "," + set("Name", 17, "'报表'") +
                          "," + set("NodeID", 15, "'N1'") + "," + set("Type", 17, "'YWZL'") + "," +
                          set("FileID", 15, "'<FILEID>'") + "," + set("业务资料名称", 9, "'凭证'") + "," +
                          set("被审计单位识别码", 5, "'E001'") + "," + set("业务资料日期", 9, "45000") + "," +
                          set("FileName", 13, "'报表.xls'") + "," + set("ImageIndex", 11, "7") + "," +
                          set("CanVisible", 11, "0") + "," + set("CreateTime", 11, "45000.5") + kWhere},
        StatementCase{"AuditResource", 6,
                      "update AuditResourceInfo set " + set("AuditedDeptCode", 6, "'E001'") + "," +
                          set("KQTag", 16, "1") + "," + set("FileTag", 14, "1") + "," + set("Name", 17, "'报表'") +
                          "," + set("NodeID", 15, "'N1'") + "," + set("被审计单位识别码", 5, "'E001'") + "," +
                          set("Type", 17, "'SJZL'") + "," + set("项目编号", 13, "'P2026001'") + "," +
                          set("标题", 17, "'标题一'") + "," + set("类型", 17, "'审计日记'") + "," +
                          set("文号", 17, "'文号1'") + "," + set("发文单位", 13, "'发文'") + "," +
                          set("抄送单位", 13, "'抄送'") + "," + set("成文时间", 13, "45001") + "," +
                          set("归档时间", 13, "45002.25") + "," + set("主题词", 15, "'主题'") + "," +
                          set("摘要", 17, "'摘要一'") + "," + set("FileID", 15, "'<FILEID>'") + "," +
                          set("审计机关代码", 9, "'ORGAN001'") + "," + set("FileName", 13, "'报表.xls'") + "," +
                          set("ImageIndex", 11, "7") + "," + set("CanVisible", 11, "0") + "," +
                          set("CreateTime", 11, "45000.5") + kWhere}),
    [](const auto& info) { return info.param.label; });

TEST_F(RecordsTest, auditUpdateWithKeepFlagLeavesFileIdAndOrganOut) {
    const std::string sql = updateMaterialSql(6, sampleRow(), true);
    EXPECT_EQ(sql.find("FileID"), std::string::npos);
    EXPECT_EQ(sql.find("审计机关代码"), std::string::npos);
    EXPECT_NE(sql.find(set("摘要", 17, "'摘要一'") + "," + set("FileName", 13, "'报表.xls'")), std::string::npos);
}

TEST_F(RecordsTest, updateStartsLikeTheDocumentedExample) {
    EXPECT_EQ(updateMaterialSql(6, sampleRow(), false).rfind("update AuditResourceInfo set AuditedDeptCode      =", 0),
              0u);
}

// --- the writers against the template

TEST_F(RecordsTest, nameWithSingleQuoteIsStoredUnchanged) {
    MaterialRow row = sampleRow();
    row.name = "O'Brien's 账";
    ASSERT_EQ(insertMaterialRow(*dm, 4, row), 1);

    auto q = select("Select Name From FinanceResourceInfo Where DirID = 'D1'");
    ASSERT_FALSE(q.eof());
    EXPECT_EQ(q.text("Name"), "O'Brien's 账");
}

TEST_F(RecordsTest, dirIndexIsOneInEmptyTableThenTwoForAnotherEntity) {
    MaterialRow first = sampleRow();
    MaterialRow second = sampleRow();
    second.code = "E002";
    second.dirId = "D2";
    second.pDirId = "OTHER";

    ASSERT_EQ(insertMaterialRow(*dm, 5, first), 1);
    ASSERT_EQ(insertMaterialRow(*dm, 5, second), 1);

    auto q = select("Select DirID, DirIndex From TransResourceInfo Order By DirIndex");
    ASSERT_EQ(q.recordCount(), 2u);
    EXPECT_EQ(q.text("DirID"), "D1");
    EXPECT_EQ(q.integer("DirIndex"), 1);
    q.next();
    EXPECT_EQ(q.text("DirID"), "D2");
    EXPECT_EQ(q.integer("DirIndex"), 2);
}

TEST_F(RecordsTest, dateZeroIsStoredAsTheZeroDate) {
    MaterialRow row = sampleRow();
    row.createTime = 0;
    row.written = 0;
    ASSERT_EQ(insertMaterialRow(*dm, 6, row), 1);

    auto q = select("Select CreateTime, 成文时间 From AuditResourceInfo");
    ASSERT_FALSE(q.eof());
    EXPECT_EQ(text::formatDate(q.number("CreateTime")), "1899-12-30");
    EXPECT_EQ(q.number("成文时间"), 0);
}

TEST_F(RecordsTest, insertedRowGetsKqTagOneAndFileIdOfTheEntity) {
    ASSERT_EQ(insertMaterialRow(*dm, 3, sampleRow()), 1);

    auto q = select("Select KQTag, FileID From FinanceDataInfo");
    ASSERT_FALSE(q.eof());
    EXPECT_EQ(q.integer("KQTag"), 1);
    EXPECT_EQ(maskFileIds("'" + q.text("FileID") + "'"), "'<FILEID>'");
}

TEST_F(RecordsTest, updateKeepsPlaceAndGivesNewFileIdWithoutKeepFlag) {
    ASSERT_EQ(insertMaterialRow(*dm, 6, sampleRow()), 1);
    exec("Update AuditResourceInfo Set FileID = 'KEEP', 审计机关代码 = 'OLD'");
    MaterialRow changed = sampleRow();
    changed.pDirId = "ELSEWHERE";
    changed.name = "新名";

    ASSERT_EQ(updateMaterialRow(*dm, 6, changed, false), 1);

    auto q = select("Select * From AuditResourceInfo");
    ASSERT_EQ(q.recordCount(), 1u);
    EXPECT_EQ(q.text("Name"), "新名");
    EXPECT_EQ(q.text("PDirID"), "P1");
    EXPECT_EQ(q.integer("DirIndex"), 1);
    EXPECT_EQ(q.text("Type"), "SJZL");
    EXPECT_NE(q.text("FileID"), "KEEP");
    EXPECT_EQ(q.text("审计机关代码"), FakeHost::kOrganId);
}

TEST_F(RecordsTest, auditUpdateWithKeepFlagKeepsFileIdAndOrgan) {
    ASSERT_EQ(insertMaterialRow(*dm, 6, sampleRow()), 1);
    exec("Update AuditResourceInfo Set FileID = 'KEEP', 审计机关代码 = 'OLD'");

    ASSERT_EQ(updateMaterialRow(*dm, 6, sampleRow(), true), 1);

    auto q = select("Select FileID, 审计机关代码 From AuditResourceInfo");
    EXPECT_EQ(q.text("FileID"), "KEEP");
    EXPECT_EQ(q.text("审计机关代码"), "OLD");
}

TEST_F(RecordsTest, auditInsertWithoutHostConnectionWritesEmptyOrgan) {
    fake.setConnectionsAvailable(false);
    ASSERT_EQ(insertMaterialRow(*dm, 6, sampleRow()), 1);

    auto q = select("Select 审计机关代码 From AuditResourceInfo");
    EXPECT_EQ(q.text("审计机关代码"), "");
}

struct FailureCase {
    std::string table;
    int kind;
    int code;
};

class WriterFailure : public RecordsTest, public ::testing::WithParamInterface<FailureCase> {
protected:
    // The table stays readable (Max index works) but refuses every write.
    void refuseWrites() {
        const std::string& t = GetParam().table;
        exec("Create Trigger no_insert Before Insert On " + t + " Begin Select Raise(Abort, 'refused'); End;");
        exec("Create Trigger no_update Before Update On " + t + " Begin Select Raise(Abort, 'refused'); End;");
    }
};

TEST_P(WriterFailure, insertGivesTheTableCodeAndWritesNothing) {
    refuseWrites();
    EXPECT_EQ(insertMaterialRow(*dm, GetParam().kind, sampleRow()), GetParam().code);
    EXPECT_EQ(select("Select Count(*) as N From " + GetParam().table).integer("N"), 0);
}

TEST_P(WriterFailure, updateGivesTheTableCode) {
    ASSERT_EQ(insertMaterialRow(*dm, GetParam().kind, sampleRow()), 1);
    refuseWrites();
    MaterialRow changed = sampleRow();
    changed.name = "变";
    EXPECT_EQ(updateMaterialRow(*dm, GetParam().kind, changed), GetParam().code);
    EXPECT_EQ(select("Select Name From " + GetParam().table).text("Name"), "报表");
}

TEST_P(WriterFailure, errorWhileGatheringValuesReachesTheCaller) {
    exec("Drop Table " + GetParam().table);
    EXPECT_THROW(insertMaterialRow(*dm, GetParam().kind, sampleRow()), db::Error);
}

INSTANTIATE_TEST_SUITE_P(Tables, WriterFailure,
                         ::testing::Values(FailureCase{"FinanceDataInfo", 3, -998},
                                           FailureCase{"FinanceResourceInfo", 4, -997},
                                           FailureCase{"TransResourceInfo", 5, -996},
                                           FailureCase{"AuditResourceInfo", 6, -999}),
                         [](const auto& info) { return info.param.table; });

// --- runners and Max index

TEST_F(RecordsTest, runnersGiveMinusOneOnBadSql) {
    db::Query q(&dm->conUNITARC);
    EXPECT_EQ(runQuery(q, "Select * From NoSuchTable"), -1);
    EXPECT_EQ(runQuery(q, "Select * From AuditedDeptInfo"), 1);
    EXPECT_EQ(executeStatement(*dm, "Delete From NoSuchTable"), -1);
    EXPECT_EQ(executeStatement(*dm, "Delete From AuditedDeptInfo"), 1);
}

TEST_F(RecordsTest, maxIndexIsZeroForEmptyTableAndThrowsForMissingOne) {
    EXPECT_EQ(maxIndex(*dm, "FinanceDataInfo", "DirIndex"), 0);
    exec("Insert Into FinanceDataInfo (DirID, DirIndex) Values ('A', 41)");
    EXPECT_EQ(maxIndex(*dm, "FinanceDataInfo", "DirIndex"), 41);
    EXPECT_THROW(maxIndex(*dm, "NoSuchTable", "DirIndex"), db::Error);
}

// --- host look-ups

TEST_F(RecordsTest, prjInfoFieldReadsTheProjectAndFallsBackToEmpty) {
    EXPECT_EQ(prjInfoField(FakeHost::kSerial, "PrjName"), FakeHost::kProjectName);
    EXPECT_EQ(prjInfoField("NOPE", "PrjName"), "");
    EXPECT_EQ(prjInfoField(FakeHost::kSerial, "NoSuchColumn"), "");
    fake.setConnectionsAvailable(false);
    EXPECT_EQ(prjInfoField(FakeHost::kSerial, "PrjName"), "");
}

TEST_F(RecordsTest, typeCaptionFallsBackToSystemMaterialOnlyOnError) {
    fake.addType("DGGL_SJRJ", "审计日记", "1");
    EXPECT_EQ(typeCaption("DGGL_SJRJ"), "审计日记");
    EXPECT_EQ(typeCaption("UNKNOWN"), "");
    EXPECT_EQ(typeCaption("DGGL_SJRJ", "NoSuchColumn"), "系统资料");
    fake.setConnectionsAvailable(false);
    EXPECT_EQ(typeCaption("DGGL_SJRJ"), "系统资料");
}

TEST_F(RecordsTest, resFieldReadsByNumericIdOnly) {
    const long long id = fake.addResource({.caption = "底稿", .fileName = "a.doc"});
    EXPECT_EQ(resField(std::to_string(id), "ResFileName"), "a.doc");
    EXPECT_EQ(resField("999", "ResFileName"), "");
    // Written unquoted: anything but digits would be a statement of its own.
    EXPECT_EQ(resField(std::to_string(id) + " or 1=1", "ResFileName"), "");
    EXPECT_EQ(resField("", "ResFileName"), "");
    fake.setConnectionsAvailable(false);
    EXPECT_EQ(resField(std::to_string(id), "ResFileName"), "");
}

TEST_F(RecordsTest, lookupsLeaveTheLentConnectionsOpen) {
    fake.addType("T", "caption", "1");
    ASSERT_EQ(typeCaption("T"), "caption");
    ASSERT_EQ(prjInfoField(FakeHost::kSerial, "PrjName"), FakeHost::kProjectName);
    // A closed handle would make the second round fail.
    EXPECT_EQ(typeCaption("T"), "caption");
    EXPECT_EQ(prjInfoField(FakeHost::kSerial, "PrjName"), FakeHost::kProjectName);
}

// --- material paths

// 财务资料 (R) holds a file a.xls (X) and a folder 凭证 (F) with b.doc (Y).
class MaterialPathTest : public RecordsTest {
protected:
    void SetUp() override {
        RecordsTest::SetUp();
        addRow("FinanceResourceInfo", kCode, "R", "", "财务资料", 0);
        addRow("FinanceResourceInfo", kCode, "X", "R", "a", 1, "a.xls");
        addRow("FinanceResourceInfo", kCode, "F", "R", "凭证", 0);
        addRow("FinanceResourceInfo", kCode, "Y", "F", "b", 1, "b.doc");
    }
};

struct PathCase {
    std::string label;
    int kind;
    std::string code, dirId;
    bool withSelf;
    std::string expected;
};

class MaterialPath : public MaterialPathTest, public ::testing::WithParamInterface<PathCase> {};

TEST_P(MaterialPath, climbsToTheCategoryRoot) {
    const PathCase& c = GetParam();
    EXPECT_EQ(materialPath(*dm, c.kind, c.code, c.dirId, c.withSelf), c.expected);
}

INSTANTIATE_TEST_SUITE_P(
    Rows, MaterialPath,
    ::testing::Values(PathCase{"fileUnderRootWithSelf", 4, kCode, "X", true, "E001/所有文件/财务资料/a.xls"},
                      PathCase{"fileUnderRootWithoutSelf", 4, kCode, "X", false, "E001/所有文件/财务资料/"},
                      PathCase{"folderUnderRootWithSelf", 4, kCode, "F", true, "E001/所有文件/财务资料/凭证/"},
                      PathCase{"folderUnderRootWithoutSelf", 4, kCode, "F", false, "E001/所有文件/财务资料/"},
                      PathCase{"fileInFolderWithSelf", 4, kCode, "Y", true, "E001/所有文件/财务资料/凭证/b.doc"},
                      PathCase{"rootWithSelf", 4, kCode, "R", true, "E001/所有文件/财务资料/"},
                      PathCase{"unknownRow", 4, kCode, "NOPE", true, "E001/所有文件/"},
                      PathCase{"rowOfAnotherEntity", 4, "E002", "X", true, "E002/所有文件/"},
                      PathCase{"otherCategoryTable", 5, kCode, "X", true, "E001/所有文件/"},
                      PathCase{"kindOutsideCategories", 2, kCode, "X", true, ""}),
    [](const auto& info) { return info.param.label; });

TEST_F(MaterialPathTest, climbStopsAtParentKeysZeroAndMinusOne) {
    addRow("FinanceResourceInfo", kCode, "0", "", "零", 0);
    addRow("FinanceResourceInfo", kCode, "Z", "0", "z", 1, "z.txt");
    addRow("FinanceResourceInfo", kCode, "-1", "", "负一", 0);
    addRow("FinanceResourceInfo", kCode, "M", "-1", "m", 1, "m.txt");
    EXPECT_EQ(materialPath(*dm, 4, kCode, "Z", true), "E001/所有文件/z.txt");
    EXPECT_EQ(materialPath(*dm, 4, kCode, "M", true), "E001/所有文件/m.txt");
}

TEST_F(MaterialPathTest, loopOfParentKeysGivesEmptyPathInsteadOfHanging) {
    addRow("FinanceResourceInfo", kCode, "L1", "L2", "l1", 0);
    addRow("FinanceResourceInfo", kCode, "L2", "L1", "l2", 0);
    EXPECT_EQ(materialPath(*dm, 4, kCode, "L1", true), "");
}

TEST_F(MaterialPathTest, materialFilePathTakesFileNameEvenForFolders) {
    EXPECT_EQ(materialFilePath(*dm, 4, kCode, "Y"), "E001/所有文件/财务资料/凭证/b.doc");
    EXPECT_EQ(materialFilePath(*dm, 4, kCode, "F"), "E001/所有文件/财务资料/");
    EXPECT_EQ(materialFilePath(*dm, 9, kCode, "F"), "");
}

TEST_F(MaterialPathTest, storedFilePathOfStoredFileLiesBelowTheEntityDataFolder) {
    EXPECT_EQ(storedFilePath(*dm, kCode, "b.doc", "Y", 4), fake.entityFolder() + "E001/所有文件/财务资料/凭证/b.doc");
    EXPECT_EQ(storedFilePath(*dm, kCode, "b.doc", "Y", 9), "");
}

TEST_F(MaterialPathTest, storedFilePathOfResourceReferenceFollowsFileFlag) {
    const long long withFile = fake.addResource({.fileFlag = "1", .createAppId = "DGGL", .fileName = "r.doc"});
    const long long without = fake.addResource({.fileFlag = "0", .createAppId = "DGGL", .fileName = "s.doc"});

    EXPECT_EQ(storedFilePath(*dm, kCode, "|" + std::to_string(withFile), "X", 4),
              fake.projectFolder() + "File/DGGL/r.doc");
    EXPECT_EQ(storedFilePath(*dm, kCode, "|" + std::to_string(without), "X", 4), "");
    EXPECT_EQ(storedFilePath(*dm, kCode, "|123", "X", 4), "");
}

struct HostNameCase {
    std::string label;
    std::string createAppId, fileName;
};

class StoredFileOfHostNames : public MaterialPathTest, public ::testing::WithParamInterface<HostNameCase> {};

// The host's rows name one folder and one file below the project's File folder, nothing more.
TEST_P(StoredFileOfHostNames, isEmptyUnlessBothAreOnePlainComponent) {
    const long long id =
        fake.addResource({.fileFlag = "1", .createAppId = GetParam().createAppId, .fileName = GetParam().fileName});
    EXPECT_EQ(storedFilePath(*dm, kCode, "|" + std::to_string(id), "X", 4), "");
}

INSTANTIATE_TEST_SUITE_P(Resources, StoredFileOfHostNames,
                         ::testing::Values(HostNameCase{"fileNameClimbing", "DGGL", "../../../etc/passwd"},
                                           HostNameCase{"fileNameWithFolder", "DGGL", "sub/r.doc"},
                                           HostNameCase{"fileNameAbsolute", "DGGL", "/etc/passwd"},
                                           HostNameCase{"emptyFileName", "DGGL", ""},
                                           HostNameCase{"appIdParent", "..", "r.doc"},
                                           HostNameCase{"appIdWithBackslash", "a\\..\\..", "r.doc"},
                                           HostNameCase{"emptyAppId", "", "r.doc"}),
                         [](const auto& info) { return info.param.label; });

TEST_F(MaterialPathTest, storedFilePathOfResourceIsEmptyWhenProjectFolderIsMissing) {
    const long long id = fake.addResource({.fileFlag = "1", .fileName = "r.doc"});
    fake.setPrjFolder(FakeHost::kSerial, fake.workspace() + "gone/");
    EXPECT_EQ(storedFilePath(*dm, kCode, "|" + std::to_string(id), "X", 4), "");
}

// --- key look-ups

TEST_F(RecordsTest, companionKeyFindsTheOtherRowOfThePair) {
    addRow("FinanceDataInfo", kCode, "A", "P", "利润表", 1, "利润表.xls");
    addRow("FinanceDataInfo", kCode, "B", "P", "利润表", 1, "利润表.xml");
    addRow("FinanceDataInfo", kCode, "C", "P", "资产表", 1, "资产表.xls");
    exec("Update FinanceDataInfo Set CreateTime = 45000.5 Where DirID = 'B'");

    EXPECT_EQ(companionKey(*dm, "P", "A", "利润表"), "B");
    EXPECT_EQ(companionKey(*dm, "P", "B", "利润表"), "A");
    EXPECT_EQ(companionKey(*dm, "P", "C", "资产表"), "");
    EXPECT_EQ(companionKey(*dm, "OTHER", "A", "利润表"), "");

    const CompanionRow row = companionRow(*dm, "P", "A", "利润表");
    EXPECT_EQ(row.dirId, "B");
    EXPECT_EQ(row.fileName, "利润表.xml");
    EXPECT_EQ(row.createTime, 45000.5);
}

TEST_F(RecordsTest, nameCheckFindsRowOfTheNameUnderTheParentForTheEntity) {
    addRow("TransResourceInfo", kCode, "F", "R", "合同", 0);
    addRow("TransResourceInfo", "E002", "G", "R", "协议", 0);

    std::string found;
    EXPECT_TRUE(nameCheck(*dm, 5, "R", kCode, "合同", &found));
    EXPECT_EQ(found, "F");
    EXPECT_FALSE(nameCheck(*dm, 5, "R", kCode, "协议", &found));
    EXPECT_FALSE(nameCheck(*dm, 5, "OTHER", kCode, "合同"));
    EXPECT_FALSE(nameCheck(*dm, 4, "R", kCode, "合同"));
    EXPECT_THROW(nameCheck(*dm, 7, "R", kCode, "合同"), db::Error);
}

TEST_F(RecordsTest, entityFieldReadsTheEntityRow) {
    exec("Insert Into AuditedDeptInfo (AuditedDeptCode, AuditedDeptName, KQTag) Values ('E001', '甲公司', 3)");
    EXPECT_EQ(entityField(*dm, kCode, "AuditedDeptName"), "甲公司");
    EXPECT_EQ(entityField(*dm, kCode, "KQTag"), "3");
    EXPECT_EQ(entityField(*dm, "E404", "AuditedDeptName"), "");
    EXPECT_EQ(entityField(*dm, kCode, "NoSuchColumn"), "");
}

TEST_F(RecordsTest, materialFieldReadsOneColumnOfTheEntitysRow) {
    ASSERT_EQ(insertMaterialRow(*dm, 5, sampleRow()), 1);
    EXPECT_EQ(materialField(*dm, 5, kCode, "D1", "KQTag"), "1");
    EXPECT_EQ(materialField(*dm, 5, "E002", "D1", "KQTag"), "");
    EXPECT_EQ(materialField(*dm, 2, kCode, "D1", "KQTag"), "");
    EXPECT_EQ(materialField(*dm, 5, kCode, "D1", "NoSuchColumn"), "");
}

}  // namespace
}  // namespace unitarc::store
