#include "package/writing.h"

#include <libxml/tree.h>

#include <chrono>
#include <filesystem>
#include <map>

#include <gtest/gtest.h>

#include "package/generation.h"
#include "platform/text.h"
#include "store/ids.h"
#include "tests/support/fakehost.h"

namespace unitarc::package {
namespace {

namespace stdfs = std::filesystem;
using test::FakeHost;

constexpr const char* kCode = "E001";
constexpr const char* kBaseInfoText =
    "<?xml version=\"1.0\" encoding=\"gb2312\"?>\n<基本信息>\n"
    "<BSJDWSBM name=\"被审计单位识别码\">E001</BSJDWSBM>\n<DWMC name=\"单位名称\">测试单位</DWMC>\n</基本信息>";

const std::map<int, std::string> kCategoryNames = {{3, "财务数据"}, {4, "财务资料"}, {5, "业务资料"}, {6, "审计资料"}};

std::vector<std::string> attributeNames(const xml::Node& node) {
    std::vector<std::string> names;
    for (xmlAttr* a = node.raw()->properties; a; a = a->next) names.emplace_back(reinterpret_cast<const char*>(a->name));
    return names;
}

xml::Node childNamed(const xml::Node& parent, const std::string& name) {
    for (const xml::Node& child : parent.childElements())
        if (child.attributeOr("name") == name) return child;
    return {};
}

std::string readAll(const std::string& path) {
    std::string bytes;
    fs::readFile(path, bytes);
    return bytes;
}

void setFileTime(const std::string& path, int secondsFromNow) {
    stdfs::last_write_time(path, stdfs::file_time_type::clock::now() + std::chrono::seconds(secondsFromNow));
}

class WritingTest : public test::FakeHostTest {
protected:
    void SetUp() override {
        dm = fake.openDataModule();
        staging = stagingFolder();
        ASSERT_EQ(recreateFolder(staging), 1);
        addEntity(kCode, "测试单位");
    }

    void exec(const std::string& sql) { dm->conUNITARC.execute(sql); }

    void addEntity(const std::string& code, const std::string& name, int kqTag = 0, const std::string& nodeId = {}) {
        exec("Insert Into AuditedDeptInfo (AuditedDeptCode, AuditedDeptName, DeptIndex, KQTag, NodeID, Type, Name, "
             "BaseInfo, ImageIndex) Values (" +
             text::quoted(code) + "," + text::quoted(name) + ",1," + std::to_string(kqTag) + "," + text::quoted(nodeId) +
             ",'JBXX','基本信息'," + text::quoted(kBaseInfoText) + ",0)");
        for (const auto& [kind, category] : kCategoryNames) {
            const std::string id = store::newNodeId();
            importedRow(kind, id, "", category, 0, {}, code);
            if (code == kCode) roots[kind] = id;
            folders[id] = code + "/所有文件/" + category + "/";
        }
    }

    static std::string table(int kind) {
        return kind == 3 ? "FinanceDataInfo" : kind == 4 ? "FinanceResourceInfo" : kind == 5 ? "TransResourceInfo"
                                                                                       : "AuditResourceInfo";
    }

    // A row as an import leaves it: KQTag 0, no CreateTime.
    void importedRow(int kind, const std::string& dirId, const std::string& pDirId, const std::string& name,
                     int fileTag, const std::string& fileName = {}, const std::string& code = kCode) {
        exec("Insert Into " + table(kind) + " (AuditedDeptCode, DirID, PDirID, DirIndex, KQTag, FileTag, Name, NodeID, " +
             "FileName, CanVisible) Values (" + text::quoted(code) + "," + text::quoted(dirId) + "," + text::quoted(pDirId) + ",1,0," +
             std::to_string(fileTag) + "," + text::quoted(name) + "," + text::quoted(dirId) + "," +
             text::quoted(fileName) + ",1)");
    }

    store::MaterialRow row(int kind, const std::string& parent, const std::string& name, int fileTag) {
        store::MaterialRow r;
        r.code = kCode;
        r.dirId = store::newNodeId();
        r.pDirId = parent;
        r.fileTag = fileTag;
        r.name = name;
        r.nodeId = store::newNodeId();
        r.type = kind == 3 ? "CWSJ" : kind == 6 ? "SJZL" : "";
        r.materialName = name;
        r.prjSerial = FakeHost::kSerial;
        r.title = name;
        return r;
    }

    std::string insert(int kind, const store::MaterialRow& r) {
        EXPECT_EQ(store::insertMaterialRow(*dm, kind, r), 1);
        return r.dirId;
    }

    std::string addFolder(int kind, const std::string& parent, const std::string& name) {
        const std::string id = insert(kind, row(kind, parent, name, 0));
        folders[id] = folders[parent] + name + "/";
        return id;
    }

    // A stored material: its file below the entity package root and its row.
    std::string addFile(int kind, const std::string& parent, const std::string& name, const std::string& fileName,
                        const std::string& content, double createTime = 0) {
        store::MaterialRow r = row(kind, parent, name, 1);
        r.fileName = fileName;
        r.createTime = createTime;
        writeStored(parent, fileName, content);
        return insert(kind, r);
    }

    std::string storedPath(const std::string& parent, const std::string& fileName) {
        return dm->folder() + folders[parent] + fileName;
    }
    void writeStored(const std::string& parent, const std::string& fileName, const std::string& content) {
        stdfs::create_directories(dm->folder() + folders[parent]);
        fs::writeFile(storedPath(parent, fileName), content);
    }

    std::string addResourceRow(int kind, const std::string& parent, const std::string& name, long long resId) {
        store::MaterialRow r = row(kind, parent, name, 1);
        r.fileName = "|" + std::to_string(resId);
        r.createTime = text::now();
        return insert(kind, r);
    }

    double number(int kind, const std::string& dirId, const std::string& column) {
        db::Query q(&dm->conUNITARC);
        q.open("Select " + column + " From " + table(kind) + " Where DirID = " + text::quoted(dirId));
        return q.eof() ? -1 : q.number(column);
    }

    std::string field(int kind, const std::string& dirId, const std::string& column) {
        db::Query q(&dm->conUNITARC);
        q.open("Select " + column + " From " + table(kind) + " Where DirID = " + text::quoted(dirId));
        return q.eof() ? std::string() : q.text(column);
    }

    int write() { return writePackage(*dm, kCode, staging, description, &warnings); }
    std::string packageRoot() const { return staging + kCode + "/"; }
    std::string allFiles() const { return packageRoot() + "所有文件/"; }

    // The description as it lies on disk.
    xml::Node savedAllFiles() {
        EXPECT_TRUE(saved.loadFile(packageRoot() + "数据包描述.xml")) << saved.error();
        return saved.documentElement().firstChild();
    }
    xml::Node savedCategory(int kind) { return childNamed(savedAllFiles(), kCategoryNames.at(kind)); }

    std::unique_ptr<TKQDM_BSJDW> dm;
    std::string staging;
    xml::Document description, saved;
    std::vector<std::string> warnings;
    std::map<int, std::string> roots;
    std::map<std::string, std::string> folders;  // DirID -> folder relative to the entity data folder
};

// --- the frame of every package

TEST_F(WritingTest, emptyEntityGetsFixedFoldersAndCategoriesInWritingOrder) {
    ASSERT_EQ(write(), kPackageWritten);

    const std::string text = readAll(packageRoot() + "数据包描述.xml");
    EXPECT_EQ(text.rfind("<?xml version=\"1.0\" encoding=\"UTF-8\"?>", 0), 0u) << text.substr(0, 60);

    xml::Node all = savedAllFiles();
    const xml::Node root = saved.documentElement();
    EXPECT_EQ(root.name(), "文件描述");
    EXPECT_EQ(attributeNames(root), (std::vector<std::string>{"name", "nodeid"}));
    EXPECT_EQ(root.attributeOr("nodeid").size(), 8u);
    ASSERT_EQ(root.childElements().size(), 1u);

    EXPECT_EQ(attributeNames(all), (std::vector<std::string>{"filetag", "kqtag", "name", "bsjdwsbm", "bsjdwsbmmc", "nodeid"}));
    EXPECT_EQ(all.attributeOr("name"), "所有文件");
    EXPECT_EQ(all.attributeOr("bsjdwsbm"), kCode);
    EXPECT_EQ(all.attributeOr("bsjdwsbmmc"), "测试单位");

    std::vector<std::string> order;
    for (const xml::Node& c : all.childElements()) order.push_back(c.attributeOr("name"));
    EXPECT_EQ(order, (std::vector<std::string>{"基本信息", "财务数据", "财务资料", "业务资料", "审计资料"}));
    for (const auto& name : order) EXPECT_TRUE(fs::isDirectory(allFiles() + name)) << name;

    EXPECT_EQ(attributeNames(childNamed(all, "基本信息")), (std::vector<std::string>{"filetag", "kqtag", "name", "type"}));
    EXPECT_EQ(attributeNames(childNamed(all, "财务数据")), (std::vector<std::string>{"filetag", "kqtag", "name", "nodeid"}));
    EXPECT_EQ(attributeNames(childNamed(all, "财务资料")),
              (std::vector<std::string>{"filetag", "kqtag", "name", "nodeid", "type", "财务资料名称", "财务资料日期", "fileid"}));
    EXPECT_EQ(attributeNames(childNamed(all, "业务资料")),
              (std::vector<std::string>{"filetag", "kqtag", "name", "nodeid", "type", "业务资料名称", "业务资料日期", "fileid"}));
    EXPECT_EQ(attributeNames(childNamed(all, "审计资料")), (std::vector<std::string>{"filetag", "kqtag", "name", "nodeid"}));
}

TEST_F(WritingTest, previousPackageRootIsReplacedWhole) {
    stdfs::create_directories(packageRoot() + "old");
    fs::writeFile(packageRoot() + "old/stale.txt", "x");
    ASSERT_EQ(write(), kPackageWritten);
    EXPECT_FALSE(fs::exists(packageRoot() + "old"));
}

// --- basic information

struct BaseInfoCase {
    const char* label;
    int kqTag;
    const char* nodeId;
    bool carried;
};
void PrintTo(const BaseInfoCase& c, std::ostream* os) { *os << c.label; }


class BaseInfoTest : public WritingTest, public ::testing::WithParamInterface<BaseInfoCase> {};

TEST_P(BaseInfoTest, basicInformationGoesInOnlyWhenEditedSinceLastPackage) {
    exec("Update AuditedDeptInfo Set KQTag = " + std::to_string(GetParam().kqTag) +
         ", NodeID = " + text::quoted(GetParam().nodeId));
    ASSERT_EQ(write(), kPackageWritten);

    const xml::Node base = childNamed(savedAllFiles(), "基本信息");
    EXPECT_TRUE(fs::isDirectory(allFiles() + "基本信息"));
    EXPECT_EQ(fs::exists(allFiles() + "基本信息/基本信息.xml"), GetParam().carried);
    ASSERT_EQ(base.childElements().size(), GetParam().carried ? 1u : 0u);
    if (GetParam().carried) {
        const xml::Node file = base.firstChild();
        EXPECT_EQ(file.name(), "文件");
        EXPECT_EQ(attributeNames(file),
                  (std::vector<std::string>{"filetag", "kqtag", "name", "type", "fileid", "nodeid"}));
        EXPECT_EQ(file.attributeOr("type"), "JBXX");
        EXPECT_EQ(file.text(), "基本信息.xml");
        EXPECT_EQ(file.attributeOr("fileid").rfind(kCode, 0), 0u);
    }
}

INSTANTIATE_TEST_SUITE_P(Marks, BaseInfoTest,
                         ::testing::Values(BaseInfoCase{"neverPackaged", 0, "", true},
                                           BaseInfoCase{"unchangedSinceLastPackage", 2, "2", false},
                                           BaseInfoCase{"editedSinceLastPackage", 3, "2", true}),
                         [](const auto& info) { return std::string(info.param.label); });

TEST_F(WritingTest, basicInformationIsWrittenInTheCodePageWithCrLfLines) {
    ASSERT_EQ(write(), kPackageWritten);
    std::string expected;
    std::string info = kBaseInfoText;
    std::size_t start = 0;
    for (std::size_t end; (end = info.find('\n', start)) != std::string::npos; start = end + 1)
        expected += *text::toGbk(info.substr(start, end - start)) + "\r\n";
    expected += *text::toGbk(info.substr(start)) + "\r\n";
    EXPECT_EQ(readAll(allFiles() + "基本信息/基本信息.xml"), expected);
}

TEST_F(WritingTest, characterOutsideTheCodePageSurvivesAsReference) {
    exec("Update AuditedDeptInfo Set BaseInfo = " +
         text::quoted("<?xml version=\"1.0\" encoding=\"gb2312\"?><基本信息><DWMC name=\"单位名称\">甲😀乙</DWMC></基本信息>"));
    ASSERT_EQ(write(), kPackageWritten);
    xml::Document info;
    ASSERT_TRUE(info.loadFile(allFiles() + "基本信息/基本信息.xml")) << info.error();
    EXPECT_EQ(info.documentElement().firstChild().text(), "甲😀乙");
}

// --- material elements, per category

struct ElementCase {
    const char* label;
    int kind;
    bool folder;
    std::vector<std::string> attributes;
};
void PrintTo(const ElementCase& c, std::ostream* os) { *os << c.label; }


class ElementTest : public WritingTest, public ::testing::WithParamInterface<ElementCase> {};

TEST_P(ElementTest, attributesComeInTheOrderOfTheFormat) {
    const int kind = GetParam().kind;
    if (GetParam().folder)
        addFolder(kind, roots[kind], "子目录");
    else if (kind == 3)
        addFile(kind, roots[kind], "报表", "报表.xml", "<data/>");
    else
        addFile(kind, roots[kind], "资料", "资料.doc", "doc");
    ASSERT_EQ(write(), kPackageWritten);

    const xml::Node category = savedCategory(kind);
    ASSERT_FALSE(category.childElements().empty());
    const xml::Node element = category.firstChild();
    EXPECT_EQ(element.name(), GetParam().folder ? "文件夹" : "文件");
    EXPECT_EQ(attributeNames(element), GetParam().attributes);
    EXPECT_EQ(element.attributeOr("filetag"), GetParam().folder ? "0" : "1");
    EXPECT_EQ(element.attributeOr("kqtag"), "1");
}

INSTANTIATE_TEST_SUITE_P(
    Categories, ElementTest,
    ::testing::Values(
        ElementCase{"financialDataFolder", 3, true, {"filetag", "kqtag", "name", "nodeid", "type"}},
        ElementCase{"financialDataFile", 3, false, {"filetag", "kqtag", "name", "type", "fileid", "nodeid"}},
        ElementCase{"financialMaterialFolder", 4, true,
                    {"filetag", "kqtag", "name", "nodeid", "type", "财务资料名称", "财务资料日期", "fileid"}},
        ElementCase{"financialMaterialFile", 4, false,
                    {"filetag", "kqtag", "name", "type", "fileid", "被审计单位识别码", "财务资料名称", "财务资料日期", "nodeid"}},
        ElementCase{"businessMaterialFolder", 5, true,
                    {"filetag", "kqtag", "name", "nodeid", "type", "业务资料名称", "业务资料日期", "fileid"}},
        ElementCase{"businessMaterialFile", 5, false,
                    {"filetag", "kqtag", "name", "type", "fileid", "业务资料名称", "被审计单位识别码", "业务资料日期", "nodeid"}},
        ElementCase{"auditMaterialFolder", 6, true,
                    {"filetag", "kqtag", "name", "nodeid", "被审计单位识别码", "type", "项目编号", "标题", "类型", "文号",
                     "发文单位", "抄送单位", "成文时间", "归档时间", "主题词", "摘要", "fileid", "审计机关代码"}},
        ElementCase{"auditMaterialFile", 6, false,
                    {"filetag", "kqtag", "name", "type", "fileid", "文号", "主题词", "抄送单位", "成文时间",
                     "被审计单位识别码", "类型", "项目编号", "审计机关代码", "摘要", "归档时间", "标题", "发文单位",
                     "nodeid"}}),
    [](const auto& info) { return std::string(info.param.label); });

TEST_F(WritingTest, fileNameIsUpperCasedWhileNameAttributeKeepsItsCase) {
    const std::string folder = addFolder(5, roots[5], "合同abc");
    addFile(5, folder, "Contract", "Contract.doc", "the contract");
    ASSERT_EQ(write(), kPackageWritten);

    const xml::Node file = savedCategory(5).firstChild().firstChild();
    EXPECT_EQ(file.attributeOr("name"), "Contract");
    EXPECT_EQ(file.text(), "CONTRACT.DOC");
    EXPECT_EQ(readAll(allFiles() + "业务资料/合同abc/CONTRACT.DOC"), "the contract");
}

TEST_F(WritingTest, datesAreWrittenAsShortDatesAndUnsetOnesAsTheZeroDate) {
    store::MaterialRow r = row(4, roots[4], "凭证", 1);
    r.fileName = "凭证.pdf";
    r.materialDate = text::encodeDate(2024, 3, 5);
    writeStored(roots[4], "凭证.pdf", "pdf");
    insert(4, r);
    store::MaterialRow audit = row(6, roots[6], "审计文书", 0);
    audit.written = text::encodeDateTime({2023, 12, 31, 18, 30, 0, 0});
    insert(6, audit);
    ASSERT_EQ(write(), kPackageWritten);

    EXPECT_EQ(savedCategory(4).firstChild().attributeOr("财务资料日期"), "2024-03-05");
    const xml::Node folder = savedCategory(6).firstChild();
    EXPECT_EQ(folder.attributeOr("成文时间"), "2023-12-31");
    EXPECT_EQ(folder.attributeOr("归档时间"), "1899-12-30");
}

TEST_F(WritingTest, auditMaterialFileCarriesItsOwnNodeIdAndTheProjectSerial) {
    store::MaterialRow r = row(6, roots[6], "项目基本信息", 1);
    r.type = "xmxx";
    r.fileName = "项目基本信息.xml";
    r.prjSerial = "ANOTHER";
    writeStored(roots[6], r.fileName, "<x/>");
    insert(6, r);
    ASSERT_EQ(write(), kPackageWritten);

    const xml::Node file = savedCategory(6).firstChild();
    EXPECT_EQ(file.attributeOr("nodeid"), r.nodeId);
    EXPECT_EQ(file.attributeOr("type"), "XMXX");
    EXPECT_EQ(file.attributeOr("项目编号"), FakeHost::kSerial);
    EXPECT_EQ(file.attributeOr("审计机关代码"), FakeHost::kOrganId);
    EXPECT_NE(file.attributeOr("fileid"), field(6, r.dirId, "FileID"));  // a new one: not a working paper
}

// --- financial data

TEST_F(WritingTest, financialDataItemGoesAsDataFileThenReport) {
    const std::string folder = addFolder(3, roots[3], "2023年报");
    store::MaterialRow report = row(3, folder, "balance", 1);
    report.fileName = "balance.xls";
    writeStored(folder, "balance.xls", "workbook");
    insert(3, report);
    store::MaterialRow data = row(3, folder, "Balance", 1);  // the table matches names in any case
    data.fileName = "Balance.xml";
    data.canVisible = 0;
    writeStored(folder, "Balance.xml", "<items/>");
    insert(3, data);
    ASSERT_EQ(write(), kPackageWritten);

    const auto files = savedCategory(3).firstChild().childElements();
    ASSERT_EQ(files.size(), 2u);
    EXPECT_EQ(files[0].text(), "BALANCE.XML");
    EXPECT_EQ(files[1].text(), "BALANCE.XLS");
    EXPECT_EQ(files[0].attributeOr("name"), "Balance");
    EXPECT_EQ(files[1].attributeOr("name"), "Balance");
    EXPECT_EQ(files[1].attributeOr("type"), "CWSJ");
    EXPECT_NE(files[0].attributeOr("nodeid"), files[1].attributeOr("nodeid"));
    EXPECT_EQ(readAll(allFiles() + "财务数据/2023年报/BALANCE.XML"), "<items/>");
    EXPECT_EQ(readAll(allFiles() + "财务数据/2023年报/BALANCE.XLS"), "workbook");
}

TEST_F(WritingTest, dataFileWithoutReportRowStillGetsTheReportElementButNoFile) {
    addFile(3, roots[3], "利润表", "利润表.xml", "<items/>");
    ASSERT_EQ(write(), kPackageWritten);

    const auto files = savedCategory(3).childElements();
    ASSERT_EQ(files.size(), 2u);
    EXPECT_EQ(files[1].text(), "利润表.XLS");
    EXPECT_TRUE(fs::isFile(allFiles() + "财务数据/利润表.XML"));
    EXPECT_FALSE(fs::exists(allFiles() + "财务数据/利润表.XLS"));
}

TEST_F(WritingTest, financialRowNotEndingInXmlIsNeverPackagedByItself) {
    addFile(3, roots[3], "现金流量表", "现金流量表.xls", "workbook");
    ASSERT_EQ(write(), kPackageWritten);
    EXPECT_TRUE(savedCategory(3).childElements().empty());
    EXPECT_TRUE(stdfs::is_empty(allFiles() + "财务数据"));
}

// --- what the incremental rules select

TEST_F(WritingTest, materialWithMissingFileIsLeftOut) {
    addFile(4, roots[4], "凭证", "凭证.pdf", "pdf");
    stdfs::remove(storedPath(roots[4], "凭证.pdf"));
    ASSERT_EQ(write(), kPackageWritten);
    EXPECT_TRUE(savedCategory(4).childElements().empty());
}

TEST_F(WritingTest, fileWhoseCreateTimeEqualsItsFileTimeIsLeftOut) {
    writeStored(roots[5], "合同.doc", "contract");
    store::MaterialRow r = row(5, roots[5], "合同", 1);
    r.fileName = "合同.doc";
    r.createTime = fs::fileTime(storedPath(roots[5], "合同.doc"));
    insert(5, r);
    ASSERT_EQ(write(), kPackageWritten);
    EXPECT_TRUE(savedCategory(5).childElements().empty());
}

struct TimeCase {
    const char* label;
    double secondsAfterFileTime;  // CreateTime relative to the file's time
    bool carried;
};
void PrintTo(const TimeCase& c, std::ostream* os) { *os << c.label; }

class CreateTimeTest : public WritingTest, public ::testing::WithParamInterface<TimeCase> {};

TEST_P(CreateTimeTest, fileGoesInUnlessItsTimeEqualsCreateTime) {
    writeStored(roots[4], "凭证.pdf", "pdf");
    store::MaterialRow r = row(4, roots[4], "凭证", 1);
    r.fileName = "凭证.pdf";
    r.createTime = fs::fileTime(storedPath(roots[4], "凭证.pdf")) + GetParam().secondsAfterFileTime / 86400.0;
    insert(4, r);
    ASSERT_EQ(write(), kPackageWritten);
    EXPECT_EQ(savedCategory(4).childElements().size(), GetParam().carried ? 1u : 0u);
}

INSTANTIATE_TEST_SUITE_P(Times, CreateTimeTest,
                         ::testing::Values(TimeCase{"equal", 0, false},
                                           TimeCase{"withinTheRoundingOfSqlText", 0.00001, false},
                                           TimeCase{"arrangedJustAfterTheFileWasWritten", 0.3, true},
                                           TimeCase{"arrangedJustBeforeTheFileWasWritten", -0.3, true},
                                           TimeCase{"oneFileTimeStepEarlier", -2, true}),
                         [](const auto& info) { return std::string(info.param.label); });

TEST_F(WritingTest, importedMaterialsStayOutButFoldersOfThreeCategoriesGoIn) {
    for (int kind : {3, 4, 5, 6}) {
        const std::string folder = store::newNodeId();
        importedRow(kind, folder, roots[kind], "导入目录", 0);
        folders[folder] = folders[roots[kind]] + "导入目录/";
        writeStored(folder, "导入.doc", "imported");
        importedRow(kind, store::newNodeId(), folder, "导入", 1, "导入.doc");
    }
    ASSERT_EQ(write(), kPackageWritten);

    for (int kind : {3, 4, 5}) {
        const auto children = savedCategory(kind).childElements();
        ASSERT_EQ(children.size(), 1u) << kind;
        EXPECT_EQ(children[0].attributeOr("name"), "导入目录");
        EXPECT_TRUE(children[0].childElements().empty());
        EXPECT_TRUE(fs::isDirectory(allFiles() + kCategoryNames.at(kind) + "/导入目录"));
    }
    EXPECT_TRUE(savedCategory(6).childElements().empty());
    EXPECT_FALSE(fs::exists(allFiles() + "审计资料/导入目录"));
}

TEST_F(WritingTest, secondPackageWithoutChangesHoldsFoldersAndWorkingPapersOnly) {
    const long long paper = fake.addResource(
        {.caption = "底稿", .typeName = "DGGL_SJDG", .fileName = "wp.doc", .param = "p", .content = "paper"});
    const std::string auditFolder = addFolder(6, roots[6], "本项目");
    addResourceRow(6, auditFolder, "底稿", paper);
    addFile(6, auditFolder, "报告", "报告.doc", "report");
    const std::string finFolder = addFolder(4, roots[4], "凭证");
    addFile(4, finFolder, "一月", "一月.pdf", "jan");

    ASSERT_EQ(write(), kPackageWritten);
    EXPECT_EQ(savedCategory(6).firstChild().childElements().size(), 2u);
    markPackaged(*dm, kCode);

    ASSERT_EQ(write(), kPackageWritten);
    EXPECT_TRUE(childNamed(savedAllFiles(), "基本信息").childElements().empty());
    const auto audit = savedCategory(6).firstChild().childElements();
    ASSERT_EQ(audit.size(), 1u);
    EXPECT_EQ(audit[0].text(), "底稿.DOC");
    const xml::Node fin = savedCategory(4).firstChild();
    EXPECT_EQ(fin.attributeOr("name"), "凭证");
    EXPECT_TRUE(fin.childElements().empty());
    EXPECT_TRUE(fs::isDirectory(allFiles() + "财务资料/凭证"));
    EXPECT_FALSE(fs::exists(allFiles() + "财务资料/凭证/一月.PDF"));
}

TEST_F(WritingTest, fileChangedAfterThePackageGoesInAgain) {
    addFile(4, roots[4], "凭证", "凭证.pdf", "v1");
    ASSERT_EQ(write(), kPackageWritten);
    markPackaged(*dm, kCode);
    fs::writeFile(storedPath(roots[4], "凭证.pdf"), "v2");
    setFileTime(storedPath(roots[4], "凭证.pdf"), 10);

    ASSERT_EQ(write(), kPackageWritten);
    EXPECT_EQ(savedCategory(4).childElements().size(), 1u);
    EXPECT_EQ(readAll(allFiles() + "财务资料/凭证.PDF"), "v2");
}

TEST_F(WritingTest, financialItemGoesInAgainWhenOnlyItsReportChanged) {
    addFile(3, roots[3], "资产表", "资产表.xml", "<items/>");
    addFile(3, roots[3], "资产表", "资产表.xls", "v1");
    ASSERT_EQ(write(), kPackageWritten);
    markPackaged(*dm, kCode);
    ASSERT_EQ(write(), kPackageWritten);
    EXPECT_TRUE(savedCategory(3).childElements().empty());

    setFileTime(storedPath(roots[3], "资产表.xls"), 10);
    ASSERT_EQ(write(), kPackageWritten);
    EXPECT_EQ(savedCategory(3).childElements().size(), 2u);
}

// --- resources of the host project

TEST_F(WritingTest, workingPaperIsExportedToWordForThePackage) {
    const long long paper = fake.addResource(
        {.caption = "底稿", .typeName = "dggl_sjdg", .fileName = "wp.doc", .param = "param=1", .content = "paper"});
    const std::string id = addResourceRow(6, roots[6], "资产底稿", paper);
    ASSERT_EQ(write(), kPackageWritten);

    const auto exports = fake.callsOf("exportDataToWord");
    ASSERT_EQ(exports.size(), 1u);
    EXPECT_EQ(exports[0].args[0], "DGGL_SJDG");
    EXPECT_EQ(exports[0].args[1], "param=1");
    EXPECT_EQ(exports[0].args[2].rfind(fake.appFolder() + "~KQ~temp/rjdgTemp/", 0), 0u);

    const xml::Node file = savedCategory(6).firstChild();
    EXPECT_EQ(file.text(), "资产底稿.DOC");
    EXPECT_EQ(file.attributeOr("fileid"), field(6, id, "FileID"));
    EXPECT_EQ(readAll(allFiles() + "审计资料/资产底稿.DOC"), readAll(exports[0].args[2]));
}

TEST_F(WritingTest, failedWordExportLeavesThePaperOutWithTheWarning) {
    const long long paper = fake.addResource({.caption = "底稿", .typeName = "DGGL_SJDG", .fileName = "wp.doc"});
    addResourceRow(6, roots[6], "底稿", paper);
    fake.setAppEntriesThrow(true);
    ASSERT_EQ(write(), kPackageWritten);
    EXPECT_TRUE(savedCategory(6).childElements().empty());
    EXPECT_EQ(warnings, std::vector<std::string>{kWordExportWarning});
}

TEST_F(WritingTest, exportWithoutTheHostFunctionGivesZeroAndNoDocument) {
    fake.setAppEntriesAvailable(false);
    const std::string target = newWordExportPath();
    EXPECT_EQ(exportWorkingPaperToWord("DGGL_SJDG", "1", target), 0);
    EXPECT_FALSE(fs::exists(target));
}

TEST_F(WritingTest, exportNamesTakenInTheSameSecondGetACounter) {
    const std::string first = newWordExportPath();
    fs::writeFile(first, "x");
    const std::string second = newWordExportPath();
    fs::writeFile(second, "x");
    const std::string third = newWordExportPath();
    EXPECT_NE(first, second);
    EXPECT_NE(second, third);
    const std::string stamp = fs::fileName(first).substr(0, 14);
    if (fs::fileName(second).rfind(stamp, 0) == 0) {
        EXPECT_EQ(fs::fileName(second), stamp + "_1.doc");
    }
    EXPECT_EQ(fs::folderOf(second), fake.appFolder() + "~KQ~temp/rjdgTemp/");
    EXPECT_EQ(fs::extension(second), ".doc");
}

struct ResourceCase {
    const char* label;
    const char* fileFlag;
    bool carried;
};
void PrintTo(const ResourceCase& c, std::ostream* os) { *os << c.label; }


class ResourceTest : public WritingTest, public ::testing::WithParamInterface<ResourceCase> {};

TEST_P(ResourceTest, projectResourceGoesInByItsFileFlag) {
    const long long res = fake.addResource({.caption = "表格", .typeName = "XMGL_FILE", .fileFlag = GetParam().fileFlag,
                                            .createAppId = "XMGL", .fileName = "sheet.xls", .content = "sheet"});
    addResourceRow(5, roots[5], "台账", res);
    setFileTime(fake.projectFolder() + "File/XMGL/sheet.xls", -3600);  // older than its arrangement
    ASSERT_EQ(write(), kPackageWritten);
    EXPECT_EQ(savedCategory(5).childElements().size(), GetParam().carried ? 1u : 0u);
    EXPECT_EQ(readAll(allFiles() + "业务资料/台账.XLS"), GetParam().carried ? "sheet" : "");
}

INSTANTIATE_TEST_SUITE_P(FileFlag, ResourceTest,
                         ::testing::Values(ResourceCase{"withFile", "1", true}, ResourceCase{"withoutFile", "0", false}),
                         [](const auto& info) { return std::string(info.param.label); });

struct BadReferenceCase {
    const char* label;
    const char* fileName;
};
void PrintTo(const BadReferenceCase& c, std::ostream* os) { *os << c.label; }

class BadReferenceTest : public WritingTest, public ::testing::WithParamInterface<BadReferenceCase> {};

TEST_P(BadReferenceTest, referenceThatNamesNoResourceIsLeftOutAndMarkedQuietly) {
    store::MaterialRow r = row(5, roots[5], "引用", 1);
    r.fileName = GetParam().fileName;
    insert(5, r);
    ASSERT_EQ(write(), kPackageWritten);
    EXPECT_TRUE(savedCategory(5).childElements().empty());
    EXPECT_NO_THROW(markPackaged(*dm, kCode));
}

INSTANTIATE_TEST_SUITE_P(References, BadReferenceTest,
                         ::testing::Values(BadReferenceCase{"barAlone", "|"},
                                           BadReferenceCase{"endsInSeparator", "|12/"},
                                           BadReferenceCase{"notDigits", "|12 or 1=1"},
                                           BadReferenceCase{"unknownResource", "|999999"}),
                         [](const auto& info) { return std::string(info.param.label); });

// --- failures of Write package

TEST_F(WritingTest, missingStagingFolderFailsBeforeAnythingIsWritten) {
    stdfs::remove_all(staging);
    EXPECT_EQ(write(), kNoStagingFolder);
    EXPECT_FALSE(fs::exists(staging));
}

TEST_F(WritingTest, packageRootThatCannotBeCreatedFails) {
    fs::writeFile(staging + kCode, "a file where the folder belongs");
    EXPECT_EQ(write(), kCreateFailed);
}

struct BadCodeCase {
    const char* label;
    const char* code;
};
void PrintTo(const BadCodeCase& c, std::ostream* os) { *os << c.label; }


class BadCodeTest : public WritingTest, public ::testing::WithParamInterface<BadCodeCase> {};

TEST_P(BadCodeTest, entityCodeThatIsNoPlainNameIsRefused) {
    EXPECT_EQ(writePackage(*dm, GetParam().code, staging, description), kBadEntityCode);
    EXPECT_TRUE(stdfs::is_empty(staging));
    EXPECT_FALSE(fs::exists(fake.appFolder() + "~KQ~temp/escaped"));
}

INSTANTIATE_TEST_SUITE_P(Codes, BadCodeTest,
                         ::testing::Values(BadCodeCase{"empty", ""}, BadCodeCase{"parent", ".."},
                                           BadCodeCase{"climbing", "../escaped"}, BadCodeCase{"nested", "a/b"},
                                           BadCodeCase{"unreadableMarker", "-1"}),
                         [](const auto& info) { return std::string(info.param.label); });

struct BadNameCase {
    const char* label;
    int kind;
    bool folder;
    const char* name;
    int result;
};
void PrintTo(const BadNameCase& c, std::ostream* os) { *os << c.label; }


class BadNameTest : public WritingTest, public ::testing::WithParamInterface<BadNameCase> {};

TEST_P(BadNameTest, materialThatCannotLandInThePackageRootFailsTheEntity) {
    const auto& p = GetParam();
    if (p.folder) {
        addFolder(p.kind, roots[p.kind], p.name);
    } else {
        writeStored(roots[p.kind], "safe.doc", "x");
        store::MaterialRow r = row(p.kind, roots[p.kind], p.name, 1);
        r.fileName = "safe.doc";
        insert(p.kind, r);
    }
    EXPECT_EQ(write(), p.result);
    EXPECT_FALSE(fs::exists(packageRoot() + "数据包描述.xml"));
    EXPECT_FALSE(fs::exists(staging + "escaped.DOC"));
}

INSTANTIATE_TEST_SUITE_P(
    Names, BadNameTest,
    ::testing::Values(BadNameCase{"folderNamedParent", 4, true, "..", kCreateFailed},
                      BadNameCase{"folderWithSeparator", 5, true, "a/b", kCreateFailed},
                      BadNameCase{"fileClimbingOut", 6, false, "../../../escaped", kFileNotWritten},
                      BadNameCase{"fileWithSeparator", 4, false, "sub/name", kFileNotWritten}),
    [](const auto& info) { return std::string(info.param.label); });

TEST_F(WritingTest, siblingFoldersOfOneNameKeepEachOthersFiles) {
    const std::string a = addFolder(4, roots[4], "凭证");
    const std::string b = addFolder(4, roots[4], "凭证");
    addFile(4, a, "一月", "一月.pdf", "jan");
    addFile(4, b, "二月", "二月.pdf", "feb");
    ASSERT_EQ(write(), kPackageWritten);
    EXPECT_EQ(readAll(allFiles() + "财务资料/凭证/一月.PDF"), "jan");
    EXPECT_EQ(readAll(allFiles() + "财务资料/凭证/二月.PDF"), "feb");
}

TEST_F(WritingTest, categoryWithoutRootRowIsWrittenUnderItsProperName) {
    exec("Delete From TransResourceInfo");
    ASSERT_EQ(write(), kPackageWritten);
    const xml::Node category = savedCategory(5);
    ASSERT_TRUE(category);
    EXPECT_TRUE(category.childElements().empty());
}

// --- the rows read once

TEST_F(WritingTest, ancestorClimbStopsAtALoop) {
    importedRow(4, "LOOPA", "LOOPB", "甲", 0);
    importedRow(4, "LOOPB", "LOOPA", "乙", 0);
    importedRow(4, "LEAF", "LOOPA", "丙", 1, "f.doc");
    CategoryRows rows;
    rows.load(*dm, 4, kCode);
    const auto path = rows.ancestorPath("LEAF");
    ASSERT_TRUE(path);
    EXPECT_EQ(*path, "乙/甲/");
}

TEST_F(WritingTest, destinationPathFollowsTheAncestorsFromTheCategoryRoot) {
    const std::string folder = addFolder(5, roots[5], "合同");
    const std::string inner = addFolder(5, folder, "2024");
    const std::string file = addFile(5, inner, "甲", "甲.doc", "x");
    CategoryRows rows;
    rows.load(*dm, 5, kCode);
    EXPECT_EQ(destinationPath(rows, "/root/E001", file, "甲.DOC"), "/root/E001/所有文件/业务资料/合同/2024/甲.DOC");
    EXPECT_EQ(sourcePath(*dm, rows, kCode, "甲.doc", file, true).path, storedPath(inner, "甲.doc"));
}

TEST_F(WritingTest, companionIsTheSiblingOfTheSameName) {
    const std::string data = addFile(3, roots[3], "表", "表.xml", "<x/>");
    const std::string report = addFile(3, roots[3], "表", "表.xls", "x", 45000.5);
    addFile(3, roots[3], "另表", "另表.xls", "x");
    CategoryRows rows;
    rows.load(*dm, 3, kCode);
    const Companion c = companionRow(rows, roots[3], data, "表");
    EXPECT_EQ(c.dirId, report);
    EXPECT_EQ(c.fileName, "表.xls");
    EXPECT_DOUBLE_EQ(c.createTime, 45000.5);
    EXPECT_TRUE(companionRow(rows, roots[3], report, "无此表").dirId.empty());
}

// --- marks

TEST_F(WritingTest, markMovesTheMarksOfThisEntityOnly) {
    exec("Update AuditedDeptInfo Set KQTag = 4, NodeID = '1'");
    addEntity("E002", "另一单位", 7, "1");
    exec("Insert Into FinanceResourceInfo (AuditedDeptCode, DirID, PDirID, KQTag, FileTag, Name, FileName, CreateTime) "
         "Values ('E002', 'OTHER', '', 1, 1, '别的', '别的.pdf', 5)");
    const std::string stored = addFile(4, roots[4], "凭证", "凭证.pdf", "pdf");
    const long long paper = fake.addResource(
        {.caption = "底稿", .typeName = "DGGL_SJDG", .fileName = "wp.doc", .content = "paper"});
    const std::string ref = addResourceRow(6, roots[6], "底稿", paper);
    const std::string imported = store::newNodeId();
    importedRow(4, imported, roots[4], "导入", 1, "导入.pdf");
    setFileTime(fake.projectFolder() + "File/DGGL/wp.doc", -3600);

    markPackaged(*dm, kCode);

    EXPECT_EQ(entityField(*dm, kCode, "NodeID"), "4");
    // Day numbers written as SQL text keep 15 digits: well below a millisecond.
    EXPECT_NEAR(number(4, stored, "CreateTime"), fs::fileTime(storedPath(roots[4], "凭证.pdf")), 1e-8);
    // A working paper is marked by its own file, not by an export.
    EXPECT_NEAR(number(6, ref, "CreateTime"), fs::fileTime(fake.projectFolder() + "File/DGGL/wp.doc"), 1e-8);
    EXPECT_TRUE(fake.callsOf("exportDataToWord").empty());
    EXPECT_EQ(field(4, imported, "CreateTime"), "");
    EXPECT_EQ(entityField(*dm, "E002", "NodeID"), "1");
    EXPECT_DOUBLE_EQ(number(4, "OTHER", "CreateTime"), 5);
}

// --- folders

TEST_F(WritingTest, recreateFolderEmptiesOrCreates) {
    const std::string path = staging + "a/b/";
    EXPECT_EQ(recreateFolder(path), 1);
    fs::writeFile(path + "x", "x");
    EXPECT_EQ(recreateFolder(path), 1);
    EXPECT_TRUE(stdfs::is_empty(path));
    fs::writeFile(staging + "file", "x");
    EXPECT_EQ(recreateFolder(staging + "file"), -2);
}

}  // namespace
}  // namespace unitarc::package
