// The management window's tree: the core's tree shown through the window's model, with its
// images, the nodes the builder could not make reported, and the busy window.
#include <QTreeView>

#include "package/reload.h"
#include "tests/gui/gui_fixture.h"
#include "ui/resourcetreemodel.h"

namespace unitarc::test {
namespace {

using Lines = std::vector<std::string>;

class ManageTreeTest : public WindowTest {
protected:
    std::vector<std::string> coreLines() {
        store::Tree core;
        package::reloadTree(*dm, core, "导入");
        return package::treeLines(core);
    }
    std::vector<std::string> shownLines() { return modelLines(*tree()->model()); }
    std::vector<std::string> childTexts(const store::TreeNode* node) {
        std::vector<std::string> texts;
        for (const auto& child : node->children()) texts.push_back(child->text);
        return texts;
    }
};

TEST_F(ManageTreeTest, showingTheWindowLoadsTheCoreTreeOnceAndSelectsTheRoot) {
    PackageBuilder principal("CORP001", "本单位");
    principal.add(Category::FinanceData, financialPair("资产负债表", {}));
    principal.add(Category::TransRes, folder("合同", {folder("采购", {file("甲", "甲.DOC")})}));
    importAll({principal, PackageBuilder("E002", "延伸单位")});

    window();

    EXPECT_EQ(window().reloadCount(), 1);
    EXPECT_EQ(shownLines(), coreLines());
    const QModelIndex current = tree()->currentIndex();
    ASSERT_TRUE(current.isValid());
    EXPECT_FALSE(current.parent().isValid()) << "the root is selected";
    EXPECT_TRUE(tree()->isExpanded(current));
    EXPECT_TRUE(prompt.shown.empty());
}

TEST_F(ManageTreeTest, entitiesFollowDeptIndexWithTheImageOfThePrincipalEntity) {
    addEntity("E003", "第三", 3);
    addEntity("CORP001", "本单位", 2);
    addEntity("E001", "第一", 1);

    const store::TreeNode* root = window().treeModel().tree().firstNode();
    ASSERT_NE(root, nullptr);
    EXPECT_EQ(root->text, FakeHost::kProjectName);
    EXPECT_EQ(root->image, 2);
    EXPECT_EQ(childTexts(root), (Lines{"第一", "本单位", "第三"}));
    EXPECT_EQ(root->children()[0]->image, 6);
    EXPECT_EQ(root->children()[1]->image, 5);
    EXPECT_EQ(root->children()[2]->image, 6);
}

TEST_F(ManageTreeTest, theCodeOfThePrincipalEntityComparesWithLetterCase) {
    addEntity("corp001", "小写单位", 1);
    EXPECT_EQ(nodeAt({"小写单位"})->image, 6);
}

TEST_F(ManageTreeTest, everyEntityHasBasicInformationAndFourEmptyCategoriesInOrder) {
    addEntity("E009", "空单位", 1);

    const store::TreeNode* entity = nodeAt({"空单位"});
    ASSERT_NE(entity, nullptr);
    EXPECT_EQ(childTexts(entity), (Lines{"基本信息", "财务数据", "财务资料", "业务资料", "审计资料"}));
    const auto& basic = *entity->children()[0];
    EXPECT_EQ(basic.record->key, "E00901");
    EXPECT_EQ(basic.record->kind, 2);
    EXPECT_EQ(basic.record->fileTag, 1);
    EXPECT_EQ(basic.image, 4);
    for (int kind = 3; kind <= 6; ++kind) {
        const auto& category = *entity->children()[static_cast<std::size_t>(kind - 2)];
        EXPECT_EQ(category.record->kind, kind);
        EXPECT_EQ(category.record->key, "-1");
        EXPECT_EQ(category.image, 0);
    }
}

TEST_F(ManageTreeTest, aCategoryRootRowMergesIntoItsCategoryNode) {
    addEntity("E001", "单位", 1);
    addRow("TransResourceInfo", "E001", {.dirId = "ROOT", .pDirId = "", .name = "业务资料", .dirIndex = 1, .image = 3});
    addRow("TransResourceInfo", "E001", {.dirId = "A", .pDirId = "ROOT", .name = "合同", .dirIndex = 2});
    addRow("TransResourceInfo", "E001", {.dirId = "OTHER", .pDirId = "", .name = "其他根", .dirIndex = 3});

    const store::TreeNode* entity = nodeAt({"单位"});
    ASSERT_NE(entity, nullptr);
    EXPECT_EQ(childTexts(entity), (Lines{"基本信息", "财务数据", "财务资料", "业务资料", "审计资料", "其他根"}));
    const store::TreeNode* category = nodeAt({"单位", "业务资料"});
    EXPECT_EQ(category->record->key, "ROOT");
    EXPECT_EQ(category->image, 3);
    EXPECT_EQ(childTexts(category), Lines{"合同"});
}

TEST_F(ManageTreeTest, aChildListedBeforeItsParentEndsUnderIt) {
    addEntity("E001", "单位", 1);
    addRow("FinanceResourceInfo", "E001", {.dirId = "C", .pDirId = "P", .name = "子", .dirIndex = 1, .fileTag = 1});
    addRow("FinanceResourceInfo", "E001", {.dirId = "P", .pDirId = "", .name = "父", .dirIndex = 2});

    const store::TreeNode* parent = nodeAt({"单位", "父"});
    ASSERT_NE(parent, nullptr);
    EXPECT_EQ(childTexts(parent), Lines{"子"});
    EXPECT_TRUE(prompt.shown.empty());
}

TEST_F(ManageTreeTest, twoRowsOfOneNameShowAsOneNodeOfTheLaterRow) {
    addEntity("E001", "单位", 1);
    addRow("FinanceResourceInfo", "E001", {.dirId = "F", .pDirId = "", .name = "凭证", .dirIndex = 1});
    addRow("FinanceResourceInfo", "E001", {.dirId = "A", .pDirId = "F", .name = "同名", .dirIndex = 2, .image = 1});
    addRow("FinanceResourceInfo", "E001", {.dirId = "B", .pDirId = "F", .name = "同名", .dirIndex = 3, .image = 7});

    const store::TreeNode* folder = nodeAt({"单位", "凭证"});
    ASSERT_NE(folder, nullptr);
    ASSERT_EQ(childTexts(folder), Lines{"同名"});
    EXPECT_EQ(folder->children()[0]->record->key, "B");
    EXPECT_EQ(folder->children()[0]->image, 7);
}

TEST_F(ManageTreeTest, aRowWithAHiddenParentIsReportedInAnErrorBoxAndTheRestLoads) {
    addEntity("E001", "单位", 1);
    addEntity("E002", "另一单位", 2);
    addRow("FinanceResourceInfo", "E001", {.dirId = "H", .pDirId = "", .name = "隐藏", .dirIndex = 1, .visible = 0});
    addRow("FinanceResourceInfo", "E001", {.dirId = "X", .pDirId = "H", .name = "孤儿", .dirIndex = 2, .fileTag = 1});
    addRow("TransResourceInfo", "E002", {.dirId = "T", .pDirId = "", .name = "合同", .dirIndex = 1});

    window();

    ASSERT_EQ(prompt.texts(Kind::Error), QStringList{"创建节点[孤儿]失败！"});
    EXPECT_EQ(prompt.shown.front().caption, "Hostwork");
    EXPECT_NE(nodeAt({"另一单位", "合同"}), nullptr);
}

TEST_F(ManageTreeTest, theHostsImagesFollowTheWindowsOwnEight) {
    addEntity("E001", "单位", 1);
    addRow("FinanceResourceInfo", "E001", {.dirId = "F", .pDirId = "", .name = "宿主图标", .dirIndex = 1, .image = 9});

    ASSERT_EQ(window().imgListTree().size(), 10);
    const QModelIndex index = window().treeModel().indexOf(nodeAt({"单位", "宿主图标"}));
    const QIcon shown = index.data(Qt::DecorationRole).value<QIcon>();
    EXPECT_EQ(shown.pixmap(16, 16).toImage().pixelColor(8, 8), QColor(Qt::green));
    for (int i = 0; i < 8; ++i) EXPECT_FALSE(window().imgListTree()[i].isNull()) << "own image " << i;
}

TEST_F(ManageTreeTest, withoutHostImagesTheWindowHasItsOwnEight) {
    fake.setImageList(nullptr);
    EXPECT_EQ(window().imgListTree().size(), 8);
}

TEST_F(ManageTreeTest, theReloadTellsItsVerbInTheBusyWindowAndClosesIt) {
    addEntity("E001", "单位", 1);
    window();
    fake.busyTexts.clear();

    window().reloadTree("保存");

    ASSERT_FALSE(fake.busyTexts.empty());
    EXPECT_EQ(fake.busyTexts[0], "被审计单位资料管理");
    EXPECT_EQ(fake.busyTexts[1], "准备保存被审计单位信息，请稍候……");
    EXPECT_EQ(fake.busyOpen, 0);
    EXPECT_EQ(window().reloadCount(), 2);
}

TEST_F(ManageTreeTest, aReloadErrorReachesTheCallerAfterTheTreeIsBackInView) {
    addEntity("E001", "单位", 1);
    window();
    dm->conUNITARC.execute("drop table TransResourceInfo");

    EXPECT_ANY_THROW(window().reloadTree("导入"));

    EXPECT_EQ(fake.busyOpen, 0);
    EXPECT_TRUE(tree()->updatesEnabled());
    EXPECT_NE(nodeAt({"单位", "财务资料"}), nullptr) << "what was built before the error";
}

TEST_F(ManageTreeTest, aNodeThatCouldNotBeMadeIsReportedAlsoWhenALaterErrorEndsTheReload) {
    addEntity("E001", "单位", 1);
    window();
    addRow("FinanceResourceInfo", "E001", {.dirId = "H", .pDirId = "", .name = "隐藏", .dirIndex = 1, .visible = 0});
    addRow("FinanceResourceInfo", "E001", {.dirId = "X", .pDirId = "H", .name = "孤儿", .dirIndex = 2, .fileTag = 1});
    dm->conUNITARC.execute("drop table TransResourceInfo");
    prompt.clear();

    EXPECT_ANY_THROW(window().reloadTree("导入"));

    EXPECT_EQ(prompt.texts(Kind::Error), QStringList{"创建节点[孤儿]失败！"});
    EXPECT_EQ(fake.busyOpen, 0);
}

TEST_F(ManageTreeTest, theTreeIsFramedReadOnlyAndIndentedBy19) {
    EXPECT_EQ(tree()->indentation(), 19);
    EXPECT_EQ(tree()->editTriggers(), QAbstractItemView::NoEditTriggers);
    EXPECT_NE(tree()->frameShape(), QFrame::NoFrame);
}

}  // namespace
}  // namespace unitarc::test
