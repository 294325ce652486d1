// The journal's writer, and the playing back of what was read from it.
#include "JournalFile.h"

#include "db/file/DbError.h"
#include "db/file/DbfFile.h"
#include "db/file/FileIo.h"
#include "db/file/Disk.h"
#include "JournalFormat.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QRandomGenerator>

#include <algorithm>
#include <atomic>
#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <unistd.h>

namespace db::journal {

using namespace format;

namespace {

constexpr char kEndOfFile = 0x1A;

std::atomic<quint64> g_syncs{0};

QString systemError()
{
    return QString::fromLocal8Bit(strerror(errno));
}

DbError journalError(const QString &path)
{
    return DbError(QString::fromUtf8("写入恢复日志 %1 失败：%2").arg(QDir::toNativeSeparators(path), systemError()));
}

void writeAll(int fd, qint64 pos, const char *data, qint64 size, const QString &path)
{
    if (!disk::write(fd, path, pos, data, size))
        throw journalError(path);
}

// The data and what reading it needs (the file's length): no more.
void syncFd(int fd, const QString &path)
{
    faultPoint("sync");
    if (!disk::sync(fd, path))
        throw journalError(path);
}

DbError restoreError(const QString &name)
{
    return DbError(QString::fromUtf8("无法恢复表 %1：%2").arg(name, systemError()));
}

struct RawFile
{
    int fd = -1;
    explicit RawFile(const QString &path) : fd(::open(QFile::encodeName(path).constData(), O_RDWR | O_CLOEXEC)) {}
    ~RawFile()
    {
        if (fd >= 0)
            ::close(fd);
    }
};

// The table file of an image; not usable when the folder no longer holds
// it (read() checked that a table there has the image's layout).
struct TableFile
{
    QString path;
    RawFile file;

    TableFile(const QString &folder, const TableImage &t) : path(DbfFile::findFile(folder, t.fileName)), file(path)
    {
        if (!path.isEmpty() && file.fd < 0)
            throw restoreError(t.fileName);
    }
    bool usable() const { return !path.isEmpty(); }
};

// Writes the bytes of rows, in the order given, where their records lie.
void writeRows(const TableFile &f, const TableImage &t, const std::vector<const RowImage *> &rows)
{
    for (const RowImage *r : rows) {
        if (r->rec < 0 || r->rec >= t.recordCount || r->offset < 0 || r->offset + r->bytes.size() > t.recordLength)
            throw DbError(QString::fromUtf8("恢复日志中表 %1 的记录超出范围").arg(t.fileName));
        faultPoint("restore");
        if (!disk::write(f.file.fd, f.path, t.headerLength + qint64(r->rec) * t.recordLength + r->offset,
                         r->bytes.constData(), r->bytes.size()))
            throw restoreError(t.fileName);
    }
}

// The images of one table, in the order written or latest first.
std::vector<const RowImage *> imagesOf(const std::vector<RowImage> &images, int table, bool latestFirst)
{
    std::vector<const RowImage *> rows;
    for (const RowImage &r : images)
        if (r.table == table)
            rows.push_back(&r);
    if (latestFirst)
        std::reverse(rows.begin(), rows.end());
    return rows;
}

// Does a finished operation again: its rows as they were at its end (rows
// it added, and its memos, were on disk before it was marked finished).
void redo(const QString &folder, const Operation &op)
{
    for (size_t id = 0; id < op.endTables.size(); ++id) {
        const TableImage &t = op.endTables[id];
        const TableFile f(folder, t);
        if (!f.usable())
            continue;
        writeRows(f, t, imagesOf(op.after, int(id), false));
        syncFd(f.file.fd, f.path);
    }
}

// Undoes an unfinished operation: its rows as they were, latest image first
// (an earlier image of the same bytes is the older one), the rows it added
// gone, the memo file as long as it was.
void undo(const QString &folder, const Operation &op)
{
    for (size_t id = 0; id < op.tables.size(); ++id) {
        const TableImage &t = op.tables[id];
        const TableFile f(folder, t);
        if (!f.usable())
            continue;
        writeRows(f, t, imagesOf(op.before, int(id), true));
        const qint64 end = t.headerLength + qint64(t.recordCount) * t.recordLength;
        QByteArray header = t.header;
        for (int i = 0; i < 4; ++i)
            header[4 + i] = char((quint32(t.recordCount) >> (8 * i)) & 0xFF);
        faultPoint("restore");
        if (!disk::truncate(f.file.fd, f.path, end) || !disk::write(f.file.fd, f.path, end, &kEndOfFile, 1)
            || !disk::write(f.file.fd, f.path, 0, header.constData(), 32))
            throw restoreError(t.fileName);
        syncFd(f.file.fd, f.path);
        if (t.memoFileName.isEmpty())
            continue;
        const QString memoPath = DbfFile::findFile(folder, t.memoFileName);
        if (memoPath.isEmpty())
            continue;
        RawFile m(memoPath);
        if (m.fd < 0 || !disk::truncate(m.fd, memoPath, t.memoSize) || !disk::write(m.fd, memoPath, 0, t.memoHead.constData(), 4))
            throw DbError(QString::fromUtf8("无法恢复备注文件 %1：%2").arg(t.memoFileName, systemError()));
        syncFd(m.fd, memoPath);
    }
}

} // namespace

Writer::~Writer()
{
    if (m_fd >= 0)
        ::close(m_fd);
}

void Writer::beginEntry(char kind)
{
    if (m_salt.isEmpty()) {
        // Drawn anew for every journal: bytes left by another never pass.
        m_salt.resize(kSaltSize);
        QRandomGenerator::system()->generate(m_salt.begin(), m_salt.end());
    }
    m_entryStart = m_pending.size();
    appendU32(m_pending, 0); // the length and its complement, once known
    appendU32(m_pending, 0);
    m_pending += m_salt;
    appendU32(m_pending, m_nextSeq++);
    m_pending.append(kind);
}

void Writer::endEntry()
{
    const qsizetype length = m_pending.size() - m_entryStart - kEntryHead;
    char *head = m_pending.data() + m_entryStart;
    writeU32(head, quint32(length));
    writeU32(head + 4, ~quint32(length));
    appendU32(m_pending, checksum(m_pending.constData() + m_entryStart, m_pending.size() - m_entryStart));
}

void Writer::beginOperation()
{
    beginEntry(kBegin);
    endEntry();
}

void Writer::addImage(char kind, int id, const TableImage &table)
{
    QByteArray payload;
    QDataStream out(&payload, QIODevice::WriteOnly);
    out << qint32(id) << table;
    beginEntry(kind);
    m_pending += payload;
    endEntry();
}

void Writer::addTable(int id, const TableImage &table)
{
    addImage(kTable, id, table);
}

void Writer::addEndTable(int id, const TableImage &table)
{
    addImage(kEndTable, id, table);
}

void Writer::addBytes(char kind, int table, int rec, int offset, const char *bytes, int length)
{
    // As QDataStream reads it back: big-endian numbers, a byte array as its
    // length and its bytes.
    beginEntry(kind);
    for (const int v : {table, rec, offset, length})
        appendU32(m_pending, quint32(v));
    m_pending.append(bytes, length);
    endEntry();
}

void Writer::addBefore(int table, int rec, int offset, const char *bytes, int length)
{
    addBytes(kBefore, table, rec, offset, bytes, length);
}

void Writer::beginCommit()
{
    m_commitFirst = m_nextSeq;
}

void Writer::addAfter(int table, int rec, int offset, const char *bytes, int length)
{
    addBytes(kAfter, table, rec, offset, bytes, length);
}

void Writer::addCommit()
{
    beginEntry(kCommit);
    appendU32(m_pending, m_commitFirst);
    endEntry();
}

void Writer::flush()
{
    if (m_pending.isEmpty())
        return;
    if (m_fd < 0) {
        // A journal already there belongs to an operation not yet put back:
        // writing over it would lose what it holds.
        faultPoint("journal");
        m_fd = disk::create(m_path, true);
        if (m_fd < 0) {
            if (errno == EEXIST)
                throw DbError(QString::fromUtf8("数据目录中有未处理的恢复日志 %1，请重新启动程序。").arg(QDir::toNativeSeparators(m_path)));
            throw journalError(m_path);
        }
    }
    faultPoint("journal");
    qint64 pos = m_size;
    try {
        if (pos == 0) {
            const QByteArray header = QByteArray(kMagic, sizeof kMagic) + m_salt;
            writeAll(m_fd, 0, header.constData(), header.size(), m_path);
            pos = header.size();
        }
        writeAll(m_fd, pos, m_pending.constData(), m_pending.size(), m_path);
        if (m_dirtyTail && !disk::truncate(m_fd, m_path, pos + m_pending.size()))
            throw journalError(m_path);
        ++g_syncs;
        syncFd(m_fd, m_path);
    } catch (const DbError &) {
        // The journal ends where the last good flush left it; what may lie
        // after is cut at the latest by the rollback (cutBack).
        m_dirtyTail = true;
        if (!disk::truncate(m_fd, m_path, m_size)) {
            // cutBack tries again
        }
        throw;
    }
    m_size = pos + m_pending.size();
    m_pending.clear();
    m_flushedSeq = m_nextSeq;
    m_dirtyTail = false;
    // Until the folder is synced the journal's name may not outlive a power
    // cut: no table is written before it is, and a failure is tried again.
    if (!m_named) {
        ++g_syncs;
        if (!disk::syncFolder(QFileInfo(m_path).absolutePath()))
            throw journalError(m_path);
        m_named = true;
    }
}

void Writer::dropPending(const Mark &mark)
{
    if (mark.seq < m_flushedSeq || mark.pending > m_pending.size()) {
        m_pending.clear();
        m_nextSeq = m_flushedSeq;
        return;
    }
    m_pending.truncate(mark.pending);
    m_nextSeq = mark.seq;
}

void Writer::cutBack()
{
    if (!m_dirtyTail || m_fd < 0)
        return;
    faultPoint("journal-cut");
    if (!disk::truncate(m_fd, m_path, m_size))
        throw journalError(m_path);
    ++g_syncs;
    syncFd(m_fd, m_path);
    m_dirtyTail = false;
}

void Writer::remove()
{
    m_pending.clear();
    m_salt.clear();
    m_nextSeq = m_flushedSeq = 1;
    m_dirtyTail = false;
    m_named = false;
    if (m_fd < 0)
        return;
    ::close(m_fd);
    m_fd = -1;
    m_size = 0;
    faultPoint("journal-remove");
    if (!disk::remove(m_path))
        throw journalError(m_path);
    disk::syncFolder(QFileInfo(m_path).absolutePath());
}

quint64 Writer::syncs()
{
    return g_syncs;
}

void restore(const QString &folder, const Contents &contents)
{
    for (const Operation &op : contents.operations) {
        if (op.committed)
            redo(folder, op);
        else
            undo(folder, op);
    }
}

} // namespace db::journal
