// What selecting a node shows: the lists with their columns per kind, the category list,
// the pages of single materials, and the navigation by double click and right click.
#include <QHeaderView>
#include <QTabWidget>
#include <QTableView>
#include <QTest>
#include <QTreeView>

#include "tests/gui/gui_fixture.h"
#include "ui/resourcetreemodel.h"

namespace unitarc::test {
namespace {

// One entity with a folder and a file in every category, and a project folder with its
// basic information in the audit materials.
class ManageListTest : public WindowTest {
protected:
    void SetUp() override {
        PackageBuilder p("CORP001", "本单位");
        p.add(Category::FinanceData, folder("报表", financialPair("资产负债表", {})));
        p.add(Category::FinanceRes, folder("凭证", {file("一月凭证", "一月凭证.PDF")}));
        p.add(Category::TransRes, folder("合同", {file("采购合同", "采购合同.DOC")}));
        p.add(Category::AuditRes, projectTemplate({folder("实施", {file("底稿", "底稿.DOC")})}));
        p.add(Category::AuditRes, folder("往年资料", {file("报告", "报告.DOC")}));
        importAll({p, PackageBuilder("E002", "延伸单位")});
    }
    std::string projectFolder() const {
        return std::string(FakeHost::kProjectName) + "（项目编号：" + FakeHost::kSerial + "）";
    }
    QWidget* currentPage() { return window().findChild<QTabWidget*>("pcAttribute")->currentWidget(); }
    QWidget* currentListPage() { return window().findChild<QTabWidget*>("pcList")->currentWidget(); }
    QTableView* list() { return grid("grdView"); }
};

struct ListCase {
    const char* name;
    std::vector<std::string> path;
    QStringList columns;
    int rows;
};

class ListColumns : public ManageListTest, public ::testing::WithParamInterface<ListCase> {};

TEST_P(ListColumns, showTheFieldsOfTheKindWithClampedWidthsAndCentredTitles) {
    const ListCase& c = GetParam();
    const store::TreeNode* node = nodeAt(c.path);
    ASSERT_NE(node, nullptr);

    select(node);

    EXPECT_EQ(currentPage(), page("tsList"));
    EXPECT_EQ(currentListPage(), page("tsCommonList"));
    EXPECT_EQ(shownColumns(list()), c.columns);
    EXPECT_EQ(window().visibleColumns(), c.columns);
    EXPECT_EQ(list()->model()->rowCount(), c.rows);
    for (int column = 0; column < list()->model()->columnCount(); ++column) {
        if (list()->isColumnHidden(column)) continue;
        EXPECT_GE(list()->columnWidth(column), 100) << column;
        EXPECT_LE(list()->columnWidth(column), 150) << column;
        EXPECT_EQ(list()->model()->headerData(column, Qt::Horizontal, Qt::TextAlignmentRole).toInt(),
                  int(Qt::AlignCenter));
    }
}

INSTANTIATE_TEST_SUITE_P(
    ByKind, ListColumns,
    ::testing::Values(
        ListCase{"projectListsEntities", {}, {"被审计单位名称"}, 2},
        ListCase{"financeDataFolder", {"本单位", "财务数据"}, {"数据分类"}, 1},
        ListCase{"financeResourceFolder", {"本单位", "财务资料", "凭证"}, {"资料分类", "财务资料名称", "财务资料日期"}, 1},
        ListCase{"transResourceFolder", {"本单位", "业务资料"}, {"资料分类", "业务资料名称", "业务资料日期"}, 1},
        ListCase{"auditResourceFolder",
                 {"本单位", "审计资料", "往年资料"},
                 {"资料分类", "标题", "类型", "文号", "发文单位", "抄送单位", "成文时间", "归档时间", "主题词", "摘要"},
                 1},
        ListCase{"emptyCategoryOfAnEntityWithoutRows", {"延伸单位", "财务资料"}, {"资料分类", "财务资料名称", "财务资料日期"}, 0}),
    [](const auto& info) { return std::string(info.param.name); });

TEST_F(ManageListTest, theListShowsOnlyVisibleChildren) {
    dm->conUNITARC.execute("update FinanceResourceInfo set CanVisible = 0 where Name = '一月凭证'");
    select(nodeAt({"本单位", "财务资料", "凭证"}));
    EXPECT_EQ(list()->model()->rowCount(), 0);
}

TEST_F(ManageListTest, anEntityShowsTheFiveCategoriesOnItsFirstRow) {
    select(nodeAt({"本单位"}));

    EXPECT_EQ(currentPage(), page("tsList"));
    EXPECT_EQ(currentListPage(), page("tsDeptResList"));
    QTableView* categories = grid("grdDeptResList");
    QStringList rows;
    for (int r = 0; r < categories->model()->rowCount(); ++r) rows << categories->model()->index(r, 0).data().toString();
    EXPECT_EQ(rows, (QStringList{"基本信息", "财务数据", "财务资料", "业务资料", "审计资料"}));
    EXPECT_EQ(categories->model()->headerData(0, Qt::Horizontal).toString(), "资料分类");
    EXPECT_EQ(categories->columnWidth(0), 347);
    EXPECT_EQ(categories->currentIndex().row(), 0);
    EXPECT_EQ(window().selectionKind(), 1);
}

struct PageCase {
    const char* name;
    std::vector<std::string> path;
    const char* page;
};

class MaterialPages : public ManageListTest, public ::testing::WithParamInterface<PageCase> {};

TEST_P(MaterialPages, selectingAFileShowsItsPage) {
    std::vector<std::string> path = GetParam().path;
    for (auto& text : path)
        if (text == "<project>") text = projectFolder();
    const store::TreeNode* node = nodeAt(path);
    ASSERT_NE(node, nullptr);
    select(node);
    EXPECT_EQ(currentPage(), page(GetParam().page));
}

INSTANTIATE_TEST_SUITE_P(
    ByKind, MaterialPages,
    ::testing::Values(PageCase{"basicInformation", {"本单位", "基本信息"}, "tsXMLEdit"},
                      PageCase{"financialData", {"本单位", "财务数据", "报表", "资产负债表"}, "tsExtraInfo"},
                      PageCase{"financialMaterial", {"本单位", "财务资料", "凭证", "一月凭证"}, "tsCommonInfo"},
                      PageCase{"businessMaterial", {"本单位", "业务资料", "合同", "采购合同"}, "tsCommonInfo"},
                      PageCase{"auditMaterial", {"本单位", "审计资料", "往年资料", "报告"}, "tsCommonInfo"},
                      PageCase{"projectBasicInformation",
                               {"本单位", "审计资料", "<project>", "项目基本信息", "项目基本信息"},
                               "tsXMLEdit"}),
    [](const auto& info) { return std::string(info.param.name); });

TEST_F(ManageListTest, theKindOfTheSelectionAndItsEntityCode) {
    select(nullptr);
    EXPECT_EQ(window().selectionKind(), -1);
    EXPECT_EQ(window().entityCodeOfSelection(), "");
    select(nodeAt({"本单位", "业务资料", "合同", "采购合同"}));
    EXPECT_EQ(window().selectionKind(), 5);
    EXPECT_EQ(window().entityCodeOfSelection(), "CORP001");
    select(nodeAt({}));
    EXPECT_EQ(window().entityCodeOfSelection(), "");
}

TEST_F(ManageListTest, aFailingListStatementLeavesTheListEmptyWithoutAMessage) {
    window();
    EXPECT_EQ(window().openList("select * from NoSuchTable"), -1);
    EXPECT_EQ(list()->model()->rowCount(), 0);
    EXPECT_EQ(list()->model()->columnCount(), 0);
    EXPECT_TRUE(prompt.shown.empty());
}

TEST_F(ManageListTest, dateColumnsShowAsDates) {
    dm->conUNITARC.execute("update FinanceResourceInfo set 财务资料日期 = 45291 where Name = '一月凭证'");
    select(nodeAt({"本单位", "财务资料", "凭证"}));
    const int column = static_cast<int>(shownColumns(list()).indexOf("财务资料日期"));
    ASSERT_GE(column, 0);
    int modelColumn = -1;
    for (int c = 0, shown = -1; c < list()->model()->columnCount(); ++c)
        if (!list()->isColumnHidden(c) && ++shown == column) modelColumn = c;
    EXPECT_EQ(list()->model()->index(0, modelColumn).data().toString(), "2023-12-31");
}

// --- navigation

TEST_F(ManageListTest, doubleClickingAnEntityInTheProjectListSelectsIt) {
    select(nodeAt({}));
    doubleClickRow(list(), 1);
    EXPECT_EQ(window().selectedNode(), nodeAt({"延伸单位"}));
    EXPECT_TRUE(tree()->isExpanded(tree()->currentIndex()));
}

TEST_F(ManageListTest, doubleClickingAFolderRowSelectsThatFolder) {
    select(nodeAt({"本单位", "业务资料"}));
    doubleClickRow(list(), 0);
    EXPECT_EQ(window().selectedNode(), nodeAt({"本单位", "业务资料", "合同"}));
}

TEST_F(ManageListTest, doubleClickingAnEmptyListDoesNothing) {
    const store::TreeNode* empty = nodeAt({"延伸单位", "业务资料"});
    select(empty);
    QTest::mouseDClick(list()->viewport(), Qt::LeftButton, {}, QPoint(20, 20));
    EXPECT_EQ(window().selectedNode(), empty);
}

struct CategoryRowCase {
    const char* name;
    int row;
    const char* category;
};

class CategoryRows : public ManageListTest, public ::testing::WithParamInterface<CategoryRowCase> {};

TEST_P(CategoryRows, doubleClickingARowOfTheCategoryListSelectsThatChildOfTheEntity) {
    select(nodeAt({"本单位"}));
    doubleClickRow(grid("grdDeptResList"), GetParam().row);
    EXPECT_EQ(window().selectedNode(), nodeAt({"本单位", GetParam().category}));
}

INSTANTIATE_TEST_SUITE_P(FiveRows, CategoryRows,
                         ::testing::Values(CategoryRowCase{"basicInformation", 0, "基本信息"},
                                           CategoryRowCase{"financialData", 1, "财务数据"},
                                           CategoryRowCase{"financialMaterials", 2, "财务资料"},
                                           CategoryRowCase{"businessMaterials", 3, "业务资料"},
                                           CategoryRowCase{"auditMaterials", 4, "审计资料"}),
                         [](const auto& info) { return std::string(info.param.name); });

TEST_F(ManageListTest, theRightButtonSelectsTheNodeUnderTheMouse) {
    const QModelIndex entity = window().treeModel().indexOf(nodeAt({"延伸单位"}));
    tree()->scrollTo(entity);
    QTest::mousePress(tree()->viewport(), Qt::RightButton, {}, tree()->visualRect(entity).center());
    QTest::mouseRelease(tree()->viewport(), Qt::RightButton, {}, tree()->visualRect(entity).center());
    EXPECT_EQ(window().selectedNode(), nodeAt({"延伸单位"}));
}

}  // namespace
}  // namespace unitarc::test
