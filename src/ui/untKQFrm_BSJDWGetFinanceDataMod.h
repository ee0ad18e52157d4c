#pragma once
// The template dialog: the financial-data report templates of one entity, one of them
// ticked. Picker mode returns the ticked template; export mode registers the selected one
// with the host's data store.
#include <QDialog>
#include <QString>

#include <memory>
#include <string>

#include "shell/untKQDM_BSJDW.h"

class QTreeWidget;
class QTreeWidgetItem;

namespace Ui {
class TKQFrm_BSJDWGetFinanceDataMod;
}

namespace unitarc::ui {

class TKQFrm_BSJDWGetFinanceDataMod : public QDialog {
    Q_OBJECT

public:
    // On a data module that must outlive the dialog.
    explicit TKQFrm_BSJDWGetFinanceDataMod(TKQDM_BSJDW& dm, QWidget* parent = nullptr);
    ~TKQFrm_BSJDWGetFinanceDataMod() override;

    // Caption "导出被审计单位[" name "]的财务数据模板", the export button shown, OK hidden.
    void setExportMode(const QString& entityName);
    // Fills lsvMod with the entity's templates; the first is selected and ticked. Throws when
    // the entity's description cannot be read.
    void fillTemplateList(const std::string& code);
    int templateCount() const;
    // The first ticked template: true and its name and path; the outputs stay untouched when
    // none is ticked.
    bool tickedTemplate(QString& name, QString& path) const;
    QTreeWidget* lsvMod() const;

private:
    void lsvModChange(QTreeWidgetItem* item);
    void SbtnOKClick();
    void btnExportModClick();

    TKQDM_BSJDW& m_dm;
    std::unique_ptr<Ui::TKQFrm_BSJDWGetFinanceDataMod> m_ui;
    bool m_ready = false;
    std::string m_entityName;
};

// Pick template: the name and data file path (".XML") of the template the user ticked and
// confirmed; both empty when cancelled.
struct PickedTemplate {
    QString name;
    QString dataFilePath;
};
PickedTemplate pickTemplate(TKQDM_BSJDW& dm, const std::string& code, QWidget* parent = nullptr);

}  // namespace unitarc::ui
