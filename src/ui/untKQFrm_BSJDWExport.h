#pragma once
// The package dialog: generates data packages for the ticked entities, or for all. Runs
// modally; creating it refreshes the current project everywhere and empties the staging folder.
#include <QDialog>
#include <QIcon>
#include <QList>

#include <memory>
#include <vector>

#include "package/generation.h"
#include "shell/untKQDM_BSJDW.h"

class QTreeWidget;

namespace Ui {
class TKQFrm_BSJDWExport;
}

namespace unitarc::ui {

class TKQFrm_BSJDWExport : public QDialog {
    Q_OBJECT

public:
    // On the library's data module.
    explicit TKQFrm_BSJDWExport(QWidget* parent = nullptr);
    // On a data module of the caller's, which must outlive the dialog.
    explicit TKQFrm_BSJDWExport(TKQDM_BSJDW& dm, QWidget* parent = nullptr);
    ~TKQFrm_BSJDWExport() override;

    QTreeWidget* CheckTrv() const;
    // The entities of the list, in the order of its children.
    const std::vector<package::EntityChoice>& entities() const { return m_entities; }
    // ImgLstCheck: project, principal entity, extended entity.
    const QList<QIcon>& ImgLstCheck() const { return m_images; }
    // Ticks the entity's check box (tests and scripted runs).
    void setTicked(int entity, bool ticked);

private:
    void FormCreate();
    void fillEntityList();
    void btnOKClick();
    void btnAllClick();
    void generate(const std::vector<package::EntityChoice>& chosen);

    TKQDM_BSJDW& m_dm;
    std::unique_ptr<Ui::TKQFrm_BSJDWExport> m_ui;
    std::vector<package::EntityChoice> m_entities;
    QList<QIcon> m_images;
};

}  // namespace unitarc::ui
