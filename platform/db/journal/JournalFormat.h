#pragma once
// The bytes of the journal that its writer and its reader share: the marks,
// the layout of an entry, and how table images and row images are encoded.
#include "JournalFile.h"

#include <QByteArray>
#include <QDataStream>
#include <zlib.h>

namespace db::journal::format {

constexpr char kMagic[8] = {'D', 'B', 'F', 'J', 'R', 'N', 'L', '2'};
// The format before: entries of a length, a kind, the body and a checksum.
constexpr char kMagicBefore[8] = {'D', 'B', 'F', 'J', 'R', 'N', 'L', '1'};
constexpr int kSaltSize = 8;
constexpr int kHeaderSize = 8 + kSaltSize;
// An entry: its length, the length's complement, the salt, its sequence
// number, then the body (a kind and what it holds) and a checksum of all that.
constexpr int kEntryHead = 4 + 4 + kSaltSize + 4;
constexpr int kEntryTail = 4;

constexpr char kBegin = 'B';
constexpr char kTable = 'T';    // a table at the operation's start
constexpr char kBefore = 'R';   // a row's bytes before
constexpr char kEndTable = 'E'; // a table at the operation's end
constexpr char kAfter = 'A';    // a row's bytes at the end
constexpr char kCommit = 'C';   // the mark, with the sequence number its flush began with

inline quint32 checksum(const char *data, qsizetype size)
{
    return quint32(::crc32(0L, reinterpret_cast<const Bytef *>(data), uInt(size)));
}

inline quint32 readU32(const char *p)
{
    const auto *u = reinterpret_cast<const uchar *>(p);
    return quint32(u[0]) << 24 | quint32(u[1]) << 16 | quint32(u[2]) << 8 | u[3];
}

inline void writeU32(char *p, quint32 v)
{
    for (int i = 0; i < 4; ++i)
        p[i] = char(v >> (24 - 8 * i));
}

inline void appendU32(QByteArray &b, quint32 v)
{
    char bytes[4];
    writeU32(bytes, v);
    b.append(bytes, 4);
}

inline QDataStream &operator<<(QDataStream &out, const TableImage &t)
{
    return out << t.fileName << qint32(t.headerLength) << qint32(t.recordLength) << qint32(t.recordCount) << t.header
               << t.memoFileName << qint64(t.memoSize) << t.memoHead;
}

inline QDataStream &operator>>(QDataStream &in, TableImage &t)
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

} // namespace db::journal::format
