#pragma once
// A dataset's rows as a table model for the grids: the columns a grid
// shows, their values as the dataset reads them, and the cells edited in
// place handed to a writer.
#include "db/dataset/Dataset.h"

#include <QAbstractTableModel>
#include <QPointer>
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
    QVector<PickItem> pickList = {};
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
