#include "ui/untKQFrm_BSJDWExport.h"

#include <QPushButton>
#include <QTreeWidget>

#include "ui/guard.h"
#include "ui/images.h"
#include "ui/prompt.h"
#include "ui_untKQFrm_BSJDWExport.h"

namespace unitarc::ui {

namespace {

constexpr int kProjectImage = 0;
constexpr int kPrincipalImage = 1;
constexpr int kExtendedImage = 2;

QString qs(const std::string& s) { return QString::fromStdString(s); }

}  // namespace

TKQFrm_BSJDWExport::TKQFrm_BSJDWExport(QWidget* parent) : TKQFrm_BSJDWExport(ensureDataModule(), parent) {}

TKQFrm_BSJDWExport::TKQFrm_BSJDWExport(TKQDM_BSJDW& dm, QWidget* parent)
    : QDialog(parent), m_dm(dm), m_ui(std::make_unique<Ui::TKQFrm_BSJDWExport>()) {
    m_ui->setupUi(this);
    setFixedSize(336, 436);
    QPalette background = palette();
    background.setColor(QPalette::Window, QColor(240, 240, 240));
    setPalette(background);

    const QList<QIcon> tree = treeImages();
    m_images = {tree.value(2), tree.value(5), tree.value(6)};

    connect(m_ui->btnOK, &QPushButton::clicked, this, [this] { guarded([this] { btnOKClick(); }); });
    connect(m_ui->btnAll, &QPushButton::clicked, this, [this] { guarded([this] { btnAllClick(); }); });
    connect(m_ui->btnCancel, &QPushButton::clicked, this, &QDialog::reject);
    FormCreate();
}

TKQFrm_BSJDWExport::~TKQFrm_BSJDWExport() = default;

QTreeWidget* TKQFrm_BSJDWExport::CheckTrv() const { return m_ui->CheckTrv; }

void TKQFrm_BSJDWExport::FormCreate() {
    package::prepareGeneration(m_dm);
    fillEntityList();
}

void TKQFrm_BSJDWExport::fillEntityList() {
    QTreeWidget* tree = m_ui->CheckTrv;
    tree->setUpdatesEnabled(false);
    tree->clear();
    m_entities.clear();
    const package::EntityList list = package::listEntities(m_dm);
    auto* root = new QTreeWidgetItem(tree, {qs(list.projectName)});
    root->setIcon(0, m_images.value(kProjectImage));
    root->setFlags(Qt::ItemIsEnabled | Qt::ItemIsSelectable | Qt::ItemIsUserCheckable | Qt::ItemIsAutoTristate);
    root->setCheckState(0, Qt::Unchecked);
    for (const package::EntityChoice& entity : list.entities) {
        auto* child = new QTreeWidgetItem(root, {qs(entity.name)});
        child->setData(0, Qt::UserRole, qs(entity.code));
        child->setIcon(0, m_images.value(entity.principal ? kPrincipalImage : kExtendedImage));
        child->setFlags(Qt::ItemIsEnabled | Qt::ItemIsSelectable | Qt::ItemIsUserCheckable);
        child->setCheckState(0, Qt::Unchecked);
        m_entities.push_back(entity);
    }
    tree->setCurrentItem(root);
    root->setExpanded(true);
    tree->scrollToItem(root);
    tree->setUpdatesEnabled(true);
}

void TKQFrm_BSJDWExport::setTicked(int entity, bool ticked) {
    QTreeWidgetItem* root = m_ui->CheckTrv->topLevelItem(0);
    if (QTreeWidgetItem* child = root ? root->child(entity) : nullptr)
        child->setCheckState(0, ticked ? Qt::Checked : Qt::Unchecked);
}

void TKQFrm_BSJDWExport::btnOKClick() {
    std::vector<package::EntityChoice> chosen;
    if (QTreeWidgetItem* root = m_ui->CheckTrv->topLevelItem(0))
        for (int i = 0; i < root->childCount() && static_cast<std::size_t>(i) < m_entities.size(); ++i)
            if (root->child(i)->checkState(0) == Qt::Checked) chosen.push_back(m_entities[static_cast<std::size_t>(i)]);
    if (chosen.empty()) {
        infoBox(QString::fromUtf8(package::kNoEntityChosen));
        return;
    }
    generate(chosen);
}

void TKQFrm_BSJDWExport::btnAllClick() {
    if (m_entities.empty()) {
        infoBox(QString::fromUtf8(package::kNoEntityChosen));
        return;
    }
    generate(m_entities);
}

void TKQFrm_BSJDWExport::generate(const std::vector<package::EntityChoice>& chosen) {
    // An error of the run leaves the dialog open; the guard of the handler reports it.
    const package::GenerationOutcome outcome = package::generatePackages(m_dm, chosen, this);
    for (const std::string& warning : outcome.warnings) prompt().warning(qs(warning), applicationTitle());
    infoBox(qs(package::generationSummary(outcome)));
    accept();
}

}  // namespace unitarc::ui
