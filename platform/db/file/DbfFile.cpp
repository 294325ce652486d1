// A table file's header and records: loading and checking them, reading a
// record, writing one in place or appending it (each first shown to the
// rollback journal), and keeping the key indexes up to date with every write.
#include "DbfFile.h"

#include "DbfBytes.h"
#include "WriteWatch.h"
#include "KeyIndex.h"
#include "MapGuard.h"
#include "MemoFile.h"
#include "TableState.h"

#include <QFileInfo>
#include <algorithm>
#include <atomic>
#include <cstring>
#include <limits>
#include <sys/stat.h>
#include <unistd.h>

namespace db {

using namespace dbf;

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

QString DbfFile::tableName() const
{
    return QFileInfo(m_path).completeBaseName();
}

void DbfFile::fail(const QString &what) const
{
    throw DbError(QString::fromUtf8("表 %1 已损坏：%2").arg(shortName(m_path), what));
}

void DbfFile::bumpGeneration()
{
    static std::atomic<quint64> last{0};
    m_generation = ++last;
}

void DbfFile::load()
{
    bumpGeneration();
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
        // Dates, flags and memo block numbers have one width; every write
        // of such a value fills exactly that many bytes.
        if (const int fixed = fixedWidth(f.type); fixed && f.length != fixed)
            fail(QString::fromUtf8("字段 %1（类型 %2）的长度为 %3，应为 %4")
                     .arg(QString::fromLatin1(f.name), QChar(f.type))
                     .arg(f.length)
                     .arg(fixed));
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

int DbfFile::deletedCount() const
{
    if (m_deleted < 0) {
        int n = 0;
        scanRecords([&](int, const char *rec) { n += rec[0] == '*'; });
        m_deleted = n;
        if (stampSettled())
            tablestate::remember(m_path, m_stamp, m_recordCount, m_deleted);
    }
    return m_deleted;
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
    checkWritable();
    watch::beforeGrowth(*this);
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

// --- the indexes kept up to date -------------------------------------------

// A record's key as the indexes hold it: the field's bytes in the record,
// trailing blanks left out.
QByteArrayView DbfFile::keyOf(const char *record, int field) const
{
    const FieldDef &f = m_fields[field];
    const char *p = record + f.offset;
    int n = f.length;
    while (n > 0 && (p[n - 1] == ' ' || p[n - 1] == '\0'))
        --n;
    return QByteArrayView(p, n);
}

// Keeps the indexes right when record rec changes from oldRecord (null for
// a new record) to newRecord (null for a record taken away).
void DbfFile::indexRecord(int rec, const char *oldRecord, const char *newRecord)
{
    for (auto it = m_indexes.begin(); it != m_indexes.end();) {
        const int field = it->first;
        KeyIndex &index = *it->second.index;
        const QByteArrayView now = newRecord ? keyOf(newRecord, field) : QByteArrayView();
        bool kept = true;
        if (oldRecord) {
            const QByteArrayView before = keyOf(oldRecord, field);
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

void DbfFile::checkWritable() const
{
    if (m_stale)
        throw DbError(QString::fromUtf8("表 %1 的整理没有完成，重新启动程序后才能写入").arg(shortName(m_path)));
    if (m_readOnly)
        throw DbError(QString::fromUtf8("表 %1 是只读文件，不能写入").arg(shortName(m_path)));
}

void DbfFile::writeAt(qint64 pos, const char *data, qint64 size)
{
    checkWritable();
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
        watch::beforeRowWrite(*this, rec, old, raw.constData());
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
    bumpGeneration();
}

void DbfFile::writeHeader()
{
    watch::beforeGrowth(*this);
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
    watch::beforeGrowth(*this);
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
    bumpGeneration();
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
        if (disk::truncate(m_fd, m_path, pos)) {
            const char eof = kEndOfFile;
            disk::write(m_fd, m_path, pos, &eof, 1);
        }
        m_pending.truncate(0);
        m_recordCount = m_flushed;
        m_deleted = -1;
        m_indexes.clear();
        bumpGeneration();
        throw;
    }
    ensureMapped(pos + m_pending.size());
    m_pending.truncate(0); // keeps its room for the next rows
    m_flushed = m_recordCount;
}

void DbfFile::setDeleted(int rec, bool deleted)
{
    QByteArray raw(record(rec), m_recordLength);
    raw[0] = deleted ? '*' : ' ';
    writeRecord(rec, raw);
}

TableImage DbfFile::diskImage()
{
    flushMemo();
    flushPending();
    TableImage t;
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

void DbfFile::syncToDisk()
{
    flushMemo();
    writeMemoHeader();
    flushPending();
    faultPoint("sync");
    if (!disk::sync(m_fd, m_path) || (m_memo && !disk::sync(m_memo->fd(), m_memo->path())))
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
    bumpGeneration();
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
    bumpGeneration();
}

} // namespace db
