#pragma once
// The scripted demo: drives the plug-in's management window without anyone at the keyboard.
#include <QString>

namespace hostwork {

class MainWindow;

// Opens the management window, imports the workspace's sample packages (packages/*.zip)
// through a scripted prompt, selects a node of every kind, runs the package and template
// dialogs, and saves a screenshot of each step into outDir, printing each path and every
// message the plug-in showed. Ends the application's event loop with 0, or 1 when a step
// failed.
void runDemoScript(MainWindow& window, const QString& pluginPath, const QString& workspace, const QString& outDir);

}  // namespace hostwork
