#pragma once
// Copying rows from one table file into another that lists its columns in
// the same order (a staging table and its main table): byte for byte when
// both have the same columns and code page, memo texts written anew into
// the target's memo file; value by value, column by position, otherwise.
#include "db/file/Value.h"

#include <QByteArray>
#include <QVector>
#include <utility>

namespace db {
class DbfFile;
}

class RowCopier
{
public:
    RowCopier(const db::DbfFile &from, db::DbfFile &to);

    // The target's columns in set (no memo among them) take these values in
    // every row copied from here on: put into the target's format once.
    void setValues(const QVector<std::pair<int, db::Value>> &set);
    // Appends a copy of record rec of the source; returns the new record's
    // number.
    int append(int rec);

private:
    const db::DbfFile &m_from;
    db::DbfFile &m_to;
    bool m_sameLayout = true;
    QVector<int> m_memos; // of the target
    QByteArray m_raw;
    QByteArray m_values;      // a record holding the values set
    QVector<int> m_valuesSet; // their columns
};
