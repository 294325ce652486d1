#pragma once
// Reading one exchange text file into a table: the file streamed through
// record assembly, every logical record handed to a record reader. A file
// is read whole or not at all.
#include "ImportTxtRecord.h"

#include <QString>
#include <functional>

// Runs after every piece of a file read (not every line: a file of blank
// lines must cost next to nothing), with the bytes read so far and the
// file's size. It may throw ReadCancelled to stop the read.
using ReadProgress = std::function<void(qint64 done, qint64 total)>;

// Reads the file at path into the open table and returns the number of rows
// it appended. When the file cannot be read, a value does not fit its
// column or the read is cancelled, the rows this read appended are taken
// back; ExchangeError then names the file, the line and the column, and a
// cancel comes back as ReadCancelled. A package member (memberText) is held
// to the member rule as it is read, in the same pass: a byte that breaks it
// comes back as MemberTextError, before any record of its piece is read.
int ImportTextFile(db::Table &table, const QString &path, TxtRecordReader reader = ImportTxtRecord,
                   const ReadProgress &progress = {}, bool memberText = false);
