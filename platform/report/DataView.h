#pragma once
// What a report reads its bound texts from: rows of named text fields and a
// current row. Adapters for the table engine's datasets and the in-memory
// dataset.
#include <QString>

namespace db {
class Dataset;
}
namespace clientdata {
class ClientDataSet;
}

namespace report {

class DataView
{
public:
    virtual ~DataView() = default;
    virtual int rowCount() const = 0;
    // The row a text outside the detail band reads; -1 when there is none.
    virtual int currentRow() const = 0;
    // The position of a field, any letter case; -1 when there is none.
    virtual int column(const QString &field) const = 0;
    // The text in a row of the field at a position; empty for a missing row or field.
    virtual QString textAt(int row, int column) const = 0;
    QString text(int row, const QString &field) const { return textAt(row, column(field)); }
};

// A dataset's rows through its filter; its current row is the cursor's.
class DatasetView : public DataView
{
public:
    explicit DatasetView(const db::Dataset *dataset) : m_dataset(dataset) {}
    int rowCount() const override;
    int currentRow() const override;
    int column(const QString &field) const override;
    QString textAt(int row, int column) const override;

private:
    const db::Dataset *m_dataset;
};

// The posted rows of an in-memory dataset; its current row is the first.
class ClientDataView : public DataView
{
public:
    explicit ClientDataView(const clientdata::ClientDataSet *dataset) : m_dataset(dataset) {}
    int rowCount() const override;
    int currentRow() const override;
    int column(const QString &field) const override;
    QString textAt(int row, int column) const override;

private:
    const clientdata::ClientDataSet *m_dataset;
};

} // namespace report
