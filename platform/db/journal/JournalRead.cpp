// Reading a journal back: its entries, a crash's cut told from damage,
// gathered into operations, and every value checked against the folder's
// tables before anything is played.
#include "JournalFile.h"

#include "db/file/DbfBytes.h"
#include "db/file/DbfFile.h"
#include "JournalFormat.h"

#include <QFile>
#include <QFileInfo>

#include <algorithm>
#include <cstring>

namespace db::journal {

using namespace format;

namespace {

struct Entry
{
    quint32 seq = 0;
    char kind = 0;
    QByteArray payload;
};

// The sound entries in the order found; gaps[i] is the index of the entry
// that damaged bytes stood before (the number of entries for damage at the end).
struct Scan
{
    std::vector<Entry> entries;
    std::vector<size_t> gaps;
};

enum class Probe { Sound, Cut, Bad };

// The entry at pos. `end` is where it ends when its head is plausible.
Probe probe(const QByteArray &data, qsizetype pos, const QByteArray &salt, Entry *entry, qsizetype *end)
{
    *end = 0;
    if (data.size() - pos < kEntryHead)
        return Probe::Cut;
    const char *p = data.constData() + pos;
    const quint32 length = readU32(p);
    if (length < 1 || length != ~readU32(p + 4) || std::memcmp(p + 8, salt.constData(), kSaltSize) != 0)
        return Probe::Bad;
    if (qint64(length) + kEntryHead + kEntryTail > data.size() - pos)
        return Probe::Cut;
    *end = pos + kEntryHead + length + kEntryTail;
    if (readU32(p + kEntryHead + length) != checksum(p, kEntryHead + length))
        return Probe::Bad;
    entry->seq = readU32(p + 16);
    entry->kind = p[kEntryHead];
    entry->payload = QByteArray(p + kEntryHead + 1, length - 1);
    return Probe::Sound;
}

// The next sound entry from `from` on whose number is at least `seq`; -1
// when there is none.
qsizetype findSound(const QByteArray &data, qsizetype from, const QByteArray &salt, quint32 seq, Entry *entry,
                    qsizetype *end)
{
    for (qsizetype at = data.indexOf(salt, from + 8); at >= 0; at = data.indexOf(salt, at + 1)) {
        if (probe(data, at - 8, salt, entry, end) == Probe::Sound && entry->seq >= seq)
            return at - 8;
    }
    return -1;
}

Scan scan(const QByteArray &data, const QByteArray &salt)
{
    Scan s;
    // Bytes never written read as zeros: a flush torn by a power cut ends in them.
    qsizetype zeros = data.size();
    while (zeros > kHeaderSize && data[zeros - 1] == 0)
        --zeros;
    quint32 expected = 1;
    qsizetype pos = kHeaderSize;
    while (pos < data.size()) {
        Entry e;
        qsizetype end = 0;
        const Probe p = probe(data, pos, salt, &e, &end);
        if (p == Probe::Sound && e.seq == expected) {
            s.entries.push_back(std::move(e));
            pos = end;
            ++expected;
            continue;
        }
        const bool torn = p == Probe::Cut || (p == Probe::Bad && zeros <= (end ? end - kEntryTail : pos + kEntryHead - 1));
        if (torn)
            break;
        s.gaps.push_back(s.entries.size());
        const qsizetype next = findSound(data, pos + 1, salt, expected, &e, &end);
        if (next < 0)
            break;
        expected = e.seq + 1;
        s.entries.push_back(std::move(e));
        pos = end;
    }
    return s;
}

// The format before: no salt, no numbers; a cut ends it, anything else is damage.
Scan scanBefore(const QByteArray &data)
{
    Scan s;
    qsizetype pos = sizeof kMagicBefore;
    while (pos + 9 <= data.size()) {
        const quint32 length = readU32(data.constData() + pos);
        if (length < 1 || qint64(length) + 8 > data.size() - pos)
            break;
        const char *body = data.constData() + pos + 4;
        if (readU32(body + length) != checksum(body, length)) {
            s.gaps.push_back(s.entries.size());
            break;
        }
        s.entries.push_back({quint32(s.entries.size() + 1), body[0], QByteArray(body + 1, length - 1)});
        pos += 4 + qsizetype(length) + 4;
    }
    return s;
}

bool readImage(const Entry &e, int *id, TableImage *t)
{
    QDataStream in(e.payload);
    qint32 n = -1;
    in >> n >> *t;
    *id = n;
    return in.status() == QDataStream::Ok;
}

bool readRow(const Entry &e, RowImage *r)
{
    QDataStream in(e.payload);
    qint32 table = -1, rec = 0, offset = 0;
    in >> table >> rec >> offset >> r->bytes;
    r->table = table;
    r->rec = rec;
    r->offset = offset;
    return in.status() == QDataStream::Ok;
}

bool fail(QString *why, const char *what)
{
    *why = QString::fromUtf8(what);
    return false;
}

// The operations of a journal read whole, entry by entry.
bool gather(const std::vector<Entry> &entries, bool before, Contents &contents, QString *why)
{
    Operation *op = nullptr;
    quint32 firstEnd = 0;
    for (const Entry &e : entries) {
        if (e.kind == kBegin) {
            if (op && !op->committed)
                return fail(why, "未完成的操作之后又有操作");
            op = &contents.operations.emplace_back();
            continue;
        }
        if (!op || op->committed)
            return fail(why, "记录不属于任何操作");
        const bool ending = !op->endTables.empty();
        int id = -1;
        TableImage t;
        RowImage r;
        switch (e.kind) {
        case kTable:
            if (ending || !readImage(e, &id, &t) || id != int(op->tables.size()))
                return fail(why, "表记录无效");
            op->tables.push_back(t);
            break;
        case kEndTable:
            if (before || !readImage(e, &id, &t) || id != int(op->endTables.size()))
                return fail(why, "表记录无效");
            if (!ending)
                firstEnd = e.seq;
            op->endTables.push_back(t);
            break;
        case kBefore:
            if (ending || !readRow(e, &r))
                return fail(why, "行记录无效");
            op->before.push_back(r);
            break;
        case kAfter:
            if (!(before || ending) || !readRow(e, &r))
                return fail(why, "行记录无效");
            op->after.push_back(r);
            break;
        case kCommit:
            if (before) {
                op->endTables = op->tables;
            } else if (e.payload.size() != 4 || readU32(e.payload.constData()) != firstEnd
                       || op->endTables.size() != op->tables.size()) {
                return fail(why, "完成标记无效");
            }
            op->committed = true;
            break;
        default:
            return fail(why, "未知的记录类型");
        }
    }
    return true;
}

// When damage lies only where finished operations no longer look (their
// rows' bytes before, the start of the operation), each of them is done
// again from its last flush; not when anything follows the last of them.
bool salvage(const Scan &s, Contents &contents, QString *why)
{
    const auto damaged = [] (QString *w) { return fail(w, "恢复日志已损坏"); };
    std::vector<bool> played(s.entries.size(), false);
    for (size_t k = 0; k < s.entries.size(); ++k) {
        const Entry &mark = s.entries[k];
        if (mark.kind != kCommit || mark.payload.size() != 4)
            continue;
        const quint32 first = readU32(mark.payload.constData());
        if (first > mark.seq || mark.seq - first > k)
            return damaged(why);
        const size_t start = k - (mark.seq - first);
        for (const size_t g : s.gaps)
            if (g > start && g <= k)
                return damaged(why);
        Operation op;
        op.committed = true;
        for (size_t i = start; i < k; ++i) {
            const Entry &e = s.entries[i];
            int id = -1;
            TableImage t;
            RowImage r;
            if (e.seq != first + (i - start))
                return damaged(why);
            if (e.kind == kEndTable && op.after.empty() && readImage(e, &id, &t) && id == int(op.endTables.size()))
                op.endTables.push_back(t);
            else if (e.kind == kAfter && !op.endTables.empty() && readRow(e, &r))
                op.after.push_back(r);
            else
                return damaged(why);
            played[i] = true;
        }
        played[k] = true;
        contents.operations.push_back(std::move(op));
    }
    for (size_t i = 0; i < s.entries.size(); ++i) {
        const char kind = s.entries[i].kind;
        if (!played[i] && (kind == kEndTable || kind == kAfter || kind == kCommit))
            return damaged(why);
    }
    // The last operation finished, and nothing damaged after it.
    if (contents.operations.empty() || !played.back() || s.entries.back().kind != kCommit
        || (!s.gaps.empty() && s.gaps.back() == s.entries.size()))
        return damaged(why);
    return true;
}

bool plainName(const QString &name)
{
    return !name.isEmpty() && !name.contains('/') && name != QLatin1String(".") && name != QLatin1String("..");
}

// Whether an image can be put back on the folder's table of its name (a
// table no longer there is passed over).
bool tableFits(const QString &folder, const TableImage &t, QString *why)
{
    const auto unfit = [&](const char *what) {
        *why = QString::fromUtf8("表 %1 %2").arg(t.fileName, QString::fromUtf8(what));
        return false;
    };
    if (!plainName(t.fileName))
        return unfit("的文件名无效");
    if (t.header.size() != 32 || t.headerLength < 33 || t.recordLength < 1 || t.recordCount < 0
        || dbf::readLe16(t.header.constData() + 8) != t.headerLength
        || dbf::readLe16(t.header.constData() + 10) != t.recordLength)
        return unfit("的表头与记录长度不符");
    const QFileInfo table(t.fileName), memo(t.memoFileName);
    if (!t.memoFileName.isEmpty()
        && (!plainName(t.memoFileName) || memo.completeBaseName().compare(table.completeBaseName(), Qt::CaseInsensitive) != 0
            || memo.suffix().compare(QLatin1String("dbt"), Qt::CaseInsensitive) != 0 || t.memoHead.size() != 4
            || t.memoSize < 0))
        return unfit("的备注文件不属于该表");
    const QString path = DbfFile::findFile(folder, t.fileName);
    if (path.isEmpty())
        return true;
    QFile f(path);
    if (!f.open(QIODevice::ReadOnly))
        return unfit("无法读取");
    const QByteArray head = f.read(32);
    if (head.size() != 32 || head[0] != t.header[0] || head.mid(8) != t.header.mid(8))
        return unfit("的结构与恢复日志不符");
    const qint64 rows = f.size() < t.headerLength ? 0 : (f.size() - t.headerLength) / t.recordLength;
    if (t.recordCount > rows)
        return unfit("的记录数超出文件的长度");
    if (t.memoFileName.isEmpty())
        return true;
    const QString memoPath = DbfFile::findFile(folder, t.memoFileName);
    if (!memoPath.isEmpty() && t.memoSize > QFileInfo(memoPath).size())
        return unfit("的备注文件长度与恢复日志不符");
    return true;
}

bool rowsFit(const std::vector<RowImage> &rows, const std::vector<TableImage> &tables, QString *why)
{
    for (const RowImage &r : rows) {
        if (r.table < 0 || r.table >= int(tables.size()))
            return fail(why, "行记录不属于任何表");
        const TableImage &t = tables[size_t(r.table)];
        if (r.rec < 0 || r.rec >= t.recordCount || r.offset < 0 || r.bytes.isEmpty()
            || r.offset + qint64(r.bytes.size()) > t.recordLength) {
            *why = QString::fromUtf8("表 %1 的行记录超出范围").arg(t.fileName);
            return false;
        }
    }
    return true;
}

bool fits(const QString &folder, const Contents &contents, QString *why)
{
    for (const Operation &op : contents.operations) {
        for (const auto *tables : {&op.tables, &op.endTables}) {
            for (size_t i = 0; i < tables->size(); ++i) {
                if (!tableFits(folder, (*tables)[i], why))
                    return false;
                for (size_t j = 0; j < i; ++j)
                    if ((*tables)[j].fileName.compare((*tables)[i].fileName, Qt::CaseInsensitive) == 0)
                        return fail(why, "同一个表出现两次");
            }
        }
        for (size_t i = 0; i < op.tables.size() && i < op.endTables.size(); ++i)
            if (op.tables[i].fileName != op.endTables[i].fileName)
                return fail(why, "操作前后的表不符");
        if (!rowsFit(op.before, op.tables, why) || !rowsFit(op.after, op.endTables, why))
            return false;
    }
    return true;
}

bool changesAnything(const Contents &contents)
{
    for (const Operation &o : contents.operations)
        if (!o.tables.empty() || !o.endTables.empty())
            return true;
    return false;
}

} // namespace

ReadResult read(const QString &path, const QString &folder, Contents &contents, QString *why)
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
    // Cut before its first sync ended: no table was written after it.
    const bool before = data.startsWith(QByteArray(kMagicBefore, sizeof kMagicBefore));
    if (data.size() < kHeaderSize && !before && QByteArray(kMagic, sizeof kMagic).startsWith(data.left(sizeof kMagic)))
        return ReadResult::Empty;
    // Its header never reached the disk (a power cut before the first sync
    // may keep later bytes and lose the first): never flushed, so no table
    // was written after it.
    const QByteArray head = data.left(kHeaderSize);
    if (std::all_of(head.cbegin(), head.cend(), [](char c) { return c == 0; }))
        return ReadResult::Empty;
    if (!before && !data.startsWith(QByteArray(kMagic, sizeof kMagic))) {
        *why = QString::fromUtf8("不是本程序的恢复日志");
        return ReadResult::Unreadable;
    }
    const Scan s = before ? scanBefore(data) : scan(data, data.mid(sizeof kMagic, kSaltSize));
    if (s.gaps.empty()) {
        if (gather(s.entries, before, contents, why) && fits(folder, contents, why))
            return changesAnything(contents) ? ReadResult::Read : ReadResult::Empty;
    } else {
        *why = QString::fromUtf8("恢复日志已损坏");
    }
    // What does not read whole or does not fit: only finished operations
    // whose last flush came through sound may still be played.
    contents.operations.clear();
    QString reason;
    if (!before && salvage(s, contents, &reason) && fits(folder, contents, &reason))
        return ReadResult::Salvaged;
    contents.operations.clear();
    return ReadResult::Unreadable;
}

} // namespace db::journal
