// A memo file rewritten with the memos its rows point to at a pack: what
// could be lost or mixed up (a memo, a shared one, a dBASE IV block size, a
// pointer that leads nowhere), and when it is worth doing.
#include "TempDir.h"
#include "db/file/DbError.h"
#include "db/file/DbfFile.h"
#include "db/journal/Journal.h"
#include "text/Gbk.h"
#include "text/Utf8.h"

#include <QDir>
#include <QtEndian>
#include <QtTest>

using namespace db;

namespace {

QByteArray memoOf(int row, int save)
{
    return gbk::encode(u("第%1行第%2次保存的备注。").arg(row).arg(save)).repeated(20 + row * 7);
}

// Rows 0..5 of a table with two memo columns, each BZ saved `saves` times
// under an operation (so every save is appended); row 2's JJ points to the
// same memo as row 1's, row 4 is deleted, row 5 has no memo.
void makeTable(const QString &dir, int saves)
{
    DbfFile::create(dir, "cg", {{"BH", 'C', 4, 0}, {"BZ", 'M', 10, 0}, {"JJ", 'M', 10, 0}});
    auto f = DbfFile::open(dir, "cg");
    for (int r = 0; r < 6; ++r) {
        QByteArray raw = f->blankRecord();
        f->encode(raw, 0, Value::fromString(QString::number(r)));
        if (r != 5)
            f->encode(raw, 2, Value::fromBytes(gbk::encode(u("简介%1").arg(r))));
        f->appendRecord(raw);
    }
    for (int save = 0; save < saves; ++save)
        for (int r = 0; r < 5; ++r) {
            Transaction t(dir);
            QByteArray raw(f->record(r), f->recordLength());
            f->encode(raw, 1, Value::fromBytes(memoOf(r, save)));
            f->writeRecord(r, raw);
            t.commit();
        }
    QByteArray shared(f->record(2), f->recordLength());
    std::memcpy(shared.data() + f->fields()[2].offset, f->fieldData(1, 2), 10);
    f->writeRecord(2, shared);
    f->setDeleted(4, true);
    Transaction::checkpoint();
}

// Every live row as text, memos included.
QStringList rowsOf(const QString &dir)
{
    const auto f = DbfFile::open(dir, "cg");
    QStringList out;
    for (int r = 0; r < f->recordCount(); ++r)
        if (!f->isDeleted(r))
            out << f->value(r, 0).toString() + '|' + gbk::decode(f->value(r, 1).text) + '|'
                       + gbk::decode(f->value(r, 2).text);
    return out;
}

void pack(const QString &dir)
{
    DbfFile::open(dir, "cg", true)->pack();
    DbfFile::releaseUnused();
}

class FloorLowered
{
public:
    explicit FloorLowered(qint64 bytes) { DbfFile::setMemoCompactionFloor(bytes); }
    ~FloorLowered() { DbfFile::setMemoCompactionFloor(4 << 20); }
};

} // namespace

class TestMemoCompaction : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase() { QStandardPaths::setTestModeEnabled(true); }

    // Every memo a live row points to comes back exactly, shared ones still
    // shared, under new block numbers in a file holding nothing else; saves
    // after it go to the new file.
    void rewrittenWithTheLiveMemos()
    {
        FloorLowered floor(0);
        TempDir dir;
        makeTable(dir.path(), 12);
        QStringList expected = rowsOf(dir.path());
        const qint64 grown = QFileInfo(dir.file("cg.dbt")).size();
        DbfFile::releaseUnused();
        auto f = DbfFile::open(dir.path(), "cg", true);
        f->pack();
        QCOMPARE(f->recordCount(), 5);
        QCOMPARE(QByteArray(f->fieldData(1, 2), 10), QByteArray(f->fieldData(2, 2), 10));
        qint64 live = 0; // header, then the memos one after the other
        for (int r = 0; r < 5; ++r)
            for (int field : {1, 2})
                if (!(r == 2 && field == 2))
                    live += (f->value(r, field).text.size() + 2 + 511) / 512 * 512 * !f->value(r, field).text.isEmpty();
        const QByteArray memo = dir.read("cg.dbt");
        QCOMPARE(memo.size(), 512 + live);
        QCOMPARE(qFromLittleEndian<quint32>(memo.constData()), quint32(memo.size() / 512));
        QVERIFY(memo.size() * 6 < grown);
        QCOMPARE(QDir(dir.path()).entryList(QDir::Files | QDir::Hidden), QStringList({"cg.dbf", "cg.dbt"}));

        QByteArray raw(f->record(0), f->recordLength());
        f->encode(raw, 1, Value::fromBytes(memoOf(0, 99)));
        f->writeRecord(0, raw);
        f.reset();
        DbfFile::releaseUnused();
        expected[0] = "0|" + gbk::decode(memoOf(0, 99)) + '|' + expected[0].section('|', 2);
        QCOMPARE(rowsOf(dir.path()), expected);
    }

    // A dBASE IV memo file keeps its header and its block size of 64: a dead
    // memo at block 8 goes, the live one after it moves there.
    void dbase4BlockSize()
    {
        FloorLowered floor(0);
        TempDir dir;
        const auto le32 = [](quint32 v) { return QByteArray(reinterpret_cast<const char *>(&v), 4); };
        const auto block = [&](const QByteArray &text) {
            const QByteArray b = QByteArray("\xFF\xFF\x08\x00", 4) + le32(quint32(text.size() + 8)) + text;
            return b + QByteArray((64 - b.size() % 64) % 64, '\0');
        };
        const QByteArray live = QByteArray(100, 'L'), dead = block(QByteArray(2000, 'D'));
        QByteArray head = le32(quint32((512 + dead.size() + block(live).size()) / 64)) + QByteArray(16, '\0');
        head += QByteArray("\x40\x00", 2) + QByteArray(490, '\0');
        dir.write("d4.dbt", head + dead + block(live));
        QByteArray table = QByteArray("\x8B\0\0\0", 4) + le32(1) + QByteArray("\x41\0\x0B", 3) + QByteArray(21, '\0');
        table[29] = 0x4D;
        const QByteArray field = QByteArray("BZ").leftJustified(11, '\0') + "M" + QByteArray(4, '\0') + '\x0A'
                                 + QByteArray(15, '\0');
        const QByteArray pointer = QByteArray::number(8 + dead.size() / 64).rightJustified(10, ' ');
        dir.write("d4.dbf", table + field + "\x0D " + pointer + "\x1A");

        DbfFile::open(dir.path(), "d4", true)->pack();
        DbfFile::releaseUnused();
        const auto f = DbfFile::open(dir.path(), "d4");
        QCOMPARE(f->value(0, 0).text, live);
        QCOMPARE(QByteArray(f->fieldData(0, 0), 10).trimmed(), QByteArray("8"));
        const QByteArray memo = dir.read("d4.dbt");
        QCOMPARE(memo.mid(4, 508), head.mid(4));
        QCOMPARE(memo.mid(512), block(live));
        QCOMPARE(qFromLittleEndian<quint32>(memo.constData()), quint32(memo.size() / 64));
    }

    // Compacted only when the file is past the floor and holds more than
    // twice what is live, measured again once saves have doubled it; a
    // pointer that leads nowhere leaves the file as it is.
    void onlyWhenWorthIt()
    {
        TempDir dir;
        makeTable(dir.path(), 12);
        const QByteArray grown = dir.read("cg.dbt");
        {
            FloorLowered floor(grown.size() + 1);
            pack(dir.path()); // the deleted row goes, the memo file stays
            QCOMPARE(dir.read("cg.dbt"), grown);
        }
        FloorLowered floor(0);
        pack(dir.path());
        const QByteArray compacted = dir.read("cg.dbt"), table = dir.read("cg.dbf");
        QVERIFY(compacted.size() < grown.size());
        pack(dir.path()); // live enough: nothing written
        QCOMPARE(dir.read("cg.dbt"), compacted);
        QCOMPARE(dir.read("cg.dbf"), table);

        {
            auto f = DbfFile::open(dir.path(), "cg");
            for (int save = 0; save < 12; ++save) {
                Transaction t(dir.path());
                QByteArray raw(f->record(1), f->recordLength());
                f->encode(raw, 1, Value::fromBytes(memoOf(1, 100 + save)));
                f->writeRecord(1, raw);
                t.commit();
            }
            Transaction::checkpoint();
        }
        DbfFile::releaseUnused();
        const QStringList rows = rowsOf(dir.path());
        QVERIFY(QFileInfo(dir.file("cg.dbt")).size() > 2 * compacted.size());
        pack(dir.path());
        QVERIFY(QFileInfo(dir.file("cg.dbt")).size() < compacted.size() + 2048);
        QCOMPARE(rowsOf(dir.path()), rows);

        QDir().mkpath(dir.file("bad"));
        makeTable(dir.file("bad"), 12);
        {
            auto f = DbfFile::open(dir.file("bad"), "cg");
            QByteArray raw(f->record(3), f->recordLength());
            raw.replace(f->fields()[2].offset, 10, QByteArray("999999").rightJustified(10, ' '));
            f->writeRecord(3, raw);
        }
        DbfFile::releaseUnused();
        const QByteArray bad = dir.read("bad/cg.dbt");
        pack(dir.file("bad"));
        QCOMPARE(dir.read("bad/cg.dbt"), bad);
        const auto f = DbfFile::open(dir.file("bad"), "cg");
        QCOMPARE(f->recordCount(), 5);
        QCOMPARE(QByteArray(f->fieldData(3, 2), 10).trimmed(), QByteArray("999999"));
    }
};

QTEST_MAIN(TestMemoCompaction)
#include "tst_memocompaction.moc"
