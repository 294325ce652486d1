// The code-table update's reading of an update file and of a ready table,
// each put in place of a code table of its own folder. The first byte picks
// the table and whether the rest is an update file or a ready table (in the
// form of the table fuzz targets: the .dbf, then "%%DBT%%" and "%%CPG%%"
// sections). A refused input leaves the table file byte for byte as it was
// and nothing beside it; an accepted one leaves a GBK table of the same
// columns holding exactly the rows reported.
// fuzz-libraries: corvane_exchange
#include "CodeUpdate.h"
#include "ExchangeText.h"
#include "FuzzTables.h"
#include "TableSchemas.h"
#include "db/file/DbfFile.h"
#include "text/Gbk.h"
#include "ui/Clock.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <cstdint>
#include <cstdlib>

namespace {

const char *const kTables[] = {"lsbw", "ztflh", "dfjhzdxx"};

QByteArray readAll(const QString &path)
{
    QFile f(path);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
}

void writeAll(const QString &path, const QByteArray &bytes)
{
    QFile f(path);
    if (!f.open(QIODevice::WriteOnly) || f.write(bytes) != bytes.size())
        std::abort();
}

struct Folder
{
    QTemporaryDir dir;   // the code tables
    QTemporaryDir input; // what the user chose
    QByteArray original[std::size(kTables)];

    Folder()
    {
        ui::setClock([] { return QDateTime(QDate(2008, 3, 4), QTime(9, 0)); });
        for (size_t t = 0; t < std::size(kTables); ++t) {
            const QVector<db::ColumnDef> &columns = tableSchema(kTables[t])->columns;
            db::DbfFile::create(dir.path(), target(t), columns);
            {
                const auto file = db::DbfFile::open(dir.path(), target(t));
                QByteArray raw = file->blankRecord();
                for (int c = 0; c < columns.size(); ++c)
                    file->encode(raw, c, db::Value::fromString(QString::fromUtf8("旧%1").arg(c)));
                file->appendRecord(raw);
            }
            db::DbfFile::forget(path(t));
            original[t] = readAll(path(t));
        }
    }
    static QString target(size_t t) { return QString::fromLatin1(kTables[t]) + ".dbf"; }
    QString path(size_t t) const { return QDir(dir.path()).filePath(target(t)); }
    void restore(size_t t)
    {
        db::DbfFile::forget(path(t));
        writeAll(path(t), original[t]);
    }
};

// Every live text of the installed table must read back as GBK.
int checkInstalled(const QString &folder, const QString &name, const QVector<db::ColumnDef> &columns)
{
    const auto file = db::DbfFile::open(folder, name);
    if (file->isUtf8() || file->fieldCount() != columns.size())
        std::abort();
    int live = 0;
    for (int rec = 0; rec < file->recordCount(); ++rec) {
        if (file->isDeleted(rec))
            continue;
        ++live;
        for (int f = 0; f < file->fieldCount(); ++f) {
            const db::Value v = file->value(rec, f);
            if (v.kind == db::Value::Text && gbk::encode(gbk::decode(v.text)) != v.text)
                std::abort(); // text in another code page was installed
        }
    }
    return live;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    static Folder folder;
    if (size == 0)
        return 0;
    const size_t t = data[0] % std::size(kTables);
    const bool readyTable = data[0] / std::size(kTables) % 2 == 1;
    const QVector<db::ColumnDef> &columns = tableSchema(kTables[t])->columns;
    QDir input(folder.input.path());
    for (const QString &f : input.entryList(QDir::Files))
        input.remove(f);
    QString chosen;
    if (readyTable) {
        const FuzzTable parts = splitFuzzInput(data + 1, size - 1);
        chosen = input.filePath("READY.DBF");
        writeAll(chosen, parts.dbf);
        if (parts.hasDbt)
            writeAll(input.filePath("READY.DBT"), parts.dbt);
        if (parts.hasCpg)
            writeAll(input.filePath("READY.cpg"), parts.cpg);
    } else {
        chosen = input.filePath("UPDATE.TXT");
        writeAll(chosen, QByteArray(reinterpret_cast<const char *>(data) + 1, qsizetype(size - 1)));
    }
    const QByteArray source = readAll(chosen);
    int reported = -1;
    try {
        reported = readyTable ? replaceFromReadyTable(folder.path(t), columns, chosen)
                              : replaceFromText(folder.path(t), columns, chosen);
    } catch (const ExchangeError &) {
    }
    db::DbfFile::releaseUnused();
    if (readAll(chosen) != source)
        std::abort(); // the chosen file was written to
    if (QDir(folder.dir.path()).entryList(QDir::Files).size() != int(std::size(kTables)))
        std::abort(); // a scratch file was left
    if (reported < 0) {
        if (readAll(folder.path(t)) != folder.original[t])
            std::abort(); // a refused update changed the table
        return 0;
    }
    if (reported == 0 || checkInstalled(folder.dir.path(), folder.target(t), columns) != reported)
        std::abort(); // an empty table installed, or other rows than reported
    db::DbfFile::releaseUnused();
    folder.restore(t);
    return 0;
}
