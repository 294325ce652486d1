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
    QByteArray record, item4, region;
    int n = 0;
    while (records.next(record)) {
        if (TrimBytes(record).isEmpty())
            continue;
        ++n;
        if (n > expected.records)
            continue; // counted, reported below
        // Only the key values are taken out; the others are counted.
        int values = 0;
        for (RecordValues v(record); v.next(); ++values) {
            if (values == expected.keyValue)
                item4 = TrimBytes(v.value());
            else if (values == expected.regionValue)
                region = TrimBytes(v.value());
        }
        if (values != expected.values) {
            const QString which = expected.keys.isEmpty() ? QString() : u("（成果 %1）").arg(shownKey(expected.keys[n - 1]));
            throw ExchangeError(u("导出文件 %1 第 %2 条记录%3读回 %4 个值，应为 %5 个，没有打包。")
                                    .arg(name)
                                    .arg(n)
                                    .arg(which)
                                    .arg(values)
                                    .arg(expected.values));
        }
        if (expected.keys.isEmpty())
            continue;
        const QByteArray &want = expected.keys[n - 1];
        const qsizetype tab = want.indexOf('\t');
        if (QByteArrayView(want).first(tab) != item4 || QByteArrayView(want).sliced(tab + 1) != region)
            throw ExchangeError(u("导出文件 %1 第 %2 条记录读回的成果编号是 %3，应为 %4，没有打包。")
                                    .arg(name)
                                    .arg(n)
                                    .arg(shownKey(item4 + '\t' + region), shownKey(want)));
    }
    if (n != expected.records)
        throw ExchangeError(u("导出文件 %1 应有 %2 条记录，读回 %3 条，没有打包。").arg(name).arg(expected.records).arg(n));
}

ChildRows FindChildRows(const db::DbfFile &file, const QVector<QByteArray> &keys)
{
    const int item4 = file.fieldIndex(QStringLiteral("ITEM_4"));
    const int region = file.fieldIndex(QStringLiteral("ITEM_DQDM"));
    if (item4 < 0 || region < 0)
        throw ExchangeError(u("表 %1 没有 ITEM_4 或 ITEM_DQDM 字段").arg(file.tableName()));
    // The keys ordered by ITEM_4, so that each ITEM_4 is looked up once.
    struct Key
    {
        QByteArrayView item4, region;
        int at; // in keys
    };
    std::vector<Key> byItem4;
    byItem4.reserve(size_t(keys.size()));
    for (int i = 0; i < keys.size(); ++i) {
        const qsizetype tab = keys[i].indexOf('\t');
        byItem4.push_back({QByteArrayView(keys[i]).first(tab), QByteArrayView(keys[i]).sliced(tab + 1), i});
    }
    std::sort(byItem4.begin(), byItem4.end(), [](const Key &a, const Key &b) { return a.item4 < b.item4; });

    std::vector<std::pair<int, int>> found; // record, key
    for (auto group = byItem4.begin(); group != byItem4.end();) {
        const auto end = std::find_if(group, byItem4.end(), [&](const Key &k) { return k.item4 != group->item4; });
        for (const int rec : file.keyRecords(item4, file.fileText(group->item4.toByteArray()))) {
            const char *r = file.record(rec);
            if (r[0] == '*')
                continue;
            const QByteArray held = TrimBytes(file.textBytes(r, region));
            const auto key = std::find_if(group, end, [&](const Key &k) { return k.region == held; });
            if (key != end)
                found.push_back({rec, key->at});
        }
        group = end;
    }
    std::sort(found.begin(), found.end());
    ChildRows rows;
    rows.records.reserve(qsizetype(found.size()));
    rows.keys.reserve(qsizetype(found.size()));
    for (const auto &[rec, key] : found) {
        rows.records.append(rec);
        rows.keys.append(keys[key]);
    }
    return rows;
}
