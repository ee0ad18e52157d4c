#include "projectdialog.h"

#include "ui_projectdialog.h"

namespace hostwork {

ProjectDialog::ProjectDialog(const ProjectInfo& info, QWidget* parent)
    : QDialog(parent), m_ui(std::make_unique<Ui::ProjectDialog>()) {
    m_ui->setupUi(this);
    m_ui->edtPrjID->setText(QString::fromStdString(info.serial));
    m_ui->edtPrjName->setText(QString::fromStdString(info.name));
    m_ui->edtAuditedCorpID->setText(QString::fromStdString(info.auditedCorpId));
    m_ui->edtPrjExecuteOrganID->setText(QString::fromStdString(info.organId));
    connect(m_ui->btnBox, &QDialogButtonBox::accepted, this, &QDialog::accept);
    connect(m_ui->btnBox, &QDialogButtonBox::rejected, this, &QDialog::reject);
}

ProjectDialog::~ProjectDialog() = default;

ProjectInfo ProjectDialog::info() const {
    return {m_ui->edtPrjID->text().toStdString(), m_ui->edtPrjName->text().trimmed().toStdString(),
            m_ui->edtAuditedCorpID->text().trimmed().toStdString(),
            m_ui->edtPrjExecuteOrganID->text().trimmed().toStdString()};
}

}  // namespace hostwork
