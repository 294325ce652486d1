// A memo file compacted with its table: memos saved again are appended, never
// rewritten over (a journal takes them back by the file's size), so the file
// only grows until the start-up pack writes it anew with the memos the rows
// point to, and the table with their new block numbers.
//
// The two are replaced as a pair. Both are written and synced under scratch
// names ("~pack-<table>", "~pack-<memo file>"); renaming the table's to
// "~packed-<table>" commits the pair. After that the memo file takes its
// name, then the table, the folder synced after each. A crash before the
// commit leaves the old pair and scratch files that the start removes; after
// it, the start (or the next open of the table) finishes the renames, so no
// table ever stands beside a memo file of the other pair.
#include "DbfFile.h"

#include "DbfBytes.h"
#include "MemoFile.h"
#include "TableState.h"

#include <QDir>
#include <QFileInfo>
#include <QHash>
#include <QVarLengthArray>
#include <QtAlgorithms>
#include <algorithm>
#include <sys/stat.h>
#include <vector>

namespace db {

using namespace dbf;

namespace {

const QString kScratch = QStringLiteral("~pack-");
const QString kCommitted = QStringLiteral("~packed-");

qint64 &compactionFloor()
{
    static qint64 floor = 4 << 20;
    return floor;
}

QVarLengthArray<int, 16> memoFieldsOf(const QVector<FieldDef> &fields)
{
    QVarLengthArray<int, 16> memos;
    for (int f = 0; f < fields.size(); ++f)
        if (fields[f].type == 'M')
            memos.append(f);
    return memos;
}

DbError refused(const QString &table)
{
    const int error = errno;
    return DbError(QString::fromUtf8("整理表 %1 失败：%2").arg(table, disk::failureReason(error)), error);
}

// The names are in place once renamed; a folder that refuses its sync only
// leaves them less sure to outlive a power cut, as putInPlace has it.
void syncFolderAfterRename(const QString &folder)
{
    try {
        disk::syncFolder(folder);
    } catch (const DbError &) {
    }
}

// A memo's block as a record points to it: digits with blanks (or zeros)
// around them; 0 for none, -1 when it is no block number. Read without a
// copy: a survey reads every pointer of the table.
qint64 pointerAt(const char *p, int length)
{
    int from = 0, to = length;
    while (from < to && (p[from] == ' ' || p[from] == '\0'))
        ++from;
    while (to > from && (p[to - 1] == ' ' || p[to - 1] == '\0'))
        --to;
    qint64 block = 0;
    for (int i = from; i < to; ++i) {
        if (p[i] < '0' || p[i] > '9' || block > qint64(kMaxMemoBlock))
            return -1;
        block = block * 10 + (p[i] - '0');
    }
    return block > qint64(kMaxMemoBlock) ? -1 : block;
}

// Moves the memo file and then the table of a committed pair into place.
void finishCommitted(const QString &folder, const QString &committedName)
{
    const QString tableName = committedName.mid(kCommitted.size());
    const QString base = QFileInfo(tableName).completeBaseName();
    const QString memoScratch = DbfFile::findFile(folder, kScratch + base + QStringLiteral(".dbt"));
    if (!memoScratch.isEmpty()) {
        QString memo = DbfFile::findFile(folder, base + QStringLiteral(".dbt"));
        if (memo.isEmpty())
            memo = QDir(folder).filePath(QFileInfo(memoScratch).fileName().mid(kScratch.size()));
        faultPoint("rename");
        if (!disk::rename(memoScratch, memo))
            throw refused(tableName);
        syncFolderAfterRename(folder);
    }
    faultPoint("rename");
    if (!disk::rename(QDir(folder).filePath(committedName), QDir(folder).filePath(tableName)))
        throw refused(tableName);
    syncFolderAfterRename(folder);
}

} // namespace

void DbfFile::setMemoCompactionFloor(qint64 bytes)
{
    compactionFloor() = bytes;
}

void DbfFile::finishReplacements(const QString &dir)
{
    const QStringList committed =
        QDir(dir).entryList({kCommitted + QLatin1Char('*')}, QDir::Files | QDir::Hidden, QDir::Name);
    for (const QString &name : committed)
        finishCommitted(QFileInfo(dir).absoluteFilePath(), name);
}

void DbfFile::finishReplacement(const QString &tablePath)
{
    const QFileInfo table(tablePath);
    if (QFileInfo::exists(table.absolutePath() + QLatin1Char('/') + kCommitted + table.fileName()))
        finishCommitted(table.absolutePath(), kCommitted + table.fileName());
}

// The memo file as a file, whatever its name: a file put in its place is another.
QByteArray DbfFile::memoFileId() const
{
    struct stat st;
    if (!m_memo || ::fstat(m_memo->fd(), &st) != 0)
        return {};
    return QByteArray::number(qulonglong(st.st_dev)) + '/' + QByteArray::number(qulonglong(st.st_ino));
}

// The bytes the memos of the live rows fill, read until they are known to
// fill at least half of `fileSize` (no compaction then); -1 when a pointer or a
// memo cannot be read, which no compaction may lose. Counts the deleted rows
// on the way.
qint64 DbfFile::liveMemoBytes(qint64 fileSize)
{
    const auto memoFields = memoFieldsOf(m_fields);
    // The blocks pointed to, one bit each: a pointer past the end of the
    // file leads nowhere.
    const qint64 bs = m_memo->blockSize();
    const qint64 blocksInFile = (m_memo->size() + bs - 1) / bs;
    std::vector<quint64> pointed(size_t(blocksInFile + 63) / 64, 0);
    bool sound = true;
    int deleted = 0;
    scanRecords([&](int, const char *rec) {
        if (rec[0] == '*') {
            ++deleted;
            return;
        }
        for (const int f : memoFields) {
            const qint64 block = pointerAt(rec + m_fields[f].offset, m_fields[f].length);
            if (block > 0 && block < blocksInFile)
                pointed[size_t(block) / 64] |= quint64(1) << (block % 64);
            sound = sound && block >= 0 && block < blocksInFile;
        }
    });
    m_deleted = deleted;
    if (!sound)
        return -1;
    qint64 bytes = 0; // each memo fills a block at least
    for (const quint64 word : pointed)
        bytes += qPopulationCount(word) * bs;
    for (size_t w = 0; w < pointed.size() && 2 * bytes < fileSize; ++w)
        for (quint64 word = pointed[w]; word && 2 * bytes < fileSize; word &= word - 1) {
            const quint32 block = quint32(w * 64 + size_t(qCountTrailingZeroBits(word)));
            try {
                bytes += m_memo->formatted(m_memo->read(block)).size() - bs;
            } catch (const DbError &) {
                return -1;
            }
        }
    return bytes;
}

bool DbfFile::memoWantsCompaction()
{
    if (!m_memo || m_readOnly || m_memo->size() < compactionFloor())
        return false;
    const qint64 size = m_memo->size() - m_memo->headerBlocks() * qint64(m_memo->blockSize()); // the memos' part
    // Memos saved since the last measure only add to the file, so while it
    // holds no more than twice what was live then, it needs no compaction,
    // unless rows were deleted.
    const QByteArray id = memoFileId();
    const qint64 known = tablestate::liveMemoBytes(m_path, id);
    if (known >= 0 && size <= 2 * known && deletedCount() == 0)
        return false;
    const qint64 live = liveMemoBytes(size);
    // An unreadable memo is left where it is, and not read again until the file doubles.
    tablestate::rememberLiveMemoBytes(m_path, id, live < 0 ? size : live);
    return live >= 0 && size > 2 * live;
}

void DbfFile::packWithMemo()
{
    const QString folder = QFileInfo(m_path).absolutePath();
    const QString tableScratch = folder + QLatin1Char('/') + kScratch + shortName(m_path);
    const QString memoScratch = folder + QLatin1Char('/') + kScratch + shortName(m_memo->path());
    const QString committed = folder + QLatin1Char('/') + kCommitted + shortName(m_path);
    const auto memoFields = memoFieldsOf(m_fields);
    const qint64 bs = m_memo->blockSize();
    const int headerBlocks = m_memo->headerBlocks();

    int memoOut = -1, tableOut = -1;
    int kept = 0;
    qint64 memoBytes = 0;
    try {
        if ((memoOut = disk::create(memoScratch)) < 0)
            throw refused(shortName(m_path));
        if ((tableOut = disk::create(tableScratch)) < 0)
            throw refused(shortName(m_path));
        // One pass: the live rows in order, each memo they point to written
        // once (rows sharing a memo keep sharing it) after the last.
        QHash<quint32, quint32> moved;
        quint32 next = quint32(headerBlocks);
        QByteArray memos, rows;
        qint64 memoPos = headerBlocks * bs, tablePos = 0;
        const auto flush = [&](bool last) {
            if (last || memos.size() >= kBulkChunk) {
                pwriteAll(memoOut, memoPos, memos.constData(), memos.size(), memoScratch);
                memoPos += memos.size();
                memos.clear();
            }
            if (last || rows.size() >= kBulkChunk) {
                pwriteAll(tableOut, tablePos, rows.constData(), rows.size(), tableScratch);
                tablePos += rows.size();
                rows.clear();
            }
        };
        rows = packedHeader(m_recordCount - deletedCount());
        scanRecords([&](int, const char *rec) {
            if (rec[0] == '*')
                return;
            ++kept;
            const qsizetype at = rows.size();
            rows.append(rec, m_recordLength);
            for (const int f : memoFields) {
                const qint64 block = pointerAt(rec + m_fields[f].offset, m_fields[f].length);
                if (block <= 0)
                    continue; // none (the survey found every other one sound)
                quint32 &to = moved[quint32(block)];
                if (!to) {
                    const QByteArray data = m_memo->formatted(m_memo->read(quint32(block)));
                    to = next;
                    next += quint32(data.size() / bs);
                    memos += data;
                }
                const QByteArray number = QByteArray::number(to).rightJustified(m_fields[f].length, ' ');
                std::memcpy(rows.data() + at + m_fields[f].offset, number.constData(), size_t(number.size()));
            }
            flush(false);
        });
        rows.append(kEndOfFile);
        flush(true);
        // The header block as it was (a dBASE IV one names its block size),
        // pointing past the last memo.
        QByteArray head(headerBlocks * bs, '\0');
        preadAll(m_memo->fd(), 0, head.data(), head.size());
        writeLe32(head.data(), next);
        pwriteAll(memoOut, 0, head.constData(), head.size(), memoScratch);
        memoBytes = qint64(next - quint32(headerBlocks)) * bs;
        struct stat st;
        if (::fstat(m_memo->fd(), &st) == 0)
            ::fchmod(memoOut, st.st_mode & 07777);
        if (::fstat(m_fd, &st) == 0)
            ::fchmod(tableOut, st.st_mode & 07777);
        faultPoint("sync");
        if (!disk::sync(memoOut, memoScratch) || !disk::sync(tableOut, tableScratch))
            throw refused(shortName(m_path));
        for (int *fd : {&memoOut, &tableOut}) {
            const int closing = *fd;
            *fd = -1;
            if (::close(closing) != 0)
                throw refused(shortName(m_path));
        }
        faultPoint("rename");
        if (!disk::rename(tableScratch, committed))
            throw refused(shortName(m_path));
    } catch (...) {
        for (const int fd : {memoOut, tableOut})
            if (fd >= 0)
                ::close(fd);
        disk::remove(tableScratch);
        disk::remove(memoScratch);
        throw;
    }
    // Committed: the new pair is the table now, whatever happens next. Until
    // both are open here, the old ones are no longer to be written.
    m_stale = true;
    syncFolderAfterRename(folder);
    finishCommitted(folder, kCommitted + shortName(m_path));
    m_memo.reset();
    loadMemo();
    reopenReplaced(kept);
    m_stale = false;
    tablestate::rememberLiveMemoBytes(m_path, memoFileId(), memoBytes);
}

} // namespace db
