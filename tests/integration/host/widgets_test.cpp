// The services that need a GUI application: the image list and the busy window.
#include "src/shell/host_abi.h"

#include <QApplication>
#include <QDialog>
#include <QIcon>
#include <QImage>
#include <QLabel>
#include <QList>
#include <QProgressBar>

#include <gtest/gtest.h>

#include <set>

namespace {

QDialog* busyWindow() {
    for (QWidget* w : QApplication::topLevelWidgets())
        if (w->objectName() == QLatin1String("HostBusyWindow")) return qobject_cast<QDialog*>(w);
    return nullptr;
}

TEST(ImageList, holdsAtLeastTwelveDistinctSmallIcons) {
    auto* list = static_cast<QList<QIcon>*>(KQGetKQImageList(1));
    ASSERT_NE(list, nullptr);
    EXPECT_EQ(KQGetKQImageList(1), list);  // one list, owned by the host
    ASSERT_GE(list->size(), 12);
    std::set<QByteArray> seen;
    for (const QIcon& icon : *list) {
        const QImage image = icon.pixmap(16, 16).toImage().convertToFormat(QImage::Format_ARGB32);
        ASSERT_FALSE(image.isNull());
        seen.insert(QByteArray(reinterpret_cast<const char*>(image.constBits()), image.sizeInBytes()));
    }
    EXPECT_EQ(seen.size(), static_cast<std::size_t>(list->size()));
}

TEST(BusyWindow, showsTitleAndTextUntilEnded) {
    BeginProcess(nullptr, "被审计单位数据包", "正在生成");
    QDialog* window = busyWindow();
    ASSERT_NE(window, nullptr);
    EXPECT_TRUE(window->isVisible());
    EXPECT_FALSE(window->isModal());
    EXPECT_EQ(window->windowTitle(), QStringLiteral("被审计单位数据包"));
    auto* label = window->findChild<QLabel*>();
    ASSERT_NE(label, nullptr);
    EXPECT_EQ(label->text(), QStringLiteral("正在生成"));
    auto* bar = window->findChild<QProgressBar*>();
    ASSERT_NE(bar, nullptr);
    EXPECT_EQ(bar->maximum(), 0);  // indeterminate

    ChangeTransInfo("第二步");
    EXPECT_EQ(label->text(), QStringLiteral("第二步"));
    HideProcess();
    EXPECT_FALSE(window->isVisible());
    EndProcess();
    EXPECT_EQ(busyWindow(), nullptr);
}

TEST(BusyWindow, endWithoutBeginIsHarmless) {
    EndProcess();
    HideProcess();
    ChangeTransInfo("x");
    EXPECT_EQ(busyWindow(), nullptr);
}

}  // namespace

int main(int argc, char** argv) {
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    ::testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
