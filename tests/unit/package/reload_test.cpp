// The core tree reload: the project, its entities and their category trees as plain nodes.
#include "package/import.h"
#include "package/reload.h"
#include "tests/unit/package/package_fixture.h"

namespace unitarc::test {
namespace {

using Lines = std::vector<std::string>;

class ReloadTest : public PackageTest {
protected:
    void importAll(const std::vector<PackageBuilder>& packages) {
        std::vector<std::string> files;
        for (const PackageBuilder& p : packages) files.push_back(zip(p));
        const auto outcome = package::importPackages(*dm, files);
        ASSERT_EQ(outcome.imported, static_cast<int>(packages.size())) << package::importSummary(outcome);
    }
    package::ReloadResult reload(const std::string& verb = "导入") { return package::reloadTree(*dm, tree, verb); }
    const store::TreeNode* entity(std::size_t i) { return tree.firstNode()->children().at(i).get(); }
    // The key of the entity's row of that name; the last one stored when there are two.
    std::string key(const std::string& code, const std::string& table, const std::string& name) {
        return rows("select DirID from " + table + " where Name = " + text::quoted(name) +
                    " and AuditedDeptCode = " + text::quoted(code) + " order by DirIndex desc")
            .at(0)
            .at("DirID");
    }
    store::Tree tree;
};

TEST_F(ReloadTest, buildsProjectEntitiesAndTheirCategoryTrees) {
    PackageBuilder principal("CORP001", "本单位");
    principal.add(Category::FinanceData, financialPair("资产负债表", {}));
    principal.add(Category::TransRes, folder("合同", {folder("采购", {file("甲", "甲.DOC")})}));
    PackageBuilder extended("E001", "延伸单位");
    importAll({extended, principal});
    dm->conUNITARC.execute("update AuditedDeptInfo set DeptIndex = 9 where AuditedDeptCode = 'E001'");

    EXPECT_TRUE(reload().failures.empty());

    const std::string s = FakeHost::kSerial;
    auto p = [this](const char* table, const char* name) { return key("CORP001", table, name); };
    auto e = [this](const char* table, const char* name) { return key("E001", table, name); };
    // The financial-data pair shows as one node: the later row takes the node over.
    const Lines expected = {
        std::string(FakeHost::kProjectName) + "\t0\t" + s + "\t2",
        "  本单位\t1\tCORP001\t5",
        "    基本信息\t2\tCORP00101\t4",
        "    财务数据\t3\t" + p("FinanceDataInfo", "财务数据") + "\t0",
        "      资产负债表\t3\t" + p("FinanceDataInfo", "资产负债表") + "\t1",
        "    财务资料\t4\t" + p("FinanceResourceInfo", "财务资料") + "\t0",
        "    业务资料\t5\t" + p("TransResourceInfo", "业务资料") + "\t0",
        "      合同\t5\t" + p("TransResourceInfo", "合同") + "\t0",
        "        采购\t5\t" + p("TransResourceInfo", "采购") + "\t0",
        "          甲\t5\t" + p("TransResourceInfo", "甲") + "\t1",
        "    审计资料\t6\t" + p("AuditResourceInfo", "审计资料") + "\t0",
        "  延伸单位\t1\tE001\t6",
        "    基本信息\t2\tE00101\t4",
        "    财务数据\t3\t" + e("FinanceDataInfo", "财务数据") + "\t0",
        "    财务资料\t4\t" + e("FinanceResourceInfo", "财务资料") + "\t0",
        "    业务资料\t5\t" + e("TransResourceInfo", "业务资料") + "\t0",
        "    审计资料\t6\t" + e("AuditResourceInfo", "审计资料") + "\t0",
    };
    EXPECT_EQ(package::treeLines(tree), expected);
    EXPECT_EQ(entity(0)->children().at(0)->record->fileTag, 1) << "basic information";
    EXPECT_EQ(entity(0)->children().at(0)->record->name, "基本信息");
}

TEST_F(ReloadTest, theImageOfThePrincipalEntityComparesTheCodeExactly) {
    importAll({PackageBuilder("corp001", "小写单位")});
    reload();
    EXPECT_EQ(entity(0)->image, 6);
}

TEST_F(ReloadTest, categoryNodesStayWhenAnEntityHasNoRootRows) {
    dm->conUNITARC.execute("insert into AuditedDeptInfo (AuditedDeptCode, AuditedDeptName, DeptIndex) "
                           "values ('E009', '空单位', 1)");
    reload();
    EXPECT_EQ(package::treeLines(tree), (Lines{std::string(FakeHost::kProjectName) + "\t0\t" + FakeHost::kSerial + "\t2",
                                               "  空单位\t1\tE009\t6", "    基本信息\t2\tE00901\t4",
                                               "    财务数据\t3\t-1\t0", "    财务资料\t4\t-1\t0",
                                               "    业务资料\t5\t-1\t0", "    审计资料\t6\t-1\t0"}));
}

TEST_F(ReloadTest, hiddenRowsStayOutAndTheProjectFolderAppears) {
    PackageBuilder p("E001", "单位");
    p.add(Category::AuditRes, projectTemplate({folder("实施")}));
    importAll({p});
    reload();
    const store::TreeNode* audit = entity(0)->children().at(4).get();
    ASSERT_EQ(audit->children().size(), 1u) << "the template is hidden";
    const store::TreeNode* project = audit->children().at(0).get();
    EXPECT_EQ(project->text, std::string(FakeHost::kProjectName) + "（项目编号：" + FakeHost::kSerial + "）");
    ASSERT_EQ(project->children().size(), 2u);
    EXPECT_EQ(project->children().at(0)->text, "实施");
    EXPECT_EQ(project->children().at(1)->text, "项目基本信息");
    EXPECT_EQ(project->children().at(1)->children().at(0)->record->fileTag, 1);
}

TEST_F(ReloadTest, aRowWhoseParentIsHiddenIsReported) {
    PackageBuilder p("E001", "单位");
    p.add(Category::FinanceRes, folder("凭证", {file("一号", "一号.PDF")}));
    p.add(Category::TransRes, folder("合同", {file("二号", "二号.DOC")}));
    importAll({p});
    dm->conUNITARC.execute("update FinanceResourceInfo set CanVisible = 0 where Name = '凭证'");
    dm->conUNITARC.execute("update TransResourceInfo set CanVisible = 0 where Name = '合同'");
    EXPECT_EQ(reload().failures, (Lines{"创建节点[一号]失败！", "创建节点[二号]失败！"}));
}

TEST_F(ReloadTest, failuresGatheredBeforeAnErrorStayWithTheCaller) {
    PackageBuilder p("E001", "单位");
    p.add(Category::FinanceRes, folder("凭证", {file("一号", "一号.PDF")}));
    importAll({p});
    dm->conUNITARC.execute("update FinanceResourceInfo set CanVisible = 0 where Name = '凭证'");
    dm->conUNITARC.execute("drop table TransResourceInfo");
    package::ReloadResult result;
    EXPECT_ANY_THROW(package::reloadTree(*dm, tree, "导入", result));
    EXPECT_EQ(result.failures, Lines{"创建节点[一号]失败！"});
    EXPECT_EQ(fake.busyOpen, 0);
}

TEST_F(ReloadTest, reloadRenamesTheProjectFolderAfterTheProjectsName) {
    PackageBuilder p("E001", "单位");
    p.add(Category::AuditRes, projectTemplate());
    importAll({p});
    fake.execBase("update KQ_PrjInfo set PrjName = '改名项目'");
    reload();
    EXPECT_EQ(entity(0)->children().at(4)->children().at(0)->text,
              std::string("改名项目（项目编号：") + FakeHost::kSerial + "）");
    EXPECT_EQ(tree.firstNode()->text, "改名项目");
}

TEST_F(ReloadTest, theBusyWindowShowsTheVerbAndAlwaysCloses) {
    importAll({PackageBuilder("E001", "单位")});
    fake.clearCalls();
    reload("删除");
    EXPECT_EQ(fake.busyTexts,
              (Lines{"被审计单位资料管理", "准备删除被审计单位信息，请稍候……", "开始删除被审计单位信息，请稍候……",
                     "正在删除被审计单位基本信息，请稍候……", "正在删除被审计单位财务数据，请稍候……",
                     "正在删除被审计单位财务资料，请稍候……", "正在删除被审计单位业务资料，请稍候……",
                     "正在删除被审计单位审计资料中当前项目基本信息，请稍候……", "正在删除被审计单位审计资料，请稍候……"}));
    EXPECT_EQ(fake.busyOpen, 0);

    dm->conUNITARC.execute("drop table TransResourceInfo");
    EXPECT_ANY_THROW(reload());
    EXPECT_EQ(fake.busyOpen, 0);
}

TEST_F(ReloadTest, reloadReplacesTheWholeTree) {
    importAll({PackageBuilder("E001", "单位"), PackageBuilder("E002", "单位二")});
    reload();
    dm->conUNITARC.execute("delete from AuditedDeptInfo where AuditedDeptCode = 'E001'");
    reload();
    ASSERT_EQ(tree.roots.size(), 1u);
    ASSERT_EQ(tree.firstNode()->children().size(), 1u);
    EXPECT_EQ(entity(0)->record->key, "E002");
}

}  // namespace
}  // namespace unitarc::test
