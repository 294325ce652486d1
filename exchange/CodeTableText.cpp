#include "CodeTableText.h"

#include "ImportTxtRecord.h"

void ImportCodeTxtRecord(db::Table &table, const QByteArray &record)
{
    ReadTxtRecord(table, record, 98);
}
