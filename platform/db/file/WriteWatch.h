#pragma once
// What the table files say before they change on disk, to whoever watches
// (the rollback journal, which sits above the files): a row about to be
// rewritten, the file about to grow or to be replaced. Without a watcher
// the files simply write.
#include <QByteArray>
#include <QString>

namespace db {

class DbfFile;

// A table file as it stands on disk, for putting it back as it was.
struct TableImage
{
    QString fileName; // in the table's folder
    int headerLength = 0;
    int recordLength = 0;
    int recordCount = 0;
    QByteArray header; // the first 32 bytes
    QString memoFileName; // empty without a memo file
    qint64 memoSize = 0;
    QByteArray memoHead; // the first 4 bytes: the next free block
};

class WriteWatch
{
public:
    virtual ~WriteWatch() = default;
    // Whether the file's changes are being kept to be taken back: a memo is
    // then never rewritten over its old blocks.
    virtual bool covers(const DbfFile &file) = 0;
    // Record rec changes from oldRecord to newRecord.
    virtual void beforeRowWrite(DbfFile &file, int rec, const char *oldRecord, const char *newRecord) = 0;
    // Rows or memos are about to be appended, or the header written.
    virtual void beforeGrowth(DbfFile &file) = 0;
    // The file is about to be replaced by another (packed, emptied).
    virtual void beforeReplace(DbfFile &file) = 0;
};

// The one watcher of every table file of the process; nullptr for none.
void setWriteWatch(WriteWatch *watch);

// What the files call; each does nothing without a watcher.
namespace watch {
bool covers(const DbfFile &file);
void beforeRowWrite(DbfFile &file, int rec, const char *oldRecord, const char *newRecord);
void beforeGrowth(DbfFile &file);
void beforeReplace(DbfFile &file);
} // namespace watch

} // namespace db
