#include "ui/untKQFrm_BSJDWGetFinanceDataMod.h"

#include <QHeaderView>
#include <QPushButton>
#include <QTreeWidget>

#include "package/templates.h"
#include "store/records.h"
#include "ui/guard.h"
#include "ui/images.h"
#include "ui/prompt.h"
#include "ui_untKQFrm_BSJDWGetFinanceDataMod.h"

namespace unitarc::ui {

namespace {

constexpr int kNameColumn = 0;
constexpr int kPathColumn = 1;  // the item's first sub-item, not shown
constexpr int kNameColumnWidth = 413;
constexpr int kTemplateImage = 2;

QString qs(const std::string& s) { return QString::fromStdString(s); }

}  // namespace

TKQFrm_BSJDWGetFinanceDataMod::TKQFrm_BSJDWGetFinanceDataMod(TKQDM_BSJDW& dm, QWidget* parent)
    : QDialog(parent), m_dm(dm), m_ui(std::make_unique<Ui::TKQFrm_BSJDWGetFinanceDataMod>()) {
    m_ui->setupUi(this);
    setFixedSize(434, 307);
    QPalette background = palette();
    background.setColor(QPalette::Window, QColor(240, 240, 240));
    setPalette(background);
    m_ui->lsvMod->header()->setStretchLastSection(false);
    m_ui->lsvMod->setColumnWidth(kNameColumn, kNameColumnWidth);
    m_ui->lsvMod->setColumnHidden(kPathColumn, true);
    m_ui->btnExportMod->hide();  // export mode shows it

    connect(m_ui->lsvMod, &QTreeWidget::itemChanged, this,
            [this](QTreeWidgetItem* item) { guarded([this, item] { lsvModChange(item); }); });
    connect(m_ui->lsvMod, &QTreeWidget::currentItemChanged, this,
            [this](QTreeWidgetItem* item) { guarded([this, item] { lsvModChange(item); }); });
    connect(m_ui->lsvMod, &QTreeWidget::itemDoubleClicked, this, [this] { guarded([this] { SbtnOKClick(); }); });
    connect(m_ui->SbtnOK, &QPushButton::clicked, this, [this] { guarded([this] { SbtnOKClick(); }); });
    connect(m_ui->SbtnCancel, &QPushButton::clicked, this, &QDialog::reject);
    connect(m_ui->btnExportMod, &QPushButton::clicked, this, [this] { guarded([this] { btnExportModClick(); }); });
}

TKQFrm_BSJDWGetFinanceDataMod::~TKQFrm_BSJDWGetFinanceDataMod() = default;

QTreeWidget* TKQFrm_BSJDWGetFinanceDataMod::lsvMod() const { return m_ui->lsvMod; }

void TKQFrm_BSJDWGetFinanceDataMod::setExportMode(const QString& entityName) {
    setWindowTitle(QStringLiteral("导出被审计单位[") + entityName + QStringLiteral("]的财务数据模板"));
    m_ui->btnExportMod->show();
    m_ui->SbtnOK->hide();
}

void TKQFrm_BSJDWGetFinanceDataMod::fillTemplateList(const std::string& code) {
    m_entityName = store::entityField(m_dm, code, "AuditedDeptName");
    m_ready = false;
    QTreeWidget* list = m_ui->lsvMod;
    struct Resume {
        QTreeWidget* list;
        ~Resume() { list->setUpdatesEnabled(true); }
    } resume{list};
    list->setUpdatesEnabled(false);
    list->clear();
    const QIcon image = treeImages().value(kTemplateImage);
    for (const package::TemplateEntry& entry : package::readTemplates(m_dm, code)) {
        auto* item = new QTreeWidgetItem(list, {qs(entry.name), qs(entry.path)});
        item->setIcon(kNameColumn, image);
        item->setFlags(Qt::ItemIsEnabled | Qt::ItemIsSelectable | Qt::ItemIsUserCheckable);
        item->setCheckState(kNameColumn, Qt::Unchecked);
    }
    if (QTreeWidgetItem* first = list->topLevelItem(0)) {
        list->setCurrentItem(first);
        first->setCheckState(kNameColumn, Qt::Checked);
    }
    m_ready = true;
}

int TKQFrm_BSJDWGetFinanceDataMod::templateCount() const { return m_ui->lsvMod->topLevelItemCount(); }

bool TKQFrm_BSJDWGetFinanceDataMod::tickedTemplate(QString& name, QString& path) const {
    for (int i = 0; i < m_ui->lsvMod->topLevelItemCount(); ++i) {
        const QTreeWidgetItem* item = m_ui->lsvMod->topLevelItem(i);
        if (item->checkState(kNameColumn) != Qt::Checked) continue;
        name = item->text(kNameColumn);
        path = item->text(kPathColumn);
        return true;
    }
    return false;
}

void TKQFrm_BSJDWGetFinanceDataMod::lsvModChange(QTreeWidgetItem* item) {
    if (!m_ready || !item) return;
    // The dialog's own changes of the check boxes are no user's changes.
    m_ready = false;
    struct Ready {
        bool& ready;
        ~Ready() { ready = true; }
    } ready{m_ready};
    for (int i = 0; i < m_ui->lsvMod->topLevelItemCount(); ++i) {
        QTreeWidgetItem* other = m_ui->lsvMod->topLevelItem(i);
        if (other != item && other->checkState(kNameColumn) == Qt::Checked) {
            other->setCheckState(kNameColumn, Qt::Unchecked);
            break;
        }
    }
    item->setCheckState(kNameColumn, Qt::Checked);
}

void TKQFrm_BSJDWGetFinanceDataMod::SbtnOKClick() {
    if (templateCount() > 0) accept();
}

void TKQFrm_BSJDWGetFinanceDataMod::btnExportModClick() {
    const QList<QTreeWidgetItem*> selected = m_ui->lsvMod->selectedItems();
    if (selected.isEmpty()) {
        infoBox(QStringLiteral("请选择财务数据报表模板"));
        return;
    }
    const QTreeWidgetItem* item = selected.front();
    package::registerTemplate(m_entityName,
                              {item->text(kNameColumn).toStdString(), item->text(kPathColumn).toStdString()});
}

PickedTemplate pickTemplate(TKQDM_BSJDW& dm, const std::string& code, QWidget* parent) {
    TKQFrm_BSJDWGetFinanceDataMod dialog(dm, parent);
    dialog.fillTemplateList(code);
    if (dialog.exec() != QDialog::Accepted) return {};
    QString name, path;
    if (!dialog.tickedTemplate(name, path)) return {};
    return {name, qs(package::dataFilePath(path.toStdString()))};
}

}  // namespace unitarc::ui
