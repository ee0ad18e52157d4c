#pragma once
// Edits the basic information of one project.
#include "hostsvc.h"

#include <QDialog>

#include <memory>

namespace Ui {
class ProjectDialog;
}

namespace hostwork {

class ProjectDialog : public QDialog {
    Q_OBJECT
public:
    explicit ProjectDialog(const ProjectInfo& info, QWidget* parent = nullptr);
    ~ProjectDialog() override;

    ProjectInfo info() const;  // the serial as given, the fields as edited

private:
    std::unique_ptr<Ui::ProjectDialog> m_ui;
};

}  // namespace hostwork
