#include "demoscript.h"

#include "mainwindow.h"

#include <dlfcn.h>

#include <QAbstractItemModel>
#include <QAction>
#include <QApplication>
#include <QDialog>
#include <QDir>
#include <QPushButton>
#include <QTimer>
#include <QTreeView>
#include <QTreeWidget>

#include <cstdio>
#include <functional>
#include <memory>
#include <set>
#include <utility>
#include <vector>

#include "ui/prompt_scripted.h"
#include "ui/resourcetreemodel.h"

namespace hostwork {

namespace {

using unitarc::ui::ResourceTreeModel;
using unitarc::ui::ScriptedPrompt;

constexpr int kManage = 704;
constexpr int kPaintMs = 150;       // time for a page to lay out and paint before its picture
constexpr int kDialogUpMs = 300;    // time for a modal dialog to come up

class Demo {
public:
    Demo(MainWindow& window, QString pluginPath, QString workspace, QString outDir)
        : m_window(window), m_pluginPath(std::move(pluginPath)), m_workspace(std::move(workspace)),
          m_out(std::move(outDir)) {}

    // The steps run one after the other from the event loop, so that every page paints.
    void start() {
        m_steps = {[this] { openManager(); },      [this] { shoot("01-manager"); },
                   [this] { importPackages(); },   [this] { shoot("02-imported"); },
                   [this] { selectEveryKind(); },  [this] { runPackageDialog(); },
                   [this] { shoot("21-packaged"); },
                   [this] { runTemplateDialog(); }, [this] { shoot("23-template-exported"); },
                   [this] { finish(); }};
        next();
    }

private:
    void next() {
        if (m_step >= m_steps.size()) return;
        auto step = m_steps[m_step++];
        QTimer::singleShot(kPaintMs, &m_window, [this, step] {
            step();
            next();
        });
    }

    void fail(const QString& why) {
        std::fprintf(stderr, "hostwork demo: %s\n", qPrintable(why));
        m_failed = true;
    }

    void report() {
        for (const auto& shown : m_prompt.shown) {
            if (shown.kind == ScriptedPrompt::Kind::OpenFiles) continue;
            QString text = shown.text;
            std::printf("message: %s\n", qPrintable(text.replace(QStringLiteral("\r\n"), QStringLiteral(" / "))));
        }
        m_prompt.clear();
    }

    bool save(QWidget& widget, const QString& name) {
        const QString file = QDir(m_out).filePath(name + QStringLiteral(".png"));
        if (!widget.grab().save(file)) {
            fail(QStringLiteral("cannot write ") + file);
            return false;
        }
        std::printf("screenshot: %s\n", qPrintable(file));
        return true;
    }
    void shoot(const QString& name) { save(m_window, name); }

    void openManager() {
        // The plug-in's message boxes are answered by the script from now on.
        void* handle = dlopen(m_pluginPath.toLocal8Bit().constData(), RTLD_NOW | RTLD_NOLOAD);
        if (!handle) handle = dlopen(m_pluginPath.toLocal8Bit().constData(), RTLD_NOW);
        auto install = handle ? reinterpret_cast<void (*)(void*)>(dlsym(handle, "UnitarcInstallPrompt")) : nullptr;
        if (!install) return fail(QStringLiteral("the plug-in has no prompt seam: ") + m_pluginPath);
        install(&m_prompt);
        m_install = install;
        m_window.runPlugin(kManage);
        for (QWidget* w : QApplication::allWidgets())
            if (w->objectName() == QLatin1String("KQFrm_BSJDWManage")) m_manager = w;
        if (!m_manager) return fail(QStringLiteral("the management window did not open"));
        m_tree = m_manager->findChild<QTreeView*>(QStringLiteral("tvwResource"));
        report();
    }

    void trigger(const char* action) {
        if (!m_manager) return;
        if (auto* a = m_manager->findChild<QAction*>(QString::fromLatin1(action)))
            a->trigger();
        else
            fail(QStringLiteral("no action ") + QString::fromLatin1(action));
    }

    void importPackages() {
        const QDir packages(QDir(m_workspace).filePath(QStringLiteral("packages")));
        QStringList files;
        for (const QString& name : packages.entryList({QStringLiteral("*.zip")}, QDir::Files, QDir::Name))
            files << packages.filePath(name);
        if (files.isEmpty()) std::printf("demo: no sample packages in %s\n", qPrintable(packages.path()));
        m_prompt.fileAnswers = {files};
        trigger("actImport");
        report();
    }

    // The first node of every kind, folder and file apart, in the tree's order.
    std::vector<std::pair<QString, QModelIndex>> nodesOfEveryKind() const {
        std::vector<std::pair<QString, QModelIndex>> found;
        if (!m_tree || !m_tree->model()) return found;
        const QAbstractItemModel& model = *m_tree->model();
        std::set<std::pair<int, int>> seen;
        std::function<void(const QModelIndex&)> walk = [&](const QModelIndex& parent) {
            for (int row = 0; row < model.rowCount(parent); ++row) {
                const QModelIndex index = model.index(row, 0, parent);
                const int kind = index.data(ResourceTreeModel::KindRole).toInt();
                const int fileTag = index.data(ResourceTreeModel::FileTagRole).toInt();
                if (seen.insert({kind, fileTag}).second)
                    found.emplace_back(QStringLiteral("kind%1-%2").arg(kind).arg(fileTag ? QStringLiteral("file")
                                                                                          : QStringLiteral("list")),
                                       index);
                walk(index);
            }
        };
        walk({});
        return found;
    }

    void select(const QModelIndex& index) {
        m_tree->setCurrentIndex(index);
        m_tree->scrollTo(index);
        QApplication::processEvents();
    }

    void selectEveryKind() {
        int n = 3;
        for (const auto& [name, index] : nodesOfEveryKind()) {
            select(index);
            // Let the page lay out before its picture.
            QApplication::processEvents();
            shoot(QStringLiteral("%1-%2").arg(n++, 2, 10, QLatin1Char('0')).arg(name));
        }
        report();
    }

    // The first entity: the actions that need one work on it.
    bool selectEntity() {
        if (!m_tree || !m_tree->model()) return false;
        const QModelIndex root = m_tree->model()->index(0, 0);
        const QModelIndex entity = m_tree->model()->index(0, 0, root);
        if (!entity.isValid()) return false;
        select(entity);
        return true;
    }

    // Runs act on the next modal dialog once it is up; the dialog is closed afterwards.
    void whenDialogUp(std::function<void(QDialog&)> act) {
        QTimer::singleShot(kDialogUpMs, &m_window, [this, act] {
            auto* dialog = qobject_cast<QDialog*>(QApplication::activeModalWidget());
            if (!dialog) return fail(QStringLiteral("no dialog came up"));
            act(*dialog);
            if (dialog->isVisible()) dialog->reject();
        });
    }

    void runPackageDialog() {
        if (!selectEntity()) return;
        whenDialogUp([this](QDialog& dialog) {
            save(dialog, QStringLiteral("20-package-dialog"));
            if (auto* all = dialog.findChild<QPushButton*>(QStringLiteral("btnAll"))) all->click();
        });
        trigger("ActPackage");
        report();
    }

    void runTemplateDialog() {
        if (!selectEntity()) return;
        whenDialogUp([this](QDialog& dialog) {
            save(dialog, QStringLiteral("22-template-dialog"));
            if (auto* exportButton = dialog.findChild<QPushButton*>(QStringLiteral("btnExportMod"))) exportButton->click();
        });
        trigger("actExportMod");
        report();
    }

    void finish() {
        if (m_install) m_install(nullptr);
        QCoreApplication::exit(m_failed ? 1 : 0);
    }

    MainWindow& m_window;
    QString m_pluginPath, m_workspace, m_out;
    ScriptedPrompt m_prompt;
    void (*m_install)(void*) = nullptr;
    QWidget* m_manager = nullptr;
    QTreeView* m_tree = nullptr;
    std::vector<std::function<void()>> m_steps;
    std::size_t m_step = 0;
    bool m_failed = false;
};

}  // namespace

void runDemoScript(MainWindow& window, const QString& pluginPath, const QString& workspace, const QString& outDir) {
    QDir().mkpath(outDir);
    // Lives as long as the program: the plug-in keeps the prompt installed until it unloads.
    static std::unique_ptr<Demo> demo;
    demo = std::make_unique<Demo>(window, pluginPath, workspace, outDir);
    demo->start();
}

}  // namespace hostwork
