// One query object taken through a sequence of statements, reads and writes
// over a folder of the program's own tables, as the data module's shared
// query is: every value it reads must equal what a fresh query on the same
// statement reads. An input is a list of (operation, argument) byte pairs.
// A query's rows are those of its statement when it opened: after another
// dataset has added or removed rows it is compared again once reopened.
// fuzz-libraries: corvane_core
#include "TableSchemas.h"
#include "db/file/DbError.h"
#include "db/dataset/Query.h"
#include "db/dataset/Table.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <cstdio>
#include <cstdlib>

namespace {

const QStringList kTables = {"kjcg", "cgwcdw", "cgwcr", "jdwyhmd", "zlqk"};
const QStringList kStatements = {
    "select * from kjcg",
    "select item_4, item_3, item_13 from kjcg order by item_4 desc",
    "select * from cgwcdw",
    "select * from cgwcr",
    "select * from cgwcr where item_187 > 20",
    "select distinct item_4 from cgwcr",
    "select * from jdwyhmd",
    "select * from zlqk",
    "select max(item_4) from kjcg where item_4 like '2007%'",
    "select * from cgwcr where item_4 = '2007000002' order by item_187",
};

[[noreturn]] void violated(const QString &what)
{
    std::fprintf(stderr, "reused query: %s\n", qPrintable(what));
    std::abort();
}

void addRows(const QString &dir, const QString &table, int n, int seed)
{
    db::Table t;
    t.setDatabaseName(dir);
    t.setTableName(table);
    t.open();
    for (int i = 0; i < n; ++i) {
        t.append();
        t.fieldByName("ITEM_4")->setAsString(QString("2007%1").arg((seed + i) % 3 + 1, 6, 10, QChar('0')));
        t.fieldByName("ITEM_DQDM")->setAsString(".");
        for (int c = 0; c < t.fieldCount(); ++c) {
            db::Field *f = t.field(c);
            if (f->fieldName().startsWith("ITEM_4", Qt::CaseInsensitive) && f->fieldName().size() == 6)
                continue;
            if (f->dataType() == 'N')
                f->setAsInteger(seed + i + c);
            else if (f->dataType() == 'M' && (seed + i) % 2)
                f->setAsString(QString::fromUtf8("%1备注%2").arg(table).arg(seed + i));
            else if (f->dataType() == 'C' && c > 1)
                f->setAsString(QString::fromUtf8("%1的%2").arg(table).arg(seed + i).left(f->size() / 2));
        }
        t.post();
    }
}

// The folder as it is before every input.
struct Folder
{
    QTemporaryDir dir;
    QMap<QString, QByteArray> files;
    Folder()
    {
        for (const QString &table : kTables)
            db::DbfFile::create(dir.path(), tableSchema(table)->fileName, tableSchema(table)->columns);
        addRows(dir.path(), "kjcg", 3, 0);
        addRows(dir.path(), "cgwcdw", 2, 10);
        addRows(dir.path(), "cgwcr", 40, 20);
        addRows(dir.path(), "jdwyhmd", 1, 70);
        db::DbfFile::releaseUnused();
        for (const QString &name : QDir(dir.path()).entryList(QDir::Files)) {
            QFile f(QDir(dir.path()).filePath(name));
            f.open(QIODevice::ReadOnly);
            files.insert(name, f.readAll());
        }
    }
    void reset()
    {
        db::DbfFile::releaseUnused();
        for (const QString &name : QDir(dir.path()).entryList(QDir::Files))
            if (!files.contains(name))
                QFile::remove(QDir(dir.path()).filePath(name));
        for (auto it = files.cbegin(); it != files.cend(); ++it) {
            QFile f(QDir(dir.path()).filePath(it.key()));
            f.open(QIODevice::WriteOnly | QIODevice::Truncate);
            f.write(it.value());
        }
    }
};

QStringList rowTexts(const db::Dataset &d, int row)
{
    QStringList out;
    for (int c = 0; c < d.fieldCount(); ++c)
        out << d.rowText(row, c);
    return out;
}

// The rows given (all when none) read by q and by a fresh query.
void compare(db::Query &q, const QString &dir, int onlyRow = -1)
{
    db::Query fresh;
    fresh.setDatabaseName(dir);
    fresh.setSql(q.sql());
    fresh.open();
    if (fresh.rowCount() != q.rowCount())
        violated(QString("%1: %2 rows, a fresh query %3").arg(q.sql()).arg(q.rowCount()).arg(fresh.rowCount()));
    for (int row = 0; row < q.rowCount(); ++row) {
        if (onlyRow >= 0 && row != onlyRow)
            continue;
        if (rowTexts(q, row) != rowTexts(fresh, row))
            violated(QString("%1, row %2: %3 | fresh %4")
                         .arg(q.sql())
                         .arg(row)
                         .arg(rowTexts(q, row).join('|'), rowTexts(fresh, row).join('|')));
    }
}

void step(db::Query &q, const QString &dir, quint8 op, quint8 arg, bool &stale)
{
    const QString table = kTables[arg % kTables.size()];
    switch (op % 8) {
    case 0:
        q.setSql(kStatements[arg % kStatements.size()]);
        q.open();
        stale = false;
        break;
    case 1: // a row out of turn
        if (q.active() && !stale && q.rowCount() > 0)
            compare(q, dir, arg % q.rowCount());
        break;
    case 2: // a walk, as callers read fields
        if (q.active() && !stale) {
            q.first();
            compare(q, dir);
        }
        break;
    case 3:
        addRows(dir, table, 1 + arg % 3, arg);
        stale = true;
        break;
    case 4: {
        stale = true;
        db::Table t;
        t.setDatabaseName(dir);
        t.setTableName(table);
        t.open();
        if (!t.isEmpty()) {
            t.moveBy(arg % t.rowCount());
            t.deleteRecord();
        }
        break;
    }
    case 5: {
        q.close();
        db::Table t;
        t.setDatabaseName(dir);
        t.setTableName(table);
        t.setExclusive(true);
        t.open();
        t.pack();
        break;
    }
    case 6: // a write through the query itself
        if (q.active() && !stale && q.live() && q.rowCount() > 0) {
            q.first();
            q.moveBy(arg % q.rowCount());
            q.edit();
            db::Field *last = q.field(q.fieldCount() - 1);
            last->setAsString(last->dataType() == 'N' ? QString::number(arg) : QString::number(arg % 10));
            q.post();
            compare(q, dir);
        }
        break;
    case 7:
        q.close();
        break;
    }
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    static Folder folder;
    folder.reset();
    const QString dir = folder.dir.path();
    db::Query q;
    q.setDatabaseName(dir);
    bool stale = false;
    for (size_t i = 0; i + 1 < size && i < 400; i += 2) {
        try {
            step(q, dir, data[i], data[i + 1], stale);
        } catch (const db::DbError &) {
            // A refused step (a pack while in use) leaves the query as it is.
        }
    }
    if (q.active() && !stale)
        compare(q, dir);
    return 0;
}
