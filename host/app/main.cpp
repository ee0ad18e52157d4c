// hostwork: the reference host program.
#include "demo.h"
#include "demoscript.h"
#include "hostsvc.h"
#include "mainwindow.h"

#include <QApplication>
#include <QCommandLineParser>
#include <QDir>
#include <QFileInfo>
#include <QTimer>

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <exception>

namespace {

struct Options {
    QCommandLineOption workspace{QStringLiteral("workspace"), QStringLiteral("Workspace folder."), QStringLiteral("DIR")};
    QCommandLineOption project{QStringLiteral("project"), QStringLiteral("Current project serial."),
                               QStringLiteral("SERIAL")};
    QCommandLineOption openManager{QStringLiteral("open-manager"), QStringLiteral("Open the management window.")};
    QCommandLineOption initDemo{QStringLiteral("init-demo"), QStringLiteral("Create a demo workspace and exit."),
                                QStringLiteral("DIR")};
    QCommandLineOption screenshot{QStringLiteral("screenshot"),
                                  QStringLiteral("Open the management window, save the window to FILE and exit."),
                                  QStringLiteral("FILE")};
    QCommandLineOption demoScript{QStringLiteral("demo-script"),
                                  QStringLiteral("Drive the management window through a scripted import, a node of every "
                                                 "kind and the package and template dialogs; save screenshots into DIR "
                                                 "and exit."),
                                  QStringLiteral("DIR")};

    void addTo(QCommandLineParser& parser) {
        parser.setApplicationDescription(QStringLiteral("Reference host for the audited-entity plug-in."));
        parser.addHelpOption();
        parser.addOptions({workspace, project, openManager, initDemo, screenshot, demoScript});
    }
};

// Time the management window gets to load and paint before the screenshot.
constexpr int kScreenshotDelayMs = 2500;

int initDemo(int argc, char** argv) {
    QCoreApplication app(argc, argv);
    QCoreApplication::setApplicationName(QStringLiteral("Hostwork"));
    QCommandLineParser parser;
    Options options;
    options.addTo(parser);
    parser.process(app);
    const std::string dir = parser.value(options.initDemo).toStdString();
    try {
        hostwork::initDemo(dir);
    } catch (const std::exception& e) {
        std::fprintf(stderr, "hostwork: %s\n", e.what());
        return 1;
    }
    std::printf("%s\n", hostwork::workspace().c_str());
    return 0;
}

}  // namespace

int main(int argc, char** argv) {
    // The demo needs no display, so it runs before any window system is touched.
    if (std::any_of(argv + 1, argv + argc, [](const char* a) {
            return std::strcmp(a, "--init-demo") == 0 || std::strncmp(a, "--init-demo=", 12) == 0;
        }))
        return initDemo(argc, argv);

    QApplication app(argc, argv);
    QApplication::setApplicationName(QStringLiteral("Hostwork"));
    QApplication::setApplicationDisplayName(QStringLiteral("Hostwork"));
    QCommandLineParser parser;
    Options options;
    options.addTo(parser);
    parser.process(app);

    try {
        hostwork::openWorkspace(parser.isSet(options.workspace) ? parser.value(options.workspace).toStdString()
                                                                : hostwork::defaultWorkspace());
    } catch (const std::exception& e) {
        std::fprintf(stderr, "hostwork: %s\n", e.what());
        return 1;
    }
    if (parser.isSet(options.project)) {
        const std::string serial = parser.value(options.project).toStdString();
        const auto all = hostwork::projects();
        if (std::find(all.begin(), all.end(), serial) != all.end())
            hostwork::setCurrentProject(serial);
        else
            std::fprintf(stderr, "hostwork: no project %s in %s\n", serial.c_str(), hostwork::workspace().c_str());
    }

    const bool screenshot = parser.isSet(options.screenshot);
    const bool demoScript = parser.isSet(options.demoScript);
    const QString pluginPath = QDir(QCoreApplication::applicationDirPath()).filePath(QStringLiteral("libUNITARC.so"));
    hostwork::MainWindow window(pluginPath.toStdString(), screenshot || demoScript);
    if (demoScript) window.resize(1280, 800);
    window.show();

    if (demoScript) {
        const QString dir = QFileInfo(parser.value(options.demoScript)).absoluteFilePath();
        QTimer::singleShot(0, &window, [&window, pluginPath, dir] {
            hostwork::runDemoScript(window, pluginPath, QString::fromStdString(hostwork::workspace()), dir);
        });
        return app.exec();
    }

    if (parser.isSet(options.openManager) || screenshot)
        QTimer::singleShot(0, &window, [&window] { window.runPlugin(704); });
    if (screenshot) {
        const QString file = QFileInfo(parser.value(options.screenshot)).absoluteFilePath();
        // Scheduled before the plug-in runs: a message box it leaves open must not stop us.
        QTimer::singleShot(kScreenshotDelayMs, &window, [&window, file] {
            const bool saved = window.saveScreenshots(file);
            if (saved) std::printf("%s\n", qPrintable(file));
            for (int i = 0; i < 10 && QApplication::activeModalWidget(); ++i) QApplication::activeModalWidget()->close();
            QTimer::singleShot(0, &window, [&window, saved] {
                window.close();
                QCoreApplication::exit(saved ? 0 : 1);
            });
        });
    }
    return app.exec();
}
