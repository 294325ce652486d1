// Whole-file work on a table: packing out deleted rows, emptying a scratch
// table, and creating a new one; each writes a complete file beside the old
// one and renames it over it.
#include "DbfFile.h"

#include "DbfBytes.h"
#include "WriteWatch.h"
#include "KeyIndex.h"
#include "MemoFile.h"
#include "TableState.h"

#include <QDir>
#include <QFileInfo>
#include <QSet>
#include <functional>
#include <sys/stat.h>

namespace db {

using namespace dbf;

namespace {

// Writes a new file beside `path` under a scratch name through `write`
// (given the descriptor and that name), with the mode of the file open as
// `modeOf`, and puts it in place of `path` only when complete and synced: a
// crash before leaves the scratch copy, which the next start removes; a
// failure removes it at once and leaves `path` as it was. `failure` words an
// error with the table's name and the reason.
void replaceFile(const QString &path, int modeOf, const QString &failure,
                 const std::function<void(int, const QString &)> &write)
{
    const QString temp = QFileInfo(path).absolutePath() + QStringLiteral("/~pack-") + shortName(path);
    const auto refused = [&] {
        const int error = errno;
        return DbError(failure.arg(shortName(path), disk::failureReason(error)), error);
    };
    int out = disk::create(temp);
    if (out < 0)
        throw refused();
    try {
        write(out, temp);
        struct stat st;
        if (::fstat(modeOf, &st) == 0)
            ::fchmod(out, st.st_mode & 07777);
        const int closing = out;
        out = -1;
        if (::close(closing) != 0)
            throw writeError(temp);
        if (!disk::putInPlace(temp, path))
            throw refused();
    } catch (...) {
        if (out >= 0)
            ::close(out);
        disk::remove(temp);
        throw;
    }
}

} // namespace

void DbfFile::pack()
{
    if (!m_exclusive)
        throw DbError(QString::fromUtf8("整理表 %1 需要独占打开").arg(shortName(m_path)));
    if (m_bulk > 0)
        throw DbError(QString::fromUtf8("表 %1 正在成批写入，不能整理").arg(shortName(m_path)));
    if (watch::covers(*this))
        throw DbError(QString::fromUtf8("表 %1 正在修改中，不能整理").arg(shortName(m_path)));
    watch::beforeReplace(*this);
    if (memoWantsCompaction()) {
        packWithMemo();
        return;
    }
    if (deletedCount() == 0)
        return;
    const int kept = m_recordCount - m_deleted;

    replaceFile(m_path, m_fd, QString::fromUtf8("整理表 %1 失败：%2"), [&](int out, const QString &temp) {
        QByteArray buffer = packedHeader(kept);
        qint64 pos = 0;
        scanRecords([&](int, const char *rec) {
            if (rec[0] != '*')
                buffer.append(rec, m_recordLength);
            if (buffer.size() >= kBulkChunk) {
                pwriteAll(out, pos, buffer.constData(), buffer.size(), temp);
                pos += buffer.size();
                buffer.clear();
            }
        });
        buffer.append(kEndOfFile);
        pwriteAll(out, pos, buffer.constData(), buffer.size(), temp);
    });
    reopenReplaced(kept);
}

QByteArray DbfFile::packedHeader(int rows) const
{
    QByteArray header = m_header;
    stampDate(header.data());
    writeLe32(header.data() + 4, quint32(rows));
    return header;
}

void DbfFile::truncate()
{
    if (m_bulk > 0)
        throw DbError(QString::fromUtf8("表 %1 正在成批写入，不能清空").arg(shortName(m_path)));
    // A journal takes a table back by its rows, not from a file replaced under it.
    if (watch::covers(*this))
        throw DbError(QString::fromUtf8("表 %1 正在修改中，不能清空").arg(shortName(m_path)));
    watch::beforeReplace(*this);
    const QString failure = QString::fromUtf8("清空表 %1 失败：%2");
    replaceFile(m_path, m_fd, failure, [&](int out, const QString &temp) {
        QByteArray header = packedHeader(0);
        header.append(kEndOfFile);
        pwriteAll(out, 0, header.constData(), header.size(), temp);
    });
    // The table no longer points into the memo file, so a crash from here
    // on leaves at worst unused memo blocks; so does a failure, and the
    // table is emptied all the same.
    bool memoEmptied = false;
    if (m_memo) {
        try {
            replaceFile(m_memo->path(), m_memo->fd(), failure, [&](int out, const QString &temp) {
                // The header block as it is (a dBASE IV one names its block
                // size), with the first block free again.
                QByteArray head(m_memo->blockSize(), '\0');
                preadAll(m_memo->fd(), 0, head.data(), head.size());
                writeLe32(head.data(), 1);
                pwriteAll(out, 0, head.constData(), head.size(), temp);
            });
            memoEmptied = true;
        } catch (const DbError &) {
        }
    }
    if (memoEmptied) {
        m_memo.reset();
        loadMemo();
    }
    reopenReplaced(0);
}

// After the file was replaced under our feet by a copy of `rows` rows.
void DbfFile::reopenReplaced(int rows)
{
    unmap();
    ::close(m_fd);
    m_fd = openFd(m_path, &m_readOnly);
    if (m_fd < 0)
        throw DbError(QString::fromUtf8("无法重新打开表 %1：%2").arg(shortName(m_path), QString::fromLocal8Bit(strerror(errno))));
    m_header = QByteArray(m_headerLength, '\0');
    preadAll(m_fd, 0, m_header.data(), m_headerLength);
    m_recordCount = rows;
    m_flushed = rows;
    m_pending.clear();
    m_deleted = 0;
    m_indexes.clear();
    map(fileSize());
    m_stamp = diskStamp();
    if (stampSettled())
        tablestate::remember(m_path, m_stamp, m_recordCount, 0);
    bumpGeneration();
    m_identity = m_generation; // the records are renumbered
}

void DbfFile::create(const QString &dir, const QString &name, const QVector<ColumnDef> &columns)
{
    const QString fileName = stripName(name);
    if (!findFile(dir, fileName).isEmpty())
        throw DbError(QString::fromUtf8("表文件 %1 已存在").arg(fileName));
    if (columns.isEmpty() || columns.size() > 255)
        throw DbError(QString::fromUtf8("表 %1 的字段数无效").arg(fileName));

    bool memo = false;
    int recordLength = 1;
    QByteArray fields;
    QSet<QByteArray> names;
    for (const ColumnDef &c : columns) {
        const QByteArray n = c.name.toUpper().toLatin1();
        if (names.contains(n))
            throw DbError(QString::fromUtf8("表 %1 的字段 %2 重复").arg(fileName, c.name));
        names.insert(n);
        const int length = fixedWidth(c.type) ? fixedWidth(c.type) : c.length;
        if (n.isEmpty() || n.size() > 10 || !QByteArray("CNFDML").contains(c.type) || length < 1 || length > 254
            || c.decimals < 0 || (c.decimals > 0 && c.decimals >= length - 1))
            throw DbError(QString::fromUtf8("表 %1 的字段 %2 定义无效").arg(fileName, c.name));
        QByteArray d(32, '\0');
        std::memcpy(d.data(), n.constData(), size_t(n.size()));
        d[11] = c.type;
        d[16] = char(length);
        d[17] = char(c.type == 'N' || c.type == 'F' ? c.decimals : 0);
        fields += d;
        recordLength += length;
        memo = memo || c.type == 'M';
    }
    if (recordLength > 65535)
        throw DbError(QString::fromUtf8("表 %1 的记录过长").arg(fileName));

    QByteArray header(32, '\0');
    header[0] = char(memo ? 0x83 : 0x03);
    stampDate(header.data());
    writeLe16(header.data() + 8, quint16(32 + fields.size() + 1));
    writeLe16(header.data() + 10, quint16(recordLength));
    header[29] = char(kGbkDriver);
    QByteArray file = header + fields;
    file.append(kHeaderEnd).append(kEndOfFile);

    // The memo file first: a table never stands without it.
    auto writeNew = [](const QString &path, const QByteArray &bytes) {
        if (!disk::writeWhole(path, bytes)) {
            const int error = errno;
            throw DbError(QString::fromUtf8("无法建立表文件 %1：%2").arg(shortName(path), disk::failureReason(error)), error);
        }
    };
    QString newMemo; // made here, and gone again when the table cannot be
    if (memo) {
        QFileInfo info(fileName);
        const bool upper = info.suffix() == info.suffix().toUpper() && info.suffix() != info.suffix().toLower();
        const QString memoName = info.completeBaseName() + (upper ? QStringLiteral(".DBT") : QStringLiteral(".dbt"));
        const QString existingMemo = findFile(dir, memoName);
        QByteArray memoHead(kMemoBlock, '\0');
        writeLe32(memoHead.data(), 1);
        memoHead[16] = 0x03;
        writeNew(existingMemo.isEmpty() ? QDir(dir).filePath(memoName) : existingMemo, memoHead);
        if (existingMemo.isEmpty())
            newMemo = QDir(dir).filePath(memoName);
    }
    try {
        writeNew(QDir(dir).filePath(fileName), file);
    } catch (...) {
        if (!newMemo.isEmpty())
            disk::remove(newMemo);
        throw;
    }
}

} // namespace db
