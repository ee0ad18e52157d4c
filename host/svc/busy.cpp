// busyline: a small modeless progress window, or a line on standard error without widgets.
#include "svc/state.h"

#pragma GCC visibility push(default)
#include "shell/host_abi.h"
#pragma GCC visibility pop

#include <QApplication>
#include <QDialog>
#include <QLabel>
#include <QPointer>
#include <QProgressBar>
#include <QVBoxLayout>

#include <cstdio>

using hostwork::detail::str;

namespace {

QPointer<QDialog> g_window;
QPointer<QLabel> g_label;
std::string g_title;

bool hasWidgets() { return qobject_cast<QApplication*>(QCoreApplication::instance()) != nullptr; }

// Let the window paint although the caller keeps the event loop busy.
void paintNow() { QCoreApplication::processEvents(QEventLoop::ExcludeUserInputEvents); }

void say(const std::string& text) { std::fprintf(stderr, "%s: %s\n", g_title.c_str(), text.c_str()); }

}  // namespace

extern "C" {

void BeginProcess(void* /*owner*/, const char* title, const char* text) {
    g_title = str(title);
    if (!hasWidgets()) {
        say(str(text));
        return;
    }
    if (!g_window) {
        auto* window = new QDialog(QApplication::activeWindow(), Qt::Dialog | Qt::WindowTitleHint);
        window->setObjectName(QStringLiteral("HostBusyWindow"));
        window->setModal(false);
        auto* layout = new QVBoxLayout(window);
        auto* label = new QLabel(window);
        label->setMinimumWidth(320);
        auto* bar = new QProgressBar(window);
        bar->setRange(0, 0);  // indeterminate
        layout->addWidget(label);
        layout->addWidget(bar);
        g_window = window;
        g_label = label;
    }
    g_window->setWindowTitle(QString::fromStdString(g_title));
    g_label->setText(QString::fromStdString(str(text)));
    g_window->show();
    g_window->raise();
    paintNow();
}

void ChangeTransInfo(const char* text) {
    if (!g_window) {
        if (!hasWidgets()) say(str(text));
        return;
    }
    g_label->setText(QString::fromStdString(str(text)));
    paintNow();
}

void HideProcess(void) {
    if (g_window) g_window->hide();
}

void EndProcess(void) {
    delete g_window.data();
    g_title.clear();
}

}  // extern "C"
