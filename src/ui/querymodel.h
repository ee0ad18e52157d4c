#pragma once
// A read-only table model over the rows of an open query: the common list of the management
// window. Columns are the query's fields, titled with their names.
#include <QAbstractTableModel>
#include <QSet>

#include "platform/db.h"

namespace unitarc::ui {

class QueryModel : public QAbstractTableModel {
    Q_OBJECT

public:
    // The query is not owned; call refresh() whenever it was opened or closed.
    explicit QueryModel(db::Query& query, QObject* parent = nullptr);

    void refresh();
    // The column of a field, -1 when the query has none of that name.
    int fieldColumn(const QString& field) const;
    void setTitleCentred(int column, bool centred);

    int rowCount(const QModelIndex& parent = {}) const override;
    int columnCount(const QModelIndex& parent = {}) const override;
    QVariant data(const QModelIndex& index, int role = Qt::DisplayRole) const override;
    QVariant headerData(int section, Qt::Orientation orientation, int role = Qt::DisplayRole) const override;

    // A date-time field as a grid shows it: the date, and the time when there is one.
    static QString displayText(const db::Value& value);

private:
    db::Query& m_query;
    QStringList m_fields;
    int m_rows = 0;
    QSet<int> m_centred;
};

}  // namespace unitarc::ui
