#pragma once
// The rollback journal on disk: a magic, then entries that each carry their
// length and a checksum, so that one cut short by a crash (which can only
// be the last: nothing is written to a table before its entry is synced)
// ends the journal. A table entry names a table file as it was; a row entry
// holds bytes of one record as they were.
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
    void addTable(int id, const TableImage &table);
    // Bytes of a record as they are before a change.
    void addRow(int table, int rec, int offset, const char *bytes, int length);
    // Throws DbError when the journal cannot be written.
    void flush();
    // Whether anything reached the disk (a table may have been written).
    bool started() const { return m_fd >= 0; }
    // Removes the journal: the operation is over.
    void remove();
    const QString &path() const { return m_path; }

private:
    // An entry: its length, the kind and the body, and a checksum of both.
    void beginEntry(char kind);
    void endEntry();

    QString m_path;
    int m_fd = -1;
    qint64 m_size = 0;
    QByteArray m_pending;
    qsizetype m_entryStart = 0;
};

struct Contents
{
    std::vector<TableImage> tables; // by id
    std::vector<RowImage> rows;     // in the order written
};

enum class ReadResult { Read, Empty, Unreadable };
// Reads a journal; Empty when it holds nothing that a table may depend on.
ReadResult read(const QString &path, Contents &contents, QString *why);

// Puts the tables of the folder back as the journal says. Tables the folder
// no longer holds, or of another layout, are passed over. Throws DbError.
void restore(const QString &folder, const Contents &contents);

// Syncs a folder, so that a file made or removed in it is so for good.
void syncFolder(const QString &folder);

} // namespace db::journal
