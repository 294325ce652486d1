// The journal's own bytes at a start: journals a crash left, cut at every
// offset and damaged at every byte, set aside, left by the version before;
// and writes after an operation that a start must not undo.
#include "AppFixture.h"
#include "CgwcrManage.h"
#include "ImportStore.h"
#include "Operations.h"
#include "Packages.h"
#include "UnitDM.h"
#include "db/file/DbError.h"
#include "db/file/DbfFile.h"
#include "db/journal/Journal.h"
#include "db/journal/JournalFile.h"
#include "db/dataset/Table.h"
#include "text/Utf8.h"
#include "ui/HandlerGuard.h"

#include <QProcess>
#include <QtTest>

namespace {

using Files = QMap<QString, QByteArray>;

void writeFile(const QString &path, const QByteArray &bytes)
{
    QFile f(path);
    f.open(QIODevice::WriteOnly);
    f.write(bytes);
}

QByteArray readFile(const QString &path)
{
    QFile f(path);
    f.open(QIODevice::ReadOnly);
    return f.readAll();
}

QStringList setAside(const QString &dir)
{
    return QDir(dir).entryList({db::journalFileName() + ".unreadable-*"}, QDir::Files);
}

// An operation's journal as it grew: where each flush began and the table
// files as they were then (a crash that cuts the journal within a flush
// leaves them so), the journal when it was done and the tables then.
struct History
{
    struct Flush
    {
        qint64 start;
        Files tables;
    };
    Files before;
    std::vector<Flush> flushes;
    QByteArray journal;
    Files end;

    // The files the operation changed, with the memo files of their tables.
    QStringList changed() const
    {
        QSet<QString> stems;
        for (auto it = end.begin(); it != end.end(); ++it)
            if (before.value(it.key()) != it.value())
                stems << QFileInfo(it.key()).completeBaseName();
        QStringList files;
        for (const QString &name : end.keys())
            if (stems.contains(QFileInfo(name).completeBaseName()))
                files << name;
        return files;
    }

    // The tables at a cut of the journal: as the flush it cuts began.
    const Files &tablesAt(qint64 cut) const
    {
        if (cut >= journal.size())
            return end;
        const Flush *in = &flushes.front();
        for (const Flush &f : flushes)
            if (f.start <= cut)
                in = &f;
        return in->tables;
    }

    // Where the flush holding the first operation's mark begins.
    qint64 firstCommitFlush() const
    {
        qint64 pos = 16, commit = 0;
        while (pos + 21 <= journal.size() && !commit) {
            const auto *p = reinterpret_cast<const uchar *>(journal.constData() + pos);
            if (p[20] == 'E')
                commit = pos;
            pos += 24 + qint64(p[0] << 24 | p[1] << 16 | p[2] << 8 | p[3]);
        }
        qint64 start = 0;
        for (const Flush &f : flushes)
            if (f.start <= commit)
                start = f.start;
        return start;
    }
};

Files only(const Files &files, const QStringList &names)
{
    Files out;
    for (const QString &n : names)
        out.insert(n, files.value(n));
    return out;
}

// Runs the operation on a prepared folder, watching its journal.
History record(const QString &op, const QString &dir)
{
    const RecordOperation &operation = recordOperations()[op];
    {
        AppFixture app(dir);
        operation.prepare();
    }
    History h;
    AppFixture app(dir);
    operation.setUp(app);
    db::Transaction::checkpoint(); // the journal holds this operation alone
    h.before = tableFiles(dir);
    const QString journal = QDir(dir).filePath(db::journalFileName());
    bool done = false;
    db::setFaultHook([&](const char *what) {
        if (done)
            return;
        if (qstrcmp(what, "journal") == 0)
            h.flushes.push_back({QFileInfo(journal).size(), tableFiles(dir)});
        if (qstrcmp(what, "journal-remove") == 0) {
            h.journal = readFile(journal);
            h.end = tableFiles(dir);
            done = true;
        }
    });
    ui::guarded([&] { operation.run(app); });
    db::setFaultHook({});
    if (!done) {
        h.journal = readFile(journal);
        h.end = tableFiles(dir);
    }
    return h;
}

// The folder holding these files and the journal, after a start played it;
// the start's message.
QString start(const QString &dir, const Files &tables, const QByteArray &journal)
{
    QDir(dir).removeRecursively();
    QDir().mkpath(dir);
    for (auto it = tables.begin(); it != tables.end(); ++it)
        writeFile(QDir(dir).filePath(it.key()), it.value());
    writeFile(QDir(dir).filePath(db::journalFileName()), journal);
    return db::recoverJournal(dir);
}

// Live rows of the local person list with this name.
int titledPersons(const QString &dir, const QString &name)
{
    const auto file = db::DbfFile::open(dir, "cgwcrNew");
    int n = 0;
    for (int rec = 0; rec < file->recordCount(); ++rec)
        n += !file->isDeleted(rec) && file->value(rec, file->fieldIndex("ITEM_180")).toString() == name;
    return n;
}

} // namespace

class TestJournal : public QObject
{
    Q_OBJECT

    // Two tables with a memo column, ten rows each.
    static void makeTables(const QString &dir)
    {
        for (const char *name : {"one", "two"}) {
            db::DbfFile::create(dir, name, {{"NAME", 'C', 20, 0}, {"NOTE", 'M', 10, 0}});
            const auto file = db::DbfFile::open(dir, name);
            for (int i = 0; i < 10; ++i) {
                QByteArray raw = file->blankRecord();
                file->encode(raw, 0, db::Value::fromString(QString("row %1").arg(i)));
                file->encode(raw, 1, db::Value::fromString(u("备注 %1").arg(i)));
                file->appendRecord(raw);
            }
        }
        db::DbfFile::releaseUnused();
    }

    // The bytes of both tables and their memo files.
    static QByteArray bytesOf(const QString &dir)
    {
        QByteArray all;
        for (const QString &f : QDir(dir).entryList({"one.*", "two.*"}, QDir::Files, QDir::Name)) {
            QFile in(dir + "/" + f);
            in.open(QIODevice::ReadOnly);
            all += f.toLatin1() + ':' + in.readAll();
        }
        return all;
    }

    // A journal cut at every offset (a crash, as the tables were when that
    // flush began) is played silently to the state before or after; damaged
    // at any byte, a finished operation stays done, an unfinished one is
    // undone or, set aside with a message, the tables stay as they were.
    void damagedAndCut(const QString &op)
    {
        TempDir work;
        const History h = record(op, work.file("data"));
        QVERIFY2(h.flushes.size() > 1 && h.journal.size() > 16, qPrintable(op));
        const QStringList names = h.changed();
        // Thousands of starts: in memory where there is a memory-backed
        // folder, spared the disk's syncs.
        QTemporaryDir memory(QFileInfo("/dev/shm").isWritable() ? "/dev/shm/corvane-journal-XXXXXX" : work.file("run-XXXXXX"));
        const QString dir = memory.filePath("run");
        const auto dumpOf = [&](const Files &tables) {
            QDir(dir).removeRecursively();
            QDir().mkpath(dir);
            for (const QString &n : names)
                writeFile(QDir(dir).filePath(n), tables.value(n));
            return dump(dir);
        };
        const QString before = dumpOf(h.before), after = dumpOf(h.end);
        QVERIFY(before != after);
        // What a start makes of the journal on these tables.
        const auto played = [&](const QString &where, const Files &tables, const QByteArray &journal, bool cut) {
            const QString message = start(dir, only(tables, names), journal);
            const QString state = dump(dir);
            [&] {
                QVERIFY2(!QFile::exists(QDir(dir).filePath(db::journalFileName())), qPrintable(where));
                QVERIFY2(message.isEmpty() == setAside(dir).isEmpty(), qPrintable(where + ": " + message));
                QVERIFY2(!cut || message.isEmpty(), qPrintable(where + ": a cut is no damage: " + message));
                if (!message.isEmpty())
                    QVERIFY2(tableFiles(dir) == only(tables, names), qPrintable(where + ": set aside, but played"));
                else
                    QVERIFY2(state == before || state == after,
                             qPrintable(where + ": a half state: " + firstDifference(before, state)));
            }();
            return message.isEmpty() ? state : QString();
        };
        for (qint64 cut = 0; cut <= h.journal.size() && !QTest::currentTestFailed(); ++cut)
            played(QString("%1 cut at %2").arg(op).arg(cut), h.tablesAt(cut), h.journal.left(cut), true);

        const qint64 commit = h.firstCommitFlush();
        QVERIFY(commit > 16);
        const QByteArray unfinished = h.journal.left(commit);
        for (qint64 at = 0; at < h.journal.size() && !QTest::currentTestFailed(); ++at) {
            QByteArray damaged = h.journal;
            damaged[at] = char(damaged[at] ^ 0xFF);
            const QString where = QString("%1 finished, damaged at %2 of %3").arg(op).arg(at).arg(h.journal.size());
            const QString state = played(where, h.end, damaged, false);
            QVERIFY2(state.isEmpty() || state == after, qPrintable(where + ": done no longer"));
        }
        for (qint64 at = 0; at < unfinished.size() && !QTest::currentTestFailed(); ++at) {
            QByteArray damaged = unfinished;
            damaged[at] = char(damaged[at] ^ 0xFF);
            const QString where = QString("%1 unfinished, damaged at %2 of %3").arg(op).arg(at).arg(unfinished.size());
            const QString state = played(where, h.tablesAt(commit), damaged, false);
            QVERIFY2(state.isEmpty() || state == before, qPrintable(where + ": not undone"));
        }
        db::DbfFile::releaseUnused();
    }

private slots:
    // Journals a crash may leave, or that are found otherwise, at a start.
    void journalsLeftBehind()
    {
        TempDir work;
        const QString live = work.file("live"), original = work.file("original");
        QDir().mkpath(live);
        makeTables(live);
        copyFolder(live, original);
        const QString journal = "/" + db::journalFileName();
        const auto snapshot = [&](const QString &name) {
            copyFolder(live, work.file(name));
            return work.file(name);
        };
        QString changed, firstOnly;
        {
            db::Transaction transaction(live);
            const auto one = db::DbfFile::open(live, "one"), two = db::DbfFile::open(live, "two");
            QByteArray raw(one->record(3), one->recordLength());
            one->encode(raw, 1, db::Value::fromString(u("改过的备注，比原来的长得多")));
            one->writeRecord(3, raw);
            firstOnly = snapshot("first");
            transaction.keepRows(*two, {0, 1, 2});
            two->setDeleted(1, true);
            two->appendRecord(two->blankRecord());
            one->appendRecord(raw);
            changed = snapshot("changed");
            QVERIFY(QFile::exists(changed + journal));
        } // not committed: taken back here
        QCOMPARE(bytesOf(live), bytesOf(original));
        QVERIFY(!QFile::exists(live + journal));
        db::DbfFile::releaseUnused();

        // Complete: both tables back, byte for byte, memo file included.
        QCOMPARE(db::recoverJournal(changed), QString());
        QCOMPARE(bytesOf(changed), bytesOf(original));
        QVERIFY(!QFile::exists(changed + journal));

        // Cut short in the middle of an entry whose write never happened.
        {
            QFile cut(firstOnly + journal);
            QVERIFY(cut.open(QIODevice::Append));
            cut.write(QByteArray("\0\0\1\0R\0\0", 7));
        }
        QCOMPARE(db::recoverJournal(firstOnly), QString());
        QCOMPARE(bytesOf(firstOnly), bytesOf(original));

        // A table no longer there is passed over; the other comes back.
        QString gone;
        {
            db::Transaction transaction(live);
            db::DbfFile::open(live, "two")->setDeleted(4, true);
            db::DbfFile::open(live, "one")->setDeleted(5, true);
            gone = snapshot("gone");
        }
        db::DbfFile::releaseUnused();
        QVERIFY(QFile::remove(gone + "/two.dbf"));
        QCOMPARE(db::recoverJournal(gone), QString());
        QVERIFY(!QFile::exists(gone + journal));
        QVERIFY(!db::DbfFile::open(gone, "one")->isDeleted(5));
        db::DbfFile::releaseUnused();

        // Shorter than its mark: written before any table was; removed.
        const QString stub = snapshot("stub");
        writeFile(stub + journal, "DBF");
        QCOMPARE(db::recoverJournal(stub), QString());
        QVERIFY(!QFile::exists(stub + journal));
        QCOMPARE(bytesOf(stub), bytesOf(original));

        // Not a journal at all: the tables stay as they are, the user is
        // told, the file is kept aside and no longer stands in the way.
        const QString odd = snapshot("odd");
        writeFile(odd + journal, "something else entirely");
        QVERIFY(db::recoverJournal(odd).contains(u("无法读取")));
        QVERIFY(!QFile::exists(odd + journal));
        QCOMPARE(QDir(odd).entryList({"~journal.unreadable-*"}).size(), 1);
        QCOMPARE(bytesOf(odd), bytesOf(original));
        {
            db::Transaction transaction(odd);
            db::DbfFile::open(odd, "one")->setDeleted(0, true);
            transaction.commit();
        }
        QVERIFY(db::DbfFile::open(odd, "one")->isDeleted(0));
        db::DbfFile::releaseUnused();
        const QByteArray done0 = bytesOf(live);

        // An operation that cannot be taken back in the program (the disk
        // fails) leaves its journal for the next start, and no other
        // operation runs before that start.
        const QString stuck = snapshot("stuck");
        {
            db::Transaction transaction(stuck);
            db::DbfFile::open(stuck, "one")->setDeleted(2, true);
            db::setFaultHook([](const char *what) {
                if (QByteArray(what) == "restore")
                    throw db::DbError("disk gone");
            });
            QVERIFY(transaction.rollback().contains("disk gone"));
            db::setFaultHook({});
        }
        // The user hears of it once.
        QVERIFY(db::takeRefusalNotice().contains(u("请立即重新启动程序")));
        QVERIFY(db::takeRefusalNotice().isEmpty());
        QVERIFY(QFile::exists(stuck + journal));
        QVERIFY_THROWS_EXCEPTION(db::DbError, [&] {
            db::Transaction transaction(stuck);
            db::DbfFile::open(stuck, "two")->setDeleted(2, true);
        }());
        db::DbfFile::releaseUnused();
        QCOMPARE(db::recoverJournal(stuck), QString());
        QCOMPARE(bytesOf(stuck), done0);

        // Finished, but its rows never reached the disk (a power cut): the
        // journal does it again.
        const QString lost = snapshot("lost");
        {
            db::Transaction transaction(live);
            db::DbfFile::open(live, "one")->setDeleted(7, true);
            db::DbfFile::open(live, "two")->setDeleted(8, true);
            transaction.commit();
        }
        QVERIFY(QFile::exists(live + journal)); // kept until a checkpoint
        QVERIFY(QFile::copy(live + journal, lost + journal));
        const QByteArray done = bytesOf(live);
        db::Transaction::checkpoint();
        QVERIFY(!QFile::exists(live + journal));
        db::DbfFile::releaseUnused();
        QCOMPARE(db::recoverJournal(lost), QString());
        QVERIFY(!QFile::exists(lost + journal));
        QCOMPARE(bytesOf(lost).size(), done.size());
        QVERIFY(db::DbfFile::open(lost, "one")->isDeleted(7) && db::DbfFile::open(lost, "two")->isDeleted(8));
        db::DbfFile::releaseUnused();
    }


    // Set aside under a name of its own, never over another, and never
    // claimed when the move failed; journals of the version before are
    // still played.
    void setAsideAndOlderJournals()
    {
        TempDir work;
        const QString dir = work.path(), journal = QDir(dir).filePath(db::journalFileName());
        makeTables(dir);
        const QByteArray original = bytesOf(dir);
        // Two in the same second.
        for (int i = 1; i <= 2; ++i) {
            writeFile(journal, "something else entirely");
            const QString message = db::recoverJournal(dir);
            QCOMPARE(setAside(dir).size(), i);
            QVERIFY(!QFile::exists(journal));
            QVERIFY2(message.contains(QDir::toNativeSeparators(QDir(dir).filePath(setAside(dir).last())))
                         || message.contains(setAside(dir).first()),
                     qPrintable(message));
        }
        // The move refused: the user is told so, the journal stays, and no
        // table is written until it is out of the way.
        writeFile(journal, "something else entirely");
        db::setFaultHook([](const char *what) {
            if (qstrcmp(what, "rename") == 0)
                throw db::DbError("refused");
        });
        const QString message = db::recoverJournal(dir);
        db::setFaultHook({});
        QVERIFY2(message.contains(u("也无法改名")) && message.contains("refused"), qPrintable(message));
        QVERIFY(QFile::exists(journal));
        QCOMPARE(setAside(dir).size(), 2);
        QVERIFY_THROWS_EXCEPTION(db::DbError, db::DbfFile::open(dir, "one")->setDeleted(0, true));
        db::DbfFile::releaseUnused();
        QCOMPARE(bytesOf(dir), original);
        QVERIFY(db::recoverJournal(dir).contains(u("已改名")));
        db::DbfFile::open(dir, "one")->setDeleted(0, true);
        db::DbfFile::releaseUnused();

        // The format before: a finished operation done again, an unfinished
        // one undone, both after one another.
        QProcess tar;
        tar.start("tar", {"xzf", TEST_DATA_DIR "/journal-v1.tar.gz", "-C", work.path()});
        QVERIFY(tar.waitForFinished() && tar.exitCode() == 0);
        const auto row = [&](const QString &folder, const char *table, int rec) {
            const auto file = db::DbfFile::open(folder, table);
            const QString text = rec < file->recordCount() ? QString("%1%2|%3")
                                                                 .arg(file->isDeleted(rec) ? "*" : "")
                                                                 .arg(file->value(rec, 0).toString(), file->value(rec, 1).toString())
                                                           : QString("-");
            db::DbfFile::releaseUnused();
            return text;
        };
        const QString older = work.file("journal-v1/");
        for (const auto &[folder, rows] : std::initializer_list<std::pair<QString, QStringList>>{
                 {"unfinished", {"row 3|note 3", "row 1|note 1", "-", "row 5|note 5"}},
                 {"finished", {"row 3|a longer note than it was before", "*row 1|note 1", "|", "row 5|note 5"}},
                 {"finished-then-unfinished",
                  {"row 3|a longer note than it was before", "*row 1|note 1", "|", "row 5|note 5"}}}) {
            QCOMPARE(db::recoverJournal(older + folder), QString());
            QVERIFY(!QFile::exists(older + folder + "/" + db::journalFileName()));
            QCOMPARE(QStringList({row(older + folder, "one", 3), row(older + folder, "two", 1), row(older + folder, "two", 10),
                                  row(older + folder, "one", 5)}),
                     rows);
        }
    }

    // A journal whose entries pass their checksums but name what does not
    // fit the tables (another table's memo file, a header of another
    // layout, more rows than the file holds, bytes beyond a record) is set
    // aside and leaves every table as it is.
    void entriesThatDoNotFit()
    {
        TempDir work;
        const QString dir = work.path();
        makeTables(dir);
        const QByteArray original = bytesOf(dir);
        const auto image = [&](const char *table) {
            const db::journal::TableImage t = db::DbfFile::open(dir, table)->diskImage();
            db::DbfFile::releaseUnused();
            return t;
        };
        using Change = std::function<void(db::journal::TableImage &, QByteArray &)>;
        const QList<std::pair<const char *, Change>> cases = {
            {"another table's memo file", [](auto &t, auto &) { t.memoFileName = "two.dbt", t.memoSize = 512; }},
            {"a header of another layout", [](auto &t, auto &) { t.header[10] = char(t.header[10] + 1); }},
            {"more rows than the file", [](auto &t, auto &) { t.recordCount += 5; }},
            {"bytes beyond the record", [](auto &t, auto &row) { row = QByteArray(t.recordLength + 1, 'x'); }},
        };
        for (const auto &[what, change] : cases) {
            db::journal::TableImage t = image("one");
            QByteArray row(4, 'x');
            change(t, row);
            {
                db::journal::Writer writer;
                writer.setPath(QDir(dir).filePath(db::journalFileName()));
                writer.beginOperation();
                writer.addTable(0, t);
                writer.addBefore(0, 0, 0, row.constData(), int(row.size()));
                writer.flush();
            }
            const QString message = db::recoverJournal(dir);
            QVERIFY2(!message.isEmpty() && !QFile::exists(QDir(dir).filePath(db::journalFileName())), what);
            QVERIFY2(bytesOf(dir) == original, what);
        }
        QCOMPARE(setAside(dir).size(), cases.size());
    }

    // A finished operation stays in the journal until a checkpoint: a later
    // write outside an operation to a table it names is not undone by the
    // start after a crash.
    void laterWritesStay()
    {
        TempDir work;
        const QString live = work.file("live"), journal = "/" + db::journalFileName();
        QDir().mkpath(live);
        makeTables(live);
        const auto one = db::DbfFile::open(live, "one");
        {
            db::Transaction transaction(live);
            QByteArray raw(one->record(4), one->recordLength());
            raw[1] = 'X';
            one->writeRecord(4, raw);
            transaction.commit();
        }
        QVERIFY(QFile::exists(live + journal));
        one->setDeleted(4, true);
        copyFolder(live, work.file("crash"));
        db::DbfFile::releaseUnused();
        QCOMPARE(db::recoverJournal(work.file("crash")), QString());
        QVERIFY(db::DbfFile::open(work.file("crash"), "one")->isDeleted(4));
        db::DbfFile::releaseUnused();

        // The local person list, changed by a store and then by its window.
        AppFixture app;
        recordOperations()["store"].prepare();
        StoreStagedRecords(false);
        QVERIFY(QFile::exists(DataDir + journal));
        db::Table *local = DM->TblwcrNew;
        QVERIFY(local->locate("ITEM_180", u("人1")));
        app.boxes().answer(ui::IDYES);
        FormWcr->Button1Click();
        copyFolder(DataDir, work.file("stored"));
        QCOMPARE(db::recoverJournal(work.file("stored")), QString());
        QCOMPARE(titledPersons(work.file("stored"), u("人1")), 0);
        db::DbfFile::releaseUnused();
    }

    // The folder that holds a new journal is synced before any table is
    // written: a flush whose folder sync failed says so, and the next one
    // syncs the folder again.
    void folderSyncTriedAgain()
    {
        TempDir work;
        const QString dir = QFileInfo(work.path()).absoluteFilePath();
        db::journal::Writer writer;
        writer.setPath(QDir(dir).filePath(db::journalFileName()));
        int syncs = 0;
        db::setFaultHook([&](const char *what) {
            // The journal's own sync, then the folder's.
            if (qstrcmp(what, "sync") == 0 && ++syncs == 2)
                throw db::DbError("folder sync refused");
        });
        writer.beginOperation();
        QVERIFY_THROWS_EXCEPTION(db::DbError, writer.flush());
        db::setFaultHook({});
        int folderSyncs = 0;
        db::disk::setRecorder([&](const db::disk::Event &e) {
            folderSyncs += e.change == db::disk::Change::SyncFolder && e.path == dir;
        });
        writer.beginOperation();
        writer.flush();
        db::disk::setRecorder({});
        QCOMPARE(folderSyncs, 1);
        writer.remove();
    }

    void deleteDamagedAndCut() { damagedAndCut("delete"); }
    void yearDamagedAndCut() { damagedAndCut("year"); }
    void storeDamagedAndCut() { damagedAndCut("store"); }
    void section02DamagedAndCut() { damagedAndCut("section02"); }
};

QTEST_MAIN(TestJournal)
#include "tst_journal.moc"
