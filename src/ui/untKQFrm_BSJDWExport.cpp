#include "ui/untKQFrm_BSJDWExport.h"

#include "ui_untKQFrm_BSJDWExport.h"

namespace unitarc::ui {

TKQFrm_BSJDWExport::TKQFrm_BSJDWExport(QWidget* parent)
    : QDialog(parent), m_ui(std::make_unique<Ui::TKQFrm_BSJDWExport>()) {
    m_ui->setupUi(this);
}

TKQFrm_BSJDWExport::~TKQFrm_BSJDWExport() = default;

}  // namespace unitarc::ui
