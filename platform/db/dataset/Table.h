#pragma once
// A dataset on one table file: its live records, with pack, emptying and bulk loads.
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
    // Empties a scratch table whole, whatever the filter, at the cost of
    // writing its header (see DbfFile::truncate).
    void truncate();
    // Rows appended and posted from here to endBulkLoad are written in large
    // pieces and the header once at the end, for a table being filled under
    // a scratch name: a crash in between loses the load, not the table.
    // Ordinary posts write each row through at once.
    void beginBulkLoad();
    // Writes the rest of the load; throws DbError when the disk refuses it.
    void endBulkLoad();

protected:
    void openRows() override;
    void closeRows() override;
    bool followsFile() const override { return true; }
    void relistRows() override;

private:
    void listAnew();
    QString m_tableName;
    bool m_exclusive = false;
    std::unique_ptr<DbfFile::BulkAppend> m_bulk;
};

} // namespace db
