#include "ui/untKQFrm_BSJDWManage.h"

#include <QApplication>
#include <QMainWindow>
#include <QMdiArea>
#include <QMdiSubWindow>

#include "ui_untKQFrm_BSJDWManage.h"

namespace unitarc::ui {

namespace {

// The host's MDI area: the central widget of a main window, else any MDI area of a
// top-level window.
QMdiArea* hostMdiArea() {
    const auto topLevels = QApplication::topLevelWidgets();
    for (QWidget* w : topLevels)
        if (auto* main = qobject_cast<QMainWindow*>(w))
            if (auto* mdi = qobject_cast<QMdiArea*>(main->centralWidget())) return mdi;
    for (QWidget* w : topLevels)
        if (auto* mdi = w->findChild<QMdiArea*>()) return mdi;
    return nullptr;
}

}  // namespace

TKQFrm_BSJDWManage::TKQFrm_BSJDWManage(QWidget* parent)
    : QWidget(parent), m_ui(std::make_unique<Ui::TKQFrm_BSJDWManage>()) {
    m_ui->setupUi(this);
    setObjectName(kName);
    setAttribute(Qt::WA_DeleteOnClose);
}

TKQFrm_BSJDWManage::~TKQFrm_BSJDWManage() = default;

TKQFrm_BSJDWManage* TKQFrm_BSJDWManage::find() {
    const auto widgets = QApplication::allWidgets();
    for (QWidget* w : widgets)
        if (w->objectName() == QLatin1String(kName))
            if (auto* window = qobject_cast<TKQFrm_BSJDWManage*>(w)) return window;
    return nullptr;
}

void TKQFrm_BSJDWManage::showInHost() {
    const bool becomesVisible = !isVisible();
    if (!parentWidget()) {
        if (QMdiArea* mdi = hostMdiArea()) {
            QMdiSubWindow* frame = mdi->addSubWindow(this);
            frame->setAttribute(Qt::WA_DeleteOnClose);
        }
    }
    if (auto* frame = qobject_cast<QMdiSubWindow*>(parentWidget())) {
        frame->showMaximized();
        frame->raise();
        if (QMdiArea* mdi = frame->mdiArea()) mdi->setActiveSubWindow(frame);
    } else {
        show();
        raise();
        activateWindow();
    }
    if (becomesVisible) reloadTree(QString());
}

void TKQFrm_BSJDWManage::closeInHost() {
    auto* frame = qobject_cast<QMdiSubWindow*>(parentWidget());
    const bool closed = frame ? frame->close() : close();
    // Freed later by the event loop: not to be found again meanwhile.
    if (closed) setObjectName(QString());
}

void TKQFrm_BSJDWManage::reloadTree(const QString&) { ++m_reloadCount; }

}  // namespace unitarc::ui
