#pragma once
// The link between datasets and the controls bound to them.
#include <QObject>
#include <QPointer>

namespace db {

class Dataset;

// What a grid or a bound control is attached to; switching its dataset (or
// to none) detaches every control at once.
class DataSource : public QObject
{
    Q_OBJECT

public:
    explicit DataSource(QObject *parent = nullptr, Dataset *dataset = nullptr)
        : QObject(parent), m_dataset(dataset)
    {
    }
    Dataset *dataSet() const { return m_dataset; }
    void setDataSet(Dataset *d)
    {
        if (d == m_dataset)
            return;
        m_dataset = d;
        emit dataSetChanged(d);
    }

signals:
    void dataSetChanged(db::Dataset *dataset);

private:
    QPointer<Dataset> m_dataset;
};

} // namespace db
