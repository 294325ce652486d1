#include "CodeTableText.h"
#include "DataFolder.h"
#include "ExchangeText.h"
#include "ExchangeTextReader.h"
#include "ExchangeTextWriter.h"
#include "TableSchemas.h"
#include "TempDir.h"
#include "db/dataset/Table.h"
#include "text/Gbk.h"
#include "text/Utf8.h"
#include "ui/Clock.h"
#include "ui/Seam.h"

#include <QtTest>
#include <functional>
#include <memory>

using namespace db;

namespace {

QByteArray g(const char *utf8) { return gbk::encode(QString::fromUtf8(utf8)); }

const QDate kToday(2008, 3, 4);

// A value full of what the format must carry, by case and column type; texts
// cut to the column's width as the table will store them.
Value nasty(const Column &c, int kase)
{
    switch (c.type) {
    case 'N': {
        // 15 significant digits, a negative, a tiny fraction, null.
        const double numbers[] = {123456789.012345, -0.5, 1e-6, 42, -7, 0};
        return kase % 4 == 3 ? Value() : Value::fromNumber(numbers[kase % 4 + (c.decimals ? 0 : 3)]);
    }
    case 'D':
        return kase % 3 == 2 ? Value() : Value::fromDate(QDate(2005, 1 + kase % 12, 28));
    case 'M': {
        const char *memos[] = {"第一段\r\n第二段\r\n", "\"引号开头\"\t制表符", "lone\nLF and lone\rCR", "",
                               "  leading blanks, \"\" inner pair", "x\r\n\r\n", "\"", "尾行\r"};
        const QByteArray m = g(memos[kase % 8]);
        return m.isEmpty() ? Value() : Value::fromBytes(m);
    }
    default: {
        const QByteArray full = g("全宽汉字").repeated(c.length).left(c.length - c.length % 2)
            + (c.length % 2 ? "z" : "");
        const QByteArray texts[] = {full, "a\tb", "\"lead and x\"y", "line1\r\nline2", "lone\nLF",
                                    "lone\rCR", "", " blank first"};
        const QByteArray t = gbk::cutBytes(texts[kase % 8], c.length);
        return t.isEmpty() ? Value() : Value::fromBytes(t);
    }
    }
}

// Fills rows of a table; plain(c) columns get a plain text of the row.
void fill(Table &t, int rows, const std::function<bool(int)> &plain)
{
    for (int r = 0; r < rows; ++r) {
        t.append();
        for (int c = 0; c < t.fieldCount(); ++c) {
            Field *f = t.field(c);
            if (f->isLookup())
                continue;
            const char type = t.columns()[c].type;
            if (plain(c) && type == 'C')
                f->setValue(Value::fromBytes(QByteArray::number(r + 1) + "k"));
            else if (plain(c) && type == 'M')
                f->setValue(Value::fromBytes(QByteArray::number(r + 1) + g("k\r\n第二行")));
            else
                f->setValue(nasty(t.columns()[c], r + c));
        }
        t.post();
    }
}

QByteArray bytesOf(const Value &v) { return v.isNull() ? QByteArray("<null>") : v.toBytes(); }

struct Folder
{
    TempDir dir;
    std::vector<std::unique_ptr<Table>> tables;
    ui::HandlerOverride<ui::Clock> clock{ui::setClock, [] { return QDateTime(kToday, QTime(9, 0)); }};

    Folder() { prepareDataFolder(dir.path()); }
    Table &open(const QString &name)
    {
        tables.push_back(std::make_unique<Table>());
        Table &t = *tables.back();
        t.setDatabaseName(dir.path());
        t.setTableName(name);
        t.open();
        return t;
    }
    Table &twin(const QString &name, const QString &schema)
    {
        DbfFile::create(dir.path(), name, tableSchema(schema)->columns);
        return open(name);
    }
    QString path(const QString &file) const { return dir.file(file); }
};

// Reads text into the table from a file written for the purpose.
int readText(Folder &f, Table &t, const QByteArray &text, TxtRecordReader reader = ImportTxtRecord)
{
    f.dir.write("in.txt", text);
    return ImportTextFile(t, f.path("in.txt"), reader);
}

QStringList rowTexts(Table &t, int row)
{
    QStringList out;
    for (int c = 0; c < t.fieldCount(); ++c)
        out << QString::fromLatin1(bytesOf(t.rowValue(row, c)));
    return out;
}

QString errorOf(const std::function<void()> &f)
{
    try {
        f();
    } catch (const ExchangeError &e) {
        return e.message();
    }
    return {};
}

} // namespace

class TestExchangeText : public QObject
{
    Q_OBJECT

private slots:
    void writerQuoting();
    void roundTripEveryMember();
    void recordAssembly();
    void columnCounts();
    void stagingDates();
    void failedReadLeavesTable();
    void writeFailureLeavesNoFile();
};

void TestExchangeText::writerQuoting()
{
    QCOMPARE(UndoubleQuotes("\"\"\"\""), QByteArray("\"\""));

    Folder f;
    Table &persons = f.open("cgwcr");
    // Columns: key, region, sequence, 180 (20), 181 (1), 182 (14), 183, 184, 185 (80), 186 (160), 188.
    const QList<QByteArrayList> rows = {
        {"2005000001", ".", "1", "a\tb", "", "\"q", "", "", "x\"y", "lone\nLF", "1"},
        {"2005000001", ".", "2", "", "", "", "", "", "汉字", "cr\rlf", ""},
        {"2005000001", ".", "3", "", "", "", "", "", "", "", "2"},
    };
    for (const QByteArrayList &r : rows) {
        persons.append();
        for (int c = 0; c < r.size(); ++c)
            persons.field(c)->setValue(r[c].isEmpty() ? Value() : Value::fromBytes(g(r[c].constData())));
        persons.post();
    }
    ExportTableText(persons, f.path("CGWCR.TXT"));
    QVERIFY(persons.eof());
    // A TAB, CR, lone LF or leading quote is quoted; an inner quote is not;
    // ITEM_188 is written "1" or "0".
    QCOMPARE(f.dir.read("CGWCR.TXT"),
             "2005000001\t.\t1\t\"a\tb\"\t\t\"\"\"q\"\t\t\tx\"y\t\"lone\nLF\"\t1\r\n"
             "2005000001\t.\t2\t\t\t\t\t\t" + g("汉字") + "\t\"cr\rlf\"\t0\r\n"
             "2005000001\t.\t3\t\t\t\t\t\t\t\t0\r\n");

    // The unquoted last column: a TAB or line break there would cut the
    // record in two, so it becomes a space and the record reads back whole.
    Table &committee = f.open("jdwyhmd");
    committee.append();
    committee.fieldByName("ITEM_4")->setAsString("2005000001");
    committee.fieldByName("ITEM_199")->setValue(Value::fromBytes(g("教授\t博导\r\n院士")));
    committee.post();
    ExportTableText(committee, f.path("JDWYHMD.TXT"), TextMember::Child);
    Table &staged = f.open("JDWYHMDtemp.dbf");
    QCOMPARE(ImportTextFile(staged, f.path("JDWYHMD.TXT")), 1);
    QCOMPARE(staged.recordCount(), 1);
    QCOMPARE(bytesOf(staged.rowValue(0, staged.fieldByName("ITEM_199")->index())), g("教授 博导  院士"));
}

void TestExchangeText::roundTripEveryMember()
{
    Folder f;
    struct Member
    {
        const char *source, *target, *file;
        TextMember member;
    };
    const Member members[] = {
        {"kjcg", "KJCGtemp.dbf", "KJCG.TXT", TextMember::Kjcg},
        {"cgwcdw", "CGWCDWtemp.dbf", "CGWCDW.TXT", TextMember::Child},
        {"cgwcr", "CGWCRtemp.dbf", "CGWCR.TXT", TextMember::Child},
        {"jdwyhmd", "JDWYHMDtemp.dbf", "JDWYHMD.TXT", TextMember::Child},
        {"zlqk", "ZLQKtemp.dbf", "ZLQK.TXT", TextMember::Child},
        {"unit", "UNITtemp.dbf", "UNIT.TXT", TextMember::Unit},
        {"unitexpert", "", "EXPERT.TXT", TextMember::Expert},
    };
    constexpr int kRows = 16;
    for (const Member &m : members) {
        Table &source = f.open(m.source);
        if (m.member == TextMember::Expert)
            source.addLookupField({"V_181", "sex", "ITEM_181", &source, "ITEM_181", "ITEM_180"});
        const int n = source.columns().size() - (m.member == TextMember::Expert ? 1 : 0);
        // The first and last columns travel unquoted; KJCG's 101 and 102 too.
        auto plain = [&](int c) { return c == 0 || c == n - 1 || (m.member == TextMember::Kjcg && c >= 99); };
        fill(source, kRows, plain);
        if (m.member == TextMember::Kjcg) {
            for (source.first(); !source.eof(); source.next()) {
                source.edit();
                source.fieldByName("ITEM_SJDC")->setAsString("1");
                source.post();
            }
        }
        ExportTableText(source, f.path(m.file), m.member);
        Table &target = *m.target ? f.open(m.target) : f.twin("EXPERTtemp.dbf", "unitexpert");
        QCOMPARE(ImportTextFile(target, f.path(m.file)), kRows);
        QCOMPARE(target.recordCount(), kRows);
        for (int r = 0; r < kRows; ++r) {
            for (int c = 0; c < n; ++c) {
                const QString col = source.columns()[c].name.toUpper();
                QByteArray want = bytesOf(source.rowValue(r, c));
                if (col == "ITEM_SJDC")
                    want = "0";
                else if (col == "NO")
                    want = "<null>";
                else if (col == "ITEM_121" && want == "<null>")
                    want = kToday.toString(Qt::ISODate).toLatin1();
                else if (m.member == TextMember::Unit && c == n - 1)
                    want = '"' + want + '"';
                else if (col == "ITEM_188")
                    want = want == "1" ? "1" : "0";
                QVERIFY2(bytesOf(target.rowValue(r, c)) == want,
                         qPrintable(QString("%1 row %2 %3: %4").arg(m.file).arg(r).arg(col,
                                    gbk::decode(bytesOf(target.rowValue(r, c))))));
            }
        }
    }
}

void TestExchangeText::recordAssembly()
{
    Folder f;
    Table &zlqk = f.open("ZLQKtemp.dbf");
    // Blank lines give no row; a lone CR stays in its line; a quoted value
    // runs over CR LF and lone LF line ends, which it keeps; a quoted TAB
    // and a closing pair inside a value do not end it.
    const QByteArray text = "\r\n"
                            "k1\t.\t1\tp\rq\tname\t1\t2\r\n"
                            "   \t \r\n"
                            "k2\t.\t2\t\"a\r\nb\nc\"\t\"x\"\"\tz\r\n\"\"\"\"\"\t3\t4\n"
                            "k3\t.\t3\t\t\"open at the end\r\nof file\t5\t6\r\n";
    QCOMPARE(readText(f, zlqk, text), 3);
    QCOMPARE(zlqk.recordCount(), 3);
    QCOMPARE(rowTexts(zlqk, 0), QStringList({"k1", ".", "1", "p\rq", "name", "1", "2"}));
    QCOMPARE(rowTexts(zlqk, 1), QStringList({"k2", ".", "2", "a\r\nb\nc", "x\"\tz\r\n\"\"", "3", "4"}));
    // A value left open at the end of the file takes the rest of the record
    // (less its last character, taken for the closing quote).
    QCOMPARE(rowTexts(zlqk, 2), QStringList({"k3", ".", "3", "<null>", "open at the end\r\nof file\t5\t", "<null>", "<null>"}));

    // The last field of UNIT.TXT keeps its quotes, over several lines too.
    Table &unit = f.open("UNITtemp.dbf");
    QByteArray line = "9990001000";
    for (int c = 1; c < unit.fieldCount() - 1; ++c)
        line += '\t';
    QCOMPARE(readText(f, unit, line + "\t\"intro\r\nmore\"\r\n" + line + "\t\"short\"\r\n"), 2);
    QCOMPARE(unit.rowValue(0, unit.fieldCount() - 1).toBytes(), QByteArray("\"intro\r\nmore\""));
    QCOMPARE(unit.rowValue(1, unit.fieldCount() - 1).toBytes(), QByteArray("\"short\""));
}

void TestExchangeText::columnCounts()
{
    Folder f;
    Table &kjcg = f.open("KJCGtemp.dbf");
    QByteArrayList tokens;
    for (const Column &c : kjcg.columns())
        tokens << (c.type == 'N' ? QByteArray("1") : c.type == 'D' ? QByteArray("2005-06-07") : "t" + QByteArray::number(tokens.size() + 1));
    // 102 values fill the 102 columns in order; 101 leave the last empty.
    QCOMPARE(readText(f, kjcg, tokens.join('\t') + "\r\n" + tokens.mid(0, 101).join('\t') + "\r\n"), 2);
    QCOMPARE(kjcg.rowValue(0, 100).toBytes(), QByteArray("t101"));
    QCOMPARE(kjcg.rowValue(0, 101).toBytes(), QByteArray("t102"));
    QCOMPARE(kjcg.rowValue(1, 100).toBytes(), QByteArray("t101"));
    QVERIFY(kjcg.rowValue(1, 101).isNull());

    // Too few values leave the last columns empty; one too many drops the
    // one before the last; a record without TAB goes to column 2.
    Table &zlqk = f.open("ZLQKtemp.dbf");
    QCOMPARE(readText(f, zlqk, "a\tb\t1\tlast\r\na\tb\t1\tn4\tn5\tn6\tdropped\tkept\r\nalone\r\n"), 3);
    QCOMPARE(rowTexts(zlqk, 0), QStringList({"a", "b", "1", "last", "<null>", "<null>", "<null>"}));
    QCOMPARE(rowTexts(zlqk, 1), QStringList({"a", "b", "1", "n4", "n5", "n", "k"}));
    QCOMPARE(rowTexts(zlqk, 2), QStringList({"<null>", "alo", "<null>", "<null>", "<null>", "<null>", "<null>"}));

    // Two or more values too many: the last column loses its final ten bytes
    // (one at 99 columns), which begin a further row. The code-table reader
    // takes no line whose count of values differs from the columns: it
    // names the line and both counts, and nothing of the file stays.
    Table &ztflh = f.open("ztflh");
    ztflh.emptyTable();
    for (const QByteArray &shifted : {QByteArray("1\tA\tlong name 0123456789\tBB\tCC\r\n"), QByteArray("1\tA\r\n"),
                                      QByteArray("1\t\"A\tB\"\r\n")}) {
        const QString error = errorOf([&] { readText(f, ztflh, "2\tA1\tok\r\n\r\n" + shifted, ImportCodeTxtRecord); });
        const int values = shifted.count('\t') + 1 - (shifted.contains('"') ? 1 : 0);
        QVERIFY2(error.contains(QString("in.txt 第 3 行")) && error.contains(u("有 %1 个值，表有 3 列").arg(values)),
                 qPrintable(error));
        QCOMPARE(ztflh.recordCount(), 0);
    }
    QCOMPARE(readText(f, ztflh, "1\t\"A\tB\"\tname\r\n", ImportCodeTxtRecord), 1);
    QCOMPARE(rowTexts(ztflh, 0), QStringList({"1", "A\tB", "name"}));
    for (int columns : {98, 99}) {
        QVector<ColumnDef> wideColumns;
        for (int c = 0; c < columns; ++c)
            wideColumns.append({QString("C%1").arg(c), 'C', 20, 0});
        const QString name = QString("wide%1").arg(columns);
        DbfFile::create(f.dir.path(), name, wideColumns);
        Table &wide = f.open(name);
        QByteArrayList values;
        for (int c = 0; c < columns; ++c)
            values << "v";
        const int before = wide.recordCount();
        readText(f, wide, values.join('\t') + "\tx\tlast-piece9Z\tend\r\n");
        QCOMPARE(wide.recordCount(), before + 2);
        QCOMPARE(wide.rowValue(before + 1, 0).toBytes(), QByteArray(columns == 99 ? "d" : "iece9Z\tend"));
    }
}

void TestExchangeText::stagingDates()
{
    Folder f;
    auto record = [](const QByteArray &date) {
        QByteArrayList tokens;
        for (int i = 1; i <= 102; ++i)
            tokens << (i == 6 ? date : i == 21 ? QByteArray("title") : QByteArray());
        return tokens.join('\t') + "\r\n";
    };
    QByteArray text;
    const QByteArrayList dates = {"2005-06-07", "2005-6-7", "2005/6/7", "2005.06.07", "", "not a date", "2005-02-30"};
    for (const QByteArray &d : dates)
        text += record(d);
    Table &staging = f.open("KJCGtemp.dbf");
    QCOMPARE(readText(f, staging, text), dates.size());
    for (int r = 0; r < dates.size(); ++r)
        QCOMPARE(staging.rowValue(r, 5).toDate(), r < 4 ? QDate(2005, 6, 7) : kToday);

    // Only the staging table named so takes today: elsewhere a bad date is
    // an error.
    Table &kjcg = f.open("kjcg.DBF");
    QVERIFY(errorOf([&] { readText(f, kjcg, record("2005-6-7") + record("not a date")); }).contains("ITEM_121"));
    QCOMPARE(kjcg.recordCount(), 0);
}

void TestExchangeText::failedReadLeavesTable()
{
    Folder f;
    Table &persons = f.open("CGWCRtemp.dbf");
    QCOMPARE(readText(f, persons, "k0\t.\t1\told\t1\t\t\t\t\t\t1\r\n"), 1);
    persons.setFilter("ITEM_180='old'");
    persons.setFiltered(true);
    // A memo-free record over three lines, then a number column that takes
    // no letters: the whole file is taken back, the message says where.
    const QByteArray text = "k1\t.\t1\tnew\t1\t\t\t\"a\r\nb\r\nc\"\t\t\t1\r\n"
                            "k2\t.\tseven\tnew\t1\t\t\t\t\t\t1\r\n";
    const QString error = errorOf([&] { readText(f, persons, text); });
    QVERIFY2(error.contains("in.txt") && error.contains(QString::fromUtf8("第 4 行")) && error.contains("ITEM_187"),
             qPrintable(error));
    QVERIFY(error.contains("seven"));
    persons.setFiltered(false);
    QCOMPARE(persons.recordCount(), 1);
    QCOMPARE(persons.rowValue(0, 3).toBytes(), QByteArray("old"));
    QCOMPARE(persons.state(), Dataset::Browse);
    // The table takes the next file as usual.
    QCOMPARE(readText(f, persons, "k3\t.\t3\tthird\t1\t\t\t\t\t\t1\r\n"), 1);
    QCOMPARE(persons.recordCount(), 2);

    // A file that fails after more rows than a load holds in memory, so
    // that some reached the disk: the table file is byte for byte as before.
    persons.close();
    persons.open();
    const QByteArray stored = f.dir.read("cgwcrtemp.DBF");
    QByteArray many;
    for (int i = 0; i < 8000; ++i)
        many += "m" + QByteArray::number(i) + "\t.\t1\tmany\t1\t\t\t\t\t\t1\r\n";
    QVERIFY(errorOf([&] { readText(f, persons, many + "k4\t.\tx\tbad\t1\t\t\t\t\t\t1\r\n"); }).contains("8001"));
    QCOMPARE(f.dir.read("cgwcrtemp.DBF"), stored);
    QCOMPARE(persons.recordCount(), 2);
    QCOMPARE(readText(f, persons, many), 8000);
    QCOMPARE(persons.recordCount(), 8002);

    QVERIFY(errorOf([&] { ImportTextFile(persons, f.path("missing.txt")); }).contains("missing.txt"));
}

void TestExchangeText::writeFailureLeavesNoFile()
{
    Folder f;
    Table &unit = f.open("unit");
    QVERIFY(!errorOf([&] { ExportTableText(unit, f.path("no/such/folder/UNIT.TXT"), TextMember::Unit); }).isEmpty());
    // A file being replaced keeps its old contents until the new one is whole.
    f.dir.write("UNIT.TXT", "old");
    {
        ExchangeTextFile file(f.path("UNIT.TXT"));
        file.writeLine("new");
        QCOMPARE(f.dir.read("UNIT.TXT"), QByteArray("old"));
    }
    QCOMPARE(f.dir.read("UNIT.TXT"), QByteArray("old"));
    ExportTableText(unit, f.path("UNIT.TXT"), TextMember::Unit);
    QCOMPARE(f.dir.read("UNIT.TXT"), QByteArray());
}

QTEST_MAIN(TestExchangeText)
#include "tst_exchangetext.moc"
