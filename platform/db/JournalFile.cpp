#include "JournalFile.h"

#include "DbError.h"
#include "DbfFile.h"
#include "FileIo.h"
#include "Journal.h"

#include <QDataStream>
#include <QDir>
#include <QFile>
#include <QFileInfo>

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <unistd.h>
#include <zlib.h>

namespace db::journal {

namespace {

constexpr char kMagic[8] = {'D', 'B', 'F', 'J', 'R', 'N', 'L', '1'};
constexpr char kEndOfFile = 0x1A;
constexpr char kBeginEntry = 'B';
constexpr char kTableEntry = 'T';
constexpr char kBeforeEntry = 'R';
constexpr char kAfterEntry = 'A';
constexpr char kCommitEntry = 'C';

quint32 checksum(const char *data, qsizetype size)
{
    return quint32(::crc32(0L, reinterpret_cast<const Bytef *>(data), uInt(size)));
}

void appendU32(QByteArray &b, quint32 v)
{
    const char bytes[4] = {char(v >> 24), char(v >> 16), char(v >> 8), char(v)};
    b.append(bytes, 4);
}

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

void syncFd(int fd, const QString &path)
{
    faultPoint("sync");
    if (!disk::sync(fd, path))
        throw journalError(path);
}

QDataStream &operator<<(QDataStream &out, const TableImage &t)
{
    return out << t.fileName << qint32(t.headerLength) << qint32(t.recordLength) << qint32(t.recordCount) << t.header
               << t.memoFileName << qint64(t.memoSize) << t.memoHead;
}

QDataStream &operator>>(QDataStream &in, TableImage &t)
{
    qint32 headerLength = 0, recordLength = 0, recordCount = 0;
    qint64 memoSize = 0;
    in >> t.fileName >> headerLength >> recordLength >> recordCount >> t.header >> t.memoFileName >> memoSize >> t.memoHead;
    t.headerLength = headerLength;
    t.recordLength = recordLength;
    t.recordCount = recordCount;
    t.memoSize = memoSize;
    return in;
}

// Whether a table read from the journal can be put back at all.
bool sound(const TableImage &t)
{
    return !t.fileName.isEmpty() && !t.fileName.contains('/') && t.headerLength >= 33 && t.recordLength >= 1
        && t.recordCount >= 0 && t.header.size() == 32 && t.memoSize >= 0
        && (t.memoFileName.isEmpty() || (!t.memoFileName.contains('/') && t.memoHead.size() == 4));
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

// The table file of an image, when the folder still holds it with the
// same layout.
struct TableFile
{
    QString path;
    RawFile file;

    TableFile(const QString &folder, const TableImage &t) : path(DbfFile::findFile(folder, t.fileName)), file(path)
    {
        if (path.isEmpty())
            return;
        if (file.fd < 0)
            throw DbError(QString::fromUtf8("无法恢复表 %1：%2").arg(t.fileName, systemError()));
        char head[12];
        if (readFully(file.fd, 0, head, sizeof head) != qint64(sizeof head)
            || (uchar(head[8]) | uchar(head[9]) << 8) != t.headerLength
            || (uchar(head[10]) | uchar(head[11]) << 8) != t.recordLength)
            path.clear(); // another table under the old name
    }
    bool usable() const { return !path.isEmpty(); }
};

// Writes the bytes of rows, in the order given, where their records lie.
void writeRows(const TableFile &f, const TableImage &t, const std::vector<const RowImage *> &rows, int recordCount)
{
    for (const RowImage *r : rows) {
        if (r->rec < 0 || r->rec >= recordCount || r->offset < 0 || r->offset + r->bytes.size() > t.recordLength)
            continue;
        faultPoint("restore");
        if (!disk::write(f.file.fd, f.path, t.headerLength + qint64(r->rec) * t.recordLength + r->offset,
                         r->bytes.constData(), r->bytes.size()))
            throw DbError(QString::fromUtf8("无法恢复表 %1：%2").arg(t.fileName, systemError()));
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
    for (size_t id = 0; id < op.tables.size(); ++id) {
        const TableImage &t = op.tables[id];
        const TableFile f(folder, t);
        if (!f.usable())
            continue;
        writeRows(f, t, imagesOf(op.after, int(id), false), t.recordCount);
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
        writeRows(f, t, imagesOf(op.before, int(id), true), t.recordCount);
        const qint64 end = t.headerLength + qint64(t.recordCount) * t.recordLength;
        QByteArray header = t.header;
        for (int i = 0; i < 4; ++i)
            header[4 + i] = char((quint32(t.recordCount) >> (8 * i)) & 0xFF);
        faultPoint("restore");
        if (!disk::truncate(f.file.fd, f.path, end) || !disk::write(f.file.fd, f.path, end, &kEndOfFile, 1)
            || !disk::write(f.file.fd, f.path, 0, header.constData(), 32))
            throw DbError(QString::fromUtf8("无法恢复表 %1：%2").arg(t.fileName, systemError()));
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
    m_entryStart = m_pending.size();
    appendU32(m_pending, 0); // the length, once known
    m_pending.append(kind);
}

void Writer::endEntry()
{
    const char *body = m_pending.constData() + m_entryStart + 4;
    const qsizetype length = m_pending.size() - m_entryStart - 4;
    const quint32 sum = checksum(body, length);
    char *head = m_pending.data() + m_entryStart;
    for (int i = 0; i < 4; ++i)
        head[i] = char(quint32(length) >> (24 - 8 * i));
    appendU32(m_pending, sum);
}

void Writer::beginOperation()
{
    beginEntry(kBeginEntry);
    endEntry();
}

void Writer::addTable(int id, const TableImage &table)
{
    QByteArray payload;
    QDataStream out(&payload, QIODevice::WriteOnly);
    out << qint32(id) << table;
    beginEntry(kTableEntry);
    m_pending += payload;
    endEntry();
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
    addBytes(kBeforeEntry, table, rec, offset, bytes, length);
}

void Writer::addAfter(int table, int rec, int offset, const char *bytes, int length)
{
    addBytes(kAfterEntry, table, rec, offset, bytes, length);
}

void Writer::addCommit()
{
    beginEntry(kCommitEntry);
    endEntry();
}

void Writer::flush()
{
    if (m_pending.isEmpty())
        return;
    const bool first = m_fd < 0;
    if (first) {
        // A journal already there belongs to an operation not yet put back:
        // writing over it would lose what it holds.
        faultPoint("journal");
        m_fd = disk::create(m_path, true);
        if (m_fd < 0) {
            if (errno == EEXIST)
                throw DbError(QString::fromUtf8("数据目录中有未处理的恢复日志 %1，请重新启动程序。").arg(QDir::toNativeSeparators(m_path)));
            throw journalError(m_path);
        }
        m_pending.prepend(QByteArray(kMagic, sizeof kMagic));
    }
    faultPoint("journal");
    writeAll(m_fd, m_size, m_pending.constData(), m_pending.size(), m_path);
    m_size += m_pending.size();
    m_pending.clear();
    syncFd(m_fd, m_path);
    if (first)
        syncFolder(QFileInfo(m_path).absolutePath());
}

void Writer::remove()
{
    m_pending.clear();
    if (m_fd < 0)
        return;
    ::close(m_fd);
    m_fd = -1;
    m_size = 0;
    faultPoint("journal-remove");
    if (!disk::remove(m_path))
        throw journalError(m_path);
    syncFolder(QFileInfo(m_path).absolutePath());
}

void syncFolder(const QString &folder)
{
    disk::syncFolder(folder);
}

ReadResult read(const QString &path, Contents &contents, QString *why)
{
    QFile f(path);
    if (!f.open(QIODevice::ReadOnly)) {
        *why = f.errorString();
        return ReadResult::Unreadable;
    }
    const QByteArray data = f.readAll();
    if (f.error() != QFile::NoError) {
        *why = f.errorString();
        return ReadResult::Unreadable;
    }
    // Shorter than its magic: cut before its first sync, so no table was
    // written after it.
    if (data.size() < qsizetype(sizeof kMagic) && QByteArray(kMagic, data.size()) == data)
        return ReadResult::Empty;
    if (!data.startsWith(QByteArray(kMagic, sizeof kMagic))) {
        *why = QString::fromUtf8("不是本程序的恢复日志");
        return ReadResult::Unreadable;
    }
    qsizetype pos = sizeof kMagic;
    const auto invalid = [&](const char *what) {
        *why = QString::fromUtf8(what);
        return ReadResult::Unreadable;
    };
    Operation *op = nullptr;
    while (pos + 9 <= data.size()) {
        const auto *p = reinterpret_cast<const uchar *>(data.constData() + pos);
        const quint32 length = quint32(p[0]) << 24 | quint32(p[1]) << 16 | quint32(p[2]) << 8 | p[3];
        if (length < 1 || qint64(length) + 8 > data.size() - pos)
            break; // cut short
        const char *body = data.constData() + pos + 4;
        const auto *s = reinterpret_cast<const uchar *>(body + length);
        const quint32 sum = quint32(s[0]) << 24 | quint32(s[1]) << 16 | quint32(s[2]) << 8 | s[3];
        if (sum != checksum(body, length))
            break;
        pos += 4 + qsizetype(length) + 4;
        const char kind = body[0];
        if (kind == kBeginEntry) {
            if (op && !op->committed)
                return invalid("未完成的操作之后又有操作");
            contents.operations.emplace_back();
            op = &contents.operations.back();
            continue;
        }
        if (!op || op->committed)
            return invalid("记录不属于任何操作");
        if (kind == kCommitEntry) {
            op->committed = true;
            continue;
        }
        QDataStream in(QByteArray::fromRawData(body + 1, length - 1));
        qint32 id = -1;
        in >> id;
        if (kind == kTableEntry) {
            TableImage t;
            in >> t;
            if (in.status() != QDataStream::Ok || id != qint32(op->tables.size()) || !sound(t))
                return invalid("表记录无效");
            op->tables.push_back(t);
        } else if (kind == kBeforeEntry || kind == kAfterEntry) {
            qint32 rec = 0, offset = 0;
            RowImage r;
            in >> rec >> offset >> r.bytes;
            if (in.status() != QDataStream::Ok || id < 0 || id >= qint32(op->tables.size()))
                return invalid("行记录无效");
            r.table = id;
            r.rec = rec;
            r.offset = offset;
            (kind == kBeforeEntry ? op->before : op->after).push_back(std::move(r));
        } else {
            return invalid("未知的记录类型");
        }
    }
    // An operation that wrote nothing to the journal's disk copy but its
    // start changed no table either.
    for (const Operation &o : contents.operations)
        if (!o.tables.empty())
            return ReadResult::Read;
    return ReadResult::Empty;
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
