#pragma once
#include "Dataset.h"

namespace db {

// A dataset on one table file: every live record in file order, narrowed by
// the filter. It follows rows that other datasets add or remove.
class Table : public Dataset
{
    Q_OBJECT

public:
    explicit Table(QObject *parent = nullptr);

    void setTableName(const QString &name);
    QString tableName() const { return m_tableName; }
    void setExclusive(bool on);
    bool exclusive() const { return m_exclusive; }
    // Removes deleted rows; needs an exclusive open. False when not open.
    bool pack();
    // Deletes every row seen (through the filter).
    void emptyTable();

protected:
    void openRows() override;
    bool followsFile() const override { return true; }
    void relistRows() override;

private:
    QString m_tableName;
    bool m_exclusive = false;
};

} // namespace db
