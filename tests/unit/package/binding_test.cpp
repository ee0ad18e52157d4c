// Binding an imported entity to the current project, and refreshing the project's folder.
#include <filesystem>

#include "package/binding.h"
#include "package/reading.h"
#include "platform/fs.h"
#include "tests/unit/package/package_fixture.h"

namespace unitarc::test {
namespace {

namespace stdfs = std::filesystem;
using package::bindEntityToProject;

const std::string kSerial = FakeHost::kSerial;
const std::string kFolder = std::string(FakeHost::kProjectName) + "（项目编号：" + kSerial + "）";

class BindingTest : public PackageTest {
protected:
    // Lays the package out as an imported entity and reads it, as the import does before binding.
    void importEntity(const PackageBuilder& p) {
        p.writeRoot(entityRoot(p.code()));
        ASSERT_GT(package::importDescription(*dm, entityRoot(p.code())), 0);
    }
    std::vector<Row> boundRows(const std::string& code = "E001") {
        return rows("select * from AuditResourceInfo where FileID <> '' and AuditedDeptCode = " + text::quoted(code) +
                    " order by DirIndex");
    }
    std::string auditFolder(const std::string& code = "E001") { return entityRoot(code) + "/所有文件/审计资料/"; }
};

TEST_F(BindingTest, copiesTheTemplateFoldersUnderTheProjectFolderInOrder) {
    PackageBuilder p("E001", "单位");
    p.add(Category::AuditRes, projectTemplate({folder("A"), folder("B", {folder("C")})}, false));
    importEntity(p);
    EXPECT_EQ(bindEntityToProject(*dm, "E001", kSerial), 1);

    const auto bound = boundRows();
    ASSERT_EQ(bound.size(), 4u);
    const std::vector<std::string> names = {kFolder, "A", "B", "C"};
    const std::vector<std::string> parents = {p.tree(Category::AuditRes).nodeId, bound[0].at("DirID"),
                                              bound[0].at("DirID"), bound[2].at("DirID")};
    for (std::size_t i = 0; i < 4; ++i) {
        const Row& r = bound[i];
        EXPECT_EQ(r.at("Name"), names[i]);
        EXPECT_EQ(r.at("PDirID"), parents[i]) << names[i];
        EXPECT_EQ(r.at("NodeID"), r.at("DirID"));
        EXPECT_EQ(r.at("DirID").size(), 8u);
        EXPECT_EQ(r.at("标题"), names[i]);
        EXPECT_EQ(r.at("Type"), "SJZL");
        EXPECT_EQ(r.at("类型"), "SJZL");
        EXPECT_EQ(r.at("项目编号"), kSerial);
        EXPECT_EQ(r.at("FileTag"), "0");
        EXPECT_EQ(r.at("FileName"), "");
        EXPECT_EQ(r.at("ImageIndex"), "0");
        EXPECT_EQ(r.at("CanVisible"), "1");
        EXPECT_EQ(r.at("KQTag"), "1");
        EXPECT_EQ(r.at("审计机关代码"), FakeHost::kOrganId);
    }
    EXPECT_NE(bound[0].at("DirID"), p.tree(Category::AuditRes).children[0].nodeId) << "fresh ids, not the package's";
    EXPECT_TRUE(fs::isDirectory(auditFolder() + kFolder + "/A"));
    EXPECT_TRUE(fs::isDirectory(auditFolder() + kFolder + "/B/C"));
}

TEST_F(BindingTest, copiesFoldersOnly) {
    PackageBuilder p("E001", "单位");
    p.add(Category::AuditRes, projectTemplate({folder("A", {file("说明", "说明.DOC")}), file("附件", "附件.DOC")}, false));
    importEntity(p);
    EXPECT_EQ(bindEntityToProject(*dm, "E001", kSerial), 1);
    std::vector<std::string> names;
    for (const Row& r : boundRows()) names.push_back(r.at("Name"));
    EXPECT_EQ(names, (std::vector<std::string>{kFolder, "A"}));
}

TEST_F(BindingTest, theProjectInfoFolderReceivesTheHostsFile) {
    PackageBuilder p("E001", "单位");
    p.add(Category::AuditRes, projectTemplate());
    importEntity(p);
    EXPECT_EQ(bindEntityToProject(*dm, "E001", kSerial), 1);

    const std::string copy = auditFolder() + kFolder + "/项目基本信息/项目基本信息.xml";
    std::string content;
    ASSERT_TRUE(fs::readFile(copy, content));
    EXPECT_NE(content.find(kSerial), std::string::npos);
    const auto files = rows("select * from AuditResourceInfo where FileID <> '' and FileTag = 1");
    ASSERT_EQ(files.size(), 1u);
    const Row& f = files[0];
    EXPECT_EQ(f.at("Name"), "项目基本信息");
    EXPECT_EQ(f.at("Type"), "XMXX");
    EXPECT_EQ(f.at("类型"), "XMXX");
    EXPECT_EQ(f.at("FileName"), "项目基本信息.xml");
    EXPECT_EQ(f.at("ImageIndex"), "1");
    EXPECT_EQ(f.at("CreateTime"), text::sqlNumber(fs::fileTime(copy)));
    EXPECT_EQ(row("AuditResourceInfo", f.at("PDirID")).at("Name"), "项目基本信息");
}

TEST_F(BindingTest, withoutTheHostsFileTheProjectInfoFolderStaysEmpty) {
    fake.setPrjInfoResult(0);
    PackageBuilder p("E001", "单位");
    p.add(Category::AuditRes, projectTemplate());
    importEntity(p);
    EXPECT_EQ(bindEntityToProject(*dm, "E001", kSerial), 1);
    EXPECT_TRUE(rows("select * from AuditResourceInfo where FileID <> '' and FileTag = 1").empty());
    EXPECT_FALSE(fs::exists(auditFolder() + kFolder + "/项目基本信息/项目基本信息.xml"));
}

TEST_F(BindingTest, aPackageWithoutTemplateBindsNothing) {
    PackageBuilder p("E001", "单位");
    p.add(Category::AuditRes, folder("底稿"));
    importEntity(p);
    EXPECT_EQ(bindEntityToProject(*dm, "E001", kSerial), 1);
    EXPECT_TRUE(boundRows().empty());
}

TEST_F(BindingTest, aProjectWithoutNameCreatesNothing) {
    fake.execBase("update KQ_PrjInfo set PrjName = ''");
    PackageBuilder p("E001", "单位");
    p.add(Category::AuditRes, projectTemplate());
    importEntity(p);
    EXPECT_EQ(bindEntityToProject(*dm, "E001", kSerial), -100);
    EXPECT_TRUE(boundRows().empty());
}

TEST_F(BindingTest, aSecondTemplateFindsItsFolderTakenAndKeepsItsRow) {
    PackageBuilder p("E001", "单位");
    p.add(Category::AuditRes, projectTemplate({}, false));
    p.add(Category::AuditRes, projectTemplate({}, false));
    importEntity(p);
    EXPECT_EQ(bindEntityToProject(*dm, "E001", kSerial), -888);
    EXPECT_EQ(boundRows().size(), 2u);
}

TEST_F(BindingTest, aFailedInsertStopsTheBindingWithItsCode) {
    PackageBuilder p("E001", "单位");
    p.add(Category::AuditRes, projectTemplate({folder("A"), folder("B")}, false));
    importEntity(p);
    dm->conUNITARC.execute("create trigger refuse before insert on AuditResourceInfo when new.Name = 'A' "
                           "begin select raise(abort, 'refused'); end");
    EXPECT_EQ(bindEntityToProject(*dm, "E001", kSerial), -999);
    ASSERT_EQ(boundRows().size(), 1u);
    EXPECT_EQ(boundRows()[0].at("Name"), kFolder);
}

// A package generated in this very project carries the project's folder.
PackageBuilder packageWithProjectFolder() {
    PackageBuilder p("E001", "单位");
    Material info = file("项目基本信息", "项目基本信息.xml");
    p.add(Category::AuditRes, folder("旧名（项目编号：" + kSerial + "）",
                                     {folder("项目基本信息", {info}), folder("实施", {file("底稿", "底稿.DOC")})}));
    return p;
}

TEST_F(BindingTest, anExistingProjectFolderIsRefreshed) {
    importEntity(packageWithProjectFolder());
    EXPECT_EQ(bindEntityToProject(*dm, "E001", kSerial), -200);

    const Row project = rows("select * from AuditResourceInfo where Name like '旧名%'").at(0);
    EXPECT_EQ(project.at("KQTag"), "1");
    EXPECT_EQ(project.at("项目编号"), kSerial);
    for (const char* name : {"项目基本信息", "实施"}) {
        const Row r = rows(std::string("select * from AuditResourceInfo where FileTag = 0 and Name = '") + name + "'").at(0);
        EXPECT_EQ(r.at("KQTag"), "1") << name;
        EXPECT_EQ(r.at("项目编号"), kSerial) << name;
    }
    EXPECT_EQ(rows("select * from AuditResourceInfo where FileTag = 0 and Name = '项目基本信息'").at(0).at("Type"), "XMXX");
    const Row info = rows("select * from AuditResourceInfo where FileTag = 1 and Name = '项目基本信息'").at(0);
    EXPECT_EQ(info.at("Type"), "XMXX");
    EXPECT_EQ(info.at("项目编号"), kSerial);
    EXPECT_EQ(rows("select * from AuditResourceInfo where Name = '底稿'").at(0).at("KQTag"), "0") << "files below stay";
}

TEST_F(BindingTest, theRefreshRenamesTheProjectFolderAfterTheProjectsName) {
    PackageBuilder p("E001", "单位");
    p.add(Category::AuditRes, projectTemplate({folder("A")}));
    importEntity(p);
    ASSERT_EQ(bindEntityToProject(*dm, "E001", kSerial), 1);
    const std::string copy = auditFolder() + "新名（项目编号：" + kSerial + "）/项目基本信息/项目基本信息.xml";
    ASSERT_TRUE(fs::writeFile(auditFolder() + kFolder + "/项目基本信息/项目基本信息.xml", "stale"));

    fake.execBase("update KQ_PrjInfo set PrjName = '新名'");
    package::refreshCurrentProject(*dm);

    EXPECT_EQ(rows("select * from AuditResourceInfo where Name = " + text::quoted("新名（项目编号：" + kSerial + "）")).size(),
              1u);
    EXPECT_FALSE(fs::exists(auditFolder() + kFolder));
    EXPECT_TRUE(fs::isDirectory(auditFolder() + "新名（项目编号：" + kSerial + "）/A"));
    std::string content;
    ASSERT_TRUE(fs::readFile(copy, content));
    EXPECT_NE(content, "stale");
}

TEST_F(BindingTest, theRefreshCopiesTheHostsFileWhateverItsResult) {
    PackageBuilder p("E001", "单位");
    p.add(Category::AuditRes, projectTemplate());
    importEntity(p);
    ASSERT_EQ(bindEntityToProject(*dm, "E001", kSerial), 1);
    const std::string copy = auditFolder() + kFolder + "/项目基本信息/项目基本信息.xml";
    ASSERT_TRUE(fs::writeFile(copy, "stale"));

    fake.setPrjInfoResult(0);
    package::refreshCurrentProject(*dm);

    std::string content;
    ASSERT_TRUE(fs::readFile(copy, content));
    EXPECT_NE(content.find(kSerial), std::string::npos);
}

TEST_F(BindingTest, theRefreshLeavesAnEntityWithoutProjectFolderAlone) {
    PackageBuilder p("E001", "单位");
    p.add(Category::AuditRes, folder("底稿"));
    importEntity(p);
    const auto before = rows("select * from AuditResourceInfo order by DirIndex");
    package::refreshCurrentProject(*dm);
    EXPECT_EQ(rows("select * from AuditResourceInfo order by DirIndex"), before);
}

TEST_F(BindingTest, theRefreshRenamesNothingWhenTheProjectHasNoName) {
    PackageBuilder p("E001", "单位");
    p.add(Category::AuditRes, projectTemplate());
    importEntity(p);
    ASSERT_EQ(bindEntityToProject(*dm, "E001", kSerial), 1);
    fake.execBase("update KQ_PrjInfo set PrjName = ''");
    package::refreshCurrentProject(*dm);
    EXPECT_EQ(rows("select * from AuditResourceInfo where Name = " + text::quoted(kFolder)).size(), 1u);
    EXPECT_TRUE(fs::isDirectory(auditFolder() + kFolder));
}

}  // namespace
}  // namespace unitarc::test
