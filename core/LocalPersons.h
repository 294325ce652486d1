#pragma once
// The local person list (table cgwcrNew): every person ever added on this
// machine, one row per name. Section 08 and the import both add to it.
#include <QVector>
#include <memory>

namespace db {
class Dataset;
class DbfFile;
class Transaction;
} // namespace db

// Sets every data column of `to` that `from` has too to from's value in
// row. By name, so a local list of an older layout still gets each value
// into its own column.
void CopyPersonColumns(db::Dataset *to, db::Dataset *from, int row);

// Copies a stored person into the local list: the row of the same name takes
// the person's values, or a new row is added when the name is not listed. A
// name listed twice or more is left alone. The local list stays filtered on
// the name.
void UpsertLocalPerson(db::Dataset *person);

// The local person list taking in many persons at once (the import), by the
// same rule as UpsertLocalPerson: the rows of a name are found through the
// table's key index and written straight to its file, which the data
// module's table follows. The table is opened at the first person.
class LocalPersonList
{
public:
    // Takes in records of a table with the person columns (cgwcr or its
    // staging twin), their values as text, column by name. New names are
    // appended in one write.
    void upsert(const db::DbfFile &persons, const QVector<int> &recs);
    // Tells the transaction which rows of the list taking in these persons
    // would change.
    void keepRows(db::Transaction &transaction, const db::DbfFile &persons, const QVector<int> &recs);

private:
    void openList();
    void useSource(const db::DbfFile &persons);
    // The rows of the list with this person's name.
    QVector<int> rowsOfName(const db::DbfFile &persons, int rec) const;
    void upsertOne(const db::DbfFile &persons, int rec);

    std::shared_ptr<db::DbfFile> m_file;
    int m_name = -1;
    const db::DbfFile *m_source = nullptr;
    QVector<int> m_sourceColumns; // source column of each local column, -1 for none
    int m_sourceName = -1;
    // The source's records are the list's, byte for byte: the same columns
    // in the same places, the same code page, no memo.
    bool m_sameLayout = false;
};
