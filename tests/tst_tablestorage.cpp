// What the mapped records, the key index and bulk loads could get wrong.
#include "TempDir.h"
#include "db/file/DbError.h"
#include "db/file/DbfFile.h"
#include "db/file/MapGuard.h"
#include "db/dataset/Query.h"
#include "db/dataset/Table.h"
#include "db/file/TableState.h"
#include "text/Gbk.h"
#include "text/Utf8.h"

#include <QRandomGenerator>
#include <QtEndian>
#include <QtTest>
#include <fcntl.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

using namespace db;

namespace {

QString keyOf(int i)
{
    return QString("2005%1").arg(i % 50, 6, 10, QChar('0'));
}

// 500 persons, ten for each of 50 record keys.
void makePersons(const QString &dir, int rows = 500)
{
    DbfFile::create(dir, "cgwcr.DBF", {{"ITEM_4", 'C', 10}, {"ITEM_DQDM", 'C', 3}, {"ITEM_187", 'N', 20, 6},
                                       {"ITEM_180", 'C', 20}});
    auto f = DbfFile::open(dir, "cgwcr");
    DbfFile::BulkAppend bulk(*f);
    for (int i = 0; i < rows; ++i) {
        QByteArray r = f->blankRecord();
        f->encode(r, 0, Value::fromString(keyOf(i)));
        f->encode(r, 1, Value::fromString("."));
        f->encode(r, 2, Value::fromNumber(i));
        f->encode(r, 3, Value::fromString(u("人员%1").arg(i)));
        f->appendRecord(r);
    }
    bulk.finish();
}

// The sequence numbers of the rows a filter on one record's key lets through.
QList<int> persons(const QString &dir, const QString &key)
{
    Table t;
    t.setDatabaseName(dir);
    t.setTableName("cgwcr");
    t.setFilter("item_4='" + key + "' and item_dqdm='.'");
    t.setFiltered(true);
    t.open();
    QList<int> out;
    for (t.first(); !t.eof(); t.next())
        out << t.fieldByName("item_187")->asInteger();
    return out;
}

// The engine's clock moved on, so that the times of a file written just
// now are taken as settled (what the engine learnt of it may then be kept
// for a later run), however coarse the file system's times are.
void settle()
{
    static qint64 ahead = 0;
    ahead += qint64(10) * 1000000000;
    db::tablestate::setWallClock([] {
        timespec now;
        ::clock_gettime(CLOCK_REALTIME, &now);
        return qint64(now.tv_sec) * 1000000000 + now.tv_nsec + ahead;
    });
}

// Writes a file anew under its name with its old modification time, as a
// copy tool that keeps times would: a new file, whatever the resolution of
// the file system's times.
void writeKeepingTime(const TempDir &dir, const QString &name, const QByteArray &bytes)
{
    const QByteArray path = QFile::encodeName(dir.file(name));
    struct stat before;
    QVERIFY(::stat(path.constData(), &before) == 0);
    dir.write(name + ".copy", bytes);
    const QByteArray copy = QFile::encodeName(dir.file(name + ".copy"));
    const timespec times[2] = {before.st_atim, before.st_mtim};
    QVERIFY(::utimensat(AT_FDCWD, copy.constData(), times, 0) == 0);
    QVERIFY(::rename(copy.constData(), path.constData()) == 0);
}

// What a scan of the file finds, to check the index against.
QList<int> scanned(const QString &dir, const QString &key)
{
    auto f = DbfFile::open(dir, "cgwcr");
    QList<int> out;
    for (int r = 0; r < f->recordCount(); ++r)
        if (!f->isDeleted(r) && f->value(r, 0).toString() == key)
            out << int(f->value(r, 2).number);
    return out;
}

} // namespace

class TestTableStorage : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase() { QStandardPaths::setTestModeEnabled(true); }
    void keyIndexFollowsEveryWrite();
    void deletedRowsRememberedAcrossRuns();
    void fileChangedUnderTheTable();
    void bulkAppend();
    void memosInBulkLoad();
    void bulkLoadCutOffByACrash();
    void keyPrefixesAndOrder();
    void keyIndexUnderManyChanges();
    void keyIndexKeptAcrossRuns();
    void scatteredRowsFollowWrites();
};

void TestTableStorage::keyIndexFollowsEveryWrite()
{
    TempDir dir;
    makePersons(dir.path());
    const QString a = keyOf(7), b = keyOf(8);
    QCOMPARE(persons(dir.path(), a), QList<int>({7, 57, 107, 157, 207, 257, 307, 357, 407, 457}));

    Table t;
    t.setDatabaseName(dir.path());
    t.setTableName("cgwcr");
    t.open();
    // An append, a key edited away and back, a delete.
    t.append();
    t.fieldByName("item_4")->setAsString(a);
    t.fieldByName("item_dqdm")->setAsString(".");
    t.fieldByName("item_187")->setAsInteger(1000);
    t.post();
    QVERIFY(t.locate("item_187", "57"));
    t.edit();
    t.fieldByName("item_4")->setAsString(b);
    t.post();
    QVERIFY(t.locate("item_187", "8"));
    t.edit();
    t.fieldByName("item_4")->setAsString(a);
    t.post();
    QVERIFY(t.locate("item_187", "107"));
    t.deleteRecord();
    // Through SQL as well.
    Query q;
    q.setDatabaseName(dir.path());
    q.setSql("update cgwcr set item_4='" + a + "' where item_187=9");
    q.execSql();
    q.setSql("delete from cgwcr where item_4='" + b + "' and item_187=58");
    q.execSql();
    for (const QString &key : {a, b}) {
        QCOMPARE(persons(dir.path(), key), scanned(dir.path(), key));
    }
    QCOMPARE(persons(dir.path(), a), QList<int>({7, 8, 9, 157, 207, 257, 307, 357, 407, 457, 1000}));
    QVERIFY(persons(dir.path(), "2099000001").isEmpty());

    // A pack renumbers the records; the index follows.
    t.close();
    t.setExclusive(true);
    t.open();
    QVERIFY(t.pack());
    t.close();
    t.setExclusive(false);
    QCOMPARE(persons(dir.path(), a), scanned(dir.path(), a));
    QCOMPARE(persons(dir.path(), b), QList<int>({57, 108, 158, 208, 258, 308, 358, 408, 458}));

    // Another program appends a row and rewrites one: seen at the next open.
    DbfFile::releaseUnused();
    QByteArray bytes = dir.read("cgwcr.DBF");
    auto f = DbfFile::open(dir.path(), "cgwcr");
    const int length = f->recordLength(), header = int(bytes.size() - 1 - qint64(f->recordCount()) * length);
    QByteArray extra(f->record(0), length);
    f.reset();
    extra.replace(1, 10, b.toLatin1());
    extra.replace(14, 20, QByteArray::number(2000).rightJustified(20, ' '));
    bytes.insert(bytes.size() - 1, extra);
    bytes.replace(header + 1, 10, b.toLatin1()); // record 0 (key 2005000000) moves to b
    qToLittleEndian(quint32(qFromLittleEndian<quint32>(bytes.constData() + 4) + 1), bytes.data() + 4);
    dir.write("cgwcr.DBF", bytes); // a row longer: seen by its size, whatever the times
    QCOMPARE(persons(dir.path(), b), scanned(dir.path(), b));
    QVERIFY(persons(dir.path(), b).contains(2000) && persons(dir.path(), b).contains(0));
}

// Start-up packs every table; what an earlier run counted of a table's
// deleted rows spares counting them again, but only while the file is as
// that run left it.
void TestTableStorage::deletedRowsRememberedAcrossRuns()
{
    TempDir dir;
    makePersons(dir.path(), 300);
    const QString state = tablestate::stateFile(dir.path());
    {
        auto f = DbfFile::open(dir.path(), "cgwcr");
        QCOMPARE(f->deletedCount(), 0);
        f->setDeleted(10, true);
    }
    // Written a moment ago: not kept, since another write within the same
    // tick of the file clock would leave the file's times as they are.
    DbfFile::releaseUnused();
    QVERIFY(!QFileInfo::exists(state));
    settle();
    QCOMPARE(DbfFile::open(dir.path(), "cgwcr")->deletedCount(), 1);
    DbfFile::releaseUnused(); // the "run" ends
    QVERIFY(QFileInfo::exists(state));
    QCOMPARE(tablestate::deletedRows(dir.file("cgwcr.DBF"), {}, 300), -1); // only for the same file state
    QCOMPARE(DbfFile::open(dir.path(), "cgwcr")->deletedCount(), 1);
    DbfFile::releaseUnused();

    // Another program marks two more rows deleted in place and sets the
    // modification time back: counted anew, not taken from what we
    // remembered.
    QByteArray bytes = dir.read("cgwcr.DBF");
    const int header = 32 + 4 * 32 + 1, length = 1 + 10 + 3 + 20 + 20;
    bytes[header + 20 * length] = '*';
    bytes[header + 30 * length] = '*';
    writeKeepingTime(dir, "cgwcr.DBF", bytes);
    {
        auto f = DbfFile::open(dir.path(), "cgwcr", true);
        QCOMPARE(f->deletedCount(), 3);
        f->pack();
        QCOMPARE(f->recordCount(), 297);
    }
    DbfFile::releaseUnused();
    QCOMPARE(DbfFile::open(dir.path(), "cgwcr")->deletedCount(), 0);
    QCOMPARE(persons(dir.path(), keyOf(20)), QList<int>({70, 120, 170, 220, 270}));
}

void TestTableStorage::fileChangedUnderTheTable()
{
    TempDir dir;
    makePersons(dir.path(), 2000);
    Table t;
    t.setDatabaseName(dir.path());
    t.setTableName("cgwcr");
    t.open();
    QCOMPARE(t.recordCount(), 2000);
    auto f = DbfFile::open(dir.path(), "cgwcr");
    const qint64 header = 32 + 4 * 32 + 1;

    // Another program cuts the file to 100 rows while the table is open.
    // Touching a lost record must not end the process; the table then
    // serves the rows that are left.
    const char *last = f->record(1999);
    QVERIFY(::truncate(QFile::encodeName(dir.file("cgwcr.DBF")).constData(), header + 100 * f->recordLength()) == 0);
    volatile char flag = last[0]; // a page of zeros stands in for the lost part
    QCOMPARE(int(flag), 0);
    auto again = DbfFile::open(dir.path(), "cgwcr");
    QCOMPARE(again.get(), f.get());
    QCOMPARE(f->recordCount(), 100);
    t.first();
    QCOMPARE(t.recordCount(), 100);
    QVERIFY_THROWS_EXCEPTION(DbError, f->record(1999));
    t.last();
    QCOMPARE(t.fieldByName("item_187")->asInteger(), 99);

    // The file grows again (a writer appends): rows within the mapping and
    // beyond it are read from the file as it is now.
    t.close();
    f.reset();
    again.reset();
    DbfFile::releaseUnused();
    // Cut without its header: the table is refused as damaged. With the
    // header mended it opens, and grows past the room its mapping had.
    QVERIFY_THROWS_EXCEPTION(DbError, DbfFile::open(dir.path(), "cgwcr"));
    QByteArray bytes = dir.read("cgwcr.DBF");
    qToLittleEndian(quint32(100), bytes.data() + 4);
    dir.write("cgwcr.DBF", bytes + '\x1A');
    auto g = DbfFile::open(dir.path(), "cgwcr");
    QByteArray raw = g->blankRecord();
    for (int i = 0; i < 30000; ++i) {
        g->encode(raw, 2, Value::fromNumber(100 + i));
        g->appendRecord(raw);
    }
    QCOMPARE(g->value(30099, 2).number, 30099.0);
    QCOMPARE(g->value(5, 2).number, 5.0);
}

void TestTableStorage::bulkAppend()
{
    TempDir dir;
    DbfFile::create(dir.path(), "zdxx.dbf", {{"ZDDM", 'C', 10}, {"XXDM", 'C', 3}, {"XXMC", 'C', 60}, {"BZ", 'M', 10}});
    auto f = DbfFile::open(dir.path(), "zdxx");
    const QByteArray before = dir.read("zdxx.dbf");
    {
        DbfFile::BulkAppend bulk(*f);
        for (int i = 0; i < 20000; ++i) {
            QByteArray r = f->blankRecord();
            f->encode(r, 0, Value::fromString("item_181"));
            f->encode(r, 1, Value::fromString(QString::number(i % 1000)));
            f->encode(r, 2, Value::fromString(u("代码%1").arg(i)));
            if (i % 5000 == 0)
                f->encode(r, 3, Value::fromString(u("说明%1").arg(i)));
            f->appendRecord(r);
        }
        // Rows are seen in the process before they reach the disk; the
        // header on disk still counts the rows before the load.
        QCOMPARE(f->recordCount(), 20000);
        QCOMPARE(f->value(19999, 2).toString(), u("代码19999"));
        QCOMPARE(dir.read("zdxx.dbf").left(8).mid(4), before.left(8).mid(4));
        QCOMPARE(f->keyRecords(1, "7").size(), 20);
        bulk.finish();
    }
    f.reset();
    DbfFile::releaseUnused();
    auto g = DbfFile::open(dir.path(), "zdxx");
    QCOMPARE(g->recordCount(), 20000);
    QCOMPARE(g->value(12345, 2).toString(), u("代码12345"));
    QCOMPARE(g->value(15000, 3).toString(), u("说明15000"));
    const QByteArray after = dir.read("zdxx.dbf");
    QCOMPARE(qFromLittleEndian<quint32>(after.constData() + 4), 20000u);
    QCOMPARE(after.size(), before.size() + 20000 * g->recordLength());
    QCOMPARE(after.back(), '\x1A');

    // Through a table, as a staging load fills its scratch table; a close
    // in the middle of a load writes the rest.
    g.reset();
    DbfFile::releaseUnused();
    for (const bool closeOnly : {false, true}) {
        TempDir scratch;
        makePersons(scratch.path(), 0);
        Table t;
        t.setDatabaseName(scratch.path());
        t.setTableName("cgwcr");
        t.open();
        t.beginBulkLoad();
        for (int i = 0; i < 3000; ++i) {
            t.append();
            t.fieldByName("item_4")->setAsString(keyOf(i));
            t.fieldByName("item_dqdm")->setAsString(".");
            t.fieldByName("item_187")->setAsInteger(i);
            t.post();
        }
        QCOMPARE(t.recordCount(), 3000);
        t.last();
        QCOMPARE(t.fieldByName("item_187")->asInteger(), 2999);
        QCOMPARE(qFromLittleEndian<quint32>(scratch.read("cgwcr.DBF").constData() + 4), 0u);
        if (!closeOnly)
            t.endBulkLoad();
        t.close();
        DbfFile::releaseUnused();
        QCOMPARE(qFromLittleEndian<quint32>(scratch.read("cgwcr.DBF").constData() + 4), 3000u);
        QCOMPARE(persons(scratch.path(), keyOf(7)).size(), 60);
    }
}

namespace {

// Memos of every length from one block to several.
QString memoOf(int i)
{
    return u("说明%1，").arg(i).repeated(1 + i % 97);
}

void makeRecords(const QString &dir)
{
    DbfFile::create(dir, "kjcg.dbf", {{"ITEM_4", 'C', 10}, {"ITEM_3", 'C', 200}, {"ITEM_130", 'M', 10}});
}

QByteArray recordWithMemo(DbfFile &f, int i, const QString &memo)
{
    QByteArray r = f.blankRecord();
    f.encode(r, 0, Value::fromString(QString::number(i)));
    f.encode(r, 1, Value::fromString(u("成果%1").arg(i)));
    f.encode(r, 2, Value::fromString(memo));
    return r;
}

} // namespace

// A bulk load keeps its memos in memory for a while: they read back right
// during the load and after it, edits during the load find them, and an
// exception in the middle leaves a table whose every row reads whole.
void TestTableStorage::memosInBulkLoad()
{
    TempDir dir;
    makeRecords(dir.path());
    const int rows = 6000;
    {
        auto f = DbfFile::open(dir.path(), "kjcg");
        f->appendRecord(recordWithMemo(*f, 0, memoOf(0))); // stored before the load
        try {
            DbfFile::BulkAppend bulk(*f);
            for (int i = 1; i < rows; ++i) {
                f->appendRecord(recordWithMemo(*f, i, memoOf(i)));
                if (i % 1000 == 0) {
                    QCOMPARE(f->value(i, 2).toString(), memoOf(i));
                    QCOMPARE(f->value(i / 2, 2).toString(), memoOf(i / 2));
                }
            }
            // A row stored before the load gets a longer memo (new blocks at
            // the end), the last row of the load a shorter one (in place).
            QByteArray first(f->record(0), f->recordLength());
            f->encode(first, 2, Value::fromString(memoOf(96) + u("！")));
            f->writeRecord(0, first);
            QByteArray last(f->record(rows - 1), f->recordLength());
            f->encode(last, 2, Value::fromString(u("短")));
            f->writeRecord(rows - 1, last);
            QCOMPARE(f->value(rows - 1, 2).toString(), u("短"));
            // The row written through points at a memo already on disk.
            const QByteArray dbt = dir.read("kjcg.dbt");
            const qint64 block = QByteArray(f->fieldData(0, 2), 10).trimmed().toLongLong();
            QVERIFY(dbt.mid(block * 512).startsWith(gbk::encode(memoOf(96) + u("！\x1A"))));
            throw std::runtime_error("cut short");
        } catch (const std::runtime_error &) {
        }
    }
    DbfFile::releaseUnused();
    auto g = DbfFile::open(dir.path(), "kjcg");
    QCOMPARE(g->recordCount(), rows);
    QCOMPARE(g->value(0, 2).toString(), memoOf(96) + u("！"));
    QCOMPARE(g->value(rows - 1, 2).toString(), u("短"));
    for (int i = 1; i < rows - 1; ++i)
        if (g->value(i, 2).toString() != memoOf(i))
            QFAIL(qPrintable(QString("memo of row %1 reads %2").arg(i).arg(g->value(i, 2).toString().left(40))));
    // Other programs add memos at the block the memo file's header names.
    const QByteArray dbt = dir.read("kjcg.dbt");
    QCOMPARE(dbt.size() % 512, 0);
    QCOMPARE(qFromLittleEndian<quint32>(dbt.constData()), quint32(dbt.size() / 512));
}

// A process that dies in the middle of a bulk load: every row that reached
// the disk points at a memo that did, and the table opens with the rows its
// header counts.
void TestTableStorage::bulkLoadCutOffByACrash()
{
    TempDir dir;
    makeRecords(dir.path());
    const pid_t child = ::fork();
    QVERIFY(child >= 0);
    if (child == 0) {
        auto f = DbfFile::open(dir.path(), "kjcg");
        DbfFile::BulkAppend bulk(*f);
        // Stops after the rows have been written in pieces twice, the memos
        // (one block each, fewer to a piece) four times.
        for (int i = 0; i < 10000; ++i)
            f->appendRecord(recordWithMemo(*f, i, u("备注%1").arg(i)));
        ::_exit(0); // no destructor writes the rest
    }
    int status = 0;
    QCOMPARE(::waitpid(child, &status, 0), child);
    QVERIFY(WIFEXITED(status) && WEXITSTATUS(status) == 0);

    const QByteArray dbf = dir.read("kjcg.dbf");
    const QByteArray dbt = dir.read("kjcg.dbt");
    const int headerLength = qFromLittleEndian<quint16>(dbf.constData() + 8);
    const int recordLength = qFromLittleEndian<quint16>(dbf.constData() + 10);
    const int onDisk = int((dbf.size() - headerLength) / recordLength);
    QVERIFY(onDisk > 1000); // some pieces of the load were written
    for (int i = 0; i < onDisk; ++i) {
        const char *rec = dbf.constData() + headerLength + qint64(i) * recordLength;
        const qint64 block = QByteArray(rec + 211, 10).trimmed().toLongLong();
        const QByteArray memo = dbt.mid(block * 512, 64);
        if (!memo.startsWith(gbk::encode(u("备注%1\x1A").arg(i))))
            QFAIL(qPrintable(QString("row %1 of %2 points at block %3 of %4").arg(i).arg(onDisk).arg(block).arg(dbt.size() / 512)));
    }
    QCOMPARE(qFromLittleEndian<quint32>(dbf.constData() + 4), 0u);
    auto f = DbfFile::open(dir.path(), "kjcg");
    QVERIFY(f->recordCount() <= 1);
    if (f->recordCount() == 1)
        QCOMPARE(f->value(0, 2).toString(), u("备注0"));
}

// Prefix lookups and sorts through the index agree with a scan and a stable
// sort while rows are appended, rekeyed and deleted (enough changes for the
// index to merge them several times).
void TestTableStorage::keyPrefixesAndOrder()
{
    TempDir dir;
    makePersons(dir.path(), 3000);
    Query q;
    q.setDatabaseName(dir.path());
    const auto rows = [&](const QString &sql) {
        q.setSql(sql);
        q.open();
        QList<int> out;
        for (q.first(); !q.eof(); q.next())
            out << q.fieldByName("item_187")->asInteger();
        q.close();
        return out;
    };
    // What a scan and a stable sort of the live rows give.
    const auto expected = [&](const QByteArray &prefix, bool descending) {
        auto f = DbfFile::open(dir.path(), "cgwcr");
        QList<std::pair<QByteArray, int>> live;
        for (int r = 0; r < f->recordCount(); ++r)
            if (!f->isDeleted(r) && f->textBytes(f->record(r), 0).startsWith(prefix))
                live.append({f->textBytes(f->record(r), 0), int(f->value(r, 2).number)});
        std::stable_sort(live.begin(), live.end(), [&](const auto &a, const auto &b) {
            return descending ? a.first > b.first : a.first < b.first;
        });
        QList<int> out;
        for (const auto &l : live)
            out << l.second;
        return out;
    };
    const auto check = [&] {
        QCOMPARE(rows("select * from cgwcr order by item_4 desc"), expected({}, true));
        QCOMPARE(rows("select * from cgwcr order by item_4"), expected({}, false));
        for (const char *prefix : {"2005", "20050000", "2005000012", "1999", "2005000049x"}) {
            QList<int> filtered = expected(prefix, false);
            std::sort(filtered.begin(), filtered.end());
            QCOMPARE(rows(QString("select * from cgwcr where item_4 like '%1%'").arg(prefix)), filtered);
            Table t;
            t.setDatabaseName(dir.path());
            t.setTableName("cgwcr");
            t.setFilter(QString("item_4='%1*'").arg(prefix));
            t.setFiltered(true);
            t.open();
            QCOMPARE(t.recordCount(), filtered.size());
        }
    };
    check();

    Table t;
    t.setDatabaseName(dir.path());
    t.setTableName("cgwcr");
    t.open();
    for (int i = 0; i < 300; ++i) {
        t.append();
        t.fieldByName("item_4")->setAsString(i % 3 ? keyOf(i) : QString("1999%1").arg(i));
        t.fieldByName("item_187")->setAsInteger(5000 + i);
        t.post();
    }
    for (int i = 0; i < 200; ++i) {
        t.moveBy(7);
        t.edit();
        t.fieldByName("item_4")->setAsString(i % 2 ? QString("2005000012%1").arg(i % 10) : QString());
        t.post();
        if (i % 5 == 0)
            t.deleteRecord();
    }
    check();
    // The year's rows of a query read as the file holds them.
    QCOMPARE(rows("select * from cgwcr where item_4 like '2005000012%' and item_187 > 5000"),
             [&] {
                 QList<int> all = expected("2005000012", false);
                 all.removeIf([](int n) { return n <= 5000; });
                 std::sort(all.begin(), all.end());
                 return all;
             }());
}

// Keys that share their first bytes, end inside them or run past them, added
// and changed by the thousand (the index merges its additions many times
// over): every lookup answers what a scan of the keys answers.
void TestTableStorage::keyIndexUnderManyChanges()
{
    TempDir dir;
    DbfFile::create(dir.path(), "keys.dbf", {{"K", 'C', 24}});
    auto f = DbfFile::open(dir.path(), "keys");
    QRandomGenerator random(46);
    const QList<QByteArray> stems = {"",         "2",          "2005",          "2005000",          "20050000",
                                     "200500001", "2005000012", "20050001", "200500001234567", "2005000012345678",
                                     "20050000123456780"};
    const auto anyKey = [&] {
        QByteArray key = stems[random.bounded(int(stems.size()))];
        for (int n = random.bounded(4); n > 0 && key.size() < 24; --n)
            key.append(char('0' + random.bounded(3)));
        return key;
    };
    QList<QByteArray> keys; // of every record, as the model
    const auto write = [&](int rec, const QByteArray &key) {
        QByteArray raw = f->blankRecord();
        f->encode(raw, 0, Value::fromBytes(key));
        if (rec == keys.size())
            keys << key, f->appendRecord(raw);
        else
            keys[rec] = key, f->writeRecord(rec, raw);
    };
    const auto matching = [&](const std::function<bool(const QByteArray &)> &take) {
        QVector<int> out;
        for (int rec = 0; rec < keys.size(); ++rec)
            if (take(keys[rec]))
                out << rec;
        return out;
    };
    const auto check = [&] {
        for (const QByteArray &stem : stems) {
            QCOMPARE(f->keyRecords(0, stem), matching([&](const QByteArray &k) { return k == stem; }));
            QCOMPARE(f->prefixRecords(0, stem), matching([&](const QByteArray &k) { return k.startsWith(stem); }));
        }
        QVector<int> order = matching([](const QByteArray &) { return true; });
        std::stable_sort(order.begin(), order.end(), [&](int a, int b) { return keys[a] < keys[b]; });
        QCOMPARE(f->recordsInKeyOrder(0, false), order);
    };
    for (int i = 0; i < 500; ++i)
        write(i, anyKey());
    check(); // the index is built here, and follows from now on
    for (int step = 1; step <= 6000; ++step) {
        // Mostly additions; changes hit rows of the index and added ones alike.
        write(random.bounded(4) == 0 ? random.bounded(int(keys.size())) : int(keys.size()), anyKey());
        if (step % 500 == 0)
            check();
    }
}

// A large table's key index is kept in the cache once the file is settled,
// and taken from there only while the file is as it was: a change from
// outside that keeps size and modification time, or a damaged cache entry,
// sends the engine back to the records.
void TestTableStorage::keyIndexKeptAcrossRuns()
{
    TempDir dir;
    makePersons(dir.path(), 3000);
    settle();
    const QString key = keyOf(7);
    QCOMPARE(persons(dir.path(), key), scanned(dir.path(), key));
    DbfFile::releaseUnused();
    const QString table = QFileInfo(dir.file("cgwcr.DBF")).absoluteFilePath();
    const auto cacheEntries = [&] {
        QStringList found;
        QDir cache(QFileInfo(tablestate::stateFile(dir.path())).absolutePath());
        for (const QFileInfo &e : cache.entryInfoList({"*.idx"}, QDir::Files)) {
            QFile f(e.absoluteFilePath());
            if (f.open(QIODevice::ReadOnly) && f.readAll().contains(table.toUtf8()))
                found << e.absoluteFilePath();
        }
        return found;
    };
    const QStringList entries = cacheEntries();
    QCOMPARE(entries.size(), 1);
    QCOMPARE(persons(dir.path(), key), scanned(dir.path(), key));
    QCOMPARE(persons(dir.path(), key).size(), 60);
    DbfFile::releaseUnused();

    // Record 7 moves to another key in place, the modification time kept.
    QByteArray bytes = dir.read("cgwcr.DBF");
    const int header = 32 + 4 * 32 + 1, length = 1 + 10 + 3 + 20 + 20;
    bytes.replace(header + 7 * length + 1, 10, keyOf(8).toLatin1());
    writeKeepingTime(dir, "cgwcr.DBF", bytes);
    QCOMPARE(persons(dir.path(), key).size(), 59);
    QCOMPARE(persons(dir.path(), keyOf(8)), scanned(dir.path(), keyOf(8)));
    settle();
    DbfFile::releaseUnused();

    // A damaged entry (one byte changed, then cut short) is passed over.
    for (const bool cut : {false, true}) {
        QFile f(entries.first());
        QVERIFY(f.open(QIODevice::ReadWrite));
        QByteArray image = f.readAll();
        if (cut)
            image.chop(100);
        else
            image[image.size() / 2] = char(image[image.size() / 2] ^ 0x5A);
        f.resize(0);
        f.write(image);
        f.close();
        QCOMPARE(persons(dir.path(), keyOf(8)), scanned(dir.path(), keyOf(8)));
        QCOMPARE(persons(dir.path(), key).size(), 59);
        DbfFile::releaseUnused();
    }
}

// A few rows of a large table are read from the file one at a time, not
// through the mapping: what they show follows every write of the process,
// by this view or another, and a row unchanged by an edit stays as it was.
void TestTableStorage::scatteredRowsFollowWrites()
{
    TempDir dir;
    makePersons(dir.path(), 5000);
    Table few, all;
    for (Table *t : {&few, &all}) {
        t->setDatabaseName(dir.path());
        t->setTableName("cgwcr");
    }
    few.setFilter("item_4='" + keyOf(7) + "'");
    few.setFiltered(true);
    few.open();
    all.open();
    QCOMPARE(few.recordCount(), 100);
    few.moveBy(3);
    QCOMPARE(few.fieldByName("item_180")->asString(), u("人员157"));
    QVERIFY(all.locate("item_187", "157"));
    all.edit();
    all.fieldByName("item_180")->setAsString(u("改名"));
    all.post();
    QCOMPARE(few.fieldByName("item_180")->asString(), u("改名"));
    few.edit();
    few.fieldByName("item_180")->setAsString(u("再改"));
    few.fieldByName("item_187")->setAsInteger(157);
    few.post();
    few.edit();
    few.fieldByName("item_180")->setAsString(u("再改"));
    few.post();
    QCOMPARE(all.fieldByName("item_180")->asString(), u("再改"));
    few.close();
    all.close();
    DbfFile::releaseUnused();
    QCOMPARE(scanned(dir.path(), keyOf(7)).size(), 100);
    auto f = DbfFile::open(dir.path(), "cgwcr");
    QCOMPARE(f->value(157, 3).toString(), u("再改"));
    QCOMPARE(f->value(156, 3).toString(), u("人员156"));
}

QTEST_MAIN(TestTableStorage)
#include "tst_tablestorage.moc"
