#include "DatasetModel.h"

namespace ui {

DatasetModel::DatasetModel(QObject *parent) : QAbstractTableModel(parent) {}

void DatasetModel::setDataset(db::Dataset *dataset)
{
    beginResetModel();
    for (const auto &c : m_connections)
        disconnect(c);
    m_connections.clear();
    m_dataset = dataset;
    findFields();
    if (dataset) {
        m_connections << connect(dataset, &db::Dataset::layoutReset, this, &DatasetModel::reset)
                      << connect(dataset, &db::Dataset::rowInserted, this, &DatasetModel::reset)
                      << connect(dataset, &db::Dataset::rowRemoved, this, &DatasetModel::reset)
                      << connect(dataset, &db::Dataset::rowUpdated, this, [this](int row) {
                             emit dataChanged(index(row, 0), index(row, columnCount() - 1));
                         });
    }
    endResetModel();
}

void DatasetModel::setColumns(const QVector<GridColumn> &columns)
{
    beginResetModel();
    m_columns = columns;
    findFields();
    endResetModel();
}

void DatasetModel::reset()
{
    beginResetModel();
    findFields(); // the dataset may have been opened on other columns
    endResetModel();
}

int DatasetModel::rowCount(const QModelIndex &parent) const
{
    if (parent.isValid() || !m_dataset || !m_dataset->active() || m_dataset->controlsDisabled())
        return 0;
    return m_dataset->rowCount();
}

int DatasetModel::columnCount(const QModelIndex &parent) const
{
    if (parent.isValid())
        return 0;
    if (!m_columns.isEmpty())
        return m_columns.size();
    return m_dataset && m_dataset->active() ? m_dataset->fieldCount() : 0;
}

void DatasetModel::findFields()
{
    m_fields.clear();
    if (!m_dataset || !m_dataset->active())
        return;
    if (m_columns.isEmpty()) {
        for (int i = 0; i < m_dataset->fieldCount(); ++i)
            m_fields << i;
        return;
    }
    for (const GridColumn &c : m_columns) {
        db::Field *f = m_dataset->findField(c.fieldName);
        m_fields << (f ? f->index() : -1);
    }
}

db::Field *DatasetModel::fieldOf(int column) const
{
    const int field = m_fields.value(column, -1);
    return field >= 0 && m_dataset ? m_dataset->field(field) : nullptr;
}

void DatasetModel::setCellWriter(CellWriter writer)
{
    m_writer = std::move(writer);
}

Qt::ItemFlags DatasetModel::flags(const QModelIndex &index) const
{
    Qt::ItemFlags flags = QAbstractTableModel::flags(index);
    if (m_writer && fieldOf(index.column()))
        flags |= Qt::ItemIsEditable;
    return flags;
}

bool DatasetModel::setData(const QModelIndex &index, const QVariant &value, int role)
{
    const int field = m_fields.value(index.column(), -1);
    if (role != Qt::EditRole || !m_writer || !m_dataset || field < 0 || index.row() >= rowCount())
        return false;
    const QString text = value.toString();
    if (text == m_dataset->rowText(index.row(), field))
        return true;
    return m_writer(index.row(), index.column(), text);
}

QVariant DatasetModel::data(const QModelIndex &index, int role) const
{
    if ((role != Qt::DisplayRole && role != Qt::EditRole) || !m_dataset || !index.isValid())
        return {};
    const int field = m_fields.value(index.column(), -1);
    if (field < 0)
        return {};
    return m_dataset->rowText(index.row(), field);
}

QVariant DatasetModel::headerData(int section, Qt::Orientation orientation, int role) const
{
    if (role != Qt::DisplayRole)
        return {};
    if (orientation == Qt::Vertical)
        return {};
    if (section < m_columns.size() && !m_columns[section].title.isEmpty())
        return m_columns[section].title;
    const int field = m_fields.value(section, -1);
    return field >= 0 && m_dataset ? m_dataset->fieldLabel(field) : QVariant();
}

} // namespace ui
