#pragma once
// A grid bound to a data source: its rows are the dataset's rows, its
// current row the dataset's current row. Read-only, unless given a writer
// that stores the cells edited in place.
#include "DatasetModel.h"
#include "db/dataset/DataSource.h"

#include <QPersistentModelIndex>
#include <QPointer>
#include <QTableView>


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
