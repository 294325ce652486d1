#include "DBGrid.h"

#include "GridCellDelegate.h"
#include "HandlerGuard.h"

#include <QHeaderView>
#include <QItemSelectionModel>
#include <QMouseEvent>
#include <QScopedValueRollback>
#include <QStyle>

#include <algorithm>
#include <utility>

DBGrid::DBGrid(QWidget *parent) : QTableView(parent), m_model(new ui::DatasetModel(this))
{
    setModel(m_model);
    setItemDelegate(new ui::GridCellDelegate(this));
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
    // Binding closes any editor: no cell is edited any more.
    m_editing = QPersistentModelIndex();
    m_editingColumn = -1;
    m_refused = nullptr;
    m_writeRefused = false;
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
    if (row < 0 || row >= m_model->rowCount()) {
        clearSelection();
        return;
    }
    // The current cell keeps its column: a cell edited in place stays the
    // one current while its row is the dataset's.
    const QModelIndex current = currentIndex();
    if (!current.isValid()) {
        selectRow(row);
        return;
    }
    const QItemSelectionModel::SelectionFlags rowChosen = QItemSelectionModel::ClearAndSelect | QItemSelectionModel::Rows;
    if (current.row() != row)
        selectionModel()->setCurrentIndex(m_model->index(row, current.column()), rowChosen);
    else if (!selectionModel()->isRowSelected(row, {}))
        selectionModel()->select(current, rowChosen);
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

void DBGrid::setCellWriter(ui::CellWriter writer)
{
    if (!writer) {
        m_model->setCellWriter({});
        setEditTriggers(NoEditTriggers);
        return;
    }
    m_model->setCellWriter([this, writer = std::move(writer)](int row, int column, const QString &text) {
        const bool stored = writer(row, column, text);
        m_writeRefused = !stored;
        return stored;
    });
    setEditTriggers(DoubleClicked | EditKeyPressed | AnyKeyPressed);
}

bool DBGrid::edit(const QModelIndex &index, EditTrigger trigger, QEvent *event)
{
    if (!QTableView::edit(index, trigger, event))
        return false;
    if (state() == EditingState) {
        m_editing = index;
        m_editingColumn = index.column();
    }
    return true;
}

void DBGrid::commitData(QWidget *editor)
{
    // The writer's message box takes the focus from the editor, which would
    // commit it again: the write under way decides.
    if (m_committing)
        return;
    // Left again on its way back (the current cell moving on with the
    // click): still refused, and told once.
    if (editor == m_refused && m_reopening) {
        m_writeRefused = true;
        return;
    }
    QScopedValueRollback committing(m_committing, true);
    m_writeRefused = false;
    QTableView::commitData(editor);
    m_refused = m_writeRefused ? editor : nullptr;
}

void DBGrid::closeEditor(QWidget *editor, QAbstractItemDelegate::EndEditHint hint)
{
    if (m_committing)
        return;
    const int column = m_editingColumn;
    if (column >= 0 && !m_editing.isValid()) {
        // The rows were read again (by a write, or after a failed one),
        // closing every editor: the cell stays current, now on the row
        // where the dataset put it.
        m_editingColumn = -1;
        m_refused = nullptr;
        m_writeRefused = false;
        db::Dataset *d = m_model->dataset();
        const int row = d && d->active() ? d->currentRow() : -1;
        if (row >= 0 && row < m_model->rowCount())
            setCurrentIndex(m_model->index(row, column));
        setFocus();
        return;
    }
    // Closed for the commit the writer refused (not by Escape): kept open.
    if (editor && editor == m_refused && std::exchange(m_writeRefused, false)) {
        reopenRefused(editor);
        return;
    }
    m_editingColumn = -1;
    m_editing = QPersistentModelIndex();
    m_refused = nullptr;
    QTableView::closeEditor(editor, hint);
}

void DBGrid::mousePressEvent(QMouseEvent *event)
{
    // A click on another cell has left the refused cell already (the focus
    // it took): the cell stays open, and current.
    if (m_refused && state() == EditingState) {
        event->accept();
        m_refused->setFocus();
        return;
    }
    QTableView::mousePressEvent(event);
}

void DBGrid::reopenRefused(QWidget *editor)
{
    const QPersistentModelIndex cell = m_editing;
    const QPointer<QWidget> open = editor;
    const auto back = [this, cell, open] {
        m_reopening = false;
        if (!open || !cell.isValid())
            return;
        if (currentIndex() != cell)
            setCurrentIndex(cell);
        open->setFocus();
    };
    if (currentIndex() == cell) {
        back();
        return;
    }
    // Another cell chosen: back once that choice is done, so that what it
    // selects does not stay over the cell that is still open.
    if (!std::exchange(m_reopening, true))
        QMetaObject::invokeMethod(this, back, Qt::QueuedConnection);
}
