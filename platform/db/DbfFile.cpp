#include "DbfFile.h"

#include "DbfBytes.h"
#include "Journal.h"
#include "KeyIndex.h"
#include "MapGuard.h"
#include "MemoFile.h"
#include "TableState.h"
#include "text/Gbk.h"

#include <QDate>
#include <QDateTime>
#include <QDir>
#include <QFileInfo>
#include <QHash>
#include <QRegularExpression>
#include <QSaveFile>
#include <QSet>
#include <algorithm>
#include <cerrno>
#include <cmath>
#include <cstring>
#include <fcntl.h>
#include <functional>
#include <sys/mman.h>
#include <sys/stat.h>
#include <unistd.h>

namespace db {

using namespace dbf;

namespace {

// Key indexes of tables this large are kept in the cache between runs; a
// smaller table is read faster than a cached index is checked.
constexpr int kCachedIndexFrom = 1024;
// Pages of a mapping read once through (a count, an index built) are given
// back when the table is this large, so a scan leaves no resident copy.
constexpr qint64 kReleaseAfterScan = 4 << 20;

// Identity, size, and the times of the last write and of the last change of
// any kind (which no program can set back).
QByteArray statStamp(const struct stat &st)
{
    return QByteArray::number(qulonglong(st.st_dev)) + '/' + QByteArray::number(qulonglong(st.st_ino)) + ':'
         + QByteArray::number(qlonglong(st.st_size)) + ':' + QByteArray::number(qlonglong(st.st_mtim.tv_sec)) + '.'
         + QByteArray::number(qlonglong(st.st_mtim.tv_nsec)) + ':' + QByteArray::number(qlonglong(st.st_ctim.tv_sec))
         + '.' + QByteArray::number(qlonglong(st.st_ctim.tv_nsec)) + ';';
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

DbfFile::~DbfFile()
{
    // What we know of the rows holds for the file only as our last write
    // left it.
    if (m_fd >= 0 && stampSettled()) {
        if (m_deleted >= 0)
            tablestate::remember(m_path, m_stamp, m_recordCount, m_deleted);
        for (auto &[field, slot] : m_indexes)
            if (m_recordCount >= kCachedIndexFrom && slot.cachedStamp != m_stamp)
                tablestate::rememberKeyIndex(m_path, m_stamp, indexName(field), slot.index->image());
    }
    unmap();
    if (m_fd >= 0)
        ::close(m_fd);
}

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
        timespec now;
        ::clock_gettime(CLOCK_REALTIME, &now);
        const qint64 margin = wholeSeconds ? 2100000000 : 100000000;
        *settled = !stamp.isEmpty() && nanoseconds(now) - newest > margin;
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

QString DbfFile::tableName() const
{
    return QFileInfo(m_path).completeBaseName();
}

void DbfFile::fail(const QString &what) const
{
    throw DbError(QString::fromUtf8("表 %1 已损坏：%2").arg(shortName(m_path), what));
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

void DbfFile::load()
{
    m_fd = openFd(m_path, &m_readOnly);
    if (m_fd < 0)
        throw DbError(QString::fromUtf8("无法打开表 %1：%2").arg(shortName(m_path), QString::fromLocal8Bit(strerror(errno))));
    const qint64 size = fileSize();
    QByteArray head(32, '\0');
    if (size < 32 || preadAll(m_fd, 0, head.data(), 32) != 32)
        fail(QString::fromUtf8("文件头不完整"));

    const quint32 count = readLe32(head.constData() + 4);
    m_headerLength = readLe16(head.constData() + 8);
    m_recordLength = readLe16(head.constData() + 10);
    if (m_headerLength < 33 || m_headerLength > size)
        fail(QString::fromUtf8("文件头长度 %1 无效").arg(m_headerLength));
    if (m_recordLength < 1)
        fail(QString::fromUtf8("记录长度 %1 无效").arg(m_recordLength));
    m_header = QByteArray(m_headerLength, '\0');
    if (preadAll(m_fd, 0, m_header.data(), m_headerLength) != m_headerLength)
        fail(QString::fromUtf8("文件头不完整"));

    const char *h = m_header.constData();
    int offset = 1;
    for (int pos = 32; pos + 32 <= m_headerLength && h[pos] != kHeaderEnd; pos += 32) {
        FieldDef f;
        const char *d = h + pos;
        f.name = QByteArray(d, int(strnlen(d, 11))).trimmed();
        f.type = char(QChar::toUpper(uint(uchar(d[11]))));
        f.length = uchar(d[16]);
        f.decimals = uchar(d[17]);
        f.offset = offset;
        if (f.name.isEmpty())
            fail(QString::fromUtf8("第 %1 个字段没有名称").arg(m_fields.size() + 1));
        if (!QByteArray("CNFDML").contains(f.type))
            throw DbError(QString::fromUtf8("表 %1 的字段 %2 类型“%3”不受支持")
                              .arg(shortName(m_path), QString::fromLatin1(f.name), QChar(f.type)));
        if (f.length < 1)
            fail(QString::fromUtf8("字段 %1 的长度为 0").arg(QString::fromLatin1(f.name)));
        offset += f.length;
        m_fields.append(f);
    }
    if (m_fields.isEmpty())
        fail(QString::fromUtf8("没有字段"));
    if (offset > m_recordLength)
        fail(QString::fromUtf8("字段长度之和 %1 超过记录长度 %2").arg(offset).arg(m_recordLength));

    const qint64 body = size - m_headerLength;
    if (qint64(count) * m_recordLength > body)
        fail(QString::fromUtf8("记录数 %1 与文件长度不符（文件被截断）").arg(count));
    m_recordCount = int(count);
    map(size);
    // A record appended just before a crash that left the header behind is
    // taken back in: it is complete and carries a valid deletion flag. Only
    // one: the header's count holds otherwise, as other readers take it.
    if (qint64(m_recordCount + 1) * m_recordLength <= body) {
        const char flag = m_map[m_headerLength + qint64(m_recordCount) * m_recordLength];
        if (flag == ' ' || flag == '*')
            ++m_recordCount;
    }
    m_flushed = m_recordCount;

    readCodePage();
    for (const FieldDef &f : m_fields)
        if (f.type == 'M') {
            loadMemo();
            break;
        }
}

void DbfFile::loadMemo()
{
    const QString base = QFileInfo(m_path).completeBaseName();
    const QString memoPath = findFile(QFileInfo(m_path).absolutePath(), base + QStringLiteral(".dbt"));
    if (memoPath.isEmpty())
        throw DbError(QString::fromUtf8("表 %1 的备注文件 %2.dbt 不存在").arg(shortName(m_path), base));
    m_memo = MemoFile::open(memoPath, uchar(m_header[0]) == 0x8B);
}

const char *DbfFile::record(int rec) const
{
    if (rec < 0 || rec >= m_recordCount)
        throw DbError(QString::fromUtf8("表 %1 没有第 %2 条记录").arg(shortName(m_path)).arg(rec + 1));
    if (rec >= m_flushed)
        return m_pending.constData() + qint64(rec - m_flushed) * m_recordLength;
    return m_map + m_headerLength + qint64(rec) * m_recordLength;
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

int DbfFile::deletedCount() const
{
    if (m_deleted < 0) {
        int n = 0;
        for (int r = 0; r < m_recordCount; ++r)
            n += record(r)[0] == '*';
        m_deleted = n;
        releaseScannedPages();
        if (stampSettled())
            tablestate::remember(m_path, m_stamp, m_recordCount, m_deleted);
    }
    return m_deleted;
}

void DbfFile::releaseScannedPages() const
{
    const qint64 used = std::min<qint64>(m_mapLength, pageRound(m_headerLength + qint64(m_flushed) * m_recordLength));
    if (m_map && used >= kReleaseAfterScan)
        ::madvise(const_cast<char *>(m_map), size_t(used), MADV_DONTNEED);
}

int DbfFile::fieldIndex(const QString &name) const
{
    const QByteArray n = name.trimmed().toLatin1();
    for (int i = 0; i < m_fields.size(); ++i)
        if (qstricmp(m_fields[i].name.constData(), n.constData()) == 0)
            return i;
    return -1;
}

QByteArray DbfFile::readMemo(quint32 block) const
{
    if (!m_memo)
        throw DbError(QString::fromUtf8("表 %1 没有备注文件").arg(shortName(m_path)));
    return m_memo->read(block);
}

quint32 DbfFile::writeMemo(const QByteArray &text)
{
    return writeMemoAt(text, 0, 0);
}

// Writes a memo at block `at`, or after the last block when `at` is 0; in
// place it fills `blocks` blocks, clearing what the old text left.
quint32 DbfFile::writeMemoAt(const QByteArray &text, quint32 at, qint64 blocksInPlace)
{
    if (!m_memo)
        throw DbError(QString::fromUtf8("表 %1 没有备注文件").arg(shortName(m_path)));
    if (text.isEmpty())
        return 0;
    journal::beforeGrowth(*this);
    const bool collect = !at && m_bulk > 0;
    const quint32 block = m_memo->write(text, at, blocksInPlace, collect);
    if (!collect)
        m_stamp = openStamp();
    return block;
}

void DbfFile::flushMemo()
{
    if (m_memo)
        m_memo->flush();
}

void DbfFile::writeMemoHeader()
{
    if (m_memo)
        m_memo->writeHeader();
}

// --- key index -------------------------------------------------------------

QByteArray DbfFile::keyOf(const char *record, int field) const
{
    return textBytes(record, field);
}

QByteArray DbfFile::indexName(int field) const
{
    const FieldDef &f = m_fields[field];
    return f.name + ':' + QByteArray::number(f.offset) + ':' + QByteArray::number(f.length);
}

// The index of a field: from the cache when it holds one for the file as it
// is now and the index proves sound, else built from the records.
KeyIndex &DbfFile::keyIndex(int field) const
{
    auto it = m_indexes.find(field);
    if (it != m_indexes.end())
        return *it->second.index;
    IndexSlot slot;
    if (m_recordCount >= kCachedIndexFrom && m_bulk == 0 && m_flushed == m_recordCount && m_stamp == diskStamp()) {
        const QByteArray image = tablestate::keyIndexImage(m_path, m_stamp, indexName(field));
        if (std::optional<KeyIndex> cached = KeyIndex::fromImage(image, m_recordCount, m_fields[field].length)) {
            // A last check against the records themselves, spread over the table.
            bool agrees = true;
            for (const auto &[rec, key] : cached->sample(32))
                agrees = agrees && keyOf(record(rec), field) == key;
            if (agrees) {
                slot.index = std::make_unique<KeyIndex>(std::move(*cached));
                slot.cachedStamp = m_stamp;
            }
        }
    }
    if (!slot.index) {
        const FieldDef &f = m_fields[field];
        slot.index = std::make_unique<KeyIndex>(KeyIndex::build(m_recordCount, [&](int rec) {
            // The bytes in the record itself, which stay put while the index is built.
            const char *p = record(rec) + f.offset;
            int n = f.length;
            while (n > 0 && (p[n - 1] == ' ' || p[n - 1] == '\0'))
                --n;
            return QByteArrayView(p, n);
        }));
        releaseScannedPages();
    }
    return *m_indexes.emplace(field, std::move(slot)).first->second.index;
}

QVector<int> DbfFile::keyRecords(int field, const QByteArray &key) const
{
    return keyIndex(field).records(key);
}

QVector<int> DbfFile::prefixRecords(int field, const QByteArray &prefix) const
{
    return keyIndex(field).recordsWithPrefix(prefix);
}

QVector<int> DbfFile::recordsInKeyOrder(int field, bool descending) const
{
    return keyIndex(field).inKeyOrder(descending);
}

QByteArray DbfFile::largestKey(int field, const QByteArray &prefix,
                               const std::function<bool(QByteArrayView)> &accept) const
{
    QByteArray found;
    keyIndex(field).visitPrefixDescending(prefix, [&](QByteArrayView key, int rec) {
        if (isDeleted(rec) || !accept(key))
            return true;
        found = key.toByteArray();
        return false;
    });
    return found;
}

// Keeps the indexes right when record rec changes from oldRecord (null for
// a new record) to newRecord (null for a record taken away).
void DbfFile::indexRecord(int rec, const char *oldRecord, const char *newRecord)
{
    for (auto it = m_indexes.begin(); it != m_indexes.end();) {
        const int field = it->first;
        KeyIndex &index = *it->second.index;
        const QByteArray now = newRecord ? keyOf(newRecord, field) : QByteArray();
        bool kept = true;
        if (oldRecord) {
            const QByteArray before = keyOf(oldRecord, field);
            if (newRecord && before == now) {
                ++it;
                continue;
            }
            kept = index.remove(before, rec);
        }
        if (kept && newRecord)
            index.insert(now, rec);
        // An index that lost track of the records is built again when next used.
        it = kept ? std::next(it) : m_indexes.erase(it);
    }
}

// --- writing ---------------------------------------------------------------

void DbfFile::writeAt(qint64 pos, const char *data, qint64 size)
{
    if (m_readOnly)
        throw DbError(QString::fromUtf8("表 %1 是只读文件，不能写入").arg(shortName(m_path)));
    pwriteAll(m_fd, pos, data, size, m_path);
}

void DbfFile::writeRecord(int rec, const QByteArray &raw)
{
    if (raw.size() != m_recordLength)
        throw DbError(QString::fromUtf8("写入表 %1 的记录长度不符").arg(shortName(m_path)));
    const char *old = record(rec); // range check
    if (std::memcmp(old, raw.constData(), size_t(m_recordLength)) == 0)
        return; // nothing changes: nothing to write
    if (rec < m_flushed)
        journal::beforeRowWrite(*this, rec, old, raw.constData());
    if (m_deleted >= 0)
        m_deleted += (raw[0] == '*') - (old[0] == '*');
    if (!m_indexes.empty()) {
        const QByteArray before(old, m_recordLength);
        indexRecord(rec, before.constData(), raw.constData());
    }
    if (rec >= m_flushed) {
        std::memcpy(m_pending.data() + qint64(rec - m_flushed) * m_recordLength, raw.constData(), size_t(raw.size()));
    } else {
        flushMemo(); // the memos it points to reach the disk first
        writeAt(m_headerLength + qint64(rec) * m_recordLength, raw.constData(), raw.size());
        m_stamp = openStamp();
    }
    ++m_generation;
}

void DbfFile::writeHeader()
{
    journal::beforeGrowth(*this);
    char head[8];
    std::memcpy(head, m_header.constData(), 8);
    stampDate(head);
    writeLe32(head + 4, quint32(m_recordCount));
    writeAt(0, head, 8);
    std::memcpy(m_header.data(), head, 8);
}

int DbfFile::appendRecord(const QByteArray &raw)
{
    if (raw.size() != m_recordLength)
        throw DbError(QString::fromUtf8("写入表 %1 的记录长度不符").arg(shortName(m_path)));
    if (m_recordCount == std::numeric_limits<int>::max())
        throw DbError(QString::fromUtf8("表 %1 的记录数已达上限").arg(shortName(m_path)));
    journal::beforeGrowth(*this);
    // One row or a bulk load's many: the rows and the end mark in one write,
    // then (outside a bulk load) the header with the new count.
    m_pending.append(raw);
    ++m_recordCount;
    if (m_bulk == 0) {
        flushPending();
        writeHeader();
        m_stamp = openStamp();
    }
    const int rec = m_recordCount - 1;
    if (m_deleted >= 0 && raw[0] == '*')
        ++m_deleted;
    if (!m_indexes.empty())
        indexRecord(rec, nullptr, raw.constData());
    ++m_generation;
    if (m_bulk > 0 && m_pending.size() >= kBulkChunk)
        flushPending();
    return rec;
}

void DbfFile::flushPending()
{
    if (m_pending.isEmpty())
        return;
    flushMemo();
    const qint64 pos = m_headerLength + qint64(m_flushed) * m_recordLength;
    m_pending.append(kEndOfFile);
    try {
        writeAt(pos, m_pending.constData(), m_pending.size());
    } catch (const DbError &) {
        // Leave the file as it was: records, end mark, nothing half-written.
        // The rows not written are given up.
        if (::ftruncate(m_fd, pos) == 0) {
            const char eof = kEndOfFile;
            ssize_t ignored = ::pwrite(m_fd, &eof, 1, pos);
            (void)ignored;
        }
        m_pending.truncate(0);
        m_recordCount = m_flushed;
        m_deleted = -1;
        m_indexes.clear();
        ++m_generation;
        throw;
    }
    ensureMapped(pos + m_pending.size());
    m_pending.truncate(0); // keeps its room for the next rows
    m_flushed = m_recordCount;
}

// Ends one bulk load; the last one writes the rows and the header. When
// that fails the load stays open, so that it can still be given up.
void DbfFile::endBulk()
{
    if (m_bulk == 1) {
        flushMemo();
        writeMemoHeader();
        flushPending();
        if (readLe32(m_header.constData() + 4) != quint32(m_recordCount))
            writeHeader();
        m_stamp = openStamp();
    }
    --m_bulk;
}

// Takes back the records from `start` on, appended by a bulk load that is
// given up. Rows still in memory are simply dropped; rows already written
// are cut off the file, whose header (not written during the load) still
// counts the rows before it. Memos written for them stay as unused blocks.
void DbfFile::dropAppended(int start)
{
    if (start >= m_recordCount)
        return;
    for (int rec = m_recordCount - 1; rec >= start; --rec) {
        const char *r = record(rec);
        if (m_deleted >= 0 && r[0] == '*')
            --m_deleted;
        if (!m_indexes.empty())
            indexRecord(rec, r, nullptr);
    }
    if (start >= m_flushed) {
        m_pending.truncate(qint64(start - m_flushed) * m_recordLength);
    } else {
        m_pending.truncate(0);
        const qint64 end = m_headerLength + qint64(start) * m_recordLength;
        // Should the cut fail, the rows beyond the count are unused bytes
        // that the next append writes over.
        if (!m_readOnly && ::ftruncate(m_fd, end) == 0) {
            const char eof = kEndOfFile;
            ssize_t ignored = ::pwrite(m_fd, &eof, 1, end);
            (void)ignored;
        }
        m_flushed = start;
        m_stamp = openStamp();
    }
    m_recordCount = start;
    ++m_generation;
}

DbfFile::BulkAppend::BulkAppend(DbfFile &file) : m_file(&file), m_start(file.m_recordCount)
{
    ++file.m_bulk;
}

void DbfFile::BulkAppend::abandon()
{
    if (!m_file)
        return;
    m_file->dropAppended(m_start);
    DbfFile *f = m_file;
    m_file = nullptr;
    f->endBulk(); // nothing left to write
}

DbfFile::BulkAppend::~BulkAppend()
{
    if (!m_file)
        return;
    try {
        m_file->endBulk();
    } catch (const DbError &) {
        // finish() reports errors; a destructor cannot. The load ends all
        // the same, with the rows the disk took.
        --m_file->m_bulk;
    }
}

void DbfFile::BulkAppend::finish()
{
    if (!m_file)
        return;
    m_file->endBulk();
    m_file = nullptr;
}

void DbfFile::setDeleted(int rec, bool deleted)
{
    QByteArray raw(record(rec), m_recordLength);
    raw[0] = deleted ? '*' : ' ';
    writeRecord(rec, raw);
}

journal::TableImage DbfFile::journalImage()
{
    flushMemo();
    flushPending();
    journal::TableImage t;
    t.fileName = shortName(m_path);
    t.headerLength = m_headerLength;
    t.recordLength = m_recordLength;
    t.recordCount = m_recordCount;
    t.header = m_header.left(32);
    if (m_memo) {
        t.memoFileName = shortName(m_memo->path());
        struct stat st;
        t.memoHead = QByteArray(4, '\0');
        if (::fstat(m_memo->fd(), &st) != 0 || preadAll(m_memo->fd(), 0, t.memoHead.data(), 4) != 4)
            throw DbError(QString::fromUtf8("无法读取备注文件 %1").arg(shortName(m_memo->path())));
        t.memoSize = st.st_size;
    }
    return t;
}

void DbfFile::syncToDisk(bool sizeChanged)
{
    flushMemo();
    writeMemoHeader();
    flushPending();
    faultPoint("sync");
    // Rows changed in place need only their pages written: the caller's one
    // flush of the device then makes them durable. A file that grew needs
    // its new size on disk as well.
    const auto sync = [&](int fd) {
        return sizeChanged ? ::fdatasync(fd)
                           : ::sync_file_range(fd, 0, 0,
                                               SYNC_FILE_RANGE_WAIT_BEFORE | SYNC_FILE_RANGE_WRITE
                                                   | SYNC_FILE_RANGE_WAIT_AFTER);
    };
    if (sync(m_fd) != 0 || (m_memo && sync(m_memo->fd()) != 0))
        throw writeError(m_path);
}

void DbfFile::reloadFromDisk()
{
    unmap();
    if (m_fd >= 0)
        ::close(m_fd);
    m_fd = -1;
    m_memo.reset();
    m_fields.clear();
    m_indexes.clear();
    m_pending.clear();
    m_utf8 = false;
    m_foreignCodePage.clear();
    load();
    m_stamp = diskStamp();
    m_deleted = -1;
    ++m_generation;
}

void DbfFile::truncateRows(int count)
{
    if (count < 0 || count >= m_recordCount)
        return;
    dropAppended(count);
    if (m_bulk == 0) {
        writeHeader();
        m_stamp = openStamp();
    }
}

void DbfFile::followOutsideSize()
{
    if (m_bulk > 0)
        return;
    const bool faulted = mapguard::faulted(m_guardSlot);
    const qint64 size = fileSize();
    const qint64 expected = m_headerLength + qint64(m_recordCount) * m_recordLength;
    if (!faulted && size >= expected)
        return;
    // Another program shortened the file under us: serve only what is there.
    const qint64 body = std::max<qint64>(0, size - m_headerLength);
    m_recordCount = int(std::min<qint64>(m_recordCount, body / m_recordLength));
    m_flushed = m_recordCount;
    m_deleted = -1;
    m_indexes.clear();
    map(size);
    ++m_generation;
}

} // namespace db
