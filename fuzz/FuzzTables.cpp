#include "FuzzTables.h"

#include "db/file/DbfFile.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>

FuzzTable splitFuzzInput(const uint8_t *data, size_t size)
{
    FuzzTable t;
    QByteArray all(reinterpret_cast<const char *>(data), qsizetype(size));
    const auto cut = [&](const char *mark, QByteArray &part, bool &has) {
        const qsizetype at = all.indexOf(mark);
        if (at < 0)
            return;
        part = all.mid(at + qsizetype(strlen(mark)));
        all.truncate(at);
        has = true;
    };
    cut("\n%%CPG%%\n", t.cpg, t.hasCpg);
    cut("\n%%DBT%%\n", t.dbt, t.hasDbt);
    t.dbf = all;
    return t;
}

QString writeFuzzTable(const FuzzTable &t)
{
    static QTemporaryDir scratch;
    db::DbfFile::releaseUnused();
    QDir dir(scratch.path());
    for (const QString &f : dir.entryList(QDir::Files | QDir::Hidden))
        dir.remove(f);
    const auto put = [&](const char *name, const QByteArray &bytes) {
        QFile f(dir.filePath(QString::fromLatin1(name)));
        if (f.open(QIODevice::WriteOnly))
            f.write(bytes);
    };
    put("fuzz.dbf", t.dbf);
    if (t.hasDbt)
        put("fuzz.dbt", t.dbt);
    if (t.hasCpg)
        put("fuzz.cpg", t.cpg);
    return scratch.path();
}
