// One query object opened on one statement after another, over tables of
// other layouts and row counts, as the data module's shared query is used:
// every value it reads must be the one a fresh query on the same statement
// reads, whatever the query read before.
#include "TableSchemas.h"
#include "TempDir.h"
#include "db/file/DbError.h"
#include "db/dataset/Query.h"
#include "db/dataset/Table.h"
#include "text/Utf8.h"

#include <QRandomGenerator>
#include <QtTest>

using namespace db;

namespace {

const QStringList kChildTables = {"cgwcdw", "cgwcr", "jdwyhmd", "zlqk"};

void createTables(const QString &dir)
{
    for (const QString &name : QStringList{"kjcg", "cgwcdw", "cgwcr", "jdwyhmd", "zlqk"})
        DbfFile::create(dir, tableSchema(name)->fileName, tableSchema(name)->columns);
}

// n rows of a child table; texts that differ by table and row, so that a
// row read with another table's bytes shows.
void addRows(const QString &dir, const QString &table, int n, int from = 0)
{
    Table t;
    t.setDatabaseName(dir);
    t.setTableName(table);
    t.open();
    for (int i = from; i < from + n; ++i) {
        t.append();
        t.fieldByName("ITEM_4")->setAsString(QString("2007%1").arg(i % 50 + 1, 6, 10, QChar('0')));
        t.fieldByName("ITEM_DQDM")->setAsString(".");
        for (int c = 2; c < t.fieldCount(); ++c) {
            Field *f = t.field(c);
            if (f->dataType() == 'N')
                f->setAsInteger(i + c);
            else if (f->dataType() == 'C')
                f->setAsString(u("%1行%2列%3").arg(table).arg(i).arg(c).left(f->size() / 2));
        }
        t.post();
    }
}

void deleteRow(const QString &dir, const QString &table, int row)
{
    Table t;
    t.setDatabaseName(dir);
    t.setTableName(table);
    t.open();
    if (t.isEmpty())
        return;
    t.moveBy(row);
    t.deleteRecord();
}

void pack(const QString &dir, const QString &table)
{
    Table t;
    t.setDatabaseName(dir);
    t.setTableName(table);
    t.setExclusive(true);
    t.open();
    QVERIFY(t.pack());
}

QStringList rowTexts(Dataset &d, int row)
{
    QStringList out;
    for (int c = 0; c < d.fieldCount(); ++c)
        out << d.rowText(row, c);
    return out;
}

// Reads the reused query q the ways callers do (rows out of turn, then a
// walk through the fields) and compares every value with a fresh query.
void compareWithFresh(Query &q, const QString &dir, QRandomGenerator &random)
{
    Query fresh;
    fresh.setDatabaseName(dir);
    fresh.setSql(q.sql());
    fresh.open();
    QCOMPARE(q.rowCount(), fresh.rowCount());
    const int n = q.rowCount();
    for (int i = 0; i < std::min(n, 40); ++i) {
        const int row = int(random.bounded(n));
        QCOMPARE(rowTexts(q, row), rowTexts(fresh, row));
    }
    int row = 0;
    for (q.first(); !q.eof(); q.next(), ++row)
        for (int c = 0; c < q.fieldCount(); ++c)
            QCOMPARE(q.field(c)->asString(), fresh.rowText(row, c));
    QCOMPARE(row, n);
}

} // namespace

class TestReusedQuery : public QObject
{
    Q_OBJECT

private slots:
    void readsWhatAFreshQueryReads();
    void bookmarksAndParametersStayWithTheirStatement();
};

void TestReusedQuery::readsWhatAFreshQueryReads()
{
    QRandomGenerator random(42);
    {
        // What the export met: one row in each child table, read in turn.
        TempDir one;
        createTables(one.path());
        for (const QString &table : kChildTables)
            addRows(one.path(), table, 1);
        Query q;
        q.setDatabaseName(one.path());
        for (const QString &table : kChildTables) {
            q.setSql("select * from " + table);
            q.open();
            compareWithFresh(q, one.path(), random);
        }
    }
    TempDir dir;
    createTables(dir.path());
    // 0, 1, 2 and many rows: the many spread far enough for reads out of
    // turn to go to the file rather than through the mapping.
    addRows(dir.path(), "jdwyhmd", 1);
    addRows(dir.path(), "cgwcdw", 2);
    addRows(dir.path(), "cgwcr", 3000);

    const QStringList statements = {
        "select * from jdwyhmd", "select * from zlqk", "select * from cgwcdw", "select * from cgwcr",
        "select item_4, item_180 from cgwcr where item_187 > 2990", "select distinct item_4 from cgwcr",
        "select * from cgwcr where item_4 = '2007000007' order by item_187 desc"};
    Query q;
    q.setDatabaseName(dir.path());
    for (int step = 0; step < 120; ++step) {
        q.setSql(statements[int(random.bounded(statements.size()))]);
        q.open();
        compareWithFresh(q, dir.path(), random);
        // The tables change between statements: rows added, marked deleted, packed away.
        const QString table = kChildTables[int(random.bounded(kChildTables.size()))];
        switch (step % 4) {
        case 0:
            addRows(dir.path(), table, 1 + int(random.bounded(3)), 5000 + step * 3);
            break;
        case 1:
            if (q.rowCount() > 0 && q.live()) {
                // A write through the reused query itself.
                q.moveBy(int(random.bounded(q.rowCount())));
                q.edit();
                q.field(q.fieldCount() - 1)->setAsString(q.field(q.fieldCount() - 1)->dataType() == 'N' ? "7" : "1");
                q.post();
                compareWithFresh(q, dir.path(), random);
            }
            break;
        case 2:
            q.close();
            deleteRow(dir.path(), table, 0);
            break;
        case 3:
            q.close();
            pack(dir.path(), table);
            break;
        }
    }
}

void TestReusedQuery::bookmarksAndParametersStayWithTheirStatement()
{
    TempDir dir;
    createTables(dir.path());
    addRows(dir.path(), "cgwcdw", 3);
    addRows(dir.path(), "jdwyhmd", 3);
    Query q;
    q.setDatabaseName(dir.path());
    q.setSql("select * from cgwcdw");
    q.open();
    q.moveBy(2);
    const Dataset::Bookmark unit = q.bookmark();
    // Another table with a row under the same number: not the bookmarked row.
    q.setSql("select * from jdwyhmd");
    q.open();
    QVERIFY(!q.gotoBookmark(unit));
    QCOMPARE(q.currentRow(), 0);
    // The same table again finds it; once packed, its numbers no longer hold.
    q.setSql("select * from cgwcdw");
    q.open();
    QVERIFY(q.gotoBookmark(unit));
    QCOMPARE(q.currentRow(), 2);
    q.close();
    deleteRow(dir.path(), "cgwcdw", 0);
    pack(dir.path(), "cgwcdw");
    q.open();
    QVERIFY(!q.gotoBookmark(unit));

    // Nor does a parameter of the last statement answer for the next.
    q.setSql("select * from cgwcdw where item_4 = :key");
    q.setParamString("key", "2007000002");
    q.open();
    QCOMPARE(q.rowCount(), 1);
    q.setSql("select * from jdwyhmd where item_4 = :key");
    QCOMPARE(q.param("key").toString(), QString("2007000002")); // named again: kept
    q.setSql("select * from jdwyhmd");
    q.setSql("select * from jdwyhmd where item_4 = :key");
    QVERIFY(q.param("key").isNull());
}

QTEST_GUILESS_MAIN(TestReusedQuery)
#include "tst_reusedquery.moc"
