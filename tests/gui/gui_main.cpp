// One fixed environment for every window test: offscreen, Fusion style, no desktop
// settings, the Chinese locale and the CJK font the windows use.
#include <gtest/gtest.h>

#include <QApplication>
#include <QFont>
#include <QLocale>
#include <QStyleFactory>

int main(int argc, char** argv) {
    qputenv("QT_QPA_PLATFORM", "offscreen");
    qunsetenv("QT_QPA_PLATFORMTHEME");
    qunsetenv("QT_STYLE_OVERRIDE");
    QApplication::setDesktopSettingsAware(false);
    QApplication app(argc, argv);
    QApplication::setStyle(QStyleFactory::create(QStringLiteral("Fusion")));
    QApplication::setApplicationName(QStringLiteral("Hostwork"));
    QApplication::setApplicationDisplayName(QStringLiteral("Hostwork"));
    QApplication::setFont(QFont(QStringLiteral("WenQuanYi Micro Hei"), 9));
    QLocale::setDefault(QLocale(QLocale::Chinese, QLocale::China));
    ::testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
