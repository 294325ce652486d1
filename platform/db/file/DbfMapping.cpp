// The mapping of a table's records and its guard against a file cut short
// underneath, the release of pages a pass has read, and the stamps that
// tell whether the files on disk are still as our last write left them.
#include "DbfFile.h"

#include "DbfBytes.h"
#include "MapGuard.h"
#include "MemoFile.h"
#include "TableState.h"

#include <algorithm>
#include <charconv>
#include <ctime>
#include <sys/mman.h>
#include <sys/stat.h>

namespace db {

using namespace dbf;

namespace {

// Pages of a mapping read once through (a count, an index built) are given
// back every time a pass has moved this far, so a pass over a large table
// holds no more than this resident.
constexpr qint64 kReleaseAfterScan = 4 << 20;

// Identity, size, and the times of the last write and of the last change of
// any kind (which no program can set back).
// Written in one buffer: every write outside a bulk load takes a stamp.
QByteArray statStamp(const struct stat &st)
{
    char text[160];
    char *p = text;
    const auto put = [&](auto number, char after) {
        p = std::to_chars(p, text + sizeof text - 1, number).ptr; // 20 digits at most: there is room
        *p++ = after;
    };
    put(qulonglong(st.st_dev), '/');
    put(qulonglong(st.st_ino), ':');
    put(qlonglong(st.st_size), ':');
    put(qlonglong(st.st_mtim.tv_sec), '.');
    put(qlonglong(st.st_mtim.tv_nsec), ':');
    put(qlonglong(st.st_ctim.tv_sec), '.');
    put(qlonglong(st.st_ctim.tv_nsec), ';');
    return QByteArray(text, p - text);
}

qint64 nanoseconds(const timespec &t)
{
    return qint64(t.tv_sec) * 1000000000 + t.tv_nsec;
}

qint64 pageRound(qint64 n)
{
    static const qint64 page = sysconf(_SC_PAGESIZE);
    return (n + page - 1) / page * page;
}

} // namespace

// Identity, size and times of the table and memo files as their names find
// them now: a file replaced or changed by someone else gives another stamp.
// `settled` tells whether their last change lies far enough back that any
// later change is sure to give another stamp: file times come from a coarse
// clock (a tick of a few milliseconds, or whole seconds on some disks), and a
// second change within the tick of the first would leave them as they are.
QByteArray DbfFile::diskStamp(bool *settled) const
{
    QByteArray stamp;
    qint64 newest = 0;
    bool wholeSeconds = true;
    for (const QString &p : {m_path, m_memo ? m_memo->path() : QString()}) {
        struct stat st;
        if (!p.isEmpty() && ::stat(QFile::encodeName(p).constData(), &st) == 0) {
            stamp += statStamp(st);
            newest = std::max({newest, nanoseconds(st.st_mtim), nanoseconds(st.st_ctim)});
            wholeSeconds = wholeSeconds && st.st_mtim.tv_nsec == 0 && st.st_ctim.tv_nsec == 0;
        }
    }
    if (settled) {
        const qint64 margin = wholeSeconds ? 2100000000 : 100000000;
        *settled = !stamp.isEmpty() && tablestate::wallClock() - newest > margin;
    }
    return stamp;
}

// Whether what we know of the rows may be kept for a later run: the files are
// as our last write left them, and that write is settled.
bool DbfFile::stampSettled() const
{
    if (m_bulk > 0 || m_stamp.isEmpty())
        return false;
    bool settled = false;
    return m_stamp == diskStamp(&settled) && settled;
}

// The same for the files we hold open, cheap enough for every write.
QByteArray DbfFile::openStamp() const
{
    QByteArray stamp;
    for (int fd : {m_fd, m_memo ? m_memo->fd() : -1}) {
        struct stat st;
        if (fd >= 0 && ::fstat(fd, &st) == 0)
            stamp += statStamp(st);
    }
    return stamp;
}

qint64 DbfFile::fileSize() const
{
    struct stat st;
    if (::fstat(m_fd, &st) != 0)
        throw DbError(QString::fromUtf8("无法读取表 %1 的文件信息").arg(shortName(m_path)));
    return st.st_size;
}

void DbfFile::unmap()
{
    if (!m_map)
        return;
    mapguard::unwatch(m_guardSlot);
    m_guardSlot = -1;
    ::munmap(const_cast<char *>(m_map), size_t(m_mapLength));
    m_map = nullptr;
    m_mapLength = 0;
}

// Maps `length` bytes of the file, with room to grow: bytes past the end of
// the file are never read (records beyond the count are not served).
void DbfFile::map(qint64 length)
{
    unmap();
    const qint64 reserve = pageRound(std::max<qint64>(length + length / 2, length + (1 << 20)));
    void *p = ::mmap(nullptr, size_t(reserve), PROT_READ, MAP_SHARED, m_fd, 0);
    if (p == MAP_FAILED)
        throw DbError(QString::fromUtf8("无法读取表 %1：%2").arg(shortName(m_path), QString::fromLocal8Bit(strerror(errno))));
    m_map = static_cast<const char *>(p);
    m_mapLength = reserve;
    m_guardSlot = mapguard::watch(m_map, m_mapLength);
}

void DbfFile::ensureMapped(qint64 end)
{
    if (end > m_mapLength)
        map(end);
}

const char *DbfFile::readRecord(int rec, QByteArray &buffer) const
{
    if (rec < 0 || rec >= m_flushed || mapguard::faulted(m_guardSlot))
        return record(rec); // range check, rows not yet written, or a file cut short
    buffer.resize(m_recordLength);
    if (preadAll(m_fd, m_headerLength + qint64(rec) * m_recordLength, buffer.data(), m_recordLength) != m_recordLength)
        return record(rec);
    return buffer.constData();
}

bool DbfFile::sparse(const QVector<int> &records) const
{
    if (records.isEmpty())
        return false;
    const auto [low, high] = std::minmax_element(records.begin(), records.end());
    const qint64 span = qint64(*high) - *low + 1;
    return records.size() * 8 < span && span * m_recordLength >= kReleaseAfterScan;
}

int DbfFile::releaseBehind(int from, int rec) const
{
    rec = std::min(rec, m_flushed);
    if (!m_map || from < 0 || rec <= from || qint64(rec - from) * m_recordLength < kReleaseAfterScan)
        return from;
    static const qint64 page = sysconf(_SC_PAGESIZE);
    const qint64 start = pageRound(m_headerLength + qint64(from) * m_recordLength);
    const qint64 end = (m_headerLength + qint64(rec) * m_recordLength) / page * page; // rec's own page stays
    if (end > start)
        ::madvise(const_cast<char *>(m_map) + start, size_t(end - start), MADV_DONTNEED);
    return rec;
}

void DbfFile::releaseScannedPages() const
{
    const qint64 used = std::min<qint64>(m_mapLength, pageRound(m_headerLength + qint64(m_flushed) * m_recordLength));
    if (m_map && used >= kReleaseAfterScan)
        ::madvise(const_cast<char *>(m_map), size_t(used), MADV_DONTNEED);
}

} // namespace db
