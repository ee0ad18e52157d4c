#pragma once
// The management window: the entity tree and its lists, the import, delete, template and
// package actions. Lives in the host's MDI area.
#include <QIcon>
#include <QList>
#include <QStringList>
#include <QWidget>

#include <memory>

#include "platform/db.h"
#include "shell/untKQDM_BSJDW.h"
#include "store/tree.h"

class QModelIndex;
class QStandardItemModel;

namespace Ui {
class TKQFrm_BSJDWManage;
}

namespace unitarc::ui {

class QueryModel;
class ResourceTreeModel;

class TKQFrm_BSJDWManage : public QWidget {
    Q_OBJECT
    // Readable by tests that reach the window only through the library's exports.
    Q_PROPERTY(int reloadCount READ reloadCount)

public:
    // The component name by which the entry finds the window again.
    static constexpr const char* kName = "KQFrm_BSJDWManage";

    // On the library's data module.
    explicit TKQFrm_BSJDWManage(QWidget* parent = nullptr);
    // On a data module of the caller's, which must outlive the window.
    explicit TKQFrm_BSJDWManage(TKQDM_BSJDW& dm, QWidget* parent = nullptr);
    ~TKQFrm_BSJDWManage() override;

    // The open management window, when there is one.
    static TKQFrm_BSJDWManage* find();

    // Shows the window maximised in the host's MDI area (a top-level window when the host
    // has none) and brings it to the front. The tree loads the first time the window
    // becomes visible, so showing an open window again does not reload it.
    void showInHost();
    // Closes the window together with its MDI frame; it is freed and no longer found.
    void closeInHost();

    // Rebuilds the whole tree and selects the root; the verb names what caused it ("导入",
    // "删除", "保存") in the busy window. Nodes that could not be made are reported in error
    // boxes. An error of the core reaches the caller after the busy window closed. 0.
    int reloadTree(const QString& verb);
    int reloadCount() const { return m_reloadCount; }

    // The selected node, its kind (-1 when none) and the code of its entity (the key of its
    // ancestor at level 1; "" when there is none).
    store::TreeNode* selectedNode() const;
    int selectionKind() const;
    QString entityCodeOfSelection() const;
    // Selects the node, expands it and scrolls it into view; null clears the selection.
    void selectNode(const store::TreeNode* node);

    // Opens the common list: 1, or -1 when the statement failed (the list is then empty).
    int openList(const QString& sql);
    // The fields the common list shows: those of the selected kind when it was last opened.
    const QStringList& visibleColumns() const { return m_visibleColumns; }

    ResourceTreeModel& treeModel() const { return *m_treeModel; }
    // imgListTree: the window's eight images followed by the host's.
    const QList<QIcon>& imgListTree() const { return m_imgListTree; }

protected:
    void showEvent(QShowEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void FormCreate();
    void FormShow();
    void tvwResourceChange();
    void qryViewAfterOpen();
    void grdViewDblClick();
    void grdDeptResListDblClick();
    void actImportExecute();
    void actDeleteExecute();
    void actExportModExecute();
    void actEditExecute();
    void ActPackageExecute();

    // The pages of a single material.
    void showBaseInfo(const store::TreeNode* node);
    void showFinanceData(const store::TreeNode* node);
    void showMaterial(const store::TreeNode* node);
    void showProjectInfo(const store::TreeNode* node);

    // The node of the selection when it carries a record, else null.
    store::TreeNode* selectedRecordNode() const;

    TKQDM_BSJDW& m_dm;
    std::unique_ptr<Ui::TKQFrm_BSJDWManage> m_ui;
    db::Query qryTemp, qryAuditedDept, qryView, qryResourceInfo;
    ResourceTreeModel* m_treeModel = nullptr;
    QueryModel* m_viewModel = nullptr;
    QStandardItemModel* cdsDeptResList = nullptr;
    QList<QIcon> m_imgListTree;
    QStringList m_visibleColumns;
    int m_reloadCount = 0;
    bool m_loaded = false;
};

}  // namespace unitarc::ui
