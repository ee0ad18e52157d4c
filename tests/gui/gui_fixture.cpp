#include "tests/gui/gui_fixture.h"

#include <QAbstractItemModel>
#include <QApplication>
#include <QHeaderView>
#include <QPixmap>
#include <QTableView>
#include <QTest>
#include <QTreeView>

#include "package/import.h"
#include "platform/text.h"
#include "ui/resourcetreemodel.h"

namespace unitarc::test {

ModalAnswer::ModalAnswer(std::function<void(QDialog&)> act) : m_act(std::move(act)) {
    QObject::connect(&m_timer, &QTimer::timeout, [this] {
        if (auto* dialog = qobject_cast<QDialog*>(QApplication::activeModalWidget())) {
            m_timer.stop();
            m_answered = true;
            m_title = dialog->windowTitle();
            m_act(*dialog);
            if (dialog->isVisible()) dialog->reject();
            return;
        }
        if (++m_tries > 500) {
            m_timer.stop();
            ADD_FAILURE() << "no modal dialog came up";
        }
    });
    m_timer.start(10);
}

ModalAnswer::~ModalAnswer() { m_timer.stop(); }

WindowTest::WindowTest() {
    // Two host images, told apart by colour, for indexes 8 and 9.
    for (const QColor& colour : {QColor(Qt::red), QColor(Qt::green)}) {
        QPixmap pixmap(16, 16);
        pixmap.fill(colour);
        hostIcons << QIcon(pixmap);
    }
    fake.setImageList(&hostIcons);
}

WindowTest::~WindowTest() = default;

std::string WindowTest::zip(const PackageBuilder& p) { return p.write(archives / (p.code() + ".zip")); }

void WindowTest::importAll(const std::vector<PackageBuilder>& packages) {
    std::vector<std::string> files;
    for (const PackageBuilder& p : packages) files.push_back(zip(p));
    const auto outcome = package::importPackages(*dm, files);
    ASSERT_EQ(outcome.imported, static_cast<int>(packages.size())) << package::importSummary(outcome);
}

void WindowTest::addEntity(const std::string& code, const std::string& name, int deptIndex) {
    dm->conUNITARC.execute("insert into AuditedDeptInfo (AuditedDeptCode, AuditedDeptName, DeptIndex) values (" +
                           text::quoted(code) + ", " + text::quoted(name) + ", " + std::to_string(deptIndex) + ")");
}

void WindowTest::addRow(const std::string& table, const std::string& code, const Row& row) {
    dm->conUNITARC.execute("insert into " + table +
                           " (AuditedDeptCode, DirID, PDirID, DirIndex, FileTag, Name, ImageIndex, CanVisible) values (" +
                           text::quoted(code) + ", " + text::quoted(row.dirId) + ", " + text::quoted(row.pDirId) + ", " +
                           std::to_string(row.dirIndex) + ", " + std::to_string(row.fileTag) + ", " +
                           text::quoted(row.name) + ", " + std::to_string(row.image) + ", " +
                           std::to_string(row.visible) + ")");
}

ui::TKQFrm_BSJDWManage& WindowTest::window() {
    if (!m_window) {
        m_window = std::make_unique<ui::TKQFrm_BSJDWManage>(*dm);
        m_window->resize(1000, 640);
        m_window->show();
        QCoreApplication::processEvents();
    }
    return *m_window;
}

QTreeView* WindowTest::tree() { return window().findChild<QTreeView*>(QStringLiteral("tvwResource")); }

QTableView* WindowTest::grid(const char* name) { return window().findChild<QTableView*>(QString::fromLatin1(name)); }

QWidget* WindowTest::page(const char* name) { return window().findChild<QWidget*>(QString::fromLatin1(name)); }

const store::TreeNode* WindowTest::nodeAt(const std::vector<std::string>& texts) {
    const store::TreeNode* node = window().treeModel().tree().firstNode();
    for (const std::string& text : texts) {
        if (!node) return nullptr;
        const store::TreeNode* found = nullptr;
        for (const auto& child : node->children())
            if (child->text == text) {
                found = child.get();
                break;
            }
        node = found;
    }
    return node;
}

void WindowTest::select(const store::TreeNode* node) {
    tree()->setCurrentIndex(window().treeModel().indexOf(node));
    QCoreApplication::processEvents();
}

void WindowTest::doubleClickRow(QTableView* view, int row) {
    int column = 0;
    while (column < view->model()->columnCount() && view->isColumnHidden(column)) ++column;
    const QModelIndex index = view->model()->index(row, column);
    view->scrollTo(index);
    const QPoint centre = view->visualRect(index).center();
    QTest::mouseClick(view->viewport(), Qt::LeftButton, {}, centre);
    QTest::mouseDClick(view->viewport(), Qt::LeftButton, {}, centre);
    QCoreApplication::processEvents();
}

QStringList WindowTest::shownColumns(QTableView* view) {
    QStringList shown;
    for (int column = 0; column < view->model()->columnCount(); ++column)
        if (!view->isColumnHidden(column)) shown << view->model()->headerData(column, Qt::Horizontal).toString();
    return shown;
}

std::vector<std::string> WindowTest::modelLines(const QAbstractItemModel& model) {
    std::vector<std::string> lines;
    std::function<void(const QModelIndex&, int)> walk = [&](const QModelIndex& parent, int level) {
        for (int row = 0; row < model.rowCount(parent); ++row) {
            const QModelIndex index = model.index(row, 0, parent);
            std::string line(2 * static_cast<std::size_t>(level), ' ');
            line += index.data().toString().toStdString() + "\t";
            const QVariant kind = index.data(ui::ResourceTreeModel::KindRole);
            if (kind.isValid())
                line += std::to_string(kind.toInt()) + "\t" +
                        index.data(ui::ResourceTreeModel::KeyRole).toString().toStdString();
            else
                line += "\t";
            line += "\t" + std::to_string(index.data(ui::ResourceTreeModel::ImageIndexRole).toInt());
            lines.push_back(std::move(line));
            walk(index, level + 1);
        }
    };
    walk({}, 0);
    return lines;
}

}  // namespace unitarc::test
