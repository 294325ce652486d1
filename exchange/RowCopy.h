#pragma once
// Copying rows from one table file into another that lists its columns in
// the same order (a staging table and its main table): byte for byte when
// both have the same columns and code page, memo texts written anew into
// the target's memo file; value by value, column by position, otherwise.
#include "db/Value.h"

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

    // Appends a copy of record rec of the source, with the target's columns
    // in set given other values; returns the new record's number.
    int append(int rec, const QVector<std::pair<int, db::Value>> &set = {});

private:
    const db::DbfFile &m_from;
    db::DbfFile &m_to;
    bool m_sameLayout = true;
    QVector<int> m_memos; // of the target
    QByteArray m_raw;
};
