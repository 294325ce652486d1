#pragma once
// Refreshing the four code and classification tables from the update
// archives or ready tables the registration authority distributes. The new
// rows are made complete in a scratch file beside the tables, which is then
// renamed over the old file in one step; whatever fails before that leaves
// the old table as it was and says what failed (ExchangeError).
#include <QString>
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
// its column is refused rather than cut. afterLine runs after every
// physical line. Returns the number of rows.
int updateFromArchive(const CodeTable &table, const QString &archivePath, const std::function<void()> &afterLine = {});

// Copies the ready table in place of the table's file, once the copy is
// whole, opens as a table and has the same columns as the table it replaces.
void updateFromReadyTable(const CodeTable &table, const QString &readyPath);
