// Operations recorded at the engine's disk seam, and the states a power cut
// during them can leave built from the record: a file keeps what was synced
// and any of the writes since; the folder keeps its names as of its last
// sync and, in order, any number of the changes since. A start on each state
// must find every table readable, every record whole, and every step that
// had returned before the cut done.
#include "Operations.h"
#include "AppFixture.h"
#include "CodeUpdate.h"
#include "DataFolder.h"
#include "ImportStore.h"
#include "Records.h"
#include "TableSchemas.h"
#include "Unit1.h"
#include "UnitDM.h"
#include "db/file/DbError.h"
#include "db/file/DbfFile.h"
#include "db/file/Disk.h"
#include "db/journal/Journal.h"
#include "db/dataset/Table.h"
#include "text/Gbk.h"
#include "text/Utf8.h"

#include <QCryptographicHash>
#include <QtTest>

#include <cmath>
#include <random>

namespace {

using db::disk::Change;
using Files = QMap<QString, QByteArray>; // name in the folder: bytes

// The disk under the folder as the recorded changes left it, and as a power
// cut at this point may leave it.
class PowerCutModel
{
public:
    explicit PowerCutModel(const Files &start)
    {
        for (auto it = start.cbegin(); it != start.cend(); ++it) {
            m_live.insert(it.key(), int(m_files.size()));
            m_files.push_back({it.value(), it.value(), {}});
        }
        m_durable = m_live;
    }

    void apply(const db::disk::Event &e)
    {
        const QString name = QFileInfo(e.path).fileName();
        const int file = m_live.value(name, -1);
        switch (e.change) {
        case Change::Create:
            m_live.insert(name, int(m_files.size()));
            m_files.push_back({});
            m_names.push_back({e.change, name, {}, m_live.value(name)});
            break;
        case Change::Write:
        case Change::Truncate:
            QVERIFY2(file >= 0, qPrintable("a change of a file the folder does not name: " + name));
            m_files[size_t(file)].pending.push_back({e.change == Change::Truncate, e.offset, e.bytes});
            applyPiece(m_files[size_t(file)].live, m_files[size_t(file)].pending.back());
            break;
        case Change::Sync:
            QVERIFY2(file >= 0, qPrintable("a sync of a file the folder does not name: " + name));
            m_files[size_t(file)].durable = m_files[size_t(file)].live;
            m_files[size_t(file)].pending.clear();
            break;
        case Change::Rename:
            m_live.insert(QFileInfo(e.target).fileName(), m_live.take(name));
            m_names.push_back({e.change, name, QFileInfo(e.target).fileName(), file});
            break;
        case Change::Remove:
            m_live.remove(name);
            m_names.push_back({e.change, name, {}, file});
            break;
        case Change::SyncFolder:
            m_durable = m_live;
            m_names.clear();
            break;
        }
    }

    int pendingWrites() const
    {
        int n = 0;
        for (const File &f : m_files)
            n += int(f.pending.size());
        return n;
    }
    int pendingNames() const { return int(m_names.size()); }

    // The folder with the pending writes `kept` (numbered file by file) and
    // the first `names` pending changes of names.
    Files cut(const std::vector<bool> &kept, int names) const
    {
        QHash<QString, int> named = m_durable;
        for (int i = 0; i < names; ++i) {
            const NameChange &c = m_names[size_t(i)];
            if (c.change == Change::Remove)
                named.remove(c.name);
            else if (c.change == Change::Create)
                named.insert(c.name, c.file);
            else if (named.contains(c.name))
                named.insert(c.target, named.take(c.name));
        }
        std::vector<QByteArray> bytes;
        size_t piece = 0;
        for (const File &f : m_files) {
            bytes.push_back(f.durable);
            for (const Piece &p : f.pending)
                if (kept[piece++])
                    applyPiece(bytes.back(), p);
        }
        Files out;
        for (auto it = named.cbegin(); it != named.cend(); ++it)
            out.insert(it.key(), bytes[size_t(it.value())]);
        return out;
    }

private:
    struct Piece
    {
        bool truncation;
        qint64 offset;
        QByteArray bytes;
    };
    struct File
    {
        QByteArray durable, live;
        std::vector<Piece> pending; // since the last sync
    };
    struct NameChange
    {
        Change change;
        QString name, target;
        int file;
    };

    static void applyPiece(QByteArray &b, const Piece &p)
    {
        const qint64 end = p.truncation ? p.offset : p.offset + p.bytes.size();
        if (b.size() < end || p.truncation)
            b.resize(end, '\0');
        if (!p.truncation)
            std::memcpy(b.data() + p.offset, p.bytes.constData(), size_t(p.bytes.size()));
    }

    std::vector<File> m_files;
    QHash<QString, int> m_live, m_durable;
    std::vector<NameChange> m_names; // since the folder's last sync
};

Files filesOf(const QString &dir)
{
    Files out;
    for (const QString &name : QDir(dir).entryList(QDir::Files | QDir::Hidden)) {
        QFile f(QDir(dir).filePath(name));
        f.open(QIODevice::ReadOnly);
        out.insert(name, f.readAll());
    }
    return out;
}

void writeFolder(const QString &dir, const Files &files)
{
    QDir().mkpath(dir);
    for (auto it = files.cbegin(); it != files.cend(); ++it) {
        QFile f(QDir(dir).filePath(it.key()));
        QVERIFY(f.open(QIODevice::WriteOnly) && f.write(it.value()) == it.value().size());
    }
}

// What a user relies on in the folder: each table's live rows (NO aside:
// the list renumbers it outside any operation) and the bytes of every other
// file but the engine's own (the journal, scratch copies).
QString folderState(const QString &dir)
{
    QString out;
    for (const QString &name : QDir(dir).entryList(QDir::Files, QDir::Name)) {
        const QString suffix = QFileInfo(name).suffix().toLower();
        if (name.startsWith('~') || suffix == "dbt") // memos are read through their tables
            continue;
        out += name + ":\n";
        if (suffix != "dbf") {
            QFile f(QDir(dir).filePath(name));
            f.open(QIODevice::ReadOnly);
            out += QCryptographicHash::hash(f.readAll(), QCryptographicHash::Md5).toHex() + '\n';
            continue;
        }
        try {
            out += liveRows(dir, name);
        } catch (const db::DbError &e) {
            out += "unreadable: " + e.message() + '\n';
        }
    }
    db::DbfFile::releaseUnused();
    return out;
}

struct Recording
{
    Files start;
    std::vector<db::disk::Event> events;
    QList<int> milestones; // the events made when each step returned
    QStringList states;    // the folder before the steps, and after each
};

// Runs the steps on the folder, its tables made durable first, recording
// every change the engine makes in it.
Recording record(const QString &dir, const QList<std::function<void()>> &steps)
{
    db::Transaction::checkpoint();
    Recording r;
    r.start = filesOf(dir);
    r.states << folderState(dir);
    const QString folder = QDir::cleanPath(QFileInfo(dir).absoluteFilePath());
    db::disk::setRecorder([&](const db::disk::Event &e) {
        if ((e.change == Change::SyncFolder ? e.path : QFileInfo(e.path).absolutePath()) == folder)
            r.events.push_back(e);
    });
    for (const auto &step : steps) {
        step();
        r.milestones << int(r.events.size());
        r.states << folderState(dir);
    }
    db::disk::setRecorder({});
    return r;
}

// Every state a power cut at this point can leave, or a sample of them
// (the extremes among them) when there are many.
QList<Files> cutStates(const PowerCutModel &model, std::mt19937 &random)
{
    constexpr int kSample = 24;
    const int writes = model.pendingWrites(), names = model.pendingNames();
    QList<Files> out;
    if (std::pow(2.0, writes) * (names + 1) <= kSample) {
        for (quint64 mask = 0; mask < (quint64(1) << writes); ++mask) {
            std::vector<bool> kept(size_t(writes), false);
            for (int i = 0; i < writes; ++i)
                kept[size_t(i)] = mask >> i & 1;
            for (int n = 0; n <= names; ++n)
                out << model.cut(kept, n);
        }
        return out;
    }
    for (const bool all : {true, false})
        for (const int n : {0, names})
            out << model.cut(std::vector<bool>(size_t(writes), all), n);
    while (out.size() < kSample) {
        std::vector<bool> kept(size_t(writes), false);
        for (int i = 0; i < writes; ++i)
            kept[size_t(i)] = random() & 1;
        out << model.cut(kept, int(random() % quint32(names + 1)));
    }
    return out;
}

// Starts the program's data on the folder as a start does; what the user
// was told.
QStringList startOn(const QString &dir)
{
    ui::ScriptedMessageBoxes boxes;
    try {
        prepareDataFolder(dir);
        TDM dm;
        dm.DataModuleCreate(dir);
    } catch (const std::exception &e) {
        return boxes.texts() << QString::fromUtf8(e.what());
    }
    db::DbfFile::releaseUnused();
    return boxes.texts();
}

// Builds every state a power cut during the recording can leave (cut
// before each sync and at the end, where the most changes are pending),
// starts on each and checks it: the state after a step that had returned
// before the cut, or after a later one.
void explore(const Recording &r, const QString &root)
{
    PowerCutModel model(r.start);
    std::mt19937 random(43);
    QSet<QByteArray> seen;
    int finished = 0, states = 0;
    for (size_t i = 0; i <= r.events.size(); ++i) {
        while (finished < r.milestones.size() && r.milestones[finished] <= int(i))
            ++finished;
        const bool barrier = i == r.events.size() || r.events[i].change == Change::Sync
                          || r.events[i].change == Change::SyncFolder;
        for (const Files &files : barrier ? cutStates(model, random) : QList<Files>()) {
            QCryptographicHash digest(QCryptographicHash::Sha1);
            digest.addData(QByteArray::number(finished));
            for (auto it = files.cbegin(); it != files.cend(); ++it)
                digest.addData(it.key().toUtf8() + '\0' + QByteArray::number(it.value().size()) + '\0' + it.value());
            if (seen.contains(digest.result()))
                continue;
            seen.insert(digest.result());
            const QString dir = QString("%1/%2").arg(root).arg(++states);
            writeFolder(dir, files);
            const QString where = QString("cut before change %1 of %2, %3 steps done").arg(i).arg(r.events.size()).arg(finished);
            const QStringList told = startOn(dir);
            QVERIFY2(told.isEmpty(), qPrintable(where + ": " + told.join(" / ")));
            QVERIFY2(QDir(dir).entryList({"~*"}, QDir::Files | QDir::Hidden).isEmpty(), qPrintable(where));
            const QString state = folderState(dir);
            QVERIFY2(r.states.mid(finished).contains(state),
                     qPrintable(where + ": " + firstDifference(r.states.last(), state)));
            QDir(dir).removeRecursively();
        }
        if (i < r.events.size())
            model.apply(r.events[i]);
        if (QTest::currentTestFailed())
            return;
    }
    QVERIFY(states > 0);
    qInfo("%d states from %d changes", states, int(r.events.size()));
}

// Power cuts are built in memory: syncs on a memory file system cost nothing.
class WorkFolder
{
public:
    WorkFolder() : m_dir(QFileInfo("/dev/shm").isWritable() ? "/dev/shm/corvane-powercut-XXXXXX" : QDir::tempPath() + "/corvane-powercut-XXXXXX") {}
    QString file(const QString &name) const { return m_dir.filePath(name); }

private:
    QTemporaryDir m_dir;
};

void fillChild(db::Table &t, int i)
{
    if (t.findField("ITEM_180"))
        t.fieldByName("ITEM_180")->setAsString(u("人%1").arg(i));
}

const QStringList kChildren = {"cgwcdw", "zlqk", "jdwyhmd", "cgwcr"};

void addChildRows(const QString &key, const QString &suffix, int rows)
{
    for (const QString &child : kChildren)
        addRecordRows(key, child + suffix, rows, fillChild);
}

// A staged record with a memo and rows in every staging child table.
void stage(const QString &key, const QString &title)
{
    addRecordRows(key, "KJCGtemp", 1, [&](db::Table &t, int) {
        t.fieldByName("ITEM_3")->setAsString(title);
        t.fieldByName("ITEM_CGLB")->setAsString("1");
        t.fieldByName("ITEM_13")->setAsString(u("%1的公告内容").arg(title));
    });
    addChildRows(key, "temp", 2);
}

void emptyStaging(const QString &table)
{
    db::DbfFile::open(DataDir, table)->truncate();
}

// Runs a step on a folder holding `start`, failing it at fault point `failAt`
// (none when 0); counts the points it passed and tells whether it threw.
Files runFailing(const Files &start, const QString &dir, const std::function<void(const QString &)> &step, int failAt,
                 int *points, bool *threw)
{
    writeFolder(dir, start);
    *points = 0;
    *threw = false;
    db::setFaultHook([&](const char *) {
        if (++*points == failAt)
            throw db::DbError("injected");
    });
    try {
        step(dir);
    } catch (const db::DbError &) {
        *threw = true;
    }
    db::setFaultHook({});
    db::DbfFile::releaseUnused();
    return filesOf(dir);
}

// The record's brief saved over and over, each save appended to the memo
// file as under an operation.
void saveBriefOver(const QString &key, int times)
{
    const auto file = db::DbfFile::open(DataDir, "kjcg");
    const int field = file->fieldIndex("ITEM_13");
    for (int i = 0; i < times; ++i) {
        db::Transaction t(DataDir);
        for (const int rec : file->keyRecords(file->fieldIndex("ITEM_4"), key.toLatin1())) {
            QByteArray raw(file->record(rec), file->recordLength());
            file->encode(raw, field, db::Value::fromString(u("%1第%2次保存的成果简介。").arg(key).arg(i).repeated(12)));
            file->writeRecord(rec, raw);
        }
        t.commit();
    }
    db::Transaction::checkpoint();
}

// A folder whose records' memo file holds many times the memos they point
// to, one record deleted.
Files bloatedFolder(const QString &dir)
{
    {
        AppFixture app(dir);
        showWithRecords({{"2005000001", "1", u("甲")}, {"2005000002", "1", u("乙")}, {"2005000003", "1", u("丙")}});
        for (const char *key : {"2005000001", "2005000002", "2005000003"})
            saveBriefOver(key, 8);
        const auto file = db::DbfFile::open(DataDir, "kjcg");
        file->setDeleted(file->keyRecords(file->fieldIndex("ITEM_4"), "2005000002").first(), true);
    }
    db::DbfFile::releaseUnused();
    return filesOf(dir);
}

class CompactionFloor
{
public:
    CompactionFloor() { db::DbfFile::setMemoCompactionFloor(0); }
    ~CompactionFloor() { db::DbfFile::setMemoCompactionFloor(4 << 20); }
};

} // namespace

class TestPowerCut : public QObject
{
    Q_OBJECT

private slots:
    // The first start writes every table, the delivered rows and the
    // templates: the next start finds them whole or writes them again.
    void firstStart()
    {
        WorkFolder work;
        QDir().mkpath(work.file("first"));
        const Recording r = record(work.file("first"), {[&] { prepareDataFolder(work.file("first")); }});
        explore(r, work.file("cuts"));
    }

    // The whole-file changes failed at every fault point they pass: each
    // either says so and leaves every file as it was, or is done (a memo
    // file not emptied holds only unused blocks); no scratch copy stays.
    void failedAtEveryPoint()
    {
        WorkFolder work;
        const QString live = work.file("live");
        prepareDataFolder(live);
        {
            db::Table t;
            t.setDatabaseName(live), t.setTableName("KJCGtemp"), t.open();
            for (int i = 0; i < 3; ++i) {
                t.append();
                t.fieldByName("ITEM_13")->setAsString(u("公告%1").arg(i));
                t.post();
            }
            t.deleteRecord();
        }
        db::DbfFile::releaseUnused();
        Files start = filesOf(live);
        const struct
        {
            const char *name;
            std::function<void(const QString &)> step;
        } steps[] = {
            {"pack", [](const QString &dir) { db::DbfFile::open(dir, "KJCGtemp", true)->pack(); }},
            {"empty", [](const QString &dir) { db::DbfFile::open(dir, "KJCGtemp")->truncate(); }},
            {"create", [](const QString &dir) { db::DbfFile::create(dir, "made", {{"NOTE", 'M', 10, 0}}); }},
            {"deliver", [](const QString &dir) { deliverTable(dir, *tableSchema("zdxx")); }},
        };
        start.remove("zdxx.dbf");
        for (const auto &s : steps) {
            int points = 0;
            bool threw = false;
            const QString doneDir = work.file(QString("%1-done").arg(s.name));
            const Files done = runFailing(start, doneDir, s.step, 0, &points, &threw);
            QVERIFY2(!threw && done != start && points > 0, s.name);
            for (int n = 1; n <= points; ++n) {
                const QString dir = work.file(QString("%1-%2").arg(s.name).arg(n));
                int passed = 0;
                const Files left = runFailing(start, dir, s.step, n, &passed, &threw);
                const QString where = QString("%1 failed at %2 of %3").arg(s.name).arg(n).arg(points);
                QVERIFY2(QDir(dir).entryList({"~*"}, QDir::Files).isEmpty(), qPrintable(where));
                QVERIFY2(threw ? left == start : folderState(dir) == folderState(doneDir),
                         qPrintable(where + (threw ? ": changed, though it failed" : ": said done, not done")));
            }
        }
    }

    // A start whose pack compacts the records' memo file with its table: a
    // power cut anywhere leaves the old pair or the new one, never a table
    // beside the other pair's memo file.
    void memoFileCompactedAtStart()
    {
        WorkFolder work;
        const QString dir = work.file("live");
        const Files start = bloatedFolder(dir);
        CompactionFloor floor;
        const Recording r = record(dir, {[&] { QVERIFY(startOn(dir).isEmpty()); }});
        QVERIFY(QFileInfo(dir + "/kjcg.DBT").size() * 4 < start.value("kjcg.DBT").size());
        QVERIFY(r.states[1].contains(u("2005000003第7次保存")));
        explore(r, work.file("cuts"));
    }

    // The compaction failed at every fault point it passes: before the new
    // pair is committed it says so and leaves every file as it was; after,
    // it says so too, writes nothing more to the old pair, and the next open
    // of the table puts the new pair in place.
    void memoCompactionFailedAtEveryPoint()
    {
        WorkFolder work;
        const Files start = bloatedFolder(work.file("live"));
        CompactionFloor floor;
        const auto pack = [](const QString &dir) { db::DbfFile::open(dir, "kjcg", true)->pack(); };
        int points = 0;
        bool threw = false;
        const QString doneDir = work.file("done");
        const Files done = runFailing(start, doneDir, pack, 0, &points, &threw);
        QVERIFY(!threw && done.value("kjcg.DBT").size() < start.value("kjcg.DBT").size());
        const QString doneState = folderState(doneDir);
        int committed = 0;
        for (int n = 1; n <= points; ++n) {
            const QString dir = work.file(QString("failed-%1").arg(n));
            const QString where = QString("failed at %1 of %2").arg(n).arg(points);
            writeFolder(dir, start);
            auto file = db::DbfFile::open(dir, "kjcg", true);
            int passed = 0;
            db::setFaultHook([&](const char *) {
                if (++passed == n)
                    throw db::DbError("injected");
            });
            threw = false;
            try {
                file->pack();
            } catch (const db::DbError &) {
                threw = true;
            }
            db::setFaultHook({});
            const bool untouched = filesOf(dir) == start;
            if (threw && !untouched) { // committed: the old pair is written no more
                ++committed;
                QVERIFY_THROWS_EXCEPTION(db::DbError, file->setDeleted(0, true));
            }
            file.reset();
            if (!threw || !untouched) {
                QVERIFY2(folderState(dir) == doneState, qPrintable(where + ": not the compacted pair"));
                QVERIFY2(QDir(dir).entryList({"~*"}, QDir::Files | QDir::Hidden).isEmpty(), qPrintable(where));
                QCOMPARE(QFileInfo(dir + "/kjcg.DBT").size(), done.value("kjcg.DBT").size());
            }
        }
        QVERIFY(committed > 0);

        // A start whose compaction meets a full disk says so, leaves the
        // pair as it was and usable, and the next start compacts it.
        const QString full = work.file("full");
        writeFolder(full, start);
        bool failed = false;
        db::setFaultHook([&](const char *what) {
            if (!failed && QByteArray(what) == "write") {
                failed = true;
                throw db::DbError("disk full", ENOSPC);
            }
        });
        const QStringList told = startOn(full);
        db::setFaultHook({});
        QCOMPARE(told.size(), 1);
        QVERIFY2(told[0].contains(u("磁盘已满")) && told[0].contains("kjcg"), qPrintable(told[0]));
        const Files left = filesOf(full);
        for (const char *name : {"kjcg.DBF", "kjcg.DBT"})
            QCOMPARE(left.value(name), start.value(name));
        QVERIFY(QDir(full).entryList({"~*"}, QDir::Files | QDir::Hidden).isEmpty());
        QVERIFY(startOn(full).isEmpty());
        QCOMPARE(QFileInfo(full + "/kjcg.DBT").size(), done.value("kjcg.DBT").size());
        QCOMPARE(folderState(full), doneState);
    }

    // A code table replaced by the rows of an update file.
    void codeTableUpdate()
    {
        WorkFolder work;
        const QString dir = work.file("live"), text = work.file("LSBW.TXT");
        prepareDataFolder(dir);
        QFile f(text);
        QVERIFY(f.open(QIODevice::WriteOnly) && f.write(gbk::encode(u("001\t外交部\r\n002\t国防部\r\n"))) > 0);
        f.close();
        const Recording r = record(dir, {[&] {
            replaceFromText(db::DbfFile::findFile(dir, "lsbw.dbf"), tableSchema("lsbw")->columns, text);
        }});
        QVERIFY(r.states[1].contains(u("国防部")));
        explore(r, work.file("cuts"));
    }

    // A record with its child rows deleted, then the journal checkpointed.
    void deleteRecord()
    {
        WorkFolder work;
        Recording r;
        {
            AppFixture app(work.file("live"));
            showWithRecords({{"2005000001", "1", u("甲")}, {"2005000002", "1", u("乙")}});
            addChildRows("2005000001", "", 3);
            addChildRows("2005000002", "", 2);
            DM->Qrykjcg->locate("ITEM_4", "2005000001");
            r = record(app.dataDir(), {[] { MainForm->Button4Click(); }, [] { db::Transaction::checkpoint(); }});
        }
        QVERIFY(r.states[0] != r.states[1]);
        QCOMPARE(r.states[2], r.states[1]); // the checkpoint changes no row
        explore(r, work.file("cuts"));
    }

    // Staged records stored, the staging tables emptied one by one (the
    // records' with its memo file), the journal checkpointed.
    void storeAndEmptyStaging()
    {
        WorkFolder work;
        Recording r;
        {
            AppFixture app(work.file("live"));
            showWithRecords({{"2006000001", "1", u("旧")}});
            addChildRows("2006000001", "", 1);
            stage("2006000007", u("新甲"));
            stage("2006000008", u("新乙"));
            QList<std::function<void()>> steps = {[] { StoreStagedRecords(false); }};
            for (const QString &child : kChildren)
                steps << [child] { emptyStaging(child + "temp"); };
            steps << [] { emptyStaging("KJCGtemp"); } << [] { db::Transaction::checkpoint(); };
            r = record(app.dataDir(), steps);
        }
        explore(r, work.file("cuts"));
    }
};

QTEST_MAIN(TestPowerCut)
#include "tst_powercut.moc"
