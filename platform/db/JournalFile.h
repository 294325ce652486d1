#pragma once
// The journal on disk: a magic, then entries that each carry their length
// and a checksum, so that one cut short by a crash (which can only be the
// last: nothing is written to a table before its entries are synced) ends
// the journal. It holds operations one after the other: each begins with
// the tables it touches as they were (size, row count) and the bytes of
// rows before it changed them; a finished one ends with the bytes those
// rows had at its end and a commit mark. Played back, a finished operation
// is done again and an unfinished one (only the last can be) is undone.
#include <QByteArray>
#include <QString>
#include <vector>

namespace db::journal {

struct TableImage
{
    QString fileName; // in the journal's folder
    int headerLength = 0;
    int recordLength = 0;
    int recordCount = 0;
    QByteArray header; // the first 32 bytes
    QString memoFileName; // empty without a memo file
    qint64 memoSize = 0;
    QByteArray memoHead; // the first 4 bytes: the next free block
};

struct RowImage
{
    int table = 0;
    int rec = 0;
    int offset = 0;
    QByteArray bytes;
};

struct Operation
{
    std::vector<TableImage> tables; // by id
    std::vector<RowImage> before;   // in the order written
    std::vector<RowImage> after;
    bool committed = false;
};

// Appends entries; flush() writes them and syncs the journal (and, the first
// time, the folder that now holds it).
class Writer
{
public:
    Writer() = default;
    ~Writer();
    Writer(const Writer &) = delete;
    Writer &operator=(const Writer &) = delete;

    void setPath(const QString &path) { m_path = path; }
    const QString &path() const { return m_path; }
    void beginOperation();
    void addTable(int id, const TableImage &table);
    // Bytes of a record as they were before the operation, or are at its end.
    void addBefore(int table, int rec, int offset, const char *bytes, int length);
    void addAfter(int table, int rec, int offset, const char *bytes, int length);
    void addCommit();
    // Throws DbError when the journal cannot be written.
    void flush();
    // Entries not yet flushed are forgotten (they stand for no write).
    void dropPending() { m_pending.clear(); }
    // Whether the journal is on disk.
    bool started() const { return m_fd >= 0; }
    qint64 size() const { return m_size; }
    // Removes the journal.
    void remove();

private:
    void beginEntry(char kind);
    void endEntry();
    void addBytes(char kind, int table, int rec, int offset, const char *bytes, int length);

    QString m_path;
    int m_fd = -1;
    qint64 m_size = 0;
    QByteArray m_pending;
    qsizetype m_entryStart = 0;
};

struct Contents
{
    std::vector<Operation> operations;
};

enum class ReadResult { Read, Empty, Unreadable };
// Reads a journal; Empty when it holds nothing that a table may depend on.
ReadResult read(const QString &path, Contents &contents, QString *why);

// Plays the operations back on the tables of the folder: a finished one
// done again, an unfinished one undone. Tables the folder no longer holds,
// or of another layout, are passed over. Throws DbError.
void restore(const QString &folder, const Contents &contents);

// Syncs a folder, so that a file made or removed in it is so for good.
void syncFolder(const QString &folder);

} // namespace db::journal
