// Operations over several tables, killed at every write they make on disk
// (and failed there, failed again while taking the failure back, and killed
// while doing so): what the user is told matches the tables on disk and the
// main list, and after a restart the folder holds the state before the
// operation or after it.
#include "AppFixture.h"
#include "DataFolder.h"
#include "ExportPackage.h"
#include "Operations.h"
#include "PrintUnit.h"
#include "Records.h"
#include "RecordRoutines.h"
#include "Unit1.h"
#include "UnitDM.h"
#include "db/file/DbError.h"
#include "db/file/DbfFile.h"
#include "db/journal/Journal.h"
#include "db/dataset/Table.h"
#include "text/Utf8.h"
#include "ui/HandlerGuard.h"
#include "ui/MessageBox.h"

#include <QProcess>
#include <QtTest>

#include <csignal>
#include <functional>
#include <unistd.h>

namespace {

// What a failed rollback tells, once.
const QString kRestart = u("重新启动程序时数据表会恢复完整");

// Whether an output or a write is refused now, for that reason.
bool refused(const std::function<void()> &attempt)
{
    try {
        attempt();
    } catch (const db::DbError &e) {
        return QString::fromUtf8(e.what()).contains(u("等待重新启动程序"));
    }
    return false;
}

// The child: runs the operation on the folder; in "count" mode to its end.
// Otherwise it fails ("throw") or dies ("kill") at point n, or fails at n
// and dies three points later ("throwkill"), or fails at n and again at m
// ("throw2"). It prints how many fault points it passed, every box the user
// saw, whether the main list shows what is stored, and, after a failed
// rollback, whether writes and outputs are refused.
int runChild(const QStringList &args)
{
    const QString op = args.at(0), dir = args.at(1), mode = args.at(2);
    const int n = args.at(3).toInt(), m = args.at(4).toInt();
    int points = 0;
    QStringList lines, texts, names;
    {
        AppFixture app(dir);
        recordOperations()[op].setUp(app);
        // Every question gets its first button, but the one on leaving a
        // window whose store failed: that would store again.
        const ui::MessageBoxHandler scripted = ui::setMessageBoxHandler([&](const ui::MessageRequest &r) {
            texts << r.text;
            if (r.text == u("退出并储存？") || r.text.startsWith(u("记录已经更改,是否保存？")))
                return r.buttonSet() == ui::MB_YESNO ? ui::IDNO : ui::IDCANCEL;
            return r.buttonSet() == ui::MB_YESNO ? ui::IDYES : ui::IDOK;
        });
        db::setFaultHook([&](const char *what) {
            ++points;
            names << what;
            if ((mode == "kill" && points == n) || (mode == "throwkill" && points == n + 3))
                ::kill(::getpid(), SIGKILL);
            if ((mode != "kill" && points == n) || (mode == "throw2" && points == m))
                throw db::DbError("injected");
        });
        ui::guarded([&] { recordOperations()[op].run(app); });
        db::setFaultHook({});
        ui::setMessageBoxHandler(scripted);
        for (const QString &text : texts)
            lines << "box " + QString(text).replace('\n', "\\n");
        lines << QString("list %1").arg(listShowsStored() ? "same" : "differs");
        if (texts.join('\n').contains(kRestart)) {
            DM->T_temp_out->open();
            const bool exported = refused([&] { ExportPackage(*DM->T_temp_out, {0}, dir); });
            const bool printed = refused(BitBtn4Click);
            const bool written = refused([] {
                const auto kjcg = db::DbfFile::open(DataDir, "kjcg.DBF");
                kjcg->setDeleted(0, !kjcg->isDeleted(0));
            });
            lines << QString("refused %1").arg(exported && printed && written ? "all" : "not all");
            lines << QString("refusals %1 %2 %3").arg(exported).arg(printed).arg(written);
        }
    }
    lines.prepend(QString("points %1").arg(points));
    lines << "names " + names.join(' ');
    printf("%s\n", qPrintable(lines.join('\n')));
    return 0;
}

// A dump without the staging tables.
QString withoutStaging(const QString &dump)
{
    QStringList kept;
    bool staging = false;
    for (const QString &line : dump.split('\n')) {
        if (line.endsWith(':'))
            staging = line.contains("temp", Qt::CaseInsensitive);
        if (!staging)
            kept << line;
    }
    return kept.join('\n');
}

// What a child printed.
struct Told
{
    int points = 0;
    QStringList names; // of the fault points passed, in order
    QStringList boxes;
    bool listSame = false;
    bool restart = false;
    bool refusedAll = false;
    QString refusals; // export, print, write

    // Whether point n (from 1) lies in a commit.
    bool inCommit(int n) const
    {
        for (int i = n - 1; i >= 0; --i) {
            if (names.value(i) == "commit")
                return true;
            if (i < n - 1 && names.value(i) == "sync" && names.value(i - 1) == "journal")
                return false;
        }
        return false;
    }

    explicit Told(const QByteArray &output)
    {
        for (const QString &line : QString::fromUtf8(output).split('\n')) {
            if (line.startsWith("points "))
                points = line.mid(7).toInt();
            else if (line.startsWith("names "))
                names = line.mid(6).split(' ');
            else if (line.startsWith("box "))
                boxes << line.mid(4);
            listSame |= line == "list same";
            refusedAll |= line == "refused all";
            if (line.startsWith("refusals "))
                refusals = line.mid(9);
        }
        restart = boxes.join('\n').contains(kRestart);
    }
};

} // namespace

class TestCrash : public QObject
{
    Q_OBJECT

    // Runs one child on a copy of prepared; returns what it printed.
    static Told child(const QString &op, const QString &prepared, const QString &copy, const QString &mode, int n,
                      int m = 0)
    {
        QDir(copy).removeRecursively();
        copyFolder(prepared, copy);
        QProcess p;
        p.start(QCoreApplication::applicationFilePath(),
                {"--child", op, copy, mode, QString::number(n), QString::number(m)});
        p.waitForFinished(60000);
        return Told(p.readAllStandardOutput());
    }

    void crashEverywhere(const QString &op)
    {
        const RecordOperation &operation = recordOperations()[op];
        TempDir work;
        const QString prepared = work.file("prepared");
        {
            AppFixture app(prepared);
            operation.prepare();
        }
        const QString before = dump(prepared);
        const QString done = work.file("done"), run = work.file("run");
        const Told success = child(op, prepared, done, "count", 0);
        const QString after = dump(done);
        QVERIFY2(success.points > 0 && before != after && success.listSame,
                 qPrintable(QString("%1: %2 points, list %3").arg(op).arg(success.points).arg(success.listSame)));

        // A restart on what the child left: the state it comes to.
        const auto restart = [&](const QString &where, const Told &told) {
            // Killed, or with a failed rollback, tables may be torn until the start.
            const QString onDisk = told.points > 0 && !told.restart ? dump(run) : QString();
            prepareDataFolder(run); // as a start does: plays back the journal
            [&] {
                QVERIFY2(!QFile::exists(run + "/" + db::journalFileName()), qPrintable(where));
                QVERIFY2(orphans(run).isEmpty(), qPrintable(where + ": " + orphans(run).join(", ")));
                // What the program showed and said is what is stored, and
                // what a start then finds, unless it said a restart makes
                // the tables whole.
                if (told.points == 0) {
                    // Killed: it told nothing.
                } else if (!told.restart) {
                    QVERIFY2(dump(run) == onDisk, qPrintable(where + ": the start changed " + firstDifference(onDisk, dump(run))));
                    QVERIFY2(told.listSame, qPrintable(where + ": the list shows what is not stored"));
                } else {
                    QVERIFY2(told.boxes.filter(kRestart).size() == 1, qPrintable(where + ": " + told.boxes.join(" / ")));
                    QVERIFY2(told.refusedAll, qPrintable(where + ": writes and outputs go on after a failed rollback: "
                                                         + told.refusals));
                }
            }();
            return dump(run);
        };
        // The state is the one before or the one after; where staging is
        // emptied table by table once a store is done, only after a kill and
        // with staging left aside.
        const auto requireBeforeOrAfter = [&](const QString &where, const QString &state, bool killed) {
            if (!operation.wholePass && !killed)
                return;
            const auto seen = [&](const QString &s) { return operation.wholePass ? s : withoutStaging(s); };
            QVERIFY2(seen(state) == seen(before) || seen(state) == seen(after),
                     qPrintable(where + ": a mix of before and after: " + firstDifference(before, state)));
        };
        for (const QString &mode : QStringList{"kill", "throw", "throwkill"}) {
            for (int n = 1; n <= success.points; ++n) {
                const QString where = QString("%1 %2 at %3 of %4").arg(op, mode).arg(n).arg(success.points);
                const Told told = child(op, prepared, run, mode, n);
                const QString state = restart(where, told);
                if (QTest::currentTestFailed())
                    return;
                requireBeforeOrAfter(where, state, mode == QLatin1String("kill"));
                if (QTest::currentTestFailed())
                    return;
                if (mode == QLatin1String("throw") && !told.restart) {
                    // Told done: done. Told done and what failed after: done
                    // (staging may stay). Told it failed: not done (a store
                    // keeps the records stored before the failure).
                    if (told.boxes == success.boxes)
                        QVERIFY2(state == after, qPrintable(where + ": reported done, not done: " + firstDifference(after, state)));
                    else if (told.boxes.join('\n').contains(u("但随后")))
                        QVERIFY2(withoutStaging(state) == withoutStaging(after),
                                 qPrintable(where + ": reported done, not done: " + firstDifference(after, state)));
                    else if (operation.wholePass)
                        QVERIFY2(state == before, qPrintable(where + ": reported failed (" + told.boxes.join(" / ")
                                                             + "), done: " + firstDifference(before, state)));
                }
                if (op == "marks" && state == after)
                    QVERIFY2(QFile::exists(run + "/out/cgsbqy.arj"), qPrintable(where + ": marked, not packed"));
                // A staged record is stored once or still staged; one that
                // replaces a stored record stands in for it, never beside it.
                for (const QString &title : stagedTitles()) {
                    if (!titled(prepared, "KJCGtemp", title))
                        continue;
                    const int stored = titled(run, "kjcg", title);
                    QVERIFY2(titled(prepared, "kjcg", title) ? stored == 1 : stored + titled(run, "KJCGtemp", title) == 1,
                             qPrintable(where + ": " + title));
                }
            }
        }
        // Failed at each point of a commit (up to its journal's sync), and
        // again at each point taking that failure back.
        for (int n = 1; n <= success.points; ++n) {
            if (!success.inCommit(n))
                continue;
            const int rollbackEnd = child(op, prepared, run, "throw", n).points;
            for (int m = n + 1; m <= rollbackEnd; ++m) {
                const QString where = QString("%1 failed at %2 and %3").arg(op).arg(n).arg(m);
                const Told told = child(op, prepared, run, "throw2", n, m);
                const QString state = restart(where, told);
                if (QTest::currentTestFailed())
                    return;
                requireBeforeOrAfter(where, state, false);
            }
        }
        // The program starts on a folder a kill left.
        child(op, prepared, run, "kill", success.points / 2);
        AppFixture app(run);
        QVERIFY(MainForm);
    }

private slots:
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
            for (const QString &child : childTables())
                QVERIFY2(storedRows(child, {"ITEM_4"}, key).isEmpty(), qPrintable(QString(archive) + " " + key));
        }
    }

    void deleteRecord() { crashEverywhere("delete"); }
    void saveSection02() { crashEverywhere("section02"); }
    void changeYear() { crashEverywhere("year"); }
    void storeImported() { crashEverywhere("store"); }
    void overwriteImported() { crashEverywhere("overwrite"); }
    void exportMarks() { crashEverywhere("marks"); }
    void stagePackage() { crashEverywhere("stage"); }
    void personNumberInGrid() { crashEverywhere("person"); }
};

int main(int argc, char **argv)
{
    QApplication a(argc, argv);
    const QStringList args = a.arguments();
    if (args.size() == 7 && args.at(1) == "--child")
        return runChild(args.mid(2));
    TestCrash t;
    return QTest::qExec(&t, argc, argv);
}

#include "tst_crash.moc"
