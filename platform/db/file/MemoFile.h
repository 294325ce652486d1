#pragma once
// The memo file (.dbt) beside a table: texts kept in blocks, read within the
// file's bounds, written in place or at the end, and its header's pointer
// to the next free block.
#include <QByteArray>
#include <QString>
#include <memory>

namespace db {

class MemoFile
{
public:
    // Opens the memo file at `path`; `dbase4Table` when the table's version
    // byte names a dBASE IV memo (blocks with a length header, a block size
    // of their own). Throws DbError.
    static std::unique_ptr<MemoFile> open(const QString &path, bool dbase4Table);
    ~MemoFile();
    MemoFile(const MemoFile &) = delete;
    MemoFile &operator=(const MemoFile &) = delete;

    const QString &path() const { return m_path; }
    int fd() const { return m_fd; }
    int blockSize() const { return m_blockSize; }
    bool dbase4() const { return m_dbase4; }
    // Bytes in the file, memos not yet written included.
    qint64 size() const { return m_size; }
    // The blocks before the first memo: the header, 512 bytes.
    int headerBlocks() const { return (512 + m_blockSize - 1) / m_blockSize; }

    // The text of the memo at `block`. Throws when the block lies beyond the
    // file or its text has no sound end.
    QByteArray read(quint32 block);
    // The blocks the memo at `block` (holding `text`) may use when rewritten
    // in place.
    qint64 capacity(quint32 block, const QByteArray &text);
    // Writes a memo at block `at`, or after the last block when `at` is 0;
    // in place it fills `blocksInPlace` blocks. With `collect` a new memo is
    // kept in memory and written with the next ones (a bulk load). Returns
    // the block.
    quint32 write(const QByteArray &text, quint32 at, qint64 blocksInPlace, bool collect);
    // A memo's text as its blocks hold it: a length header or end marks,
    // then zeros to the end of its last block.
    QByteArray formatted(const QByteArray &text) const;
    // Writes the collected memos.
    void flush();
    // Writes the pointer to the next free block when it changed.
    void writeHeader();

private:
    MemoFile() = default;

    QString m_path;
    int m_fd = -1;
    qint64 m_size = 0;
    int m_blockSize = 0;
    bool m_dbase4 = false; // blocks carry a length header
    quint32 m_nextBlock = 1;
    bool m_headerBehind = false; // m_nextBlock not yet in the file's header
    // During a bulk load, memos appended from block m_pendingFrom on, not
    // yet written.
    QByteArray m_pending;
    quint32 m_pendingFrom = 0;
};

} // namespace db
