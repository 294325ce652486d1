#pragma once
// The journal on disk: a header (a magic and a salt drawn for this journal
// alone), then entries. Each entry carries its length twice, the salt, a
// sequence number and a checksum, so that bytes of another journal or of an
// earlier flush never pass as an entry, and damage is told from a crash's
// cut: only the last flush can be torn (nothing reaches a table before the
// entries before it are synced), and a torn flush ends at the end of the
// file or in bytes never written.
// It holds operations one after the other: each begins with the tables it
// touches as they were (size, row count) and the bytes of rows before it
// changed them; a finished one ends, in one flush, with its tables and the
// bytes of those rows as they are at its end, and a mark naming the entry
// that flush began with. Played back, a finished operation is done again
// from that last flush alone, and an unfinished one (only the last can be)
// is undone. Journals of the format before (no salt, no sequence) are read
// as they were written.
#include "db/file/WriteWatch.h"

#include <QByteArray>
#include <QString>
#include <vector>

namespace db::journal {

// A table as it stood, as the files describe themselves.
using TableImage = db::TableImage;

struct RowImage
{
    int table = 0;
    int rec = 0;
    int offset = 0;
    QByteArray bytes;
};

struct Operation
{
    std::vector<TableImage> tables; // at its start, by id
    std::vector<RowImage> before;   // in the order written
    std::vector<TableImage> endTables; // at its end, by the same ids
    std::vector<RowImage> after;
    bool committed = false;
};

// Appends entries; flush() writes them and syncs the journal (and, until
// that once succeeds, the folder that now holds it).
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
    // Bytes of a record as they were before the operation.
    void addBefore(int table, int rec, int offset, const char *bytes, int length);
    // The finished operation's last flush: its tables and the bytes of its
    // rows at its end, then the mark.
    void beginCommit();
    void addEndTable(int id, const TableImage &table);
    void addAfter(int table, int rec, int offset, const char *bytes, int length);
    void addCommit();
    // Throws DbError when the journal cannot be written or synced; what it
    // failed to write stays queued, and the journal's end stays where the
    // last good flush left it.
    void flush();

    // Entries queued from a point on can be forgotten (they stand for no
    // write).
    struct Mark
    {
        qsizetype pending = 0;
        quint32 seq = 1;
    };
    Mark pendingMark() const { return {m_pending.size(), m_nextSeq}; }
    void dropPending(const Mark &mark);
    void dropPending() { dropPending({0, m_flushedSeq}); }
    // Cuts off, for good, whatever a failed flush may have left after the
    // last good one. Throws DbError.
    void cutBack();

    // Whether the journal is on disk.
    bool started() const { return m_fd >= 0; }
    qint64 size() const { return m_size; }
    // Removes the journal.
    void remove();

    // Syncs of journals since the program started, for measuring.
    static quint64 syncs();

private:
    void beginEntry(char kind);
    void endEntry();
    void addBytes(char kind, int table, int rec, int offset, const char *bytes, int length);
    void addImage(char kind, int id, const TableImage &table);

    QString m_path;
    int m_fd = -1;
    qint64 m_size = 0;
    QByteArray m_salt;
    QByteArray m_pending;
    qsizetype m_entryStart = 0;
    quint32 m_nextSeq = 1;    // of the next entry queued
    quint32 m_flushedSeq = 1; // of the first entry not yet on disk
    quint32 m_commitFirst = 0;
    bool m_dirtyTail = false; // a failed flush may have left bytes after m_size
    bool m_named = false;     // the folder synced since the journal was made
};

struct Contents
{
    std::vector<Operation> operations;
};

enum class ReadResult {
    Read,      // whole: every operation as written
    Salvaged,  // damaged, but only in what finished operations no longer need: those alone
    Empty,     // nothing that a table may depend on
    Unreadable // damaged, or naming what does not fit the folder's tables
};
// Reads a journal of the folder and checks every value it would write
// against the folder's tables (a table no longer there is passed over).
ReadResult read(const QString &path, const QString &folder, Contents &contents, QString *why);

// Plays back what read() returned: a finished operation done again, an
// unfinished one undone. Throws DbError.
void restore(const QString &folder, const Contents &contents);

} // namespace db::journal
