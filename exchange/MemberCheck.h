#pragma once
// A package member read back before it is packed: it must hold exactly the
// records it was given, each with its number of values and, where the
// member carries record keys, the key of the row that should stand there.
#include <QByteArray>
#include <QString>
#include <QVector>

namespace db {
class DbfFile;
}

struct MemberRecords
{
    int records = 0;
    int values = 0; // per record
    // Where keys are given: one per record, in order (ITEM_4 TAB ITEM_DQDM,
    // trimmed), read from the values at these positions.
    QVector<QByteArray> keys;
    int keyValue = -1;
    int regionValue = -1;
};

// Throws ExchangeError naming the member and the first record that differs.
void CheckMember(const QString &path, const MemberRecords &expected);

// The live rows of a child table that belong to one of keys, in table
// order, found through the table's index of ITEM_4, each with its key as its
// record's bytes hold it: read apart from the values an export writes, so
// that the member is checked against a second reading of its rows.
struct ChildRows
{
    QVector<int> records;
    QVector<QByteArray> keys;
};
ChildRows FindChildRows(const db::DbfFile &file, const QVector<QByteArray> &keys);
