#include "TempDir.h"
#include "db/file/DbError.h"
#include "db/file/DbfFile.h"
#include "db/sql/Sql.h"
#include "db/dataset/Table.h"
#include "text/Gbk.h"

#include <QDir>
#include <QtEndian>
#include <QRandomGenerator>
#include <QtTest>
#include <functional>
#include <variant>

using namespace db;
using namespace Qt::StringLiterals;

namespace {

template<typename T>
QByteArray le(T v)
{
    v = qToLittleEndian(v);
    return QByteArray(reinterpret_cast<const char *>(&v), sizeof v);
}

template<typename T>
T at(const QByteArray &b, int pos)
{
    return qFromLittleEndian<T>(b.constData() + pos);
}

// A table as another dBASE writer leaves it.
QByteArray dbfBytes(quint8 version, quint8 driver, const QList<ColumnDef> &fields, const QList<QByteArray> &records,
                    int extraHeader = 0)
{
    quint16 recordLength = 1;
    QByteArray descriptors;
    for (const ColumnDef &f : fields) {
        QByteArray d = f.name.toLatin1().leftJustified(11, '\0') + f.type + QByteArray(20, '\0');
        d[16] = char(f.length);
        d[17] = char(f.decimals);
        descriptors += d;
        recordLength += f.length;
    }
    QByteArray out = QByteArray(1, char(version)) + "\x62\x07\x0F" + le(quint32(records.size()))
        + le(quint16(32 + descriptors.size() + 1 + extraHeader)) + le(recordLength) + QByteArray(20, '\0');
    out[29] = char(driver);
    out += descriptors + '\x0D' + QByteArray(extraHeader, '\0');
    for (const QByteArray &r : records)
        out += r;
    return out + '\x1A';
}

QByteArray left(const QByteArray &s, int n) { return s.leftJustified(n, ' ', true); }
QByteArray right(const QByteArray &s, int n) { return s.rightJustified(n, ' ', true); }
QByteArray padToBlock(const QByteArray &b) { return b + QByteArray((512 - b.size() % 512) % 512, '\0'); }

// dBASE III memo file; nextBlock 0 means the true next free block.
QByteArray dbt3(const QList<QByteArray> &memos, quint32 nextBlock = 0)
{
    QByteArray body;
    for (const QByteArray &m : memos)
        body += padToBlock(m + "\x1A\x1A");
    QByteArray head = le(nextBlock ? nextBlock : quint32(1 + body.size() / 512)) + QByteArray(508, '\0');
    head[16] = 0x03;
    return head + body;
}

bool throwsDbError(const std::function<void()> &f)
{
    try {
        f();
    } catch (const DbError &e) {
        return !e.message().isEmpty();
    }
    return false;
}

using V = Value;

// Appends a row; the values fill the first columns in order.
int append(DbfFile &f, std::initializer_list<V> values)
{
    QByteArray r = f.blankRecord();
    int c = 0;
    for (const V &v : values)
        f.encode(r, c++, v);
    return f.appendRecord(r);
}

} // namespace

class TestDbf : public QObject
{
    Q_OBJECT

private slots:
    void roundTripOfEveryType();
    void headerAsOtherReadersExpect();
    void readsOtherWriters();
    void damagedFiles();
    void pack();
    void truncate();
    void namesAndSharing();
    void memoNextBlockNotTrusted();
    void memoReadsBounded();
    void memoRewrittenInPlace();
    void rowsAfterTheCount();
    void codePages();
    void numberColumnsKeepTheirRange();
    void numbersGivenAsText();
    void valuesReadAsText();
    void memoRefusesItsEndMark();
};

void TestDbf::roundTripOfEveryType()
{
    TempDir dir;
    DbfFile::create(dir.path(), u"cgdj"_s,
                    {{u"mc"_s, 'C', 10}, {u"je"_s, 'N', 10, 2}, {u"sl"_s, 'N', 5, 0}, {u"rq"_s, 'D', 0},
                     {u"bz"_s, 'M', 0}, {u"sf"_s, 'L', 0}});
    const QString fullWidth = u"科技成果奖"_s; // 10 bytes, exactly the column
    QByteArray longMemo; // several blocks, with tabs and line breaks
    for (int i = 0; i < 200; ++i)
        longMemo += gbk::encode(u"第%1项\t成果说明，完成单位。\r\n"_s.arg(i));
    const QByteArray shortMemo = gbk::encode(u"改写后\r\n\t第二行"_s);
    {
        auto f = DbfFile::open(dir.path(), u"CGDJ"_s);
        append(*f, {V::fromString(fullWidth), V::fromNumber(1234567.891), V::fromNumber(-4242),
                    V::fromDate(QDate(2024, 2, 29)), V::fromBytes(longMemo), V::fromBool(true)});
        append(*f, {V::fromString(u"a科技成果奖"_s), V::fromNumber(-0.001), V::fromNumber(99999),
                    V::fromString(u"2001-9-3"_s), V::fromBytes("first"), V::fromBool(false)});
        // Blanks, however given, are stored as nothing and read back as null.
        append(*f, {V::fromString(u"   "_s), V::fromString(u" "_s), {}, V::fromString({}), V::fromBytes({}), {}});

        // A value that does not fit is refused and nothing reaches the file.
        const QByteArray before = dir.read(u"cgdj.dbf"_s);
        QByteArray r = f->blankRecord();
        QVERIFY(throwsDbError([&] { f->encode(r, 1, V::fromNumber(12345678901.0)); })); // 11 integer digits
        QVERIFY(throwsDbError([&] { f->encode(r, 2, V::fromNumber(-12345)); }));
        QVERIFY(throwsDbError([&] { f->encode(r, 2, V::fromNumber(99999.5)); })); // rounds to 6 digits
        QVERIFY(throwsDbError([&] { f->encode(r, 3, V::fromString(u"2024-13-01"_s)); }));
        QVERIFY(throwsDbError([&] { f->encode(r, 1, V::fromNumber(qQNaN())); }));
        QVERIFY(throwsDbError([&] { f->encode(r, 2, V::fromNumber(qInf())); }));
        f->encode(r, 1, V::fromNumber(-999999.99)); // the widest that fits
        QCOMPARE(f->recordCount(), 3);
        QCOMPARE(dir.read(u"cgdj.dbf"_s), before);

        QByteArray row1(f->record(1), f->recordLength());
        f->encode(row1, 4, V::fromBytes(shortMemo));
        f->writeRecord(1, row1);
    }

    DbfFile::releaseUnused(); // read it from disk, not from memory
    auto f = DbfFile::open(dir.path(), u"cgdj.dbf"_s);
    auto v = [&](int r, const char *column) { return f->value(r, f->fieldIndex(QString::fromLatin1(column))); };
    QCOMPARE(f->recordCount(), 3);
    QCOMPARE(v(0, "MC").toString(), fullWidth);
    QCOMPARE(v(0, "je").number, 1234567.89);
    QCOMPARE(v(0, "sl").number, -4242.0);
    QCOMPARE(v(0, "rq").date, QDate(2024, 2, 29));
    QCOMPARE(v(0, "bz").text, longMemo);
    QVERIFY(v(0, "sf").kind == V::Bool && v(0, "sf").flag);
    QCOMPARE(v(1, "mc").toString(), u"a科技成果"_s); // the character that does not fit whole is dropped
    QCOMPARE(QByteArray(f->fieldData(1, 1), 10), QByteArray("      0.00"));
    QCOMPARE(v(1, "sl").number, 99999.0);
    QCOMPARE(v(1, "rq").date, QDate(2001, 9, 3));
    QCOMPARE(v(1, "bz").text, shortMemo);
    QVERIFY(v(1, "sf").kind == V::Bool && !v(1, "sf").flag);
    for (int c = 0; c < f->fieldCount(); ++c) {
        QVERIFY2(f->value(2, c).isNull(), f->fields()[c].name.constData());
        QVERIFY(f->isNullField(f->record(2), c));
    }
}

void TestDbf::headerAsOtherReadersExpect()
{
    TempDir dir;
    const QDate before = QDate::currentDate();
    DbfFile::create(dir.path(), u"plain"_s, {{u"bh"_s, 'C', 6}, {u"je"_s, 'N', 12, 2}});
    const QDate after = QDate::currentDate(); // the same day but at midnight
    const QByteArray plain = dir.read(u"plain.dbf"_s);
    QCOMPARE(quint8(plain[0]), 0x03);
    const QDate stamped(1900 + plain[1], plain[2], plain[3]);
    QVERIFY2(stamped == before || stamped == after, qPrintable(stamped.toString()));
    QCOMPARE(at<quint16>(plain, 8), 32 + 2 * 32 + 1);
    QCOMPARE(at<quint16>(plain, 10), 1 + 6 + 12);
    QCOMPARE(quint8(plain[29]), 0x4D);
    QCOMPARE(plain.mid(32, 18), QByteArray("BH\0\0\0\0\0\0\0\0\0C\0\0\0\0\x06\0", 18));
    QCOMPARE(plain.mid(64, 18), QByteArray("JE\0\0\0\0\0\0\0\0\0N\0\0\0\0\x0C\x02", 18));
    QCOMPARE(plain.mid(96), QByteArray("\x0D\x1A"));
    QVERIFY(!QFileInfo::exists(dir.file(u"plain.dbt"_s)));

    DbfFile::create(dir.path(), u"memo"_s, {{u"bh"_s, 'C', 6}, {u"bz"_s, 'M', 0}, {u"rq"_s, 'D', 0}});
    {
        auto f = DbfFile::open(dir.path(), u"memo"_s);
        // The first memo fills its block exactly, with the two end marks.
        for (const QByteArray &m : {QByteArray(510, 'x'), QByteArray(), QByteArray(1210, 'y')})
            append(*f, {V::fromString(u"中文"_s), V::fromBytes(m)});
    }
    const QByteArray m = dir.read(u"memo.dbf"_s);
    const int headerLength = 32 + 3 * 32 + 1, recordLength = 1 + 6 + 10 + 8;
    QCOMPARE(quint8(m[0]), 0x83);
    QCOMPARE(at<quint32>(m, 4), 3u);
    QCOMPARE(at<quint16>(m, 8), headerLength);
    QCOMPARE(at<quint16>(m, 10), recordLength);
    QCOMPARE(m.size(), headerLength + 3 * recordLength + 1);
    QCOMPARE(m.back(), '\x1A');
    const char *rows = m.constData() + headerLength;
    QCOMPARE(QByteArray(rows, 17), QByteArray(" \xD6\xD0\xCE\xC4  ") + right("1", 10));
    QCOMPARE(QByteArray(rows + 2 * recordLength + 7, 10), right("2", 10));

    const QByteArray dbt = dir.read(u"memo.dbt"_s);
    QCOMPARE(at<quint32>(dbt, 0), 5u); // one block, then three for 1210 bytes and the end marks
    QCOMPARE(quint8(dbt[16]), 0x03);
    QCOMPARE(dbt.mid(512, 512), QByteArray(510, 'x') + "\x1A\x1A");
    QCOMPARE(dbt.mid(1024 + 1210, 2), QByteArray("\x1A\x1A"));
}

void TestDbf::readsOtherWriters()
{
    TempDir dir;
    const QByteArray memo("\xBF\xC6\xBC\xBC\r\n\tline 2");
    // FoxPro-style code page mark, a header one byte longer than needed, a
    // stale next-block pointer in the memo file, upper-case names.
    dir.write(u"KJCG.DBF"_s,
              dbfBytes(0x83, 0x7A,
                       {{"BH", 'C', 6}, {"MC", 'C', 20}, {"JE", 'N', 10, 2}, {"RQ", 'D', 8}, {"SF", 'L', 1},
                        {"XS", 'F', 10, 3}, {"BZ", 'M', 10}},
                       {" 000001" + left("\xD6\xD0\xCE\xC4" "abc", 20) + right("-1234.50", 10) + "19990701T"
                            + right("3.142", 10) + right("1", 10),
                        "*000002" + left("gone", 20) + right("1.00", 10) + "20000101F" + right("0.000", 10)
                            + QByteArray(10, ' '),
                        QByteArray(7, ' ') + QByteArray(20, '\0') + QByteArray(18, ' ') + "?" + QByteArray(10, ' ')
                            + "0000000000"},
                       1));
    dir.write(u"KJCG.DBT"_s, dbt3({memo}, 1));
    {
        auto f = DbfFile::open(dir.path(), u"kjcg.dbf"_s);
        QCOMPARE(f->recordCount(), 3);
        QCOMPARE(f->value(0, 1).toString(), u"中文abc"_s);
        QCOMPARE(f->value(0, 2).number, -1234.5);
        QCOMPARE(f->value(0, 3).date, QDate(1999, 7, 1));
        QVERIFY(f->value(0, 4).kind == V::Bool && f->value(0, 4).flag);
        QCOMPARE(f->value(0, 5).number, 3.142);
        QCOMPARE(f->value(0, 6).text, memo);
        QVERIFY(!f->isDeleted(0) && f->isDeleted(1) && !f->isDeleted(2));
        QCOMPARE(f->value(1, 1).toString(), u"gone"_s); // deleted, still readable until packed
        QVERIFY(!f->value(1, 4).flag);
        for (int c = 0; c < f->fieldCount(); ++c)
            QVERIFY2(f->value(2, c).isNull(), f->fields()[c].name.constData());
        // The fast null test must agree; '?' is dBASE's unset logical.
        QVERIFY(f->isNullField(f->record(2), 4));
        // The stale pointer offers block 1, which holds a memo.
        append(*f, {{}, {}, {}, {}, {}, {}, V::fromBytes("added")});
    }
    DbfFile::releaseUnused(); // read it from disk, not from memory
    auto f = DbfFile::open(dir.path(), u"KJCG"_s);
    QCOMPARE(f->recordCount(), 4);
    QCOMPARE(f->value(0, 6).text, memo);
    QCOMPARE(f->value(3, 6).text, QByteArray("added"));

    // dBASE IV memo blocks: FF FF 08 00, the length including these 8 bytes, the text.
    auto block = [](const QByteArray &text) {
        return QByteArray("\xFF\xFF\x08\x00", 4) + le(quint32(text.size() + 8)) + text;
    };
    const QByteArray first = QByteArray(600, 'a') + gbk::encode(u"跨块"_s), second = gbk::encode(u"第二条\r\n备注"_s);
    dir.write(u"d4.dbt"_s, le(quint32(4)) + QByteArray(16, '\0') + le(quint16(512)) + QByteArray(490, '\0')
                               + padToBlock(block(first)) + padToBlock(block(second)));
    dir.write(u"d4.dbf"_s, dbfBytes(0x8B, 0x4D, {{"BH", 'C', 4}, {"BZ", 'M', 10}},
                                    {" 0001" + right("1", 10), " 0002" + right("3", 10)}));
    {
        auto d4 = DbfFile::open(dir.path(), u"d4"_s);
        QCOMPARE(d4->value(0, 1).text, first);
        QCOMPARE(d4->value(1, 1).text, second);
        append(*d4, {{}, V::fromBytes("third")});
    }
    DbfFile::releaseUnused();
    QCOMPARE(DbfFile::open(dir.path(), u"d4"_s)->value(2, 1).text, QByteArray("third"));
    QCOMPARE(dir.read(u"d4.dbt"_s).mid(4 * 512, 13), block("third")); // as dBASE IV readers expect
}

void TestDbf::damagedFiles()
{
    TempDir dir;
    const QByteArray good =
        dbfBytes(0x03, 0x4D, {{"BH", 'C', 4}, {"JE", 'N', 6, 1}}, {" 0001   1.5", " 0002   2.5"});
    auto openError = [&](const QString &name, const QByteArray &bytes) {
        dir.write(name, bytes);
        try {
            DbfFile::open(dir.path(), name);
        } catch (const DbError &e) {
            return e.message();
        }
        return QString();
    };
    auto patched = [&](int pos, const QByteArray &bytes) { return QByteArray(good).replace(pos, bytes.size(), bytes); };
    QVERIFY(openError(u"ok.dbf"_s, good).isEmpty());
    QVERIFY(!openError(u"empty.dbf"_s, {}).isEmpty());
    QVERIFY(!openError(u"short.dbf"_s, good.left(20)).isEmpty());
    QVERIFY(!openError(u"header.dbf"_s, patched(8, le(quint16(good.size() + 100)))).isEmpty());
    QVERIFY(!openError(u"many.dbf"_s, patched(4, le(quint32(70000)))).isEmpty());
    // Half of the last record lost: the count says more than is there.
    QVERIFY(openError(u"cut.dbf"_s, good.left(good.size() - 5)).contains(u"cut.dbf"_s));
    const QString unsupported =
        openError(u"typex.dbf"_s, dbfBytes(0x03, 0x4D, {{"BH", 'C', 4}, {"TU", 'X', 6}}, {" 0001abcdef"}));
    QVERIFY2(unsupported.contains(u"TU"_s) && unsupported.contains(u"X"_s), qPrintable(unsupported));

    // A date, flag or memo column of another width would take writes past
    // its field: refused, naming table and column.
    for (const ColumnDef &odd : QList<ColumnDef>{{"RQ", 'D', 1}, {"RQ", 'D', 9}, {"LJ", 'L', 2}, {"BZ", 'M', 4}}) {
        const QString name = u"width%1%2.dbf"_s.arg(QChar(odd.type)).arg(odd.length);
        const QString error = openError(name, dbfBytes(0x03, 0x4D, {{"BH", 'C', 4}, odd},
                                                       {" 0001" + QByteArray(odd.length, ' ')}));
        QVERIFY2(error.contains(name) && error.contains(odd.name), qPrintable(error));
    }

    const QByteArray withMemo = dbfBytes(0x83, 0x4D, {{"BZ", 'M', 10}}, {" " + right("9", 10)});
    QVERIFY(!openError(u"nomemo.dbf"_s, withMemo).isEmpty());
    // A block number beyond the memo file: the table opens, the value fails.
    dir.write(u"far.dbt"_s, dbt3({"only"}));
    QVERIFY(openError(u"far.dbf"_s, withMemo).isEmpty());
    QVERIFY(throwsDbError([&] { DbfFile::open(dir.path(), u"far"_s)->value(0, 0); }));
    QVERIFY(throwsDbError([&] { DbfFile::open(dir.path(), u"absent"_s); }));

    // The record reached the disk, the header with its count did not.
    dir.write(u"crash.dbf"_s, patched(4, le(quint32(1))));
    {
        auto f = DbfFile::open(dir.path(), u"crash"_s);
        QCOMPARE(f->recordCount(), 2);
        QCOMPARE(f->value(1, 0).toString(), u"0002"_s);
        append(*f, {V::fromString(u"0003"_s)});
    }
    QCOMPARE(at<quint32>(dir.read(u"crash.dbf"_s), 4), 3u);
    // Space the file system extended but never filled is not a record.
    dir.write(u"zeros.dbf"_s, good.chopped(1) + QByteArray(22, '\0'));
    QCOMPARE(DbfFile::open(dir.path(), u"zeros"_s)->recordCount(), 2);
}

void TestDbf::pack()
{
    TempDir dir;
    DbfFile::create(dir.path(), u"cg"_s, {{u"bh"_s, 'C', 4}, {u"bz"_s, 'M', 0}});
    auto memoOf = [](int i) { return gbk::encode(u"备注%1"_s.arg(i)).repeated(i * 60 + 1); };
    {
        auto f = DbfFile::open(dir.path(), u"cg"_s);
        for (int i = 0; i < 5; ++i)
            append(*f, {V::fromString(QString::number(i)), V::fromBytes(memoOf(i))});
        f->setDeleted(1, true);
        f->setDeleted(3, true);
        QVERIFY(throwsDbError([&] { f->pack(); })); // others may be reading it
    }
    {
        auto f = DbfFile::open(dir.path(), u"cg"_s, true);
        f->pack();
        QCOMPARE(f->recordCount(), 3);
        for (int r = 0; r < 3; ++r)
            QVERIFY(f->value(r, 0).toString() == QString::number(2 * r) && f->value(r, 1).text == memoOf(2 * r));
        append(*f, {V::fromString(u"5"_s), V::fromBytes(memoOf(5))});
    }
    DbfFile::releaseUnused(); // read it from disk, not from memory
    auto f = DbfFile::open(dir.path(), u"cg"_s);
    QCOMPARE(f->recordCount(), 4);
    QCOMPARE(f->value(3, 1).text, memoOf(5));
    const QByteArray bytes = dir.read(u"cg.dbf"_s);
    QCOMPARE(at<quint32>(bytes, 4), 4u);
    QCOMPARE(bytes.size(), at<quint16>(bytes, 8) + 4 * f->recordLength() + 1);
    QCOMPARE(QDir(dir.path()).entryList(QDir::Files | QDir::Hidden), QStringList({u"cg.dbf"_s, u"cg.dbt"_s}));

    // Without deleted rows a pack writes nothing at all.
    const QByteArray before = dir.read(u"cg.dbf"_s);
    const QDateTime modified = QFileInfo(dir.file(u"cg.dbf"_s)).lastModified();
    {
        f.reset();
        DbfFile::releaseUnused();
        auto x = DbfFile::open(dir.path(), u"cg"_s, true);
        QCOMPARE(x->deletedCount(), 0);
        x->pack();
        QCOMPARE(x->recordCount(), 4);
    }
    QCOMPARE(dir.read(u"cg.dbf"_s), before);
    QCOMPARE(QFileInfo(dir.file(u"cg.dbf"_s)).lastModified(), modified);
    QCOMPARE(QDir(dir.path()).entryList(QDir::Files | QDir::Hidden), QStringList({u"cg.dbf"_s, u"cg.dbt"_s}));
}

void TestDbf::truncate()
{
    TempDir dir;
    DbfFile::create(dir.path(), u"cgtemp"_s, {{u"bh"_s, 'C', 4}, {u"bz"_s, 'M', 0}});
    const QByteArray header = dir.read(u"cgtemp.dbf"_s).chopped(1);
    Table staged;
    staged.setDatabaseName(dir.path());
    staged.setTableName(u"cgtemp"_s);
    staged.open();
    {
        auto f = DbfFile::open(dir.path(), u"cgtemp"_s);
        for (int i = 0; i < 5; ++i)
            append(*f, {V::fromString(QString::number(i)), V::fromBytes(QByteArray(700, 'm'))});
        f->setDeleted(2, true);
        staged.first();
        QCOMPARE(staged.recordCount(), 4);

        // Down to the header, deleted rows and memos too, in one step;
        // a dataset on the table follows.
        f->truncate();
        QCOMPARE(f->recordCount(), 0);
        QCOMPARE(f->deletedCount(), 0);
        staged.first();
        QCOMPARE(staged.recordCount(), 0);
        QVERIFY(staged.eof());
        const QByteArray bytes = dir.read(u"cgtemp.dbf"_s);
        QCOMPARE(bytes.size(), header.size() + 1);
        QCOMPARE(bytes.mid(4, 4), le(quint32(0)));
        QCOMPARE(bytes.mid(8), header.mid(8) + "\x1A");
        const QByteArray memo = dir.read(u"cgtemp.dbt"_s);
        QCOMPARE(memo.size(), 512);
        QCOMPARE(at<quint32>(memo, 0), 1u);

        // Filled again, memos from the first block on.
        append(*f, {V::fromString(u"new"_s), V::fromBytes("memo")});
        staged.first();
        QCOMPARE(staged.recordCount(), 1);

        // Refused in the middle of a bulk load, which is left as it was.
        DbfFile::BulkAppend bulk(*f);
        append(*f, {V::fromString(u"bulk"_s)});
        QVERIFY(throwsDbError([&] { f->truncate(); }));
        bulk.finish();
        QCOMPARE(f->recordCount(), 2);
    }
    staged.close();
    DbfFile::releaseUnused();
    auto f = DbfFile::open(dir.path(), u"cgtemp"_s);
    QCOMPARE(f->recordCount(), 2);
    QCOMPARE(f->value(0, 0).toString(), u"new"_s);
    QCOMPARE(f->value(0, 1).text, QByteArray("memo"));
    QVERIFY(dir.read(u"cgtemp.dbt"_s).size() <= 2 * 512); // the new memo took the first block
    QCOMPARE(QDir(dir.path()).entryList(QDir::Files | QDir::Hidden), QStringList({u"cgtemp.dbf"_s, u"cgtemp.dbt"_s}));
}

void TestDbf::namesAndSharing()
{
    TempDir dir;
    DbfFile::create(dir.path(), u"ZTFLH"_s, {{u"dm"_s, 'C', 4}, {u"bz"_s, 'M', 0}});
    QCOMPARE(QDir(dir.path()).entryList(QDir::Files), QStringList({u"ZTFLH.dbf"_s, u"ZTFLH.dbt"_s}));
    const QString path = QDir(dir.path()).filePath(u"ZTFLH.dbf"_s);
    QCOMPARE(DbfFile::findFile(dir.path(), u"ztflh.dbf"_s), path);
    QCOMPARE(DbfFile::findFile(dir.path(), u"\\ztflh.dbf"_s), path);
    QCOMPARE(DbfFile::findFile(dir.path(), u"ztflh"_s), path);
    QCOMPARE(DbfFile::findFile(dir.path(), u"ztfl"_s), QString());
    QVERIFY(throwsDbError([&] { DbfFile::create(dir.path(), u"ztflh.DBF"_s, {{u"dm"_s, 'C', 4}}); }));
    {
        auto a = DbfFile::open(dir.path(), u"ztflh.dbf"_s);
        auto b = DbfFile::open(dir.path() + u'/', u"\\ZTFLH"_s);
        QCOMPARE(a.get(), b.get());
        QVERIFY(throwsDbError([&] { DbfFile::open(dir.path(), u"ztflh"_s, true); }));
    }
    {
        auto x = DbfFile::open(dir.path(), u"ztflh"_s, true);
        QVERIFY(throwsDbError([&] { DbfFile::open(dir.path(), u"ZTFLH"_s); }));
    }
    QVERIFY(!DbfFile::open(dir.path(), u"ztflh"_s)->exclusive());

    // A table nobody uses may stay loaded; what another program writes to it
    // meanwhile must still be seen, also after our own last write.
    DbfFile::create(dir.path(), u"kept"_s, {{u"dm"_s, 'C', 4}});
    append(*DbfFile::open(dir.path(), u"kept"_s), {V::fromString(u"0001"_s)});
    QByteArray bytes = dir.read(u"kept.dbf"_s);
    dir.write(u"kept.dbf"_s, bytes.insert(bytes.size() - 1, " 0002").replace(4, 4, le(quint32(2))));
    QCOMPARE(DbfFile::open(dir.path(), u"kept"_s)->recordCount(), 2);

    // A refused definition leaves no file behind.
    QVERIFY(throwsDbError([&] { DbfFile::create(dir.path(), u"bad"_s, {{u"bz"_s, 'M', 0}, {u"je"_s, 'N', 3, 2}}); }));
    QVERIFY(!QFileInfo::exists(dir.file(u"bad.dbt"_s)) && !QFileInfo::exists(dir.file(u"bad.dbf"_s)));
    // Two columns that differ only in case would be one name in the file.
    QVERIFY(throwsDbError([&] { DbfFile::create(dir.path(), u"dup"_s, {{u"mc"_s, 'C', 4}, {u"MC"_s, 'C', 6}}); }));
}

// A memo file's header may point anywhere; new memos still go right after
// the last block, never onto the header block, and the file stays its size.
void TestDbf::memoNextBlockNotTrusted()
{
    for (const quint32 next : {0x0098000Fu, 0xFFFFFFFFu, 0u}) {
        TempDir dir;
        const QByteArray memo = gbk::encode(u"原有备注"_s);
        dir.write(u"crash.dbf"_s, dbfBytes(0x83, 0x4D, {{"ID", 'N', 8}, {"NOTE", 'M', 10}}, {" " + right("1", 8) + right("1", 10)}));
        QByteArray dbt = dbt3({memo});
        dbt.replace(0, 4, le(next));
        dir.write(u"crash.dbt"_s, dbt);
        const QByteArray headerBlock = dbt.left(512).mid(4);
        {
            auto f = DbfFile::open(dir.path(), u"crash"_s);
            append(*f, {V::fromNumber(2), V::fromString(u"新的备注"_s)});
            QCOMPARE(f->value(1, 1).toString(), u"新的备注"_s);
        }
        const QByteArray after = dir.read(u"crash.dbt"_s);
        QCOMPARE(after.size(), dbt.size() + 512);
        QCOMPARE(after.mid(4, 508), headerBlock);
        QCOMPARE(at<quint32>(after, 0), 3u);
        DbfFile::releaseUnused();
        auto f = DbfFile::open(dir.path(), u"crash"_s);
        QCOMPARE(f->value(0, 1).text, memo);
        QCOMPARE(f->value(1, 1).toString(), u"新的备注"_s);
    }
}

// A memo ends at its end mark (or its length) within the file and a sane
// size; otherwise reading that cell fails with the table, row and column.
void TestDbf::memoReadsBounded()
{
    TempDir dir;
    const QList<QByteArray> rows = {" " + right("1", 10), " " + right("2", 10), " " + right("9", 10)};
    // Block 1: a memo without end mark running to the end of the file;
    // block 2 a proper one after it.
    QByteArray dbt = dbt3({"first"});
    dbt.replace(512 + 5, 2, "xx");
    dbt += padToBlock(QByteArray("second\x1A\x1A"));
    dbt.replace(0, 4, le(quint32(3)));
    dbt = dbt.left(512) + QByteArray(512, 'z') + dbt.mid(1024); // block 1: no end mark at all
    dbt += QByteArray(4096, '\0'); // a gap of zeros, as a wrong next-block pointer leaves
    dir.write(u"memo.dbf"_s, dbfBytes(0x83, 0x4D, {{"BZ", 'M', 10}}, rows));
    dir.write(u"memo.dbt"_s, dbt);
    auto f = DbfFile::open(dir.path(), u"memo"_s);
    QCOMPARE(f->value(1, 0).text, QByteArray("second"));
    QString message;
    try {
        f->value(0, 0);
    } catch (const DbError &e) {
        message = e.message();
    }
    QCOMPARE(message, QString()); // block 1 runs into block 2's end mark: indistinguishable, read up to it
    // A pointer into the gap reads zeros to the end of the file: no end mark.
    dir.write(u"gap.dbf"_s, dbfBytes(0x83, 0x4D, {{"BZ", 'M', 10}}, {" " + right("4", 10)}));
    dir.write(u"gap.dbt"_s, dbt);
    try {
        DbfFile::open(dir.path(), u"gap"_s)->value(0, 0);
    } catch (const DbError &e) {
        message = e.message();
    }
    QVERIFY2(message.contains(u"gap"_s) && message.contains(u"BZ"_s) && message.contains(u"1"_s), qPrintable(message));

    // A dBASE IV block whose length runs past the end of the file.
    dir.write(u"d4.dbt"_s, le(quint32(2)) + QByteArray(16, '\0') + le(quint16(512)) + QByteArray(490, '\0')
                               + padToBlock(QByteArray("\xFF\xFF\x08\x00", 4) + le(quint32(0x7FFFFFF0)) + "text"));
    dir.write(u"d4.dbf"_s, dbfBytes(0x8B, 0x4D, {{"BZ", 'M', 10}}, {" " + right("1", 10)}));
    QVERIFY(throwsDbError([&] { DbfFile::open(dir.path(), u"d4"_s)->value(0, 0); }));
}

void TestDbf::memoRewrittenInPlace()
{
    TempDir dir;
    DbfFile::create(dir.path(), u"cg"_s, {{u"bh"_s, 'C', 4}, {u"bz"_s, 'M', 0}});
    auto f = DbfFile::open(dir.path(), u"cg"_s);
    for (int i = 0; i < 3; ++i)
        append(*f, {V::fromString(QString::number(i)), V::fromBytes(QByteArray(700, 'a' + i))});
    const qint64 size = QFileInfo(dir.file(u"cg.dbt"_s)).size();
    auto rewrite = [&](int rec, const QByteArray &text) {
        QByteArray raw(f->record(rec), f->recordLength());
        f->encode(raw, 1, V::fromBytes(text));
        f->writeRecord(rec, raw);
    };
    for (int round = 0; round < 300; ++round)
        rewrite(round % 3, QByteArray(300 + round, 'k' + round % 5)); // fits the two blocks each has
    QCOMPARE(QFileInfo(dir.file(u"cg.dbt"_s)).size(), size);
    for (int r = 0; r < 3; ++r)
        QCOMPARE(f->value(r, 1).text, QByteArray(300 + 297 + r, 'k' + (297 + r) % 5));
    rewrite(0, QByteArray(2000, 'z')); // does not fit: new blocks at the end
    QCOMPARE(QFileInfo(dir.file(u"cg.dbt"_s)).size(), size + 4 * 512);
    QCOMPARE(f->value(0, 1).text, QByteArray(2000, 'z'));
    QCOMPARE(f->value(1, 1).text, QByteArray(598, 'k' + 298 % 5));
    rewrite(2, {}); // emptied: the field is blank
    QVERIFY(f->value(2, 1).isNull());
    QVERIFY(f->isNullField(f->record(2), 1));
}

// At most one complete row after the header's count is taken back (the
// append a crash interrupted); the header's count holds otherwise.
void TestDbf::rowsAfterTheCount()
{
    TempDir dir;
    QList<QByteArray> rows;
    for (int i = 1; i <= 5; ++i)
        rows << " " + QByteArray::number(1000 + i);
    QByteArray bytes = dbfBytes(0x03, 0x4D, {{"BH", 'C', 4}}, rows);
    bytes.replace(4, 4, le(quint32(2)));
    dir.write(u"t.dbf"_s, bytes);
    auto f = DbfFile::open(dir.path(), u"t"_s);
    QCOMPARE(f->recordCount(), 3);
    QCOMPARE(f->value(2, 0).toString(), u"1003"_s);
}

// Our tables are GBK; one that another tool wrote as UTF-8 says so in a
// .cpg file and is read and written as UTF-8; a code page we cannot read is
// refused by name.
void TestDbf::codePages()
{
    TempDir dir;
    const QString name = u"新型材料"_s;
    dir.write(u"u8.dbf"_s, dbfBytes(0x03, 0x00, {{"XXDM", 'C', 4}, {"XXMC", 'C', 12}},
                                    {" 0001" + left(name.toUtf8(), 12), " 0002" + left("abc", 12)}));
    dir.write(u"U8.CPG"_s, "UTF-8\r\n");
    {
        auto f = DbfFile::open(dir.path(), u"u8"_s);
        QVERIFY(f->isUtf8());
        QCOMPARE(f->value(0, 1).toString(), name);
        QCOMPARE(f->storedText(f->record(0), 1), name);
        const sql::Condition c = sql::Condition::compile(u"xxmc='新型材料'"_s, *f);
        QVERIFY(c.matches(*f, 0) && !c.matches(*f, 1));
        append(*f, {V::fromString(u"0003"_s), V::fromString(u"纳米材料合成"_s)}); // 18 UTF-8 bytes: cut to 4 characters
        QCOMPARE(f->value(2, 1).toString(), u"纳米材料"_s);
    }
    QVERIFY(dir.read(u"u8.dbf"_s).contains(u"纳米材料"_s.toUtf8()));

    // No .cpg: 0x00, 0x4D and 0x7A are GBK.
    for (const quint8 driver : {0x00, 0x4D, 0x7A}) {
        dir.write(u"g.dbf"_s, dbfBytes(0x03, driver, {{"XXMC", 'C', 12}}, {" " + left(gbk::encode(name), 12)}));
        DbfFile::releaseUnused();
        QCOMPARE(DbfFile::open(dir.path(), u"g"_s)->value(0, 0).toString(), name);
    }
    // Another code page: plain ASCII reads as in any code page, other texts
    // fail by name instead of reading as garbage.
    auto refused = [&](const QString &file, int rec) {
        try {
            DbfFile::releaseUnused();
            DbfFile::open(dir.path(), file)->value(rec, 0);
        } catch (const DbError &e) {
            return e.message();
        }
        return QString();
    };
    dir.write(u"g.cpg"_s, "1252");
    QVERIFY(refused(u"g"_s, 0).contains(u"1252"_s));
    dir.write(u"big5.dbf"_s, dbfBytes(0x03, 0x78, {{"XXMC", 'C', 12}}, {" " + left("x", 12), " " + left("\xA4\xA4", 12)}));
    QCOMPARE(refused(u"big5"_s, 0), QString());
    QVERIFY(refused(u"big5"_s, 1).contains(u"950"_s));
    auto big5 = DbfFile::open(dir.path(), u"big5"_s);
    QByteArray raw = big5->blankRecord();
    QVERIFY(throwsDbError([&] { big5->encode(raw, 0, V::fromString(u"中文"_s)); }));
}

// A number given as text is stored as the number it reads as: the same
// bytes, or the same refusal, for texts with leading zeros, long fractions,
// more digits than a double keeps, a lone point or sign, or no number at all.
// Text given by its bytes (a load's) is stored as the same text as a value.
void TestDbf::numbersGivenAsText()
{
    TempDir dir;
    DbfFile::create(dir.path(), u"n"_s,
                    {{u"A"_s, 'N', 20, 6}, {u"B"_s, 'N', 6, 0}, {u"C"_s, 'N', 12, 2}, {u"T"_s, 'C', 5}, {u"D"_s, 'D', 8}});
    auto f = DbfFile::open(dir.path(), u"n"_s);
    QList<QByteArray> texts = {"1.",  ".5",  "-0",  "-0.000", "0000", "-.0", "1e5", "+3", ".",  "-", "1.2.3",
                               "0.0000004", "999999.5", "-99999.5", "123456789012345", "1234567890123456",
                               "0.1000000000000000000001", "00000000000000000000000000000000000000001",
                               gbk::encode(u"中文字"_s), "ab" + gbk::encode(u"中文"_s), "2005-01-31", "2005-13-01"};
    QRandomGenerator random(46);
    const auto digits = [&](int n) {
        QByteArray out;
        for (int i = 0; i < n; ++i)
            out.append(char('0' + (random.bounded(3) == 0 ? 0 : random.bounded(10))));
        return out;
    };
    for (int i = 0; i < 3000; ++i) {
        QByteArray t = (random.bounded(3) == 0 ? "-" : "") + digits(random.bounded(19));
        if (random.bounded(2))
            t += '.' + digits(random.bounded(10));
        texts << t;
    }
    const auto stored = [&](int field, const std::variant<V, QByteArray> &given) -> QByteArray {
        QByteArray r = f->blankRecord();
        try {
            if (const V *v = std::get_if<V>(&given))
                f->encode(r, field, *v);
            else
                f->encodeText(r, field, std::get<QByteArray>(given));
        } catch (const DbError &) {
            return "refused";
        }
        return r.mid(f->fields()[field].offset, f->fields()[field].length);
    };
    for (const QByteArray &text : std::as_const(texts)) {
        bool ok = false;
        const double number = text.toDouble(&ok);
        for (int field = 0; field < 3; ++field) {
            const QByteArray expected = text.isEmpty() ? stored(field, V()) // no text: no number
                                        : ok           ? stored(field, V::fromNumber(number))
                                                       : "refused";
            QVERIFY2(stored(field, V::fromBytes(text)) == expected, text.constData());
        }
        for (int field = 0; field < 5; ++field)
            QVERIFY2(stored(field, text) == stored(field, text.isEmpty() ? V() : V::fromBytes(text)), text.constData());
    }
}

// A field read as text (an export's) is what its value makes of itself,
// whatever bytes another program left in the record: numbers padded on
// either side, an exponent, no number, dates that are none, a text ending
// in NULs, a memo.
void TestDbf::valuesReadAsText()
{
    TempDir dir;
    DbfFile::create(dir.path(), u"v"_s,
                    {{u"T"_s, 'C', 10}, {u"A"_s, 'N', 20, 6}, {u"B"_s, 'N', 6, 0}, {u"D"_s, 'D', 8}, {u"M"_s, 'M', 10},
                     {u"L"_s, 'L', 1}});
    auto f = DbfFile::open(dir.path(), u"v"_s);
    const QList<QList<QByteArray>> rows = {
        {"abc", "1.250000", "12", "20050131", "memo", "T"},
        {gbk::encode(u"中文"_s) + QByteArray(2, '\0'), "1.5", "-0", "20050230", "", "F"},
        {"", "-0.000000", "1e3", "2005013", "", "?"},
        {" lead", "  12.345678  ", "abc", "00000101", "", ""},
        {"x", "0.0000004", "999999", "09990101", "", ""},
        {"y", "123456789012345678", "+5", "2005-1-1", "", ""},
    };
    for (const QList<QByteArray> &row : rows) {
        QByteArray raw = f->blankRecord();
        for (int c = 0; c < row.size(); ++c) {
            const FieldDef &field = f->fields()[c];
            if (field.type == 'M')
                f->encode(raw, c, row[c].isEmpty() ? V() : V::fromBytes(row[c]));
            else if (field.type == 'N')
                raw.replace(field.offset, field.length, row[c].rightJustified(field.length));
            else
                raw.replace(field.offset, field.length, row[c].leftJustified(field.length, ' ', true));
        }
        f->appendRecord(raw);
    }
    QByteArray scratch;
    for (int rec = 0; rec < f->recordCount(); ++rec)
        for (int c = 0; c < f->fieldCount(); ++c)
            for (const int decimals : {-1, 0, 2, 6})
                QCOMPARE(f->valueText(f->record(rec), rec, c, decimals, scratch).toByteArray(),
                         f->value(rec, c).toBytes(decimals));
}

// Each number column round trips its extremes in plain decimals: the largest
// integer part (with fewer decimals, rounded), the smallest fraction,
// negatives; only an integer part that does not fit is refused, with a
// message naming the column and the largest value it holds.
void TestDbf::numberColumnsKeepTheirRange()
{
    TempDir dir;
    DbfFile::create(dir.path(), u"je"_s, {{u"ITEM_150"_s, 'N', 20, 6}, {u"ITEM_51_2"_s, 'N', 6, 0}});
    struct Case
    {
        double value;
        const char *amount; // as stored (trailing blanks trimmed) and as text
        const char *count;
    };
    const QList<Case> cases = {
        {999999999999999, "999999999999999", "999999"},
        {-999999999999999, "-999999999999999", "-99999"},
        {123456789012345.4, "123456789012345", "0"},
        {12345678901.123456, "12345678901.1235", "0"},
        {1234.56789049, "1234.567890", "0"},
        {0.000001, "0.000001", "1"},
        {-0.000001, "-0.000001", "-1"},
        {0.0000004, "0.000000", "0"},
        {0.1 + 0.2, "0.300000", "0"},
    };
    {
        auto f = DbfFile::open(dir.path(), u"je"_s);
        for (const Case &c : cases)
            append(*f, {V::fromNumber(c.value), V::fromString(QString::fromLatin1(c.count))});
        QByteArray r = f->blankRecord();
        for (const auto &[field, value, largest, smallest] :
             {std::tuple{0, 1e15, "999999999999999", "-999999999999999"}, {0, -1234567890123456.0, "999999999999999", ""},
              {1, 1000000.0, "999999", "-99999"}, {1, -100000.0, "999999", "-99999"}, {1, 999999.5, "999999", ""}}) {
            QString message;
            try {
                f->encode(r, field, V::fromNumber(value));
            } catch (const DbError &e) {
                message = e.message();
            }
            QVERIFY2(message.contains(QString::fromLatin1(f->fields()[field].name)) && message.contains(u"je"_s)
                         && message.contains(QString::fromLatin1(largest)) && message.contains(QString::fromLatin1(smallest))
                         && message.contains(formatNumber(value)) && !message.contains(u"e+"_s),
                     qPrintable(message));
        }
    }
    DbfFile::releaseUnused();
    auto f = DbfFile::open(dir.path(), u"je"_s);
    for (int i = 0; i < cases.size(); ++i) {
        const Case &c = cases[i];
        // Right-aligned in blanks, as other dBASE programs write numbers.
        QCOMPARE(QByteArray(f->fieldData(i, 0), 20), QByteArray(c.amount).rightJustified(20));
        QCOMPARE(QByteArray(f->fieldData(i, 1), 6), QByteArray(c.count).rightJustified(6));
        // Read back, the value shows as it was stored, without trailing zeros.
        QString shown = QString::fromLatin1(c.amount);
        if (shown.contains('.'))
            while (shown.endsWith('0') || shown.endsWith('.'))
                shown.chop(1);
        QCOMPARE(f->value(i, 0).toString(), shown == "" ? u"0"_s : shown);
    }

    // Numbers as text anywhere: plain decimals, never an exponent.
    QCOMPARE(formatNumber(1e-06), u"0.000001"_s);
    QCOMPARE(formatNumber(1.23456789012346e+15), u"1234567890123460"_s);
    QCOMPARE(formatNumber(1e20), u"100000000000000000000"_s);
    QCOMPARE(formatNumber(-1.5e-10), u"-0.00000000015"_s);
    QCOMPARE(formatNumber(2.5, 0), u"3"_s);
    QCOMPARE(formatNumber(-0.0000004, 6), u"0"_s);
    QCOMPARE(formatNumber(9.9999999, 6), u"10"_s);
}

// A dBASE III memo ends at its first 0x1A: a text holding one is refused,
// naming the table, the row and the column, and nothing is written; a
// dBASE IV memo, which carries its length, keeps it.
void TestDbf::memoRefusesItsEndMark()
{
    TempDir dir;
    const QByteArray cut = gbk::encode(u"前文"_s) + "\x1A" + gbk::encode(u"后文"_s);
    DbfFile::create(dir.path(), u"cgjj"_s, {{u"ITEM_4"_s, 'C', 10}, {u"ITEM_13"_s, 'M', 10}});
    Table t;
    t.setDatabaseName(dir.path());
    t.setTableName(u"cgjj"_s);
    t.open();
    t.append();
    t.fieldByName(u"ITEM_4"_s)->setAsString(u"1"_s);
    t.fieldByName(u"ITEM_13"_s)->setValue(V::fromBytes("kept"));
    t.post();
    const QByteArray before = dir.read(u"cgjj.dbt"_s);
    t.edit();
    QString message;
    try {
        t.fieldByName(u"ITEM_13"_s)->setValue(V::fromBytes(cut));
    } catch (const DbError &e) {
        message = e.message();
    }
    QVERIFY2(message.contains(u"cgjj"_s) && message.contains(u"第 1 条记录"_s) && message.contains(u"ITEM_13"_s),
             qPrintable(message));
    t.cancel();
    // The engine refuses it on every way in, the row unknown.
    auto f = DbfFile::open(dir.path(), u"cgjj"_s);
    QByteArray r = f->blankRecord();
    QVERIFY(throwsDbError([&] { f->encode(r, 1, V::fromBytes(cut)); }));
    sql::Params text;
    text.set(u"t"_s, V::fromBytes(cut));
    QVERIFY(throwsDbError([&] { sql::execute(dir.path(), u"update cgjj set item_13 = :t"_s, text); }));
    QCOMPARE(dir.read(u"cgjj.dbt"_s), before);
    QCOMPARE(f->value(0, 1).text, QByteArray("kept"));

    dir.write(u"d4.dbt"_s, le(quint32(1)) + QByteArray(16, '\0') + le(quint16(512)) + QByteArray(490, '\0'));
    dir.write(u"d4.dbf"_s, dbfBytes(0x8B, 0x4D, {{u"BZ"_s, 'M', 10}}, {" " + right("", 10)}));
    auto d4 = DbfFile::open(dir.path(), u"d4"_s);
    QByteArray row(d4->record(0), d4->recordLength());
    d4->encode(row, 0, V::fromBytes(cut));
    d4->writeRecord(0, row);
    DbfFile::releaseUnused();
    QCOMPARE(DbfFile::open(dir.path(), u"d4"_s)->value(0, 0).text, cut);
}

QTEST_MAIN(TestDbf)
#include "tst_dbf.moc"
