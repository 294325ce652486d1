#include "JournalFile.h"

#include "DbError.h"
#include "DbfFile.h"
#include "Journal.h"

#include <QDataStream>
#include <QDir>
#include <QFile>
#include <QFileInfo>

#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <unistd.h>
#include <zlib.h>

namespace db::journal {

namespace {

constexpr char kMagic[8] = {'D', 'B', 'F', 'J', 'R', 'N', 'L', '1'};
constexpr char kEndOfFile = 0x1A;
constexpr char kTableEntry = 'T';
constexpr char kRowEntry = 'R';

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
    while (size > 0) {
        const ssize_t n = ::pwrite(fd, data, size_t(size), off_t(pos));
        if (n < 0 && errno == EINTR)
            continue;
        if (n <= 0)
            throw journalError(path);
        data += n;
        size -= n;
        pos += n;
    }
}

void syncFd(int fd, const QString &path)
{
    faultPoint("sync");
    if (::fsync(fd) != 0)
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

void putBack(const QString &folder, const TableImage &t, const std::vector<const RowImage *> &rows)
{
    const QString path = DbfFile::findFile(folder, t.fileName);
    if (path.isEmpty())
        return;
    RawFile f(path);
    if (f.fd < 0)
        throw DbError(QString::fromUtf8("无法恢复表 %1：%2").arg(t.fileName, systemError()));
    char head[12];
    if (::pread(f.fd, head, sizeof head, 0) != qint64(sizeof head))
        return;
    const int headerLength = uchar(head[8]) | uchar(head[9]) << 8;
    const int recordLength = uchar(head[10]) | uchar(head[11]) << 8;
    if (headerLength != t.headerLength || recordLength != t.recordLength)
        return; // another table under the old name
    const auto fail = [&] { return DbError(QString::fromUtf8("无法恢复表 %1：%2").arg(t.fileName, systemError())); };
    // Latest first: an earlier image of the same bytes is the older one.
    for (auto it = rows.rbegin(); it != rows.rend(); ++it) {
        const RowImage &r = **it;
        if (r.rec < 0 || r.rec >= t.recordCount || r.offset < 0 || r.offset + r.bytes.size() > t.recordLength)
            continue;
        faultPoint("restore");
        if (::pwrite(f.fd, r.bytes.constData(), size_t(r.bytes.size()),
                     off_t(t.headerLength + qint64(r.rec) * t.recordLength + r.offset))
            != r.bytes.size())
            throw fail();
    }
    // The rows the operation added go, and the count is the old one.
    const qint64 end = t.headerLength + qint64(t.recordCount) * t.recordLength;
    QByteArray header = t.header;
    for (int i = 0; i < 4; ++i)
        header[4 + i] = char((quint32(t.recordCount) >> (8 * i)) & 0xFF);
    faultPoint("restore");
    if (::ftruncate(f.fd, end) != 0 || ::pwrite(f.fd, &kEndOfFile, 1, end) != 1
        || ::pwrite(f.fd, header.constData(), 32, 0) != 32)
        throw fail();
    syncFd(f.fd, path);
    if (t.memoFileName.isEmpty())
        return;
    const QString memoPath = DbfFile::findFile(folder, t.memoFileName);
    if (memoPath.isEmpty())
        return;
    RawFile m(memoPath);
    if (m.fd < 0 || ::ftruncate(m.fd, t.memoSize) != 0 || ::pwrite(m.fd, t.memoHead.constData(), 4, 0) != 4)
        throw DbError(QString::fromUtf8("无法恢复备注文件 %1：%2").arg(t.memoFileName, systemError()));
    syncFd(m.fd, memoPath);
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

void Writer::addTable(int id, const TableImage &table)
{
    QByteArray payload;
    QDataStream out(&payload, QIODevice::WriteOnly);
    out << qint32(id) << table;
    beginEntry(kTableEntry);
    m_pending += payload;
    endEntry();
}

void Writer::addRow(int table, int rec, int offset, const char *bytes, int length)
{
    // As QDataStream reads it back: big-endian numbers, a byte array as its
    // length and its bytes.
    beginEntry(kRowEntry);
    for (const int v : {table, rec, offset, length})
        appendU32(m_pending, quint32(v));
    m_pending.append(bytes, length);
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
        m_fd = ::open(QFile::encodeName(m_path).constData(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0644);
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
    if (::unlink(QFile::encodeName(m_path).constData()) != 0 && errno != ENOENT)
        throw journalError(m_path);
    syncFolder(QFileInfo(m_path).absolutePath());
}

void syncFolder(const QString &folder)
{
    const int fd = ::open(QFile::encodeName(folder).constData(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (fd < 0)
        return;
    faultPoint("sync");
    ::fsync(fd);
    ::close(fd);
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
        QDataStream in(QByteArray::fromRawData(body + 1, length - 1));
        qint32 id = -1;
        in >> id;
        if (body[0] == kTableEntry) {
            TableImage t;
            in >> t;
            if (in.status() != QDataStream::Ok || id != qint32(contents.tables.size()) || !sound(t)) {
                *why = QString::fromUtf8("表记录无效");
                return ReadResult::Unreadable;
            }
            contents.tables.push_back(t);
        } else if (body[0] == kRowEntry) {
            qint32 rec = 0, offset = 0;
            RowImage r;
            in >> rec >> offset >> r.bytes;
            if (in.status() != QDataStream::Ok || id < 0 || id >= qint32(contents.tables.size())) {
                *why = QString::fromUtf8("行记录无效");
                return ReadResult::Unreadable;
            }
            r.table = id;
            r.rec = rec;
            r.offset = offset;
            contents.rows.push_back(std::move(r));
        } else {
            *why = QString::fromUtf8("未知的记录类型");
            return ReadResult::Unreadable;
        }
        pos += 4 + qsizetype(length) + 4;
    }
    return contents.tables.empty() ? ReadResult::Empty : ReadResult::Read;
}

void restore(const QString &folder, const Contents &contents)
{
    for (size_t id = 0; id < contents.tables.size(); ++id) {
        std::vector<const RowImage *> rows;
        for (const RowImage &r : contents.rows)
            if (r.table == int(id))
                rows.push_back(&r);
        putBack(folder, contents.tables[id], rows);
    }
}

} // namespace db::journal
