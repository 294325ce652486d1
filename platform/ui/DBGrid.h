#pragma once
// A read-only grid bound to a data source: its rows are the dataset's rows,
// its current row the dataset's current row.
#include "db/DataSource.h"
#include "db/Dataset.h"

#include <QAbstractTableModel>
#include <QPointer>
#include <QTableView>

namespace ui {

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
};

class DatasetModel : public QAbstractTableModel
{
    Q_OBJECT

public:
    explicit DatasetModel(QObject *parent = nullptr);
    void setDataset(db::Dataset *dataset);
    db::Dataset *dataset() const { return m_dataset; }
    void setColumns(const QVector<GridColumn> &columns);
    const QVector<GridColumn> &gridColumns() const { return m_columns; }

    int rowCount(const QModelIndex &parent = {}) const override;
    int columnCount(const QModelIndex &parent = {}) const override;
    QVariant data(const QModelIndex &index, int role) const override;
    QVariant headerData(int section, Qt::Orientation orientation, int role) const override;

private:
    void reset();
    // The dataset's field of each grid column, found again whenever the
    // dataset or the columns change, not for every cell painted.
    void findFields();

    QPointer<db::Dataset> m_dataset;
    QVector<GridColumn> m_columns;
    QVector<int> m_fields;
    QVector<QMetaObject::Connection> m_connections;
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

signals:
    // A row was clicked; the dataset is already on it.
    void cellClicked(int row);

private:
    void bind(db::Dataset *dataset);
    void followCurrent(int row);
    // Widens the columns once their fields are known (the dataset open).
    void fitColumns();
    int fullWidth(int column) const;

    QPointer<db::DataSource> m_source;
    ui::DatasetModel *m_model;
    QMetaObject::Connection m_current;
    bool m_multiSelect = false;
    bool m_fitted = false;
};
