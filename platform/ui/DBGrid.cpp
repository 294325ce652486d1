#include "DBGrid.h"

#include "HandlerGuard.h"

#include <QHeaderView>
#include <QItemSelectionModel>
#include <QStyle>

#include <algorithm>

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

QVariant DatasetModel::data(const QModelIndex &index, int role) const
{
    if (role != Qt::DisplayRole || !m_dataset || !index.isValid())
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

DBGrid::DBGrid(QWidget *parent) : QTableView(parent), m_model(new ui::DatasetModel(this))
{
    setModel(m_model);
    setEditTriggers(NoEditTriggers);
    setSelectionBehavior(SelectRows);
    setSelectionMode(SingleSelection);
    verticalHeader()->setDefaultSectionSize(20);
    connect(m_model, &QAbstractItemModel::modelReset, this, &DBGrid::fitColumns);
    connect(this, &QTableView::clicked, this, [this](const QModelIndex &index) {
        db::Dataset *d = m_model->dataset();
        if (!d || !d->active())
            return;
        d->moveBy(index.row() - d->currentRow());
        emit cellClicked(index.row());
    });
    // With rows chosen freely, the keyboard's current row is the dataset's too.
    connect(selectionModel(), &QItemSelectionModel::currentRowChanged, this, [this](const QModelIndex &index) {
        db::Dataset *d = m_model->dataset();
        const int row = index.row();
        if (!m_multiSelect || !d || !d->active() || d->state() != db::Dataset::Browse || row < 0
            || row == d->currentRow() || row >= d->rowCount())
            return;
        ui::guarded([&] { d->moveBy(row - d->currentRow()); });
    });
}

void DBGrid::setDataSource(db::DataSource *source)
{
    if (m_source)
        disconnect(m_source, nullptr, this, nullptr);
    m_source = source;
    if (source)
        connect(source, &db::DataSource::dataSetChanged, this, &DBGrid::bind);
    bind(source ? source->dataSet() : nullptr);
}

void DBGrid::bind(db::Dataset *dataset)
{
    disconnect(m_current);
    m_fitted = false;
    m_model->setDataset(dataset);
    if (dataset)
        m_current = connect(dataset, &db::Dataset::currentChanged, this, &DBGrid::followCurrent);
    followCurrent(dataset ? dataset->currentRow() : -1);
}

void DBGrid::setColumns(const QVector<ui::GridColumn> &columns)
{
    m_fitted = false;
    m_model->setColumns(columns);
    for (int i = 0; i < columns.size(); ++i)
        setColumnWidth(i, columns[i].width);
    fitColumns();
}

void DBGrid::fitColumns()
{
    db::Dataset *d = m_model->dataset();
    if (m_fitted || !d || !d->active())
        return;
    // Once per binding: a column the user has narrowed stays so.
    m_fitted = true;
    const QVector<ui::GridColumn> &columns = m_model->gridColumns();
    for (int i = 0; i < columns.size(); ++i)
        setColumnWidth(i, std::max(columns[i].width, fullWidth(i)));
}

int DBGrid::fullWidth(int column) const
{
    const ui::GridColumn &c = m_model->gridColumns()[column];
    if (c.cut)
        return 0;
    const int title = horizontalHeader()->sectionSizeHint(column);
    const db::Field *field = m_model->dataset()->findField(c.fieldName);
    if (!field || field->dataType() != 'C')
        return title;
    // The widest text the field holds: double-byte characters only, or
    // single-byte ones only; with the cell's text margins and grid line.
    const QFontMetrics metrics = fontMetrics();
    const int bytes = field->size();
    QChar widest = QLatin1Char('0');
    if (c.letters)
        for (QChar l : QStringLiteral("ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz"))
            if (metrics.horizontalAdvance(l) > metrics.horizontalAdvance(widest))
                widest = l;
    const int text = std::max(metrics.horizontalAdvance(QString(bytes / 2, QChar(0x56FD))),
                              metrics.horizontalAdvance(QString(bytes, widest)));
    const int margins = 2 * (style()->pixelMetric(QStyle::PM_FocusFrameHMargin, nullptr, this) + 1) + 1;
    return std::max(title, text + margins);
}

void DBGrid::followCurrent(int row)
{
    if (m_multiSelect) {
        if (row >= 0 && row < m_model->rowCount())
            selectionModel()->setCurrentIndex(m_model->index(row, 0), QItemSelectionModel::NoUpdate);
        return;
    }
    if (row >= 0 && row < m_model->rowCount())
        selectRow(row);
    else
        clearSelection();
}

void DBGrid::setMultiSelect(bool on)
{
    m_multiSelect = on;
    setSelectionMode(on ? ExtendedSelection : SingleSelection);
}

QList<int> DBGrid::selectedRows() const
{
    QList<int> rows;
    for (const QModelIndex &index : selectionModel()->selectedRows())
        rows << index.row();
    std::sort(rows.begin(), rows.end());
    return rows;
}
