#include "ui/querymodel.h"

#include "platform/text.h"

namespace unitarc::ui {

QueryModel::QueryModel(db::Query& query, QObject* parent) : QAbstractTableModel(parent), m_query(query) {}

void QueryModel::refresh() {
    beginResetModel();
    m_fields.clear();
    m_rows = 0;
    m_centred.clear();
    if (m_query.isOpen()) {
        for (const std::string& name : m_query.fieldNames()) m_fields << QString::fromStdString(name);
        m_rows = static_cast<int>(m_query.recordCount());
    }
    endResetModel();
}

int QueryModel::fieldColumn(const QString& field) const { return static_cast<int>(m_fields.indexOf(field)); }

void QueryModel::setTitleCentred(int column, bool centred) {
    if (centred)
        m_centred.insert(column);
    else
        m_centred.remove(column);
    emit headerDataChanged(Qt::Horizontal, column, column);
}

int QueryModel::rowCount(const QModelIndex& parent) const { return parent.isValid() ? 0 : m_rows; }

int QueryModel::columnCount(const QModelIndex& parent) const {
    return parent.isValid() ? 0 : static_cast<int>(m_fields.size());
}

QString QueryModel::displayText(const db::Value& value) {
    if (const double* number = std::get_if<double>(&value)) {
        std::string shown = text::formatDate(*number);
        const text::DateTimeParts parts = text::decodeDateTime(*number);
        if (parts.hour || parts.minute || parts.second)
            shown += QStringLiteral(" %1:%2:%3")
                         .arg(parts.hour, 2, 10, QLatin1Char('0'))
                         .arg(parts.minute, 2, 10, QLatin1Char('0'))
                         .arg(parts.second, 2, 10, QLatin1Char('0'))
                         .toStdString();
        return QString::fromStdString(shown);
    }
    return QString::fromStdString(db::valueText(value));
}

QVariant QueryModel::data(const QModelIndex& index, int role) const {
    if (!index.isValid() || role != Qt::DisplayRole || !m_query.isOpen()) return {};
    if (index.row() >= m_rows || index.column() >= m_fields.size()) return {};
    return displayText(
        m_query.valueAt(static_cast<std::size_t>(index.row()), static_cast<std::size_t>(index.column())));
}

QVariant QueryModel::headerData(int section, Qt::Orientation orientation, int role) const {
    if (orientation != Qt::Horizontal || section < 0 || section >= m_fields.size()) return {};
    if (role == Qt::DisplayRole) return m_fields[section];
    if (role == Qt::TextAlignmentRole && m_centred.contains(section)) return int(Qt::AlignCenter);
    return {};
}

}  // namespace unitarc::ui
