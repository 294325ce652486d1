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

int DatasetView::column(const QString &field) const
{
    const QVector<db::Column> &columns = m_dataset->columns();
    for (int c = 0; c < columns.size(); ++c)
        if (columns[c].name.compare(field, Qt::CaseInsensitive) == 0)
            return c;
    return -1;
}

QString DatasetView::textAt(int row, int column) const
{
    return column < 0 ? QString() : m_dataset->rowText(row, column);
}

int ClientDataView::rowCount() const
{
    return m_dataset->recordCount();
}

int ClientDataView::currentRow() const
{
    return m_dataset->recordCount() > 0 ? 0 : -1;
}

int ClientDataView::column(const QString &field) const
{
    return m_dataset->fieldIndex(field);
}

QString ClientDataView::textAt(int row, int column) const
{
    return m_dataset->value(row, column);
}

} // namespace report
