#pragma once
// The reader of the code-table update files (DFJHXX.TXT, ZTFL.TXT, XKFL.TXT,
// LSBW.TXT): the package members' reader, except that a record running on
// past the columns of a 98-column table, not a 99-column one, hands a single
// byte to the next row.
#include <QByteArray>

namespace db {
class Table;
}

void ImportCodeTxtRecord(db::Table &table, const QByteArray &record);
