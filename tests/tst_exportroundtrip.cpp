// Records out through the export and back in through the import: each
// member carries its own table's rows, value by value, and a folder of
// varied records comes back whole into an empty folder.
#include "AppFixture.h"
#include "ExchangeText.h"
#include "ExportPackage.h"
#include "MemberCheck.h"
#include "Packages.h"
#include "RecordAssembly.h"
#include "Records.h"
#include "TableSchemas.h"
#include "Unit1.h"
#include "UnitDM.h"
#include "Unitin.h"
#include "Unitout.h"
#include "db/dataset/Table.h"
#include "text/Gbk.h"
#include "text/Utf8.h"
#include "ui/FileChoosers.h"
#include "ui/Seam.h"

#include <QBuffer>
#include <QtTest>

namespace {

const QStringList kChildren = {"cgwcdw", "cgwcr", "jdwyhmd", "zlqk"};

// Every row of a table as the text of each column, in file order.
QList<QStringList> tableRows(const QString &table)
{
    db::Table t;
    t.setDatabaseName(DataDir);
    t.setTableName(table);
    t.open();
    QList<QStringList> rows;
    for (int r = 0; r < t.rowCount(); ++r) {
        QStringList row;
        for (int c = 0; c < t.fieldCount(); ++c)
            row << t.rowText(r, c);
        rows << row;
    }
    return rows;
}

// The values of every record of a member, decoded.
QList<QStringList> memberRows(QByteArray member)
{
    QBuffer device(&member);
    device.open(QIODevice::ReadOnly);
    RecordAssembler records(device);
    QList<QStringList> rows;
    for (QByteArray record; records.next(record);) {
        QStringList row;
        for (const QByteArray &v : SplitRecord(record))
            row << gbk::decode(v);
        rows << row;
    }
    return rows;
}

// A value for every column of a row, by its type and width: texts with
// characters only GBK holds, quotes, TABs and line breaks; numbers at the
// ends of their range; dates. The columns written unquoted (a child's last,
// kjcg's last two) hold no quote or TAB: those cannot travel there.
void fillRow(db::Table &t, int seed, int from)
{
    static const QStringList texts = {u("堃镕碁"), u("\"引号开头"), u("中\t间"), u("甲乙"), u("€")};
    const int unquoted = t.fieldCount() == 102 ? 100 : t.fieldCount() - 1;
    for (int c = from; c < t.fieldCount(); ++c) {
        db::Field *f = t.field(c);
        const int pick = seed + c;
        switch (f->dataType()) {
        case 'C':
            if (f->fieldName().toUpper() == "ITEM_188") { // a flag: "1" or "0"
                f->setAsString(QString::number(pick % 2));
                break;
            }
            f->setAsString(gbk::decode(gbk::cutBytes(
                gbk::encode(texts[pick % (c >= unquoted ? 1 : texts.size())] + QString::number(seed)), f->size())));
            break;
        case 'N':
            if (f->size() >= 20)
                f->setAsString(QStringList{"999999999999999", "-0.000001", "123456789.123456", "0"}[pick % 4]);
            else
                f->setAsInteger(pick % 2 ? 999999 : -99999);
            break;
        case 'D':
            f->setAsString(QString("20%1-0%2-1%3").arg(10 + pick % 15).arg(1 + pick % 9).arg(pick % 9));
            break;
        case 'M':
            f->setAsString(u("第一行 %1\r\n第二行\t堃\r\n").arg(seed).repeated(1 + pick % 30));
            break;
        }
    }
}

void addRecordWithRows(const QString &key, const QString &category, const QString &title, int rows)
{
    addRecord(key, category, title);
    db::Table *t = DM->Tblkjcg;
    t->last();
    t->edit();
    const QStringList kept = {"ITEM_4", "ITEM_DQDM", "ITEM_CGLB", "ITEM_3", "ITEM_SJDC", "NO"};
    fillRow(*t, key.right(2).toInt(), 0);
    for (const QString &k : kept)
        t->fieldByName(k)->setAsString(k == "ITEM_4"      ? key
                                       : k == "ITEM_DQDM" ? "."
                                       : k == "ITEM_CGLB" ? category
                                       : k == "ITEM_3"    ? title
                                                          : QString());
    t->post();
    for (const QString &child : kChildren)
        addRecordRows(key, child, rows, [&](db::Table &row, int i) { fillRow(row, i + rows, 2); });
}

QMap<QString, QByteArray> exportThroughWindow(AppFixture &app, const QString &folder)
{
    QDir().mkpath(folder);
    app.modals().then([&](QDialog *) {
        Formout->SelectFolder(folder);
        Formout->RadioButton5->click();
        Formout->Button2->click();
    });
    MainForm->BitBtn2->setEnabled(true);
    MainForm->BitBtn2->click();
    QMap<QString, QByteArray> members;
    if (!QFile::exists(QDir(folder).filePath(PackageName())))
        return members;
    for (const QString &m : PackageMembers())
        members[m] = arjMember(QDir(folder).filePath(PackageName()), m);
    return members;
}

} // namespace

class TestExportRoundTrip : public QObject
{
    Q_OBJECT

private slots:
    void eachMemberCarriesItsOwnRows();
    void variedRecordsComeBackWhole();
    void memberThatDiffersStopsTheExport();
};

void TestExportRoundTrip::eachMemberCarriesItsOwnRows()
{
    // One record with one row in each child table, exported, then again
    // after the program has started anew on the same folder.
    TempDir data;
    for (int start = 0; start < 2; ++start) {
        AppFixture app(data.path());
        if (start == 0)
            showWithRecords({}), addRecordWithRows("2007000001", "1", u("钱堃的成果"), 1);
        else
            MainForm->show();
        const QMap<QString, QByteArray> members = exportThroughWindow(app, data.file(QString("out%1").arg(start)));
        QVERIFY2(app.boxes().last().text.startsWith(u("你已打包成功!")), qPrintable(app.boxes().last().text));
        for (const QString &child : kChildren) {
            const QList<QStringList> rows = tableRows(child);
            QCOMPARE(rows.size(), 1);
            QCOMPARE(memberRows(members[child.toUpper() + ".TXT"]), rows);
        }
    }
}

void TestExportRoundTrip::variedRecordsComeBackWhole()
{
    QMap<QString, QList<QStringList>> before;
    QString package;
    TempDir out;
    {
        AppFixture app;
        showWithRecords({});
        addRecordWithRows("2007000001", "1", u("单行的成果"), 1);
        addRecordWithRows("2007000009", "2", u("多行的成果"), 40);
        addRecordWithRows("2006000003", "3", u("无子表的成果"), 0);
        addRecordWithRows("2006000004", "1", u("两行的成果"), 2);
        exportThroughWindow(app, out.path());
        QVERIFY2(app.boxes().last().text.startsWith(u("你已打包成功!")), qPrintable(app.boxes().last().text));
        package = out.file(PackageName());
        for (const QString &table : QStringList{"kjcg"} + kChildren)
            before[table] = tableRows(table);
    }
    AppFixture app;
    showWithRecords({});
    app.modals().then([&](QDialog *) {
        ui::HandlerOverride<ui::FileChooser> chooser(ui::setFileChooser,
                                                     [&](const ui::FileRequest &) { return package; });
        Formin->Button1Click();
        Formin->Button3Click();
        Formin->Button6Click();
        QCOMPARE(app.boxes().texts().last(), u("入库完毕!"));
    });
    MainForm->BitBtn1->click();

    // Into an empty folder the first record of a year keeps its key, the
    // next takes the year's largest plus one; the export sends ITEM_SJDC as
    // "0", and the store keeps the staging number in NO.
    QList<QStringList> kjcg = tableRows("kjcg");
    for (QStringList &row : kjcg)
        row[99] = QString();
    QCOMPARE(kjcg.size(), before["kjcg"].size());
    const auto &columns = tableSchema("kjcg")->columns;
    const int sjdc = int(std::find_if(columns.begin(), columns.end(),
                                      [](const db::ColumnDef &c) { return c.name.toUpper() == "ITEM_SJDC"; })
                         - columns.begin());
    const int title = 20, key = 22; // ITEM_3, which the import keeps, and ITEM_4
    for (QStringList row : before["kjcg"]) {
        row[sjdc] = "0";
        row[99] = QString();
        const auto stored = std::find_if(kjcg.begin(), kjcg.end(), [&](const QStringList &r) { return r[title] == row[title]; });
        QVERIFY2(stored != kjcg.end(), qPrintable(row[title]));
        row[key] = row[key] == "2007000009" ? "2007000002" : row[key];
        QCOMPARE(*stored, row);
    }
    for (const QString &child : kChildren) {
        QList<QStringList> expected = before[child];
        for (QStringList &row : expected)
            row[0] = row[0] == "2007000009" ? "2007000002" : row[0];
        QCOMPARE(tableRows(child), expected);
    }
}

void TestExportRoundTrip::memberThatDiffersStopsTheExport()
{
    TempDir dir;
    auto write = [&](const QByteArray &text) {
        QFile f(dir.file("CGWCR.TXT"));
        f.open(QIODevice::WriteOnly);
        f.write(text);
        return dir.file("CGWCR.TXT");
    };
    const MemberRecords two{2, 3, {"2007000001\t.", "2007000002\t."}, 0, 1};
    auto refusal = [&](const QByteArray &text) {
        try {
            CheckMember(write(text), two);
        } catch (const ExchangeError &e) {
            return e.message();
        }
        return QString();
    };
    QCOMPARE(refusal("2007000001\t.\ta\r\n\r\n2007000002\t.\t\"b\r\nc\"\r\n"), QString());
    // A row dropped, one of another record, a value that splits the record.
    QVERIFY(refusal("2007000001\t.\ta\r\n").contains(u("应有 2 条记录，读回 1 条")));
    QVERIFY(refusal("2007000001\t.\ta\r\n2007000009\t.\tb\r\n").contains("2007000009"));
    QVERIFY(refusal("2007000001\t.\ta\r\n2007000002\t.\tb\tc\r\n").contains(u("读回 4 个值")));

    // Through the export: a value the reader would cut differently stops
    // it before anything is packed.
    AppFixture app;
    showWithRecords({{"2007000001", "1", u("成果")}});
    setRecordField("2007000001", tableSchema("kjcg")->columns[100].name, u("\"断开"));
    exportThroughWindow(app, dir.file("out"));
    QVERIFY2(app.boxes().last().text.contains(u("没有打包")), qPrintable(app.boxes().last().text));
    QVERIFY(!QFile::exists(QDir(dir.file("out")).filePath(PackageName())));
    QCOMPARE(storedField("kjcg", "ITEM_SJDC", "2007000001"), QString("0"));
}

QTEST_MAIN(TestExportRoundTrip)
#include "tst_exportroundtrip.moc"
