#pragma once
// Refreshing the four code and classification tables from the update
// archives or ready tables the registration authority distributes. The new
// rows are made complete in a scratch file beside the tables, which is then
// renamed over the old file in one step; whatever fails before that leaves
// the old table as it was and says what failed (ExchangeError).
#include "ExchangeTextReader.h"
#include "db/file/DbfFile.h"

#include <QString>
#include <QVector>
#include <functional>
#include <span>

namespace db {
class Table;
}
class TDM;

struct CodeTable
{
    const char *archive;      // "DFJHXX.ARJ"
    const char *member;       // the text file it holds, "DFJHXX.TXT"
    const char *readyFile;    // "DFJHZDXX.DBF"
    const char *doneMessage;  // after a ready table took the old one's place
    db::Table *TDM::*dataset; // the data module's table on the file
    bool *present;            // whether an optional table exists (HasZtflh), or null
};

// Plan sub-classes, library classification, discipline classification, ministries.
std::span<const CodeTable> codeTables();

// The chosen name ends, in upper case, with the archive's name.
bool isUpdateArchiveName(const CodeTable &table, const QString &chosen);
// The chosen file is the ready table's name, in any case.
bool isReadyTableName(const CodeTable &table, const QString &chosen);

// Unpacks the table's text file beside the archive (it stays there), reads
// it whole and puts the rows in place of the table's. A value longer than
// its column is refused rather than cut, and so are a line whose count of
// values differs from the table's columns and a file without rows.
// Returns the number of rows.
int updateFromArchive(const CodeTable &table, const QString &archivePath, const ReadProgress &progress = {});

// Puts the ready table in place of the table's file, once it is whole, opens
// as a table, has the same columns as the table it replaces and holds rows.
// A ready table whose .cpg names UTF-8 is written anew in GBK (a text GBK
// cannot hold refuses it); other code pages the engine cannot read refuse it.
void updateFromReadyTable(const CodeTable &table, const QString &readyPath);

// The same work on one table file, without the data module: the new table
// made whole beside target under a scratch name, with the given columns, and
// handed to install (by default a rename over target). Returns the number of
// rows; throws ExchangeError with target unchanged when the input is refused.
using InstallTable = std::function<void(const QString &scratchPath)>;
int replaceFromText(const QString &target, const QVector<db::ColumnDef> &columns, const QString &textPath,
                    const ReadProgress &progress = {}, const InstallTable &install = {});
int replaceFromReadyTable(const QString &target, const QVector<db::ColumnDef> &columns, const QString &readyPath,
                          const InstallTable &install = {});
