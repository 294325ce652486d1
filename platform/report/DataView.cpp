#include "DataView.h"

#include "clientdata/ClientDataSet.h"
#include "db/dataset/Dataset.h"

namespace report {

int DatasetView::rowCount() const
{
    return m_dataset->active() ? m_dataset->rowCount() : 0;
}

int DatasetView::currentRow() const
{
    return m_dataset->active() ? m_dataset->currentRow() : -1;
}

QString DatasetView::text(int row, const QString &field) const
{
    const QVector<db::Column> &columns = m_dataset->columns();
    for (int c = 0; c < columns.size(); ++c)
        if (columns[c].name.compare(field, Qt::CaseInsensitive) == 0)
            return m_dataset->rowText(row, c);
    return {};
}

int ClientDataView::rowCount() const
{
    return m_dataset->recordCount();
}

int ClientDataView::currentRow() const
{
    return m_dataset->recordCount() > 0 ? 0 : -1;
}

QString ClientDataView::text(int row, const QString &field) const
{
    return m_dataset->value(row, field);
}

} // namespace report
