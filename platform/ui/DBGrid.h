#pragma once
// A grid bound to a data source: its rows are the dataset's rows, its
// current row the dataset's current row. Read-only, unless given a writer
// that stores the cells edited in place.
#include "db/dataset/DataSource.h"
#include "db/dataset/Dataset.h"

#include <QAbstractTableModel>
#include <QPersistentModelIndex>
#include <QPointer>
#include <QTableView>
#include <functional>

namespace ui {

// A value a cell edited in place can take, and the text it is offered under.
struct PickItem
{
    QString value;
    QString text;
};

struct GridColumn
{
    QString fieldName;
    QString title; // empty: the field's display label
    int width = 80;
    // A long free text, shown cut at the width given. Any other text column
    // is widened to show its field's full width and its title.
    bool cut = false;
    // A code typed in Latin letters as well as digits (a management
    // number): its full width is that of the widest letter.
    bool letters = false;
    // Edited in place by choosing one of these rather than by typing.
    QVector<PickItem> pickList;
};

// Stores a cell's new text (row and grid column), telling whether it did.
using CellWriter = std::function<bool(int row, int column, const QString &text)>;

class DatasetModel : public QAbstractTableModel
{
    Q_OBJECT

public:
    explicit DatasetModel(QObject *parent = nullptr);
    void setDataset(db::Dataset *dataset);
    db::Dataset *dataset() const { return m_dataset; }
    void setColumns(const QVector<GridColumn> &columns);
    const QVector<GridColumn> &gridColumns() const { return m_columns; }
    // The dataset's field shown in a grid column; null when there is none.
    db::Field *fieldOf(int column) const;
    void setCellWriter(CellWriter writer);

    int rowCount(const QModelIndex &parent = {}) const override;
    int columnCount(const QModelIndex &parent = {}) const override;
    QVariant data(const QModelIndex &index, int role) const override;
    QVariant headerData(int section, Qt::Orientation orientation, int role) const override;
    Qt::ItemFlags flags(const QModelIndex &index) const override;
    // A text unchanged is no write; any other goes to the writer.
    bool setData(const QModelIndex &index, const QVariant &value, int role) override;

private:
    void reset();
    // The dataset's field of each grid column, found again whenever the
    // dataset or the columns change, not for every cell painted.
    void findFields();

    QPointer<db::Dataset> m_dataset;
    QVector<GridColumn> m_columns;
    QVector<int> m_fields;
    QVector<QMetaObject::Connection> m_connections;
    CellWriter m_writer;
};

} // namespace ui

class DBGrid : public QTableView
{
    Q_OBJECT

public:
    explicit DBGrid(QWidget *parent = nullptr);
    void setDataSource(db::DataSource *source);
    db::DataSource *dataSource() const { return m_source; }
    void setColumns(const QVector<ui::GridColumn> &columns);
    ui::DatasetModel *datasetModel() const { return m_model; }

    // Rows are chosen with the mouse, Ctrl adding or taking away one row and
    // Shift a range; the dataset's current row then moves only the grid's
    // current cell, never the choice, and the keyboard's moves move the
    // dataset.
    void setMultiSelect(bool on);
    bool multiSelect() const { return m_multiSelect; }
    // The chosen rows, in the dataset's order.
    QList<int> selectedRows() const;

    // Cells edited in place (typing, F2 or a double click starts it), each
    // stored by writer when it is left. A text the writer refuses (it has
    // told the user why) stays in the cell's editor, which keeps the focus.
    // Without a writer the grid is read-only.
    void setCellWriter(ui::CellWriter writer);

protected:
    bool edit(const QModelIndex &index, EditTrigger trigger, QEvent *event) override;
    void commitData(QWidget *editor) override;
    void closeEditor(QWidget *editor, QAbstractItemDelegate::EndEditHint hint) override;
    void mousePressEvent(QMouseEvent *event) override;

signals:
    // A row was clicked; the dataset is already on it.
    void cellClicked(int row);

private:
    void bind(db::Dataset *dataset);
    void followCurrent(int row);
    // Widens the columns once their fields are known (the dataset open).
    void fitColumns();
    int fullWidth(int column) const;
    // Back to the cell whose text was refused, its editor focused.
    void reopenRefused(QWidget *editor);

    QPointer<db::DataSource> m_source;
    ui::DatasetModel *m_model;
    QMetaObject::Connection m_current;
    bool m_multiSelect = false;
    bool m_fitted = false;
    QPersistentModelIndex m_editing; // the cell edited in place
    int m_editingColumn = -1;        // its column while it is edited, also once a write read the rows again
    QPointer<QWidget> m_refused;     // its editor, while the text the writer refused is in it
    bool m_writeRefused = false;     // by the latest commit, until its editor's close
    bool m_reopening = false;        // the refused cell made current again once the events are done
    bool m_committing = false;
};
