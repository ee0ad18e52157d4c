#pragma once
// The package dialog: generates data packages for the chosen entities. Runs modally.
#include <QDialog>

#include <memory>

namespace Ui {
class TKQFrm_BSJDWExport;
}

namespace unitarc::ui {

class TKQFrm_BSJDWExport : public QDialog {
    Q_OBJECT

public:
    explicit TKQFrm_BSJDWExport(QWidget* parent = nullptr);
    ~TKQFrm_BSJDWExport() override;

private:
    std::unique_ptr<Ui::TKQFrm_BSJDWExport> m_ui;
};

}  // namespace unitarc::ui
