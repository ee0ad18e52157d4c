// The package dialog: its list of the project's entities, the two runs and what they leave.
#include <QPushButton>
#include <QTest>
#include <QTreeWidget>

#include <filesystem>
#include <fstream>

#include "package/generation.h"
#include "package/import.h"
#include "tests/gui/gui_fixture.h"
#include "ui/untKQFrm_BSJDWExport.h"

namespace unitarc::test {
namespace {

namespace stdfs = std::filesystem;

class PackageDialogTest : public WindowTest {
protected:
    void SetUp() override {
        importAll({PackageBuilder("E002", "延伸单位"), PackageBuilder("CORP001", "本单位"),
                   PackageBuilder("E003", "第三单位")});
    }
    std::unique_ptr<ui::TKQFrm_BSJDWExport> dialog() { return std::make_unique<ui::TKQFrm_BSJDWExport>(*dm); }
    QPushButton* button(ui::TKQFrm_BSJDWExport& d, const char* name) {
        return d.findChild<QPushButton*>(QString::fromLatin1(name));
    }
    std::string archive(const std::string& code) { return package::stagingFolder() + code + ".zip"; }
    QStringList registered() {
        QStringList titles;
        for (const auto& call : fake.callsOf("ReferenceDataPackage_Show")) titles << QString::fromStdString(call.args[0]);
        return titles;
    }
};

TEST_F(PackageDialogTest, listsTheProjectAndItsEntitiesInDeptIndexOrderWithTheirImages) {
    auto d = dialog();
    QTreeWidget* tree = d->CheckTrv();
    ASSERT_EQ(tree->topLevelItemCount(), 1);
    QTreeWidgetItem* root = tree->topLevelItem(0);
    EXPECT_EQ(root->text(0), FakeHost::kProjectName);
    ASSERT_EQ(root->childCount(), 3);
    EXPECT_EQ(root->child(0)->text(0), "延伸单位");
    EXPECT_EQ(root->child(1)->text(0), "本单位");
    EXPECT_EQ(root->child(2)->text(0), "第三单位");
    EXPECT_EQ(root->child(1)->data(0, Qt::UserRole).toString(), "CORP001");
    const auto& images = d->ImgLstCheck();
    ASSERT_EQ(images.size(), 3);
    EXPECT_EQ(root->icon(0).cacheKey(), images[0].cacheKey());
    EXPECT_EQ(root->child(0)->icon(0).cacheKey(), images[2].cacheKey());
    EXPECT_EQ(root->child(1)->icon(0).cacheKey(), images[1].cacheKey());
    EXPECT_EQ(tree->currentItem(), root);
    EXPECT_TRUE(root->isExpanded());
    for (int i = 0; i < 3; ++i) EXPECT_EQ(root->child(i)->checkState(0), Qt::Unchecked);
}

TEST_F(PackageDialogTest, hasItsLayoutAndCaptions) {
    auto d = dialog();
    EXPECT_EQ(d->windowTitle(), "生成被审计单位数据包");
    EXPECT_EQ(d->size(), QSize(336, 436));
    EXPECT_EQ(button(*d, "btnAll")->text(), "生成全部单位(&A)");
    EXPECT_EQ(button(*d, "btnOK")->text(), "生成选中单位(&S)");
    EXPECT_EQ(button(*d, "btnCancel")->text(), "取消(&C)");
    EXPECT_TRUE(button(*d, "btnOK")->isDefault());
    EXPECT_EQ(button(*d, "btnAll")->toolTip(), "生成全部被审计单位的数据包");
}

TEST_F(PackageDialogTest, creatingItEmptiesTheStagingFolder) {
    stdfs::create_directories(package::stagingFolder());
    std::ofstream(archive("OLD")) << "old";
    auto d = dialog();
    EXPECT_TRUE(stdfs::is_directory(package::stagingFolder()));
    EXPECT_FALSE(stdfs::exists(archive("OLD")));
}

TEST_F(PackageDialogTest, generatingSelectedWithNothingTickedAsksForAnEntityAndStaysOpen) {
    auto d = dialog();
    d->show();
    QTest::mouseClick(button(*d, "btnOK"), Qt::LeftButton);
    EXPECT_EQ(prompt.texts(Kind::Information), QStringList{"请选择被审计单位！"});
    EXPECT_TRUE(d->isVisible());
    EXPECT_TRUE(registered().isEmpty());
}

TEST_F(PackageDialogTest, generatingSelectedPackagesOnlyTheTickedEntitiesInTreeOrder) {
    auto d = dialog();
    d->show();
    d->setTicked(2, true);
    d->setTicked(1, true);

    QTest::mouseClick(button(*d, "btnOK"), Qt::LeftButton);

    EXPECT_EQ(prompt.texts(Kind::Information),
              QStringList{"生成被审计单位[本单位]的数据包成功！\r\n生成被审计单位（延伸单位）[第三单位]的数据包成功！"});
    EXPECT_EQ(d->result(), QDialog::Accepted);
    EXPECT_FALSE(d->isVisible());
    EXPECT_TRUE(stdfs::exists(archive("CORP001")));
    EXPECT_TRUE(stdfs::exists(archive("E003")));
    EXPECT_FALSE(stdfs::exists(archive("E002")));
    EXPECT_EQ(registered(), (QStringList{"被审计单位数据包：[本单位]", "被审计单位数据包：（延伸单位）[第三单位]"}));
}

TEST_F(PackageDialogTest, tickingTheProjectTicksEveryEntity) {
    auto d = dialog();
    d->CheckTrv()->topLevelItem(0)->setCheckState(0, Qt::Checked);
    for (int i = 0; i < 3; ++i) EXPECT_EQ(d->CheckTrv()->topLevelItem(0)->child(i)->checkState(0), Qt::Checked);
    d->setTicked(0, false);
    EXPECT_EQ(d->CheckTrv()->topLevelItem(0)->checkState(0), Qt::PartiallyChecked);
}

TEST_F(PackageDialogTest, generatingAllPackagesEveryEntityTickedOrNot) {
    auto d = dialog();
    d->show();
    QTest::mouseClick(button(*d, "btnAll"), Qt::LeftButton);
    EXPECT_EQ(registered().size(), 3);
    EXPECT_EQ(prompt.texts(Kind::Information).size(), 1);
    EXPECT_EQ(d->result(), QDialog::Accepted);
}

TEST_F(PackageDialogTest, generatingAllWithoutEntitiesAsksForAnEntity) {
    for (const char* code : {"E002", "CORP001", "E003"}) package::deleteEntityAction(*dm, code, code);
    auto d = dialog();
    d->show();
    QTest::mouseClick(button(*d, "btnAll"), Qt::LeftButton);
    EXPECT_EQ(prompt.texts(Kind::Information), QStringList{"请选择被审计单位！"});
    EXPECT_TRUE(d->isVisible());
}

TEST_F(PackageDialogTest, aFailingEntityStopsTheRunAfterTheOnesBeforeIt) {
    auto d = dialog();
    d->show();
    fake.setCompressOutcome(Outcome::Empty);
    QTest::mouseClick(button(*d, "btnAll"), Qt::LeftButton);
    EXPECT_EQ(prompt.texts(Kind::Information), QStringList{"生成被审计单位（延伸单位）[延伸单位]的数据包失败！"});
    EXPECT_TRUE(registered().isEmpty());
    EXPECT_EQ(d->result(), QDialog::Accepted);
}

TEST_F(PackageDialogTest, anErrorOfTheRunIsReportedAndTheDialogStaysOpen) {
    auto d = dialog();
    d->show();
    dm->conUNITARC.execute("drop table FinanceResourceInfo");
    QTest::mouseClick(button(*d, "btnAll"), Qt::LeftButton);
    EXPECT_EQ(prompt.texts(Kind::Error).size(), 1);
    EXPECT_TRUE(d->isVisible());
    EXPECT_EQ(fake.busyOpen, 0);
}

TEST_F(PackageDialogTest, escapeClosesWithoutARun) {
    auto d = dialog();
    d->show();
    QTest::keyClick(d.get(), Qt::Key_Escape);
    EXPECT_FALSE(d->isVisible());
    EXPECT_EQ(d->result(), QDialog::Rejected);
    EXPECT_TRUE(registered().isEmpty());
}

TEST_F(PackageDialogTest, aSecondRunNeedsTheDialogAgainWhichEmptiesTheStagingFolder) {
    {
        auto d = dialog();
        d->setTicked(0, true);
        d->show();
        QTest::mouseClick(button(*d, "btnOK"), Qt::LeftButton);
        ASSERT_TRUE(stdfs::exists(archive("E002")));
    }
    auto again = dialog();
    EXPECT_FALSE(stdfs::exists(archive("E002")));
}

}  // namespace
}  // namespace unitarc::test
