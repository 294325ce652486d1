// The code tables and Word templates the program delivers into the data
// folder: each written whole under a scratch name and synced before it takes
// its name, and written again where a power cut during an earlier delivery
// left it cut short.
#include "DataFolder.h"

#include "TableSchemas.h"
#include "db/file/DbError.h"
#include "db/file/DbfFile.h"
#include "db/file/Disk.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <optional>

namespace {

constexpr char kEndOfFile = 0x1A;

// Nothing when the file cannot be read, or when it is larger than atMost:
// a file longer than a delivery is no cut copy of it, and is not read.
std::optional<QByteArray> contentsOf(const QString &path, qint64 atMost = -1)
{
    QFile f(path);
    if (!f.open(QIODevice::ReadOnly) || (atMost >= 0 && f.size() > atMost))
        return std::nullopt;
    return f.readAll();
}

// Whether `found` is what a power cut left of `delivered` while it was being
// written: each byte it holds is the delivered one or one never written (0).
// Of a table, the date of its last change is passed over, and a last end
// mark may stand where its rows were still to come. A file changed by anyone
// never passes; nor does a whole one.
bool isCutDelivery(const std::optional<QByteArray> &read, const QByteArray &delivered, bool table)
{
    if (!read || read->size() > delivered.size())
        return false;
    const QByteArray &found = *read;
    bool whole = found.size() == delivered.size();
    for (qsizetype i = 0; i < found.size(); ++i) {
        if (found[i] == delivered[i] || (table && i >= 1 && i <= 3))
            continue;
        const bool endMark = table && i == found.size() - 1 && found[i] == kEndOfFile;
        if (found[i] != 0 && !endMark)
            return false;
        whole = false;
    }
    return !whole;
}

// Whether a table file may lack rows it was meant to hold: no header, no
// row counted, or fewer rows than counted. A sound table with rows is not
// read any further.
bool mayBeCut(const QString &path)
{
    QFile f(path);
    if (!f.open(QIODevice::ReadOnly))
        return false;
    const QByteArray head = f.read(32);
    if (head.size() < 32)
        return true;
    const auto *h = reinterpret_cast<const uchar *>(head.constData());
    const qint64 count = qint64(h[4]) | qint64(h[5]) << 8 | qint64(h[6]) << 16 | qint64(h[7]) << 24;
    const qint64 headerLength = h[8] | h[9] << 8, recordLength = h[10] | h[11] << 8;
    return count == 0 || f.size() < headerLength + count * recordLength;
}

// Fills the delivered rows into a new table under a scratch name; returns its path.
QString buildScratch(const QString &dir, const TableSchema &s)
{
    const QString scratch = "~new-" + s.fileName;
    const QString path = QDir(dir).filePath(scratch);
    db::disk::remove(path);
    db::DbfFile::create(dir, scratch, s.columns);
    try {
        auto file = db::DbfFile::open(dir, scratch);
        db::DbfFile::BulkAppend bulk(*file);
        const QList<QByteArray> lines = deliveredRows(s.delivered).split('\n');
        QVector<int> target;
        bool header = true;
        for (QByteArray line : lines) {
            if (line.endsWith('\r'))
                line.chop(1);
            if (line.isEmpty())
                continue;
            const QList<QByteArray> cells = line.split('\t');
            if (header) {
                for (const QByteArray &name : cells) {
                    const int f = file->fieldIndex(QString::fromUtf8(name));
                    if (f < 0)
                        throw db::DbError(QString::fromUtf8("内置数据 %1 的列 %2 不在表中").arg(s.delivered, QString::fromUtf8(name)));
                    target.append(f);
                }
                header = false;
                continue;
            }
            QByteArray raw = file->blankRecord();
            for (int i = 0; i < cells.size() && i < target.size(); ++i)
                file->encode(raw, target[i], db::Value::fromString(QString::fromUtf8(cells[i])));
            file->appendRecord(raw);
        }
        bulk.finish();
    } catch (...) {
        db::DbfFile::forget(path);
        db::disk::remove(path);
        throw;
    }
    db::DbfFile::forget(path);
    return path;
}

} // namespace

QByteArray deliveredRows(const QString &name)
{
    QFile f(":/data/" + name.toLower() + ".tsv");
    if (!f.open(QIODevice::ReadOnly))
        throw db::DbError(QString::fromUtf8("缺少内置数据 %1").arg(name));
    return f.readAll();
}

void deliverTable(const QString &dataDir, const TableSchema &s)
{
    const QString found = db::DbfFile::findFile(dataDir, s.fileName);
    if (!found.isEmpty() && (db::DbfFile::isOpen(found) || !mayBeCut(found)))
        return;
    const QString scratch = buildScratch(dataDir, s);
    const QByteArray delivered = contentsOf(scratch).value_or(QByteArray());
    if (!found.isEmpty() && !isCutDelivery(contentsOf(found, delivered.size()), delivered, true)) {
        db::disk::remove(scratch);
        return;
    }
    const QString target = found.isEmpty() ? QDir(dataDir).filePath(s.fileName) : found;
    db::DbfFile::forget(target);
    if (!db::disk::putInPlace(scratch, target)) {
        const int error = errno;
        throw db::DbError(QString::fromUtf8("无法建立表文件 %1：%2").arg(s.fileName, db::disk::failureReason(error)), error);
    }
}

void deliverTemplates(const QString &dataDir)
{
    // The templates compiled in under ":/templates", whichever they are.
    const QDir delivered(QStringLiteral(":/templates"));
    for (const QString &name : delivered.entryList(QDir::Files)) {
        const QByteArray bytes = contentsOf(delivered.filePath(name)).value_or(QByteArray());
        const QString found = db::DbfFile::findFile(dataDir, name);
        if (!found.isEmpty() && !isCutDelivery(contentsOf(found, bytes.size()), bytes, false))
            continue;
        // One that cannot be written is missed when it is used.
        db::disk::writeWhole(found.isEmpty() ? QDir(dataDir).filePath(name) : found, bytes);
    }
}
