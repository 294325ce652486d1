// Operations over several tables, killed at every write they make on disk
// (and failed there, and killed while taking a failure back): after a
// restart the folder holds the state before the operation or after it.
#include "AppFixture.h"
#include "DataFolder.h"
#include "ExchangeTextWriter.h"
#include "ExportPackage.h"
#include "ImportPackage.h"
#include "ImportStore.h"
#include "Records.h"
#include "RecordRoutines.h"
#include "Unit1.h"
#include "UnitDM.h"
#include "UnitNew.h"
#include "db/DbError.h"
#include "db/DbfFile.h"
#include "db/Journal.h"
#include "db/Table.h"
#include "text/Utf8.h"
#include "ui/HandlerGuard.h"

#include <QProcess>
#include <QtTest>

#include <csignal>
#include <functional>
#include <unistd.h>

namespace {

const QStringList kChildTables = {"cgwcdw", "zlqk", "jdwyhmd", "cgwcr"};

void fillChild(db::Table &t, int i)
{
    if (t.findField("ITEM_180"))
        t.fieldByName("ITEM_180")->setAsString(u("人%1").arg(i));
}

// A record with rows in every child table, stored or staged.
void addWithRows(const QString &table, const QString &key, const QString &title, int rows)
{
    const bool staged = table.endsWith("temp");
    if (staged)
        addRecordRows(key, table, 1, [&](db::Table &t, int) {
            t.fieldByName("ITEM_3")->setAsString(title), t.fieldByName("ITEM_CGLB")->setAsString("1");
        });
    else
        addRecord(key, "1", title);
    for (const QString &child : kChildTables)
        addRecordRows(key, child + (staged ? "temp" : ""), rows, fillChild);
}

// A table's rows as its package member, beside the tables.
void writeMember(const QString &table)
{
    db::Table t;
    t.setDatabaseName(DataDir), t.setTableName(table), t.open();
    ExportTableText(t, DataDir + "/" + table.toUpper() + ".TXT", table == "kjcg" ? TextMember::Kjcg : TextMember::Child);
}

void addLocalPerson(const QString &name)
{
    db::Table t;
    t.setDatabaseName(DataDir), t.setTableName("cgwcrNew"), t.open();
    t.append(), t.fieldByName("ITEM_180")->setAsString(name), t.post();
}

// How many live rows of the table hold the title.
int titled(const QString &dir, const QString &table, const QString &title)
{
    const auto file = db::DbfFile::open(dir, table);
    int n = 0;
    for (int rec = 0; rec < file->recordCount(); ++rec)
        n += !file->isDeleted(rec) && file->value(rec, file->fieldIndex("ITEM_3")).toString() == title;
    return n;
}

// Every table's live rows as text, NO aside (the list renumbers it after
// each operation, as an operation of its own).
QString dump(const QString &dir)
{
    QString out;
    for (const QString &name : QDir(dir).entryList({"*.dbf", "*.DBF"}, QDir::Files, QDir::Name)) {
        const auto file = db::DbfFile::open(dir, name);
        const int no = file->fieldIndex("NO");
        out += name + ":\n";
        for (int rec = 0; rec < file->recordCount(); ++rec) {
            if (file->isDeleted(rec))
                continue;
            for (int f = 0; f < file->fieldCount(); ++f)
                if (f != no)
                    out += file->value(rec, f).toString() + '|';
            out += '\n';
        }
    }
    db::DbfFile::releaseUnused();
    return out;
}

// The first line where two dumps differ, for the failure message.
QString firstDifference(const QString &a, const QString &b)
{
    const QStringList x = a.split('\n'), y = b.split('\n');
    for (int i = 0; i < std::min(x.size(), y.size()); ++i)
        if (x[i] != y[i])
            return x[i] + " <> " + y[i];
    return QString("%1 lines <> %2 lines").arg(x.size()).arg(y.size());
}

// Child rows whose record is missing, as "table key/region".
QStringList orphans(const QString &dir)
{
    QSet<QString> records;
    const auto kjcg = db::DbfFile::open(dir, "kjcg.DBF");
    const int key = kjcg->fieldIndex("ITEM_4"), region = kjcg->fieldIndex("ITEM_DQDM");
    for (int rec = 0; rec < kjcg->recordCount(); ++rec)
        if (!kjcg->isDeleted(rec))
            records << kjcg->value(rec, key).toString() + '/' + kjcg->value(rec, region).toString();
    QStringList found;
    for (const QString &name : kChildTables) {
        const auto file = db::DbfFile::open(dir, name);
        for (int rec = 0; rec < file->recordCount(); ++rec) {
            const QString k = file->value(rec, file->fieldIndex("ITEM_4")).toString() + '/'
                            + file->value(rec, file->fieldIndex("ITEM_DQDM")).toString();
            if (!file->isDeleted(rec) && !records.contains(k))
                found << name + ' ' + k;
        }
    }
    db::DbfFile::releaseUnused();
    return found;
}

struct Operation
{
    // Failing or killed anywhere, an operation leaves the state before it or
    // after it (a failure after its last write leaves it done).
    // A failure in process takes back everything; a store pass keeps the
    // records stored before the failure.
    bool wholePass;
    std::function<void()> prepare; // the program on the folder, in the parent
    std::function<void(AppFixture &)> setUp; // in the child, before the faults
    std::function<void(AppFixture &)> run;
};

void nothing(AppFixture &) {}

void showFirst(AppFixture &)
{
    MainForm->show();
    DM->Qrykjcg->locate("ITEM_4", "2005000001");
}

const QMap<QString, Operation> &operations()
{
    static const QMap<QString, Operation> ops = {
        {"delete",
         {true, [] { showWithRecords({}), addWithRows("kjcg", "2005000001", u("甲"), 3), addWithRows("kjcg", "2005000002", u("乙"), 2); },
          showFirst, [](AppFixture &) { MainForm->Button4Click(); }}},
        {"year",
         {true, [] { showWithRecords({}), addWithRows("kjcg", "2005000001", u("甲"), 3), addWithRows("kjcg", "2005000002", u("乙"), 2); },
          showFirst,
          [](AppFixture &app) {
              app.modals().then([](QDialog *) {
                  FormNew->cbYear->setText("2004");
                  FormNew->Button1->click();
              });
              MainForm->Button3Click();
          }}},
        {"store",
         {false,
          [] {
              showWithRecords({}), addWithRows("kjcg", "2006000001", u("旧"), 1), addLocalPerson(u("人1"));
              addWithRows("KJCGtemp", "2006000007", u("新甲"), 2), addWithRows("KJCGtemp", "2006000008", u("新乙"), 2);
          },
          nothing, [](AppFixture &) { StoreStagedRecords(false); }}},
        {"overwrite",
         {false,
          [] {
              showWithRecords({}), addWithRows("kjcg", "2006000001", u("甲"), 2), addWithRows("kjcg", "2006000002", u("乙"), 2);
              addWithRows("KJCGtemp", "2006000001", u("甲"), 3), addWithRows("KJCGtemp", "2006000009", u("新"), 1);
          },
          nothing, [](AppFixture &) { StoreStagedRecords(true); }}},
        {"stage",
         {true,
          [] {
              // A package of two records, the first under a key a staged
              // record holds already: it is staged under another region.
              showWithRecords({}), addWithRows("kjcg", "2006000001", u("丙"), 2), addWithRows("kjcg", "2006000002", u("丁"), 1);
              for (const QString &table : QStringList{"kjcg"} + kChildTables)
                  writeMember(table);
              addWithRows("KJCGtemp", "2006000001", u("戊"), 1);
          },
          nothing,
          [](AppFixture &app) {
              QMap<QString, QByteArray> members;
              for (const QString &name : PackageMembers())
                  if (QFile f(app.dataDir() + "/" + name); f.open(QIODevice::ReadOnly))
                      members[name] = f.readAll();
              StagePackage(UnpackedPackage(members));
          }}},
        {"marks",
         {true, [] { showWithRecords({}), addWithRows("kjcg", "2005000001", u("甲"), 1), addWithRows("kjcg", "2005000002", u("乙"), 1); },
          [](AppFixture &app) { DM->T_temp_out->open(), QDir(app.dataDir()).mkpath("out"); },
          [](AppFixture &app) { ExportPackage(*DM->T_temp_out, {0, 1}, app.dataDir() + "/out"); }}},
    };
    return ops;
}

// The child: runs the operation on the folder; in "count" mode to its end,
// printing how many fault points it passed; otherwise failing ("throw") or
// dying ("kill") at point n, or failing at n and dying three points later.
int runChild(const QStringList &args)
{
    const QString op = args.at(0), dir = args.at(1), mode = args.at(2);
    const int n = args.at(3).toInt();
    int points = 0;
    {
        AppFixture app(dir);
        operations()[op].setUp(app);
        db::setFaultHook([&](const char *) {
            ++points;
            if ((mode == "kill" && points == n) || (mode == "throwkill" && points == n + 3))
                ::kill(::getpid(), SIGKILL);
            if ((mode == "throw" || mode == "throwkill") && points == n)
                throw db::DbError("injected");
        });
        ui::guarded([&] { operations()[op].run(app); });
        db::setFaultHook({});
    }
    printf("%d\n", points);
    return 0;
}

void writeFile(const QString &path, const QByteArray &bytes)
{
    QFile f(path);
    f.open(QIODevice::WriteOnly);
    f.write(bytes);
}

void copyFolder(const QString &from, const QString &to)
{
    QDir().mkpath(to);
    for (const QString &f : QDir(from).entryList(QDir::Files))
        QFile::copy(from + "/" + f, to + "/" + f);
}

} // namespace

class TestCrash : public QObject
{
    Q_OBJECT

    // Runs one child on a copy of prepared; returns the copy's path and the
    // child's output.
    static QString child(const QString &op, const QString &prepared, const QString &copy, const QString &mode, int n,
                         QByteArray *output = nullptr)
    {
        QDir(copy).removeRecursively();
        copyFolder(prepared, copy);
        QProcess p;
        p.start(QCoreApplication::applicationFilePath(), {"--child", op, copy, mode, QString::number(n)});
        p.waitForFinished(60000);
        if (output)
            *output = p.readAllStandardOutput();
        return copy;
    }

    void crashEverywhere(const QString &op)
    {
        TempDir work;
        const QString prepared = work.file("prepared");
        {
            AppFixture app(prepared);
            operations()[op].prepare();
        }
        const QString before = dump(prepared);
        QByteArray counted;
        const QString done = child(op, prepared, work.file("done"), "count", 0, &counted);
        const QString after = dump(done);
        const int points = counted.trimmed().toInt();
        QVERIFY2(points > 0 && before != after, qPrintable(op));

        const bool whole = operations()[op].wholePass;
        for (const QString &mode : {"kill", "throw", "throwkill"}) {
            for (int n = 1; n <= points; ++n) {
                const QString dir = child(op, prepared, work.file("run"), mode, n);
                prepareDataFolder(dir); // as a start does: plays back the journal
                const QString where = QString("%1 %2 at %3 of %4").arg(op, mode).arg(n).arg(points);
                QVERIFY2(!QFile::exists(dir + "/" + db::journalFileName()), qPrintable(where));
                QVERIFY2(orphans(dir).isEmpty(), qPrintable(where + ": " + orphans(dir).join(", ")));
                const QString state = dump(dir);
                if (whole || mode == QLatin1String("kill"))
                    QVERIFY2(state == before || state == after,
                             qPrintable(where + ": a mix of before and after: " + firstDifference(before, state)));
                if (op == "marks" && state == after)
                    QVERIFY2(QFile::exists(dir + "/out/cgsbqy.arj"), qPrintable(where + ": marked, not packed"));
                // A staged record is stored once or still staged; one that
                // replaces a stored record stands in for it, never beside it.
                for (const QString &title : {u("新甲"), u("新乙"), u("甲"), u("新")}) {
                    if (!titled(prepared, "KJCGtemp", title))
                        continue;
                    const int stored = titled(dir, "kjcg", title);
                    QVERIFY2(titled(prepared, "kjcg", title) ? stored == 1 : stored + titled(dir, "KJCGtemp", title) == 1,
                             qPrintable(where + ": " + title));
                }
            }
        }
        // The program starts on a folder a kill left.
        const QString dir = child(op, prepared, work.file("run"), "kill", points / 2);
        AppFixture app(dir);
        QVERIFY(MainForm);
    }

    // Two tables with a memo column, ten rows each.
    static void makeTables(const QString &dir)
    {
        for (const QString &name : {"one", "two"}) {
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

    // Folders that kills left before operations were journaled start, and
    // child rows whose record is gone (as such kills left them) are never
    // taken over by a new record: its key is above theirs.
    void foldersLeftByOlderKills()
    {
        for (const auto &[archive, year] : {std::pair{"crash-delete_kill", "2005"}, std::pair{"crash-year_kill", "2005"},
                                            std::pair{"crash-import_kill", "2006"}}) {
            TempDir work;
            QProcess tar;
            tar.start("tar", {"xzf", QString(TEST_DATA_DIR "/%1.tar.gz").arg(archive), "-C", work.path()});
            QVERIFY(tar.waitForFinished() && tar.exitCode() == 0);
            const QString dir = QDir(work.path()).filePath(QDir(work.path()).entryList(QDir::Dirs | QDir::NoDotAndDotDot).first());
            AppFixture app(dir);
            // The year's last record goes without its child rows.
            const QString last = QString::number(LargestKeyOfYear(year));
            const auto kjcg = db::DbfFile::open(DataDir, "kjcg.DBF");
            for (const int rec : RecordsOfKey(*kjcg, last, "."))
                kjcg->setDeleted(rec, true);
            QVERIFY2(!orphans(DataDir).isEmpty(), archive);
            const QString key = NextRecordKey(year);
            QCOMPARE(key.toLongLong(), last.toLongLong() + 1);
            for (const QString &child : kChildTables)
                QVERIFY2(storedRows(child, {"ITEM_4"}, key).isEmpty(), qPrintable(QString(archive) + " " + key));
        }
    }

    void deleteRecord() { crashEverywhere("delete"); }
    void changeYear() { crashEverywhere("year"); }
    void storeImported() { crashEverywhere("store"); }
    void overwriteImported() { crashEverywhere("overwrite"); }
    void exportMarks() { crashEverywhere("marks"); }
    void stagePackage() { crashEverywhere("stage"); }
};

int main(int argc, char **argv)
{
    QApplication a(argc, argv);
    const QStringList args = a.arguments();
    if (args.size() == 6 && args.at(1) == "--child")
        return runChild(args.mid(2));
    TestCrash t;
    return QTest::qExec(&t, argc, argv);
}

#include "tst_crash.moc"
