#pragma once
// The second step of reading exchange text: one logical record cut into
// column values and appended to a table as one row (or, for a record with
// far too many values, several rows). Values are assigned as text; the
// table converts numbers and dates. Column 6 of the staging table named
// "KJCGtemp.dbf" (compared with case) takes today's date for an empty or
// unreadable date.
#include <QByteArray>

namespace db {
class Table;
}

// Appends and posts the rows of one record to the open table. A record two
// or more values too long ends its row's last column ten bytes early and
// starts a further row with them; one byte early for a table of
// oneByteTailColumns columns. Throws ExchangeError naming the column when a
// value does not fit it; the row being filled is then dropped, rows posted
// before stay.
void ReadTxtRecord(db::Table &table, const QByteArray &record, int oneByteTailColumns);

// The package members' reader.
void ImportTxtRecord(db::Table &table, const QByteArray &record);
