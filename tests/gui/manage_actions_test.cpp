// The toolbar of the management window: its items, the import and delete actions, and the
// actions that need an entity refusing the project node.
#include <QAction>
#include <QApplication>
#include <QToolBar>
#include <QToolButton>
#include <QTreeView>

#include <filesystem>

#include "platform/db.h"
#include "platform/text.h"
#include "tests/gui/gui_fixture.h"
#include "ui/untKQFrm_BSJDWExport.h"

namespace unitarc::test {
namespace {

class ManageActionTest : public WindowTest {
protected:
    void trigger(const char* action) {
        QAction* a = window().findChild<QAction*>(QString::fromLatin1(action));
        ASSERT_NE(a, nullptr) << action;
        a->trigger();
        QCoreApplication::processEvents();
    }
    bool entityRowExists(const std::string& code) {
        db::Query q(&dm->conUNITARC);
        q.open("select * from AuditedDeptInfo where AuditedDeptCode = " + text::quoted(code));
        return !q.isEmpty();
    }
};

TEST_F(ManageActionTest, theToolbarShowsItsFiveItemsInOrderWithImages) {
    auto* toolbar = window().findChild<QToolBar*>("TBToolbar");
    ASSERT_NE(toolbar, nullptr);
    QStringList captions;
    for (QAction* a : toolbar->actions()) captions << (a->isSeparator() ? QStringLiteral("|") : a->text());
    EXPECT_EQ(captions, (QStringList{"导入数据包", "删除数据包", "|", "导出财务数据模板", "编辑被审计单位资料", "|",
                                     "生成被审计单位数据包"}));
    for (const char* item : {"TBItemImport", "TBItemDelete", "TBItemExportMod", "TBItemEdit", "TBItemPackage"}) {
        auto* button = window().findChild<QToolButton*>(QString::fromLatin1(item));
        ASSERT_NE(button, nullptr) << item;
        EXPECT_FALSE(button->icon().isNull()) << item;
    }
    EXPECT_EQ(toolbar->toolButtonStyle(), Qt::ToolButtonTextBesideIcon);
    EXPECT_EQ(window().windowTitle(), "被审计单位资料管理");
}

TEST_F(ManageActionTest, importingSeveralPackagesShowsTheirMessagesInOneBox) {
    const std::string first = zip(PackageBuilder("CORP001", "本单位"));
    const std::string second = zip(PackageBuilder("E002", "延伸单位"));
    const std::string again = PackageBuilder("E002", "延伸单位").write(archives / "again.zip");
    prompt.fileAnswers = {{QString::fromStdString(first), QString::fromStdString(second), QString::fromStdString(again)}};
    window();
    prompt.clear();

    trigger("actImport");

    ASSERT_EQ(prompt.shown.size(), 2u);
    EXPECT_EQ(prompt.shown[0].kind, Kind::OpenFiles);
    EXPECT_EQ(prompt.shown[0].caption, "导入被审计单位数据包");
    EXPECT_EQ(prompt.shown[0].text, "下载的被审计单位数据包(*.zip);;所有文件 (*.*)");
    EXPECT_EQ(prompt.shown[1].kind, Kind::Information);
    EXPECT_EQ(prompt.shown[1].caption, "Hostwork");
    EXPECT_EQ(prompt.shown[1].text,
              "导入被审计单位（延伸审计单位）数据包[CORP001.zip]成功！\r\n"
              "导入被审计单位（延伸审计单位）数据包[E002.zip]成功！\r\n"
              "被审计单位数据包[again.zip]的资料已经存在！");
    EXPECT_EQ(window().reloadCount(), 2);
    EXPECT_NE(nodeAt({"本单位"}), nullptr);
    EXPECT_NE(nodeAt({"延伸单位"}), nullptr);
    EXPECT_EQ(QApplication::overrideCursor(), nullptr) << "the hourglass is gone";
}

TEST_F(ManageActionTest, cancellingTheOpenDialogImportsNothing) {
    window();
    prompt.clear();
    trigger("actImport");
    EXPECT_EQ(prompt.texts(Kind::Information), QStringList());
    EXPECT_EQ(window().reloadCount(), 1);
}

TEST_F(ManageActionTest, aFailedReloadAfterTheImportIsReportedAlone) {
    // A package without business materials imports into a database whose business table the
    // reload cannot read.
    PackageBuilder p("E002", "延伸单位");
    p.omitCategory(Category::TransRes);
    prompt.fileAnswers = {{QString::fromStdString(zip(p))}};
    window();
    prompt.clear();
    dm->conUNITARC.execute("drop table TransResourceInfo");
    dm->conUNITARC.execute("create table TransResourceInfo (AuditedDeptCode TEXT)");

    trigger("actImport");

    EXPECT_EQ(prompt.texts(Kind::Information), QStringList{"导入被审计单位资料树失败！"});
    EXPECT_TRUE(entityRowExists("E002"));
    EXPECT_EQ(QApplication::overrideCursor(), nullptr);
}

TEST_F(ManageActionTest, deleteAsksAndCancelKeepsTheEntity) {
    importAll({PackageBuilder("E002", "延伸单位")});
    select(nodeAt({"延伸单位"}));
    prompt.clear();
    prompt.answers = {false};

    trigger("actDelete");

    EXPECT_EQ(prompt.texts(Kind::Question), QStringList{"确定删除被审计单位[延伸单位]的数据包吗？"});
    EXPECT_EQ(prompt.shown.size(), 1u);
    EXPECT_TRUE(entityRowExists("E002"));
    EXPECT_EQ(window().reloadCount(), 1);
}

TEST_F(ManageActionTest, deleteRemovesTheEntityReloadsAndSaysSo) {
    importAll({PackageBuilder("E002", "延伸单位"), PackageBuilder("E003", "第三单位")});
    select(nodeAt({"延伸单位"}));
    prompt.clear();
    prompt.answers = {true};
    fake.busyTexts.clear();

    trigger("actDelete");

    EXPECT_EQ(prompt.texts(Kind::Information), QStringList{"删除被审计单位[延伸单位]的数据包成功！"});
    EXPECT_FALSE(entityRowExists("E002"));
    EXPECT_FALSE(std::filesystem::exists(fake.entityFolder() + "E002"));
    EXPECT_EQ(nodeAt({"延伸单位"}), nullptr);
    EXPECT_NE(nodeAt({"第三单位"}), nullptr);
    ASSERT_GE(fake.busyTexts.size(), 2u);
    EXPECT_EQ(fake.busyTexts[1], "准备删除被审计单位信息，请稍候……");
}

struct RefusalCase {
    const char* name;
    const char* action;
    std::vector<std::string> path;
};

class ActionsNeedAnEntity : public ManageActionTest, public ::testing::WithParamInterface<RefusalCase> {};

TEST_P(ActionsNeedAnEntity, andSayChooseAnEntity) {
    importAll({PackageBuilder("E002", "延伸单位")});
    select(nodeAt(GetParam().path));
    prompt.clear();

    trigger(GetParam().action);

    EXPECT_EQ(prompt.texts(Kind::Information), QStringList{"请选择被审计单位！"});
    EXPECT_EQ(prompt.shown.size(), 1u);
    EXPECT_TRUE(entityRowExists("E002"));
}

INSTANTIATE_TEST_SUITE_P(
    Refused, ActionsNeedAnEntity,
    ::testing::Values(RefusalCase{"deleteOnTheProject", "actDelete", {}},
                      RefusalCase{"deleteOnACategory", "actDelete", {"延伸单位", "财务资料"}},
                      RefusalCase{"deleteOnBasicInformation", "actDelete", {"延伸单位", "基本信息"}},
                      RefusalCase{"templatesOnTheProject", "actExportMod", {}},
                      RefusalCase{"packageOnTheProject", "ActPackage", {}}),
    [](const auto& info) { return std::string(info.param.name); });

TEST_F(ManageActionTest, actionsWithoutASelectionDoNothing) {
    importAll({PackageBuilder("E002", "延伸单位")});
    select(nullptr);
    prompt.clear();
    for (const char* action : {"actDelete", "actExportMod", "ActPackage", "actEdit"}) trigger(action);
    EXPECT_TRUE(prompt.shown.empty());
}

TEST_F(ManageActionTest, thePackageActionRunsTheDialogModallyOverTheWindow) {
    importAll({PackageBuilder("E002", "延伸单位")});
    select(nodeAt({"延伸单位", "业务资料"}));
    prompt.clear();
    QString dialogClass;
    ModalAnswer answer([&](QDialog& dialog) { dialogClass = dialog.metaObject()->className(); });

    trigger("ActPackage");

    EXPECT_TRUE(answer.answered());
    EXPECT_EQ(answer.title(), "生成被审计单位数据包");
    EXPECT_EQ(dialogClass, "unitarc::ui::TKQFrm_BSJDWExport");
    EXPECT_TRUE(prompt.shown.empty()) << "cancelled without a run";
}

}  // namespace
}  // namespace unitarc::test
