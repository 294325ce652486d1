// A statement of the local SQL over two small tables, and the same text as
// a table filter.
#include "db/file/DbError.h"
#include "db/file/DbfFile.h"
#include "db/sql/Sql.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>

namespace {

// The two tables as they are before every input, so one input's changes do
// not carry over to the next.
struct Tables
{
    QTemporaryDir dir;
    QByteArray kjcg, cgwcr;
    Tables()
    {
        using db::Value;
        db::DbfFile::create(dir.path(), "kjcg.dbf",
                            {{"ITEM_4", 'C', 10}, {"ITEM_DQDM", 'C', 3}, {"ITEM_CGLB", 'C', 1}, {"ITEM_3", 'C', 40},
                             {"ITEM_121", 'D', 8}, {"ITEM_45", 'N', 20, 6}, {"ITEM_13", 'M', 10}, {"ITEM_1", 'L', 1}});
        db::DbfFile::create(dir.path(), "cgwcr.dbf",
                            {{"ITEM_4", 'C', 10}, {"ITEM_DQDM", 'C', 3}, {"ITEM_187", 'N', 20, 6}, {"ITEM_180", 'C', 20}});
        {
            auto k = db::DbfFile::open(dir.path(), "kjcg");
            auto p = db::DbfFile::open(dir.path(), "cgwcr");
            for (int i = 0; i < 6; ++i) {
                QByteArray r = k->blankRecord();
                const QString key = QString("%1%2").arg(2004 + i % 2).arg(i + 1, 6, 10, QChar('0'));
                k->encode(r, 0, Value::fromString(key));
                k->encode(r, 1, Value::fromString(i % 3 ? "." : "110"));
                k->encode(r, 2, Value::fromString(QString::number(1 + i % 3)));
                k->encode(r, 3, Value::fromString(QString::fromUtf8("成果%1").arg(i)));
                k->encode(r, 4, Value::fromDate(QDate(2004, 1 + i, 3)));
                k->encode(r, 5, Value::fromNumber(i * 1.5));
                if (i % 2)
                    k->encode(r, 6, Value::fromString(QString::fromUtf8("说明%1").arg(i)));
                k->encode(r, 7, Value::fromBool(i % 2));
                k->appendRecord(r);
                for (int j = 0; j < 2; ++j) {
                    QByteArray c = p->blankRecord();
                    p->encode(c, 0, Value::fromString(key));
                    p->encode(c, 1, Value::fromString("."));
                    p->encode(c, 2, Value::fromNumber(j + 1));
                    p->encode(c, 3, Value::fromString(QString::fromUtf8("张%1").arg(j)));
                    p->appendRecord(c);
                }
            }
        }
        db::DbfFile::releaseUnused();
        kjcg = read("kjcg.dbf") + '\0' + read("kjcg.dbt");
        cgwcr = read("cgwcr.dbf");
    }
    QByteArray read(const QString &name)
    {
        QFile f(QDir(dir.path()).filePath(name));
        f.open(QIODevice::ReadOnly);
        return f.readAll();
    }
    void write(const QString &name, const QByteArray &bytes)
    {
        QFile f(QDir(dir.path()).filePath(name));
        f.open(QIODevice::WriteOnly | QIODevice::Truncate);
        f.write(bytes);
    }
    void reset()
    {
        db::DbfFile::releaseUnused();
        const qsizetype cut = kjcg.indexOf('\0');
        write("kjcg.dbf", kjcg.left(cut));
        write("kjcg.dbt", kjcg.mid(cut + 1));
        write("cgwcr.dbf", cgwcr);
    }
};

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    static Tables tables;
    tables.reset();
    const QString text = QString::fromUtf8(reinterpret_cast<const char *>(data), qsizetype(size));
    db::sql::Params params;
    params.set("item_4", db::Value::fromString("2004000001"));
    params.set("item_dqdm", db::Value::fromString("."));
    try {
        if (db::sql::returnsRows(text))
            (void)db::sql::select(tables.dir.path(), text, params);
        else
            (void)db::sql::execute(tables.dir.path(), text, params);
    } catch (const db::DbError &) {
    }
    for (const char *table : {"kjcg", "cgwcr"}) {
        try {
            auto f = db::DbfFile::open(tables.dir.path(), table);
            const db::sql::Condition c = db::sql::Condition::compile(text, *f, params);
            for (int r = 0; r < f->recordCount(); ++r)
                (void)c.matches(*f, r);
        } catch (const db::DbError &) {
        }
    }
    return 0;
}
