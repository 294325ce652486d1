#pragma once
// Reading one exchange text file into a table: the file streamed through
// record assembly, every logical record handed to a record reader. A file
// is read whole or not at all.
#include "ImportTxtRecord.h"

#include <QString>
#include <functional>

using TxtRecordReader = void (*)(db::Table &table, const QByteArray &record);

// Reads the file at path into the open table and returns the number of rows
// it appended. afterLine runs after every physical line (a window
// repaints there). When the file cannot be read or a value does not fit its
// column, the rows this read appended are taken back and ExchangeError names
// the file, the line and the column.
int ImportTextFile(db::Table &table, const QString &path, TxtRecordReader readRecord = ImportTxtRecord,
                   const std::function<void()> &afterLine = {});
