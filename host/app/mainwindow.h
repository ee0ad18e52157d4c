#pragma once
// The host's main window: project menu, the plug-in's functions, the MDI area the plug-in's
// management window lives in, and the record of what the plug-in handed over.
#include "plugin.h"

#include <QMainWindow>

#include <memory>

namespace Ui {
class MainWindow;
}

namespace hostwork {

class MainWindow : public QMainWindow {
    Q_OBJECT
public:
    // quiet: report to standard error instead of message boxes (offscreen screenshots).
    MainWindow(const std::string& pluginPath, bool quiet, QWidget* parent = nullptr);
    ~MainWindow() override;

    void runPlugin(int code);
    void switchProject(const std::string& serial);
    // Saves the main window and every other visible top-level window; false when it fails.
    bool saveScreenshots(const QString& file);

protected:
    void closeEvent(QCloseEvent* event) override;

private:
    void chooseProject();
    void editProject();
    void refreshReceived();
    void refreshStatus();
    void report(const QString& text);

    std::unique_ptr<Ui::MainWindow> m_ui;
    Plugin m_plugin;
    bool m_quiet;
};

}  // namespace hostwork
