// Reading a package description into rows: the result codes, and what each row holds.
#include <functional>

#include "package/reading.h"
#include "tests/unit/package/package_fixture.h"

namespace unitarc::test {
namespace {

using package::importDescription;

PackageBuilder samplePackage(const std::string& code = "E001", const std::string& name = "测试单位") {
    PackageBuilder p(code, name);
    p.add(Category::FinanceData, financialPair("资产负债表", {{"BBRQ", "报表日期", "2023-12-31"}}));
    p.add(Category::FinanceRes, folder("凭证", {file("一号凭证", "一号凭证.PDF")}));
    p.add(Category::TransRes, file("合同", "合同.DOC"));
    p.add(Category::AuditRes, folder("底稿", {file("底稿一", "底稿一.DOC")}));
    return p;
}

class ReadingTest : public PackageTest {
protected:
    int read(const PackageBuilder& p) {
        const std::string root = archives / ("root" + std::to_string(++m_roots));
        p.writeRoot(root);
        return importDescription(*dm, root);
    }
    Row named(const std::string& table, const std::string& name) {
        auto found = rows("select * from " + table + " where Name = " + text::quoted(name));
        EXPECT_EQ(found.size(), 1u) << name;
        return found.empty() ? Row{} : found.front();
    }
    int m_roots = 0;
};

struct CodeCase {
    const char* name;
    std::function<void(PackageBuilder&)> change;
    int expected;
};

class ReadingCodeTest : public ReadingTest, public ::testing::WithParamInterface<CodeCase> {};

TEST_P(ReadingCodeTest, returnsTheCodeOfItsFailureSite) {
    PackageBuilder p = samplePackage();
    GetParam().change(p);
    EXPECT_EQ(read(p), GetParam().expected);
}

const char* const kDecl = "<?xml version=\"1.0\" encoding=\"UTF-8\"?>";

// A file element whose first child is an element: the reader takes its element children as
// rows below the file, so their names become path components too.
Material fileHolding(Material inner) {
    Material outer = file("外", "外.TXT");
    outer.text = "";
    outer.storeFile = false;
    outer.add(std::move(inner));
    return outer;
}

INSTANTIATE_TEST_SUITE_P(
    Codes, ReadingCodeTest,
    ::testing::Values(
        CodeCase{"ValidPackage", [](PackageBuilder&) {}, 1},
        CodeCase{"MissingDescription", [](PackageBuilder& p) { p.withoutDescription(); }, -100},
        CodeCase{"MissingBaseInfoFile", [](PackageBuilder& p) { p.withoutBaseInfo(); }, -200},
        CodeCase{"BaseInfoWithoutCodeItem", [](PackageBuilder& p) { p.entityCodeItem(std::nullopt); }, -200},
        CodeCase{"BaseInfoNotXml", [](PackageBuilder& p) { p.baseInfoText("BSJDWSBM=E001"); }, -200},
        CodeCase{"EntityCodeWithSeparator", [](PackageBuilder& p) { p.entityCodeItem("../E001"); }, -200},
        CodeCase{"EmptyEntityCode", [](PackageBuilder& p) { p.entityCodeItem(""); }, -901},
        CodeCase{"DescriptionNotXml", [](PackageBuilder& p) { p.descriptionText("PK\x03\x04 not a document"); },
                 -101},
        CodeCase{"DocumentElementWithoutChildren",
                 [](PackageBuilder& p) { p.descriptionText(std::string(kDecl) + "<文件描述 name=\"文件描述\"/>"); },
                 -101},
        CodeCase{"NoFolderBelowDocumentElement",
                 [](PackageBuilder& p) { p.descriptionText(std::string(kDecl) + "<文件描述><说明/></文件描述>"); },
                 -110},
        CodeCase{"AllFilesFolderWithoutChildren",
                 [](PackageBuilder& p) {
                     p.descriptionText(std::string(kDecl) + "<文件描述><文件夹 name=\"所有文件\"/></文件描述>");
                 },
                 -1000},
        CodeCase{"CategoryWithoutName", [](PackageBuilder& p) { p.category(Category::FinanceRes).drop("name"); },
                 -900},
        CodeCase{"FinanceDataWithoutNodeId",
                 [](PackageBuilder& p) { p.category(Category::FinanceData).drop("nodeid"); }, -902},
        CodeCase{"FinanceResWithoutNodeId",
                 [](PackageBuilder& p) { p.category(Category::FinanceRes).drop("nodeid"); }, -903},
        CodeCase{"TransResWithoutNodeId", [](PackageBuilder& p) { p.category(Category::TransRes).drop("nodeid"); },
                 -904},
        CodeCase{"AuditResWithoutNodeId", [](PackageBuilder& p) { p.category(Category::AuditRes).drop("nodeid"); },
                 -905},
        CodeCase{"UnknownCategoryLast", [](PackageBuilder& p) { p.extraCategory(folder("其他资料")); }, -906},
        CodeCase{"UnknownCategoryInTheMiddle", [](PackageBuilder& p) { p.extraCategory(folder("其他资料"), 2); },
                 1},
        CodeCase{"FolderNamedDotDot",
                 [](PackageBuilder& p) { p.add(Category::FinanceRes, folder("..", {file("a", "A.TXT")})); }, -120},
        CodeCase{"FolderNameWithSlash",
                 [](PackageBuilder& p) { p.add(Category::TransRes, folder("a/../../b")); }, -120},
        CodeCase{"FolderNameWithBackslash",
                 [](PackageBuilder& p) { p.add(Category::AuditRes, folder("..\\..\\x")); }, -120},
        CodeCase{"FileTextEscaping",
                 [](PackageBuilder& p) { p.add(Category::FinanceData, file("表", "../../../etc/passwd")); }, -120},
        CodeCase{"AbsoluteFileText", [](PackageBuilder& p) { p.add(Category::FinanceRes, file("表", "/tmp/x")); },
                 -120},
        CodeCase{"FileTextWithControlCharacter",
                 [](PackageBuilder& p) { p.add(Category::TransRes, file("表", "a\tb.doc")); }, -120},
        CodeCase{"DeepFileTextEscaping",
                 [](PackageBuilder& p) {
                     p.add(Category::AuditRes, folder("a", {folder("b", {file("c", "..")})}));
                 },
                 -120},
        CodeCase{"FolderInsideFileElementEscaping",
                 [](PackageBuilder& p) {
                     p.add(Category::FinanceRes, fileHolding(folder("../..", {file("a", "A.TXT")})));
                 },
                 -120},
        CodeCase{"FileInsideFileElementEscaping",
                 [](PackageBuilder& p) { p.add(Category::AuditRes, fileHolding(file("../x", "X.TXT"))); }, -120},
        CodeCase{"ProjectTemplateFolderEscaping",
                 [](PackageBuilder& p) { p.add(Category::AuditRes, projectTemplate({folder("../..")})); }, -120},
        CodeCase{"ExternalEntityInDescription",
                 [](PackageBuilder& p) {
                     p.descriptionText("<?xml version=\"1.0\"?><!DOCTYPE d [<!ENTITY x SYSTEM \"file:///etc/passwd\">]>"
                                       "<文件描述><文件夹 name=\"所有文件\">&x;</文件夹></文件描述>");
                 },
                 -101},
        CodeCase{"EntityLoopInDescription",
                 [](PackageBuilder& p) {
                     p.descriptionText("<?xml version=\"1.0\"?><!DOCTYPE d [<!ENTITY a \"&b;\"><!ENTITY b \"&a;\">]>"
                                       "<文件描述><文件夹 name=\"&a;\"/></文件描述>");
                 },
                 -101}),
    [](const auto& info) { return std::string(info.param.name); });

TEST_F(ReadingTest, refusesUnsafeNamesBeforeWritingAnyRow) {
    PackageBuilder p = samplePackage();
    p.add(Category::AuditRes, folder("..", {}));
    EXPECT_EQ(read(p), package::reading::kUnsafeName);
    EXPECT_EQ(entityRows("E001"), 0u);
}

TEST_F(ReadingTest, acceptsEveryDescriptionForm) {
    for (Encoding e : {Encoding::Utf8, Encoding::Gb2312})
        for (bool indent : {false, true}) {
            PackageBuilder p = samplePackage("E" + std::to_string(static_cast<int>(e)) + (indent ? "I" : "P"));
            p.options.description = e;
            p.options.indent = indent;
            p.add(Category::TransRes, file("啰嗦镕", "啰嗦镕.TXT"));  // outside GB2312, inside GBK
            EXPECT_GT(read(p), 0) << p.code();
            EXPECT_EQ(count("TransResourceInfo", p.code()), 3u) << p.code();
            EXPECT_EQ(named("TransResourceInfo", "啰嗦镕").count("Name") == 1, true);
            dm->conUNITARC.execute("delete from TransResourceInfo");
        }
}

TEST_F(ReadingTest, storesTheEntityRowWithUpperCasedNameAndGb2312BaseInfo) {
    PackageBuilder first = samplePackage("E001", "abc测试单位");
    ASSERT_GT(read(first), 0);
    ASSERT_GT(read(samplePackage("E002")), 0);

    const auto entities = rows("select * from AuditedDeptInfo order by DeptIndex");
    ASSERT_EQ(entities.size(), 2u);
    const Row& e = entities[0];
    EXPECT_EQ(e.at("AuditedDeptCode"), "E001");
    EXPECT_EQ(e.at("AuditedDeptName"), "ABC测试单位");
    EXPECT_EQ(e.at("DeptIndex"), "1");
    EXPECT_EQ(entities[1].at("DeptIndex"), "2");
    EXPECT_EQ(e.at("KQTag"), "0");
    EXPECT_EQ(e.at("NodeID"), "");
    EXPECT_EQ(e.at("Type"), "JBXX");
    EXPECT_EQ(e.at("Name"), "基本信息");
    EXPECT_EQ(e.at("ImageIndex"), "0");
    EXPECT_NE(e.at("BaseInfo").find("encoding=\"gb2312\""), std::string::npos);
    EXPECT_NE(e.at("BaseInfo").find(">E001</BSJDWSBM>"), std::string::npos);
    EXPECT_NE(e.at("BaseInfo").find("abc测试单位"), std::string::npos);
}

TEST_F(ReadingTest, writesOneRootRowPerCategory) {
    PackageBuilder p = samplePackage();
    ASSERT_GT(read(p), 0);
    struct Expect {
        const char* table;
        Category category;
        const char* name;
        const char* type;
    };
    for (const Expect& x : {Expect{"FinanceDataInfo", Category::FinanceData, "财务数据", "CWSJ"},
                            Expect{"FinanceResourceInfo", Category::FinanceRes, "财务资料", "CWZL"},
                            Expect{"TransResourceInfo", Category::TransRes, "业务资料", "YWZL"},
                            Expect{"AuditResourceInfo", Category::AuditRes, "审计资料", "SJZL"}}) {
        const Row r = row(x.table, p.tree(x.category).nodeId);
        ASSERT_FALSE(r.empty()) << x.table;
        EXPECT_EQ(r.at("PDirID"), "") << x.table;
        EXPECT_EQ(r.at("Name"), x.name);
        EXPECT_EQ(r.at("Type"), x.type);
        EXPECT_EQ(r.at("NodeID"), r.at("DirID"));
        EXPECT_EQ(r.at("FileTag"), "0");
        EXPECT_EQ(r.at("KQTag"), "0");
        EXPECT_EQ(r.at("FileID"), "");
        EXPECT_EQ(r.at("FileName"), "");
        EXPECT_EQ(r.at("ImageIndex"), "0");
        EXPECT_EQ(r.at("CanVisible"), "1");
        EXPECT_EQ(r.at("CreateTime"), "") << "not set on import";
    }
    const Row finance = row("FinanceResourceInfo", p.tree(Category::FinanceRes).nodeId);
    EXPECT_EQ(finance.at("财务资料名称"), "财务资料");
    EXPECT_GT(std::stod(finance.at("财务资料日期")), 40000);
    EXPECT_EQ(finance.at("被审计单位识别码"), "E001");
    const Row trans = row("TransResourceInfo", p.tree(Category::TransRes).nodeId);
    EXPECT_EQ(trans.at("业务资料名称"), "业务资料");
    const Row audit = row("AuditResourceInfo", p.tree(Category::AuditRes).nodeId);
    EXPECT_EQ(audit.at("成文时间"), "0");
    EXPECT_EQ(audit.at("标题"), "");
}

TEST_F(ReadingTest, materialRowsCarryTheirAttributes) {
    PackageBuilder p("E001", "单位");
    p.add(Category::FinanceRes, file("凭证", "凭证.PDF").set("财务资料名称", "一月凭证").set("财务资料日期", "2023-05-06"));
    p.add(Category::TransRes, file("合同", "合同.DOC").set("业务资料日期", "not a date"));
    p.add(Category::AuditRes, file("日记", "日记.DOC")
                                  .set("标题", "它's")
                                  .set("类型", "审计日记")
                                  .set("成文时间", "2024/3/9")
                                  .set("审计机关代码", "ORG9")
                                  .set("type", "XMXX")
                                  .drop("摘要"));
    ASSERT_GT(read(p), 0);

    const Row finance = named("FinanceResourceInfo", "凭证");
    EXPECT_EQ(finance.at("财务资料名称"), "一月凭证");
    EXPECT_EQ(finance.at("财务资料日期"), text::sqlNumber(text::encodeDate(2023, 5, 6)));
    EXPECT_EQ(finance.at("FileName"), "凭证.PDF");
    EXPECT_EQ(finance.at("FileTag"), "1");
    EXPECT_EQ(finance.at("ImageIndex"), "1");
    EXPECT_EQ(finance.at("PDirID"), p.tree(Category::FinanceRes).nodeId);
    EXPECT_EQ(finance.at("FileID"), "");
    EXPECT_EQ(finance.at("KQTag"), "0");
    EXPECT_EQ(named("TransResourceInfo", "合同").at("业务资料日期"), "0");

    const Row audit = named("AuditResourceInfo", "日记");
    EXPECT_EQ(audit.at("标题"), "它's");
    EXPECT_EQ(audit.at("类型"), "审计日记");
    EXPECT_EQ(audit.at("Type"), "SJZL") << "the element's type is not used";
    EXPECT_EQ(audit.at("成文时间"), text::sqlNumber(text::encodeDate(2024, 3, 9)));
    EXPECT_EQ(audit.at("审计机关代码"), "ORG9");
    EXPECT_EQ(audit.at("摘要"), "");
    EXPECT_EQ(audit.at("被审计单位识别码"), "E001");
}

TEST_F(ReadingTest, writesChildrenBeforeTheirParentAndSiblingsInOrder) {
    PackageBuilder p("E001", "单位");
    p.add(Category::TransRes, folder("甲", {file("一", "一.DOC"), folder("乙", {file("二", "二.DOC")}), file("三", "三.DOC")}));
    p.add(Category::TransRes, file("四", "四.DOC"));
    ASSERT_GT(read(p), 0);
    auto index = [this](const char* name) { return std::stoi(named("TransResourceInfo", name).at("DirIndex")); };
    EXPECT_LT(index("一"), index("二"));
    EXPECT_LT(index("二"), index("乙"));
    EXPECT_LT(index("乙"), index("三"));
    EXPECT_LT(index("三"), index("甲"));
    EXPECT_LT(index("甲"), index("四"));
    EXPECT_LT(std::stoi(row("TransResourceInfo", p.tree(Category::TransRes).nodeId).at("DirIndex")), index("一"));
    EXPECT_EQ(named("TransResourceInfo", "二").at("PDirID"), named("TransResourceInfo", "乙").at("DirID"));
}

TEST_F(ReadingTest, indexesOfALaterPackageFollowTheEarlierOnes) {
    ASSERT_GT(read(samplePackage("E001")), 0);
    ASSERT_GT(read(samplePackage("E002")), 0);
    const auto first = rows("select max(DirIndex) as m from AuditResourceInfo where AuditedDeptCode = 'E001'");
    const auto second = rows("select min(DirIndex) as m from AuditResourceInfo where AuditedDeptCode = 'E002'");
    EXPECT_GT(std::stoi(second[0].at("m")), std::stoi(first[0].at("m")));
}

TEST_F(ReadingTest, financialDataVisibilityFollowsItsType) {
    PackageBuilder p("E001", "单位");
    p.add(Category::FinanceData, financialPair("利润表", {}));
    p.add(Category::FinanceData, file("附注", "附注.XML").set("type", "OTHER"));
    p.add(Category::FinanceData, file("说明", "说明.XLS").drop("type"));
    p.add(Category::FinanceData, file("小写", "小写.XLS").set("type", "cwsj"));
    ASSERT_GT(read(p), 0);
    for (const Row& r : rows("select * from FinanceDataInfo where Name = '利润表'")) EXPECT_EQ(r.at("CanVisible"), "1");
    EXPECT_EQ(named("FinanceDataInfo", "附注").at("CanVisible"), "0");
    EXPECT_EQ(named("FinanceDataInfo", "附注").at("Type"), "OTHER");
    EXPECT_EQ(named("FinanceDataInfo", "说明").at("Type"), "CWSJ");
    EXPECT_EQ(named("FinanceDataInfo", "说明").at("CanVisible"), "1");
    EXPECT_EQ(named("FinanceDataInfo", "小写").at("CanVisible"), "1");
}

TEST_F(ReadingTest, hidesTheProjectTemplateAndEverythingBelowIt) {
    PackageBuilder p("E001", "单位");
    p.add(Category::AuditRes, projectTemplate({folder("阶段", {folder("子阶段")})}));
    p.add(Category::AuditRes, folder("其他", {folder("审计项目模板", {folder("内层")})}));
    ASSERT_GT(read(p), 0);
    for (const char* hidden : {"阶段", "子阶段"})
        EXPECT_EQ(named("AuditResourceInfo", hidden).at("CanVisible"), "0") << hidden;
    for (const Row& r : rows("select * from AuditResourceInfo where Name = '项目基本信息'"))
        EXPECT_EQ(r.at("CanVisible"), "0") << "folder and file";
    for (const Row& r : rows("select * from AuditResourceInfo where Name = '审计项目模板'"))
        EXPECT_EQ(r.at("CanVisible"), r.at("PDirID") == p.tree(Category::AuditRes).nodeId ? "0" : "1");
    EXPECT_EQ(named("AuditResourceInfo", "内层").at("CanVisible"), "1");
}

TEST_F(ReadingTest, elementsInsideAFileElementAreRowsBelowTheFile) {
    PackageBuilder p("E001", "单位");
    p.add(Category::TransRes, fileHolding(folder("附件", {file("图", "图.PNG")})));
    ASSERT_GT(read(p), 0);
    const Row outer = named("TransResourceInfo", "外");
    EXPECT_EQ(outer.at("FileTag"), "1");
    EXPECT_EQ(named("TransResourceInfo", "附件").at("PDirID"), outer.at("DirID"));
    EXPECT_EQ(named("TransResourceInfo", "图").at("FileName"), "图.PNG");
}

TEST_F(ReadingTest, anElementWithoutNodeIdEndsItsLevelOnly) {
    PackageBuilder p("E001", "单位");
    Material bad = file("乙", "乙.PDF");
    bad.drop("nodeid");
    p.add(Category::FinanceRes, folder("凭证", {file("甲", "甲.PDF"), bad, file("丙", "丙.PDF")}));
    p.add(Category::FinanceRes, file("丁", "丁.PDF"));
    EXPECT_GT(read(p), 0);
    EXPECT_EQ(rows("select * from FinanceResourceInfo where Name in ('凭证', '甲', '丁')").size(), 3u);
    EXPECT_TRUE(rows("select * from FinanceResourceInfo where Name in ('乙', '丙')").empty());
}

TEST_F(ReadingTest, skipsAFirstLevelAuditElementWithoutItsKeys) {
    PackageBuilder p("E001", "单位");
    Material bare = file("说明", "说明.DOC");
    bare.drop("nodeid");
    p.add(Category::AuditRes, bare);
    p.add(Category::AuditRes, file("日记", "日记.DOC"));
    EXPECT_GT(read(p), 0);
    EXPECT_TRUE(rows("select * from AuditResourceInfo where Name = '说明'").empty());
    EXPECT_EQ(rows("select * from AuditResourceInfo where Name = '日记'").size(), 1u);
}

TEST_F(ReadingTest, withoutTheBaseInfoCategoryNoEntityRowIsWritten) {
    PackageBuilder p = samplePackage();
    p.omitCategory(Category::BaseInfo);
    EXPECT_GT(read(p), 0);
    EXPECT_EQ(count("AuditedDeptInfo", "E001"), 0u);
    EXPECT_GT(count("AuditResourceInfo", "E001"), 0u);
}

TEST_F(ReadingTest, anEmptyCategoryKeepsTheResultOfTheOnesBefore) {
    PackageBuilder p("E001", "单位");
    EXPECT_EQ(read(p), package::reading::kBaseInfoStored);
    EXPECT_EQ(count("FinanceDataInfo", "E001"), 1u);
}

struct LevelCase {
    const char* name;
    Category category;
    std::function<void(PackageBuilder&)> change;
    int expected;
};

class ReadingLevelTest : public ReadingTest, public ::testing::WithParamInterface<LevelCase> {};

// Only the named category carries materials, and it comes last.
TEST_P(ReadingLevelTest, endsWithTheLevelCode) {
    const LevelCase& c = GetParam();
    PackageBuilder p("E001", "单位");
    for (Category other : {Category::FinanceData, Category::FinanceRes, Category::TransRes, Category::AuditRes})
        if (static_cast<int>(other) > static_cast<int>(c.category)) p.omitCategory(other);
    c.change(p);
    EXPECT_EQ(read(p), c.expected);
}

Material withoutAttribute(Material m, const char* attribute) {
    m.drop(attribute);
    return m;
}

INSTANTIATE_TEST_SUITE_P(
    Levels, ReadingLevelTest,
    ::testing::Values(
        LevelCase{"FinanceDataTextOnly", Category::FinanceData,
                  [](PackageBuilder& p) { p.category(Category::FinanceData).text = "说明"; }, -800},
        LevelCase{"FinanceResTextOnly", Category::FinanceRes,
                  [](PackageBuilder& p) { p.category(Category::FinanceRes).text = "说明"; }, -600},
        LevelCase{"TransResTextOnly", Category::TransRes,
                  [](PackageBuilder& p) { p.category(Category::TransRes).text = "说明"; }, -400},
        LevelCase{"FinanceDataWithoutFileTag", Category::FinanceData,
                  [](PackageBuilder& p) { p.add(Category::FinanceData, withoutAttribute(file("表", "表.XLS"), "filetag")); },
                  -700},
        LevelCase{"FinanceDataWithTextFileTag", Category::FinanceData,
                  [](PackageBuilder& p) { p.add(Category::FinanceData, file("表", "表.XLS").set("filetag", "yes")); },
                  -700},
        LevelCase{"FinanceResWithoutMaterialName", Category::FinanceRes,
                  [](PackageBuilder& p) {
                      p.add(Category::FinanceRes, withoutAttribute(file("凭证", "凭证.PDF"), "财务资料名称"));
                  },
                  -500},
        LevelCase{"TransResWithoutMaterialName", Category::TransRes,
                  [](PackageBuilder& p) {
                      p.add(Category::TransRes, withoutAttribute(file("合同", "合同.DOC"), "业务资料名称"));
                  },
                  -300},
        LevelCase{"TransResWithoutName", Category::TransRes,
                  [](PackageBuilder& p) { p.add(Category::TransRes, withoutAttribute(file("合同", "合同.DOC"), "name")); },
                  -300},
        LevelCase{"AuditResWithTextOnly", Category::AuditRes,
                  [](PackageBuilder& p) { p.category(Category::AuditRes).text = "说明"; }, 10}),
    [](const auto& info) { return std::string(info.param.name); });

struct InsertCase {
    const char* table;
    Category category;
    int expected;
};

class ReadingInsertTest : public ReadingTest, public ::testing::WithParamInterface<InsertCase> {};

TEST_P(ReadingInsertTest, aFailedInsertGivesTheTableCode) {
    const InsertCase& c = GetParam();
    dm->conUNITARC.execute(std::string("create trigger refuse before insert on ") + c.table +
                           " when new.Name = '坏' begin select raise(abort, 'refused'); end");
    PackageBuilder p("E001", "单位");
    for (Category other : {Category::FinanceData, Category::FinanceRes, Category::TransRes, Category::AuditRes})
        if (static_cast<int>(other) > static_cast<int>(c.category)) p.omitCategory(other);
    p.add(c.category, file("好", "好.DOC"));
    p.add(c.category, file("坏", "坏.DOC"));
    EXPECT_EQ(read(p), c.expected);
    EXPECT_EQ(rows(std::string("select * from ") + c.table + " where Name = '好'").size(), 1u);
}

INSTANTIATE_TEST_SUITE_P(Inserts, ReadingInsertTest,
                         ::testing::Values(InsertCase{"FinanceDataInfo", Category::FinanceData, -920},
                                           InsertCase{"FinanceResourceInfo", Category::FinanceRes, -930},
                                           InsertCase{"TransResourceInfo", Category::TransRes, -940},
                                           InsertCase{"AuditResourceInfo", Category::AuditRes, -950}),
                         [](const auto& info) { return std::string(info.param.table); });

TEST(ReadingSql, insertStatementsKeepTheirHeadsAndValueOrder) {
    package::ReadingRow r;
    r.code = "E'1";
    r.dirId = "D";
    r.pDirId = "P";
    r.fileTag = 1;
    r.name = "N";
    r.nodeId = "D";
    r.fileName = "F.DOC";
    r.imageIndex = 1;
    r.type = "CWSJ";
    EXPECT_EQ(package::readingInsertSql(3, r, 7),
              "Insert Into FinanceDataInfo (AuditedDeptCode, DirID, PDirID, DirIndex,FileTag, KQTag, Name, NodeID, "
              "FileID,FileName, ImageIndex, Type, CanVisible) Values ('E''1','D','P',7,1,0,'N','D','','F.DOC',1,'CWSJ',1)");
    r.materialName = "M";
    r.materialDate = 1.5;
    EXPECT_EQ(package::readingInsertSql(5, r, 2),
              "Insert Into TransResourceInfo (AuditedDeptCode, DirID, PDirID, DirIndex,KQTag, FileTag, Name, NodeID, "
              "Type, FileID,业务资料名称, 被审计单位识别码, 业务资料日期,FileName, ImageIndex, CanVisible) Values "
              "('E''1','D','P',2,0,1,'N','D','YWZL','','M','E''1',1.5,'F.DOC',1,1)");
}

}  // namespace
}  // namespace unitarc::test
