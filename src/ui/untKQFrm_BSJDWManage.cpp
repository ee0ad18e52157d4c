#include "ui/untKQFrm_BSJDWManage.h"

#include <QApplication>
#include <QHeaderView>
#include <QMainWindow>
#include <QMdiArea>
#include <QMdiSubWindow>
#include <QMouseEvent>
#include <QShowEvent>
#include <QStandardItemModel>
#include <QToolButton>

#include <algorithm>
#include <exception>
#include <string>
#include <vector>

#include "package/import.h"
#include "package/reload.h"
#include "platform/text.h"
#include "store/records.h"
#include "ui/guard.h"
#include "ui/images.h"
#include "ui/prompt.h"
#include "ui/querymodel.h"
#include "ui/resourcetreemodel.h"
#include "ui/untKQFrm_BSJDWExport.h"
#include "ui/untKQFrm_BSJDWGetFinanceDataMod.h"
#include "ui_untKQFrm_BSJDWManage.h"

namespace unitarc::ui {

namespace {

constexpr int kRoot = 0;
constexpr int kEntity = 1;
constexpr int kBaseInfo = 2;
constexpr int kFinanceData = 3;
constexpr int kAuditRes = 6;

constexpr int kMinColumnWidth = 100;
constexpr int kMaxColumnWidth = 150;
constexpr int kDeptResColumnWidth = 347;
constexpr int kTreeWidth = 197;

const char* const kCategoryRows[] = {"基本信息", "财务数据", "财务资料", "业务资料", "审计资料"};

constexpr const char* kEntityListSql =
    "Select AuditedDeptCode as 被审计单位编码, AuditedDeptName as 被审计单位名称 from AuditedDeptInfo order by "
    "DeptIndex";
constexpr const char* kEntityCodeColumn = "被审计单位编码";
constexpr const char* kDirIdColumn = "DirID";

// The list of a folder's contents and the row of a single material, by kind 3 to 6.
constexpr const char* kFolderListSql[] = {
    "select DirID, Name as 数据分类 from FinanceDataInfo where PDirID = ",
    "select DirID, Name as 资料分类,财务资料名称,财务资料日期 from FinanceResourceInfo where PDirID = ",
    "select DirID, Name as 资料分类,业务资料名称,业务资料日期 from TransResourceInfo where PDirID = ",
    "select DirID, Name as 资料分类,项目编号,标题,类型,文号,发文单位,抄送单位,成文时间,归档时间,主题词,摘要,审计机关代码 "
    "from AuditResourceInfo where PDirID = ",
};
constexpr const char* kMaterialSql[] = {
    "Select * from FinanceDataInfo where DirID=",
    "Select * from FinanceResourceInfo where DirID=",
    "Select * from TransResourceInfo where DirID=",
    "Select * from AuditResourceInfo where DirID=",
};

constexpr const char* kProjectInfoFolder = "项目基本信息";
constexpr int kProjectInfoFolderLevel = 4;

constexpr const char* kChooseEntity = "请选择被审计单位！";
constexpr const char* kImportTitle = "导入被审计单位数据包";
constexpr const char* kImportFilter = "下载的被审计单位数据包(*.zip);;所有文件 (*.*)";
constexpr const char* kImportFailed = "导入被审计单位资料树失败！";

// The fields the common list shows, by the kind of the selected node.
QStringList visibleColumnsOf(int kind) {
    switch (kind) {
    case 0:
        return {QStringLiteral("被审计单位名称")};
    case 3:
        return {QStringLiteral("数据分类")};
    case 4:
        return {QStringLiteral("资料分类"), QStringLiteral("财务资料名称"), QStringLiteral("财务资料日期")};
    case 5:
        return {QStringLiteral("资料分类"), QStringLiteral("业务资料名称"), QStringLiteral("业务资料日期")};
    case 6:
        return {QStringLiteral("资料分类"), QStringLiteral("标题"),     QStringLiteral("类型"),
                QStringLiteral("文号"),     QStringLiteral("发文单位"), QStringLiteral("抄送单位"),
                QStringLiteral("成文时间"), QStringLiteral("归档时间"), QStringLiteral("主题词"),
                QStringLiteral("摘要")};
    default:
        return {};
    }
}

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

QString qs(const std::string& s) { return QString::fromStdString(s); }

}  // namespace

TKQFrm_BSJDWManage::TKQFrm_BSJDWManage(QWidget* parent) : TKQFrm_BSJDWManage(ensureDataModule(), parent) {}

TKQFrm_BSJDWManage::TKQFrm_BSJDWManage(TKQDM_BSJDW& dm, QWidget* parent)
    : QWidget(parent), m_dm(dm), m_ui(std::make_unique<Ui::TKQFrm_BSJDWManage>()) {
    m_ui->setupUi(this);
    setObjectName(kName);
    setAttribute(Qt::WA_DeleteOnClose);
    FormCreate();
}

TKQFrm_BSJDWManage::~TKQFrm_BSJDWManage() {
    // The views go before the models they show.
    m_ui->tvwResource->setModel(nullptr);
    m_ui->grdView->setModel(nullptr);
    m_ui->grdDeptResList->setModel(nullptr);
}

void TKQFrm_BSJDWManage::FormCreate() {
    QPalette background = palette();
    background.setColor(QPalette::Window, QColor(240, 240, 240));
    setPalette(background);
    setAutoFillBackground(true);

    // The tabs are the program's to switch.
    m_ui->pcAttribute->tabBar()->hide();
    m_ui->pcList->tabBar()->hide();
    m_ui->pcAttribute->setDocumentMode(true);
    m_ui->pcList->setDocumentMode(true);

    qryTemp.setConnection(&m_dm.conUNITARC);
    qryAuditedDept.setConnection(&m_dm.conUNITARC);
    qryView.setConnection(&m_dm.conUNITARC);
    qryResourceInfo.setConnection(&m_dm.conUNITARC);

    // Toolbar: images, and the items named as the actions they carry.
    const QList<QIcon> tools = toolImages();
    const struct {
        QAction* action;
        int image;
        const char* item;
    } items[] = {{m_ui->actImport, 0, "TBItemImport"},
                 {m_ui->actDelete, 1, "TBItemDelete"},
                 {m_ui->actExportMod, 4, "TBItemExportMod"},
                 {m_ui->actEdit, 2, "TBItemEdit"},
                 {m_ui->ActPackage, 3, "TBItemPackage"}};
    for (const auto& item : items) {
        item.action->setIcon(tools.value(item.image));
        if (QWidget* button = m_ui->TBToolbar->widgetForAction(item.action))
            button->setObjectName(QString::fromLatin1(item.item));
    }

    // imgListTree: our own images, then the host's shared ones from index 8 on.
    m_imgListTree = treeImages();
    try {
        m_imgListTree << hostImages();
    } catch (...) {
        // A host without images shows none for those indexes.
    }
    m_treeModel = new ResourceTreeModel(this);
    m_treeModel->setImages(m_imgListTree);
    m_ui->tvwResource->setModel(m_treeModel);
    m_ui->tvwResource->viewport()->installEventFilter(this);

    // Rows as high as a line of text, as a data grid's are.
    for (QTableView* grid : {m_ui->grdView, m_ui->grdDeptResList}) {
        grid->verticalHeader()->setMinimumSectionSize(fontMetrics().height() + 4);
        grid->verticalHeader()->setDefaultSectionSize(fontMetrics().height() + 6);
    }

    m_viewModel = new QueryModel(qryView, this);
    m_ui->grdView->setModel(m_viewModel);
    m_ui->grdView->horizontalHeader()->setResizeContentsPrecision(50);

    cdsDeptResList = new QStandardItemModel(0, 1, this);
    cdsDeptResList->setHorizontalHeaderLabels({QStringLiteral("资料分类")});
    cdsDeptResList->horizontalHeaderItem(0)->setTextAlignment(Qt::AlignCenter);
    for (const char* row : kCategoryRows) {
        auto* item = new QStandardItem(QString::fromUtf8(row));
        item->setTextAlignment(Qt::AlignCenter);
        item->setEditable(false);
        cdsDeptResList->appendRow(item);
    }
    m_ui->grdDeptResList->setModel(cdsDeptResList);
    m_ui->grdDeptResList->setColumnWidth(0, kDeptResColumnWidth);

    m_ui->spnlTree->setStretchFactor(0, 0);
    m_ui->spnlTree->setStretchFactor(1, 1);
    m_ui->spnlTree->setSizes({kTreeWidth, std::max(width() - kTreeWidth, kTreeWidth)});

    connect(m_ui->tvwResource->selectionModel(), &QItemSelectionModel::currentChanged, this,
            [this] { guarded([this] { tvwResourceChange(); }); });
    connect(m_ui->grdView, &QAbstractItemView::doubleClicked, this,
            [this] { guarded([this] { grdViewDblClick(); }); });
    connect(m_ui->grdDeptResList, &QAbstractItemView::doubleClicked, this,
            [this] { guarded([this] { grdDeptResListDblClick(); }); });
    connect(m_ui->actImport, &QAction::triggered, this, [this] { guarded([this] { actImportExecute(); }); });
    connect(m_ui->actDelete, &QAction::triggered, this, [this] { guarded([this] { actDeleteExecute(); }); });
    connect(m_ui->actExportMod, &QAction::triggered, this, [this] { guarded([this] { actExportModExecute(); }); });
    connect(m_ui->actEdit, &QAction::triggered, this, [this] { guarded([this] { actEditExecute(); }); });
    connect(m_ui->ActPackage, &QAction::triggered, this, [this] { guarded([this] { ActPackageExecute(); }); });
}

TKQFrm_BSJDWManage* TKQFrm_BSJDWManage::find() {
    const auto widgets = QApplication::allWidgets();
    for (QWidget* w : widgets)
        if (w->objectName() == QLatin1String(kName))
            if (auto* window = qobject_cast<TKQFrm_BSJDWManage*>(w)) return window;
    return nullptr;
}

void TKQFrm_BSJDWManage::showInHost() {
    if (!parentWidget()) {
        if (QMdiArea* mdi = hostMdiArea()) {
            QMdiSubWindow* frame = mdi->addSubWindow(this);
            frame->setAttribute(Qt::WA_DeleteOnClose);
            frame->setWindowIcon(m_imgListTree.value(2));
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
}

void TKQFrm_BSJDWManage::closeInHost() {
    auto* frame = qobject_cast<QMdiSubWindow*>(parentWidget());
    const bool closed = frame ? frame->close() : close();
    // Freed later by the event loop: not to be found again meanwhile.
    if (closed) setObjectName(QString());
}

void TKQFrm_BSJDWManage::showEvent(QShowEvent* event) {
    QWidget::showEvent(event);
    if (m_loaded) return;
    m_loaded = true;
    guarded([this] { FormShow(); });
}

void TKQFrm_BSJDWManage::FormShow() { reloadTree(QStringLiteral("导入")); }

bool TKQFrm_BSJDWManage::eventFilter(QObject* watched, QEvent* event) {
    // tvwResourceMouseDown: the right button selects the node under the mouse.
    if (watched == m_ui->tvwResource->viewport() && event->type() == QEvent::MouseButtonPress) {
        const auto* mouse = static_cast<QMouseEvent*>(event);
        if (mouse->button() == Qt::RightButton) {
            const QModelIndex index = m_ui->tvwResource->indexAt(mouse->position().toPoint());
            if (index.isValid()) m_ui->tvwResource->setCurrentIndex(index);
        }
    }
    return QWidget::eventFilter(watched, event);
}

int TKQFrm_BSJDWManage::reloadTree(const QString& verb) {
    ++m_reloadCount;
    // Built aside and then put in view, so that the view never sees a tree half made; an
    // error puts in what was built so far and then reaches the caller.
    store::Tree tree;
    package::ReloadResult result;
    m_ui->tvwResource->setUpdatesEnabled(false);
    struct Resume {
        TKQFrm_BSJDWManage* window;
        store::Tree& tree;
        ~Resume() {
            window->m_treeModel->setTree(std::move(tree));
            window->m_ui->tvwResource->setUpdatesEnabled(true);
        }
    };
    std::exception_ptr error;
    {
        Resume resume{this, tree};
        try {
            package::reloadTree(m_dm, tree, verb.toStdString(), result, this);
        } catch (...) {
            error = std::current_exception();
        }
    }
    // Nodes that could not be made are reported also when a later error ends the reload.
    for (const std::string& failure : result.failures) errorBox(qs(failure));
    if (error) std::rethrow_exception(error);
    if (const store::TreeNode* root = m_treeModel->tree().firstNode()) selectNode(root);
    return 0;
}

store::TreeNode* TKQFrm_BSJDWManage::selectedNode() const {
    return m_treeModel->node(m_ui->tvwResource->currentIndex());
}

store::TreeNode* TKQFrm_BSJDWManage::selectedRecordNode() const {
    store::TreeNode* node = selectedNode();
    return node && node->record ? node : nullptr;
}

int TKQFrm_BSJDWManage::selectionKind() const {
    const store::TreeNode* node = selectedRecordNode();
    return node ? node->record->kind : -1;
}

QString TKQFrm_BSJDWManage::entityCodeOfSelection() const {
    const store::TreeNode* node = selectedNode();
    while (node && node->level() > kEntity) node = node->parent();
    return node && node->level() == kEntity && node->record ? qs(node->record->key) : QString();
}

void TKQFrm_BSJDWManage::selectNode(const store::TreeNode* node) {
    const QModelIndex index = m_treeModel->indexOf(node);
    m_ui->tvwResource->setCurrentIndex(index);
    if (!index.isValid()) return;
    m_ui->tvwResource->expand(index);
    m_ui->tvwResource->scrollTo(index);
}

int TKQFrm_BSJDWManage::openList(const QString& sql) {
    const int opened = store::runQuery(qryView, sql.toStdString());
    if (opened != 1) qryView.close();
    m_viewModel->refresh();
    if (opened == 1) qryViewAfterOpen();
    return opened;
}

void TKQFrm_BSJDWManage::qryViewAfterOpen() {
    m_visibleColumns = visibleColumnsOf(selectionKind());
    QTableView* grid = m_ui->grdView;
    for (int column = 0; column < m_viewModel->columnCount(); ++column) {
        const QString field = m_viewModel->headerData(column, Qt::Horizontal).toString();
        const bool visible = m_visibleColumns.contains(field);
        grid->setColumnHidden(column, !visible);
        if (!visible) continue;
        const int natural = std::max(grid->horizontalHeader()->sectionSizeHint(column),
                                     static_cast<QAbstractItemView*>(grid)->sizeHintForColumn(column));
        grid->setColumnWidth(column, std::clamp(natural, kMinColumnWidth, kMaxColumnWidth));
        m_viewModel->setTitleCentred(column, true);
    }
}

void TKQFrm_BSJDWManage::tvwResourceChange() {
    const store::TreeNode* node = selectedRecordNode();
    if (!node) return;
    const store::NodeRecord& record = *node->record;
    const int kind = record.kind;
    m_ui->pcList->setCurrentWidget(kind == kEntity ? m_ui->tsDeptResList : m_ui->tsCommonList);

    switch (kind) {
    case kRoot:
        m_ui->pcAttribute->setCurrentWidget(m_ui->tsList);
        openList(QString::fromUtf8(kEntityListSql));
        return;
    case kEntity:
        m_ui->pcAttribute->setCurrentWidget(m_ui->tsList);
        m_ui->grdDeptResList->setCurrentIndex(cdsDeptResList->index(0, 0));
        return;
    case kBaseInfo:
        if (record.fileTag == 1) showBaseInfo(node);
        return;
    default:
        break;
    }
    if (kind < kFinanceData || kind > kAuditRes) return;
    if (record.fileTag != 1) {
        openList(QString::fromUtf8(kFolderListSql[kind - kFinanceData]) + qs(text::quoted(record.key)) + " " +
                 "and CanVisible = 1");
        m_ui->pcAttribute->setCurrentWidget(m_ui->tsList);
        return;
    }
    if (kind == kFinanceData) {
        showFinanceData(node);
    } else if (kind == kAuditRes && node->parent() && node->parent()->text == kProjectInfoFolder &&
               node->parent()->level() == kProjectInfoFolderLevel) {
        showProjectInfo(node);
    } else {
        showMaterial(node);
    }
}

void TKQFrm_BSJDWManage::showBaseInfo(const store::TreeNode*) {
    m_ui->pcAttribute->setCurrentWidget(m_ui->tsXMLEdit);
}

void TKQFrm_BSJDWManage::showFinanceData(const store::TreeNode*) {
    m_ui->pcAttribute->setCurrentWidget(m_ui->tsExtraInfo);
}

void TKQFrm_BSJDWManage::showProjectInfo(const store::TreeNode*) {
    m_ui->pcAttribute->setCurrentWidget(m_ui->tsXMLEdit);
}

void TKQFrm_BSJDWManage::showMaterial(const store::TreeNode* node) {
    const int kind = node->record->kind;
    store::runQuery(qryResourceInfo, kMaterialSql[kind - kFinanceData] + text::quoted(node->record->key));
    m_ui->pcAttribute->setCurrentWidget(m_ui->tsCommonInfo);
}

void TKQFrm_BSJDWManage::grdViewDblClick() {
    if (!qryView.isOpen() || qryView.isEmpty()) return;
    store::TreeNode* selected = selectedNode();
    if (!selected) return;
    const QModelIndex current = m_ui->grdView->currentIndex();
    const int row = current.isValid() ? current.row() : 0;
    const QString keyField = QString::fromUtf8(selected->level() == 0 ? kEntityCodeColumn : kDirIdColumn);
    const int column = m_viewModel->fieldColumn(keyField);
    if (column < 0) return;
    const std::string key =
        db::valueText(qryView.valueAt(static_cast<std::size_t>(row), static_cast<std::size_t>(column)));
    if (store::TreeNode* found = store::findNode(selected, key, -1, store::SearchMode::Same)) selectNode(found);
}

void TKQFrm_BSJDWManage::grdDeptResListDblClick() {
    const store::TreeNode* selected = selectedNode();
    if (!selected) return;
    const QModelIndex current = m_ui->grdDeptResList->currentIndex();
    const store::TreeNode* node = selected->firstChild();
    for (int before = current.isValid() ? current.row() : 0; node && before > 0; --before) node = node->nextSibling();
    if (node) selectNode(node);
}

void TKQFrm_BSJDWManage::actImportExecute() {
    const QStringList files = prompt().openFiles(QString::fromUtf8(kImportTitle), QString::fromUtf8(kImportFilter));
    if (files.isEmpty()) return;
    WaitCursor hourglass;
    std::vector<std::string> archives;
    for (const QString& file : files) archives.push_back(file.toStdString());
    const package::ImportOutcome outcome = package::importPackages(m_dm, archives);
    QString shown;
    try {
        reloadTree(QStringLiteral("导入"));
        shown = qs(package::importSummary(outcome));
    } catch (...) {
        shown = QString::fromUtf8(kImportFailed);
    }
    infoBox(shown);
}

void TKQFrm_BSJDWManage::actDeleteExecute() {
    const store::TreeNode* node = selectedRecordNode();
    if (!node) return;
    if (node->level() != kEntity) {
        infoBox(QString::fromUtf8(kChooseEntity));
        return;
    }
    const std::string code = node->record->key;
    if (code.empty()) return;
    const std::string name = node->text;
    if (!prompt().question(QStringLiteral("确定删除被审计单位[") + qs(name) + QStringLiteral("]的数据包吗？"),
                           applicationTitle()))
        return;
    const std::string done = package::deleteEntityAction(m_dm, code, name);
    reloadTree(QStringLiteral("删除"));
    infoBox(qs(done));
}

void TKQFrm_BSJDWManage::actExportModExecute() {
    const store::TreeNode* node = selectedRecordNode();
    if (!node) return;
    if (node->level() == kRoot) {
        infoBox(QString::fromUtf8(kChooseEntity));
        return;
    }
    TKQFrm_BSJDWGetFinanceDataMod dialog(m_dm, this);
    const std::string code = entityCodeOfSelection().toStdString();
    const QString name = qs(store::entityField(m_dm, code, "AuditedDeptName"));
    dialog.setExportMode(name);
    dialog.fillTemplateList(code);
    if (dialog.templateCount() > 0)
        dialog.exec();
    else
        infoBox(QStringLiteral("被审计单位[") + name + QStringLiteral("]没有财务数据模板！"));
}

void TKQFrm_BSJDWManage::actEditExecute() {
    // The resource arrangement window comes with its own window; nothing to do here yet.
}

void TKQFrm_BSJDWManage::ActPackageExecute() {
    const store::TreeNode* node = selectedRecordNode();
    if (!node) return;
    if (node->level() == kRoot) {
        infoBox(QString::fromUtf8(kChooseEntity));
        return;
    }
    TKQFrm_BSJDWExport dialog(m_dm, this);
    dialog.exec();
}

}  // namespace unitarc::ui
