#pragma once
// The byte-level pieces the table and memo files share: their marks and
// limits, little-endian numbers, and positioned reads and writes whose
// failures name the file.
#include "DbError.h"
#include "Disk.h"
#include "FileIo.h"

#include <QByteArray>
#include <QFile>
#include <QFileInfo>
#include <QString>
#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <unistd.h>

namespace db::dbf {

constexpr char kEndOfFile = 0x1A;
constexpr char kHeaderEnd = 0x0D;
constexpr unsigned char kGbkDriver = 0x4D; // read by other dBASE readers as code page 936
constexpr int kMemoBlock = 512;
constexpr quint32 kMaxMemoBlock = 0xFFFFFFFFu; // the header's next-block number is 32 bits
constexpr qint64 kBulkChunk = 1 << 20;
// Key indexes of tables this large are kept in the cache between runs; a
// smaller table is read faster than a cached index is checked.
constexpr int kCachedIndexFrom = 1024;

// The one width of a date, a flag and a memo's block number; 0 for the
// types whose width the table chooses.
inline int fixedWidth(char type)
{
    switch (type) {
    case 'D':
        return 8;
    case 'L':
        return 1;
    case 'M':
        return 10;
    }
    return 0;
}

inline quint32 readLe32(const char *p)
{
    const auto *u = reinterpret_cast<const unsigned char *>(p);
    return quint32(u[0]) | quint32(u[1]) << 8 | quint32(u[2]) << 16 | quint32(u[3]) << 24;
}

inline quint16 readLe16(const char *p)
{
    const auto *u = reinterpret_cast<const unsigned char *>(p);
    return quint16(u[0] | u[1] << 8);
}

inline void writeLe32(char *p, quint32 v)
{
    for (int i = 0; i < 4; ++i)
        p[i] = char((v >> (8 * i)) & 0xff);
}

inline void writeLe16(char *p, quint16 v)
{
    p[0] = char(v & 0xff);
    p[1] = char(v >> 8);
}

// Sets the date of the last change in a table header to today.
void stampDate(char *header);

inline QString shortName(const QString &path)
{
    return QFileInfo(path).fileName();
}

// A table's file name: leading separators dropped, ".dbf" added when it
// has no extension.
inline QString stripName(QString name)
{
    while (name.startsWith('\\') || name.startsWith('/'))
        name.remove(0, 1);
    if (QFileInfo(name).suffix().isEmpty())
        name += QStringLiteral(".dbf");
    return name;
}

inline DbError writeError(const QString &path)
{
    const int error = errno;
    return DbError(QString::fromUtf8("写入表 %1 失败：%2").arg(shortName(path), disk::failureReason(error)), error);
}

inline void pwriteAll(int fd, qint64 pos, const char *data, qint64 size, const QString &path)
{
    faultPoint("write");
    if (!disk::write(fd, path, pos, data, size))
        throw writeError(path);
}

inline qint64 preadAll(int fd, qint64 pos, char *data, qint64 size)
{
    return readFully(fd, pos, data, size);
}

// Opens for reading and writing, or for reading alone where writing is not
// allowed (readOnly tells which).
inline int openFd(const QString &path, bool *readOnly)
{
    const QByteArray name = QFile::encodeName(path);
    int fd = ::open(name.constData(), O_RDWR | O_CLOEXEC);
    *readOnly = false;
    if (fd < 0 && (errno == EACCES || errno == EROFS || errno == EPERM)) {
        fd = ::open(name.constData(), O_RDONLY | O_CLOEXEC);
        *readOnly = true;
    }
    return fd;
}

} // namespace db::dbf
