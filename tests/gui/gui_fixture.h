#pragma once
// The management window on a fake host: a workspace with the data module open, the scripted
// prompt installed, packages imported through the core, and short ways to reach the window's
// parts by their component names.
#include <gtest/gtest.h>

#include <QDialog>
#include <QIcon>
#include <QList>
#include <QStringList>
#include <QTimer>

#include <functional>
#include <ostream>
#include <memory>
#include <string>
#include <vector>

#include "shell/untKQDM_BSJDW.h"
#include "store/tree.h"
#include "tests/support/builder/package_builder.h"
#include "tests/support/fakehost.h"
#include "tests/support/tempdir.h"
#include "ui/prompt_scripted.h"
#include "ui/untKQFrm_BSJDWManage.h"

class QAbstractItemModel;
class QAbstractItemView;
class QModelIndex;
class QTableView;
class QTreeView;

// Readable failure messages for Qt's texts.
inline void PrintTo(const QString& s, std::ostream* os) { *os << '"' << s.toStdString() << '"'; }
inline void PrintTo(const QStringList& list, std::ostream* os) {
    *os << "{";
    for (const QString& s : list) *os << ' ' << '"' << s.toStdString() << '"';
    *os << " }";
}

namespace unitarc::test {

using Kind = ui::ScriptedPrompt::Kind;

// Answers the next modal dialog: act runs once the dialog is shown, then the dialog is
// rejected unless act closed it. Gives up (a test failure) after five seconds.
class ModalAnswer {
public:
    explicit ModalAnswer(std::function<void(QDialog&)> act);
    ~ModalAnswer();
    ModalAnswer(const ModalAnswer&) = delete;
    ModalAnswer& operator=(const ModalAnswer&) = delete;
    bool answered() const { return m_answered; }
    const QString& title() const { return m_title; }

private:
    QTimer m_timer;
    std::function<void(QDialog&)> m_act;
    int m_tries = 0;
    bool m_answered = false;
    QString m_title;
};

class WindowTest : public FakeHostTest {
protected:
    WindowTest();
    ~WindowTest() override;

    // --- data
    std::string zip(const PackageBuilder& p);
    void importAll(const std::vector<PackageBuilder>& packages);
    void addEntity(const std::string& code, const std::string& name, int deptIndex);
    struct Row {
        std::string dirId, pDirId, name;
        int dirIndex = 0;
        int fileTag = 0;
        int image = 0;
        int visible = 1;
    };
    void addRow(const std::string& table, const std::string& code, const Row& row);

    // --- the window, created and shown (which loads the tree) on first use
    ui::TKQFrm_BSJDWManage& window();
    QTreeView* tree();
    QTableView* grid(const char* name);
    QWidget* page(const char* name);
    // The node reached from the root through children with these texts.
    const store::TreeNode* nodeAt(const std::vector<std::string>& texts);
    // Selects as the user does: the view's current index.
    void select(const store::TreeNode* node);
    // Double-clicks the row of a grid with the mouse.
    void doubleClickRow(QTableView* view, int row);
    // The titles of the grid's columns that are not hidden.
    QStringList shownColumns(QTableView* view);
    // Every node of a model as the core prints its tree: indent, text, kind, key, image.
    static std::vector<std::string> modelLines(const QAbstractItemModel& model);

    std::unique_ptr<TKQDM_BSJDW> dm = fake.openDataModule();
    ui::ScriptedPrompt prompt;
    ui::ScopedPrompt promptInstalled{prompt};
    QList<QIcon> hostIcons;
    TempDir archives;

private:
    std::unique_ptr<ui::TKQFrm_BSJDWManage> m_window;
};

}  // namespace unitarc::test
