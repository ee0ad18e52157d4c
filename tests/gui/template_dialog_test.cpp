// The template dialog: its list and single tick in picker and export modes, the pick
// operation and the management window's template export.
#include <QAction>
#include <QPushButton>
#include <QTest>
#include <QTreeWidget>

#include <filesystem>

#include "tests/gui/gui_fixture.h"
#include "ui/untKQFrm_BSJDWGetFinanceDataMod.h"

namespace unitarc::test {
namespace {

class TemplateDialogTest : public WindowTest {
protected:
    void SetUp() override {
        PackageBuilder p("E002", "延伸单位");
        p.add(Category::FinanceData, financeTemplates({{"资产负债表.xls", "a"}, {"利润表", "b"}, {"现金流量表", "c"}}));
        importAll({p, PackageBuilder("E003", "无模板单位")});
    }
    std::unique_ptr<ui::TKQFrm_BSJDWGetFinanceDataMod> filled(const std::string& code = "E002") {
        auto d = std::make_unique<ui::TKQFrm_BSJDWGetFinanceDataMod>(*dm);
        d->fillTemplateList(code);
        return d;
    }
    static QStringList ticked(const ui::TKQFrm_BSJDWGetFinanceDataMod& d) {
        QStringList names;
        for (int i = 0; i < d.lsvMod()->topLevelItemCount(); ++i)
            if (d.lsvMod()->topLevelItem(i)->checkState(0) == Qt::Checked) names << d.lsvMod()->topLevelItem(i)->text(0);
        return names;
    }
    QPushButton* button(QWidget& d, const char* name) { return d.findChild<QPushButton*>(QString::fromLatin1(name)); }
    std::string templateFolder() const { return fake.entityFolder() + "E002/所有文件/财务数据/财务数据模板/"; }
    void clickCheckBox(ui::TKQFrm_BSJDWGetFinanceDataMod& d, int row) {
        QTreeWidget* list = d.lsvMod();
        const QRect rect = list->visualItemRect(list->topLevelItem(row));
        // The check box sits at the start of the row, after the item's margin.
        QTest::mouseClick(list->viewport(), Qt::LeftButton, {}, QPoint(rect.left() + 12, rect.center().y()));
    }
};

TEST_F(TemplateDialogTest, theFillListsTheTemplatesWithTheFirstSelectedAndTicked) {
    auto d = filled();
    EXPECT_EQ(d->windowTitle(), "财务数据报表模板列表");
    ASSERT_EQ(d->templateCount(), 3);
    QTreeWidget* list = d->lsvMod();
    EXPECT_EQ(list->headerItem()->text(0), "财务数据报表模板名称");
    EXPECT_EQ(list->columnWidth(0), 413);
    EXPECT_EQ(list->topLevelItem(0)->text(0), "资产负债表.xls");
    EXPECT_EQ(list->topLevelItem(0)->text(1), QString::fromStdString(templateFolder() + "资产负债表.XLS"));
    EXPECT_EQ(list->currentItem(), list->topLevelItem(0));
    EXPECT_TRUE(list->topLevelItem(0)->isSelected());
    EXPECT_EQ(ticked(*d), QStringList{"资产负债表.xls"});
    EXPECT_TRUE(button(*d, "SbtnOK")->isVisibleTo(d.get()));
    EXPECT_FALSE(button(*d, "btnExportMod")->isVisibleTo(d.get()));
}

TEST_F(TemplateDialogTest, tickingAnotherTemplateUnticksTheFirst) {
    auto d = filled();
    d->show();
    clickCheckBox(*d, 1);
    EXPECT_EQ(ticked(*d), QStringList{"利润表"});
}

TEST_F(TemplateDialogTest, selectingATemplateTicksIt) {
    auto d = filled();
    d->lsvMod()->setCurrentItem(d->lsvMod()->topLevelItem(2));
    EXPECT_EQ(ticked(*d), QStringList{"现金流量表"});
}

TEST_F(TemplateDialogTest, unTickingTheTickedTemplateTicksItAgain) {
    auto d = filled();
    d->show();
    clickCheckBox(*d, 0);
    EXPECT_EQ(ticked(*d), QStringList{"资产负债表.xls"});
}

TEST_F(TemplateDialogTest, theTickIsSingleInExportModeToo) {
    auto d = std::make_unique<ui::TKQFrm_BSJDWGetFinanceDataMod>(*dm);
    d->setExportMode("延伸单位");
    d->fillTemplateList("E002");
    d->show();
    clickCheckBox(*d, 2);
    EXPECT_EQ(ticked(*d), QStringList{"现金流量表"});
    EXPECT_EQ(d->windowTitle(), "导出被审计单位[延伸单位]的财务数据模板");
    EXPECT_FALSE(button(*d, "SbtnOK")->isVisible());
    EXPECT_TRUE(button(*d, "btnExportMod")->isVisible());
}

TEST_F(TemplateDialogTest, pickingReturnsTheTickedNameAndItsDataFile) {
    ModalAnswer answer([](QDialog& d) {
        auto* list = d.findChild<QTreeWidget*>("lsvMod");
        list->setCurrentItem(list->topLevelItem(1));
        d.findChild<QPushButton*>("SbtnOK")->click();
    });
    const ui::PickedTemplate picked = ui::pickTemplate(*dm, "E002");
    EXPECT_TRUE(answer.answered());
    EXPECT_EQ(picked.name, "利润表");
    EXPECT_EQ(picked.dataFilePath, QString::fromStdString(templateFolder() + "利润表.XML"));
}

TEST_F(TemplateDialogTest, aDoubleClickConfirmsTheTemplate) {
    ModalAnswer answer([](QDialog& d) {
        auto* list = d.findChild<QTreeWidget*>("lsvMod");
        const QRect rect = list->visualItemRect(list->topLevelItem(0));
        QTest::mouseClick(list->viewport(), Qt::LeftButton, {}, rect.center());
        QTest::mouseDClick(list->viewport(), Qt::LeftButton, {}, rect.center());
    });
    EXPECT_EQ(ui::pickTemplate(*dm, "E002").name, "资产负债表.xls");
}

TEST_F(TemplateDialogTest, cancellingThePickGivesEmptyTexts) {
    ModalAnswer answer([](QDialog& d) { d.findChild<QPushButton*>("SbtnCancel")->click(); });
    const ui::PickedTemplate picked = ui::pickTemplate(*dm, "E002");
    EXPECT_TRUE(picked.name.isEmpty());
    EXPECT_TRUE(picked.dataFilePath.isEmpty());
}

TEST_F(TemplateDialogTest, okOnAnEmptyListDoesNothing) {
    auto d = filled("E003");
    d->show();
    button(*d, "SbtnOK")->click();
    EXPECT_TRUE(d->isVisible());
}

TEST_F(TemplateDialogTest, aMissingDescriptionRaisesOutOfTheFill) {
    auto d = std::make_unique<ui::TKQFrm_BSJDWGetFinanceDataMod>(*dm);
    EXPECT_ANY_THROW(d->fillTemplateList("NOSUCH"));
    EXPECT_TRUE(d->lsvMod()->updatesEnabled());
}

// --- the management window's template export

TEST_F(TemplateDialogTest, exportingRegistersTheSelectedTemplateAndTheDialogStaysOpen) {
    select(nodeAt({"延伸单位", "财务数据"}));
    prompt.clear();
    ModalAnswer answer([](QDialog& d) {
        auto* list = d.findChild<QTreeWidget*>("lsvMod");
        d.findChild<QPushButton*>("btnExportMod")->click();
        list->setCurrentItem(list->topLevelItem(1));
        d.findChild<QPushButton*>("btnExportMod")->click();
        EXPECT_TRUE(d.isVisible());
    });

    window().findChild<QAction*>("actExportMod")->trigger();

    EXPECT_EQ(answer.title(), "导出被审计单位[延伸单位]的财务数据模板");
    ASSERT_EQ(fake.registered.size(), 2u);
    const host::RegisterDataArgs& first = fake.registered[0];
    EXPECT_EQ(first.kind, "EXCEL");
    EXPECT_EQ(first.name, "资产负债表");
    EXPECT_EQ(first.uuid, FakeHost::kUUID);
    EXPECT_EQ(first.title, "被审计单位：延伸单位财务数据报表模板");
    EXPECT_EQ(first.group, "财务数据报表模板");
    EXPECT_EQ(first.site, "WWW");
    EXPECT_EQ(first.empty, "");
    EXPECT_EQ(first.path, templateFolder() + "资产负债表.XLS");
    EXPECT_EQ(first.module, "XMGL");
    EXPECT_EQ(std::vector<int>({first.a, first.b, first.c}), std::vector<int>({-1, 20, 1}));
    EXPECT_EQ(fake.registered[1].name, "") << "a name without .XLS registers under an empty name";
    EXPECT_TRUE(prompt.shown.empty());
}

TEST_F(TemplateDialogTest, exportingWithoutASelectionAsksForATemplate) {
    auto d = filled();
    d->setExportMode("延伸单位");
    d->show();
    d->lsvMod()->clearSelection();
    button(*d, "btnExportMod")->click();
    EXPECT_EQ(prompt.texts(Kind::Information), QStringList{"请选择财务数据报表模板"});
    EXPECT_TRUE(fake.registered.empty());
}

TEST_F(TemplateDialogTest, anEntityWithoutTemplatesIsToldSoWithoutTheDialog) {
    select(nodeAt({"无模板单位"}));
    prompt.clear();
    window().findChild<QAction*>("actExportMod")->trigger();
    EXPECT_EQ(prompt.texts(Kind::Information), QStringList{"被审计单位[无模板单位]没有财务数据模板！"});
}

TEST_F(TemplateDialogTest, anEntityWithoutADescriptionGetsAnErrorBox) {
    select(nodeAt({"无模板单位"}));
    std::filesystem::remove(fake.entityFolder() + "E003/数据包描述.xml");
    prompt.clear();
    window().findChild<QAction*>("actExportMod")->trigger();
    EXPECT_EQ(prompt.texts(Kind::Error).size(), 1);
}

}  // namespace
}  // namespace unitarc::test
