#include "mainwindow.h"

#include "hostsvc.h"
#include "projectdialog.h"
#include "ui_mainwindow.h"

#include <QApplication>
#include <QCloseEvent>
#include <QFileInfo>
#include <QInputDialog>
#include <QMessageBox>
#include <QPixmap>

#include <cstdio>

namespace hostwork {

namespace {
constexpr int kManage = 704;
constexpr int kPackage = 705;
constexpr int kShutDown = -999;
}  // namespace

MainWindow::MainWindow(const std::string& pluginPath, bool quiet, QWidget* parent)
    : QMainWindow(parent), m_ui(std::make_unique<Ui::MainWindow>()), m_plugin(pluginPath), m_quiet(quiet) {
    m_ui->setupUi(this);
    setCentralWidget(m_ui->mdiArea);
    resizeDocks({m_ui->dockReceived}, {150}, Qt::Vertical);
    connect(m_ui->actChooseProject, &QAction::triggered, this, &MainWindow::chooseProject);
    connect(m_ui->actEditProject, &QAction::triggered, this, &MainWindow::editProject);
    connect(m_ui->actExit, &QAction::triggered, this, &QWidget::close);
    connect(m_ui->actManage, &QAction::triggered, this, [this] { runPlugin(kManage); });
    connect(m_ui->actPackage, &QAction::triggered, this, [this] { runPlugin(kPackage); });
    // The plug-in hands things over in the middle of its own work: refresh afterwards.
    onReceived([this] { QMetaObject::invokeMethod(this, &MainWindow::refreshReceived, Qt::QueuedConnection); });
    refreshReceived();
    refreshStatus();
}

MainWindow::~MainWindow() { onReceived({}); }

void MainWindow::report(const QString& text) {
    if (m_quiet)
        std::fprintf(stderr, "hostwork: %s\n", qPrintable(text));
    else
        QMessageBox::warning(this, QApplication::applicationDisplayName(), text);
}

void MainWindow::runPlugin(int code) {
    if (!m_plugin.load()) {
        report(QStringLiteral("无法加载被审计单位插件：%1").arg(QString::fromStdString(m_plugin.error())));
        return;
    }
    const auto result = m_plugin.run(code);
    statusBar()->showMessage(QStringLiteral("RunAppEvn(%1) = %2").arg(code).arg(result.value_or(0)), 5000);
}

void MainWindow::switchProject(const std::string& serial) {
    if (serial == currentProject()) return;
    // The plug-in's windows show the old project: let it shut down before the switch.
    if (m_plugin.called() && !currentProject().empty()) m_plugin.run(kShutDown);
    closeConnections();
    setCurrentProject(serial);
    refreshStatus();
}

void MainWindow::chooseProject() {
    const auto serials = projects();
    if (serials.empty()) {
        QMessageBox::information(this, QApplication::applicationDisplayName(), QStringLiteral("工作区中没有项目。"));
        return;
    }
    QStringList items;
    int current = 0;
    for (std::size_t i = 0; i < serials.size(); ++i) {
        const ProjectInfo info = projectInfo(serials[i]);
        items << QStringLiteral("%1  %2").arg(QString::fromStdString(info.serial), QString::fromStdString(info.name));
        if (serials[i] == currentProject()) current = static_cast<int>(i);
    }
    bool ok = false;
    const QString chosen = QInputDialog::getItem(this, QStringLiteral("选择项目"), QStringLiteral("项目："), items,
                                                 current, false, &ok);
    if (!ok) return;
    const auto index = items.indexOf(chosen);
    if (index >= 0) switchProject(serials[static_cast<std::size_t>(index)]);
}

void MainWindow::editProject() {
    const std::string serial = currentProject();
    if (serial.empty()) {
        QMessageBox::information(this, QApplication::applicationDisplayName(), QStringLiteral("请先选择项目。"));
        return;
    }
    ProjectDialog dialog(projectInfo(serial), this);
    if (dialog.exec() != QDialog::Accepted) return;
    const ProjectInfo edited = dialog.info();
    try {
        updateProject(serial, edited.name, edited.auditedCorpId, edited.organId);
    } catch (const std::exception& e) {
        report(QString::fromStdString(e.what()));
    }
    refreshStatus();
}

void MainWindow::refreshReceived() {
    m_ui->lstReceived->clear();
    for (const Received& r : received()) {
        QStringList args;
        for (const auto& a : r.args) args << QString::fromStdString(a);
        m_ui->lstReceived->addItem(QString::fromStdString(r.what) + QStringLiteral("：") + args.join(QStringLiteral(" | ")));
    }
    m_ui->lstReceived->scrollToBottom();
}

void MainWindow::refreshStatus() {
    const std::string serial = currentProject();
    const QString text = serial.empty()
                             ? QStringLiteral("未打开项目")
                             : QStringLiteral("当前项目：%1  %2")
                                   .arg(QString::fromStdString(serial),
                                        QString::fromStdString(projectInfo(serial).name));
    statusBar()->showMessage(text);
    m_ui->actEditProject->setEnabled(!serial.empty());
}

bool MainWindow::saveScreenshots(const QString& file) {
    if (!grab().save(file)) return false;
    const QFileInfo info(file);
    int n = 0;
    for (QWidget* w : QApplication::topLevelWidgets()) {
        if (w == this || !w->isVisible() || w->windowType() == Qt::ToolTip || w->windowType() == Qt::Popup) continue;
        const QString name = QStringLiteral("%1/%2-%3.%4")
                                 .arg(info.path(), info.completeBaseName())
                                 .arg(++n)
                                 .arg(info.suffix().isEmpty() ? QStringLiteral("png") : info.suffix());
        if (w->grab().save(name)) std::printf("%s\n", qPrintable(name));
    }
    return true;
}

void MainWindow::closeEvent(QCloseEvent* event) {
    if (m_plugin.called() && !currentProject().empty()) m_plugin.run(kShutDown);
    event->accept();
}

}  // namespace hostwork
