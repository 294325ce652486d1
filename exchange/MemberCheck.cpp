#include "MemberCheck.h"

#include "ExchangeText.h"
#include "RecordAssembly.h"
#include "db/file/DbfFile.h"

#include <QFile>
#include <QFileInfo>
#include <algorithm>

namespace {

QString u(const char *text)
{
    return QString::fromUtf8(text);
}

// ITEM_4 and the region of a key, as the user knows a record.
QString shownKey(const QByteArray &key)
{
    const qsizetype tab = key.indexOf('\t');
    return QString::fromLatin1(key.left(tab)) + QLatin1Char('/') + QString::fromLatin1(key.mid(tab + 1));
}

} // namespace

void CheckMember(const QString &path, const MemberRecords &expected)
{
    const QString name = QFileInfo(path).fileName();
    QFile text(path);
    if (!text.open(QIODevice::ReadOnly))
        throw ExchangeError(u("无法读回导出文件 %1：%2，没有打包。").arg(name, text.errorString()));
    RecordAssembler records(text);
    QByteArray record;
    int n = 0;
    while (records.next(record)) {
        if (TrimBytes(record).isEmpty())
            continue;
        ++n;
        if (n > expected.records)
            continue; // counted, reported below
        const QList<QByteArray> values = SplitRecord(record);
        if (values.size() != expected.values) {
            const QString which = expected.keys.isEmpty() ? QString() : u("（成果 %1）").arg(shownKey(expected.keys[n - 1]));
            throw ExchangeError(u("导出文件 %1 第 %2 条记录%3读回 %4 个值，应为 %5 个，没有打包。")
                                    .arg(name)
                                    .arg(n)
                                    .arg(which)
                                    .arg(values.size())
                                    .arg(expected.values));
        }
        if (expected.keys.isEmpty())
            continue;
        const QByteArray key = TrimBytes(values[expected.keyValue]) + '\t' + TrimBytes(values[expected.regionValue]);
        if (key != expected.keys[n - 1])
            throw ExchangeError(u("导出文件 %1 第 %2 条记录读回的成果编号是 %3，应为 %4，没有打包。")
                                    .arg(name)
                                    .arg(n)
                                    .arg(shownKey(key), shownKey(expected.keys[n - 1])));
    }
    if (n != expected.records)
        throw ExchangeError(u("导出文件 %1 应有 %2 条记录，读回 %3 条，没有打包。").arg(name).arg(expected.records).arg(n));
}

QVector<QByteArray> ChildRowKeys(const QString &dir, const QString &table, const QSet<QByteArray> &keys)
{
    const std::shared_ptr<db::DbfFile> file = db::DbfFile::open(dir, table);
    const int item4 = file->fieldIndex(QStringLiteral("ITEM_4"));
    const int region = file->fieldIndex(QStringLiteral("ITEM_DQDM"));
    if (item4 < 0 || region < 0)
        throw ExchangeError(u("表 %1 没有 ITEM_4 或 ITEM_DQDM 字段").arg(table));
    QSet<QByteArray> item4s;
    for (const QByteArray &key : keys)
        item4s.insert(key.left(key.indexOf('\t')));
    QVector<int> recs;
    for (const QByteArray &k : std::as_const(item4s))
        recs += file->keyRecords(item4, file->fileText(k));
    std::sort(recs.begin(), recs.end());
    QVector<QByteArray> out;
    for (int rec : std::as_const(recs)) {
        if (file->isDeleted(rec))
            continue;
        const char *r = file->record(rec);
        const QByteArray key = TrimBytes(file->textBytes(r, item4)) + '\t' + TrimBytes(file->textBytes(r, region));
        if (keys.contains(key))
            out.append(key);
    }
    return out;
}
