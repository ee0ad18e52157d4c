#include "ui/images.h"

#include <QPainter>
#include <QPixmap>
#include <QSvgRenderer>

#include "shell/hostapi.h"

// Resources of a static library are registered by hand, or the linker drops them.
static void initResources() { Q_INIT_RESOURCE(unitarc_ui); }

namespace unitarc::ui {

namespace {

// Rendered at the sizes the tree, the lists and the toolbar ask for, so that no size is
// scaled from another one.
QIcon svgIcon(const QString& name) {
    static const bool initialised = (initResources(), true);
    (void)initialised;
    QSvgRenderer renderer(QStringLiteral(":/unitarc/icons/%1.svg").arg(name));
    QIcon icon;
    for (int size : {16, 20, 24, 32}) {
        QPixmap pixmap(size, size);
        pixmap.fill(Qt::transparent);
        QPainter painter(&pixmap);
        renderer.render(&painter);
        painter.end();
        icon.addPixmap(pixmap);
    }
    return icon;
}

QList<QIcon> icons(std::initializer_list<const char*> names) {
    QList<QIcon> list;
    for (const char* name : names) list << svgIcon(QString::fromLatin1(name));
    return list;
}

}  // namespace

QList<QIcon> treeImages() {
    return icons({"folder", "file-pen", "table", "sheets", "sheet-chart", "clipboard-check", "clipboard",
                  "sheet-arrow"});
}

QList<QIcon> toolImages() { return icons({"tool-import", "tool-delete", "tool-edit", "tool-package", "tool-export"}); }

QList<QIcon> hostImages() {
    const auto* shared = static_cast<const QList<QIcon>*>(host::host().imageList(1));
    return shared ? *shared : QList<QIcon>();
}

}  // namespace unitarc::ui
