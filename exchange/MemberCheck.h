#pragma once
// A package member read back before it is packed: it must hold exactly the
// records it was given, each with its number of values and, where the
// member carries record keys, the key of the row that should stand there.
#include <QByteArray>
#include <QSet>
#include <QString>
#include <QVector>

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

// The record keys of a child table's live rows that belong to one of keys,
// in table order: read through the table's index of ITEM_4, not through any
// dataset, so that what an export wrote is checked against a second reading.
QVector<QByteArray> ChildRowKeys(const QString &dir, const QString &table, const QSet<QByteArray> &keys);
