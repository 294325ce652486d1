#include "AppFixture.h"
#include "Packages.h"
#include "Records.h"
#include "Unit1.h"
#include "UnitDM.h"
#include "Unitin.h"
#include "db/file/DbfFile.h"
#include "db/dataset/Table.h"
#include "text/Gbk.h"
#include "text/Utf8.h"
#include "ui/FileChoosers.h"
#include "ui/MessageBox.h"
#include "ui/Seam.h"

#include <QtEndian>
#include <QtTest>

namespace {

// A package's members, built up row by row; every member present and empty
// at first.
class Package
{
public:
    Package()
    {
        for (const char *m : {"KJCG", "CGWCDW", "CGWCR", "JDWYHMD", "ZLQK", "UNIT", "EXPERT"})
            m_members.insert(QString(m) + ".TXT", {});
    }
    Package &record(const QString &key, const QString &category, const QString &title, const QString &region = ".")
    {
        return add("KJCG.TXT", "kjcg",
                   {{"ITEM_4", key}, {"ITEM_DQDM", region}, {"ITEM_CGLB", category}, {"ITEM_3", title},
                    {"ITEM_9", u("外单位")}, {"ITEM_121", "2005-03-01"}});
    }
    Package &person(const QString &key, const QString &name, const QString &unit = {}, const QString &region = ".")
    {
        return add("CGWCR.TXT", "cgwcr",
                   {{"ITEM_4", key}, {"ITEM_DQDM", region}, {"ITEM_187", "1"}, {"ITEM_180", name}, {"ITEM_185", unit}});
    }
    Package &children(const QString &key)
    {
        add("CGWCDW.TXT", "cgwcdw", {{"ITEM_4", key}, {"ITEM_DQDM", "."}, {"ITEM_176", "1"}, {"ITEM_170", u("合作单位")}});
        add("JDWYHMD.TXT", "jdwyhmd", {{"ITEM_4", key}, {"ITEM_DQDM", "."}, {"ITEM_190", "1"}, {"ITEM_192", u("委员")}});
        return add("ZLQK.TXT", "zlqk", {{"ITEM_4", key}, {"ITEM_DQDM", "."}, {"ITEM_NO", "1"}, {"PATENT_NAM", u("专利")}});
    }
    Package &member(const QString &name, const QByteArray &text)
    {
        m_members.insert(name, text);
        return *this;
    }
    Package &without(const QString &name)
    {
        m_members.remove(name);
        return *this;
    }
    // Packed into a folder of its own inside the test's data folder; the
    // package's path.
    QString pack(const QString &name = "CGSBQY.ARJ") const
    {
        static int packed = 0;
        const QString folder = QDir(DataDir).filePath(QString("packages/%1").arg(++packed));
        QDir().mkpath(folder);
        packWithArj(folder, name, m_members);
        return QDir(folder).filePath(name);
    }

private:
    Package &add(const QString &file, const QString &table, const QMap<QString, QString> &values)
    {
        m_members[file] += memberLine(table, values);
        return *this;
    }
    QMap<QString, QByteArray> m_members;
};

// Chooses the package in the import window, which unpacks it, and loads it.
void load(const QString &package)
{
    ui::HandlerOverride<ui::FileChooser> chooser(ui::setFileChooser, [&](const ui::FileRequest &) { return package; });
    Formin->Button1Click();
    Formin->Button3Click();
}

QStringList records() { return storedRows("kjcg", {"ITEM_4", "ITEM_DQDM", "ITEM_3"}); }
QStringList persons(const QString &key = {}) { return storedRows("cgwcr", {"ITEM_4", "ITEM_DQDM", "ITEM_180"}, key); }

void addLocalPerson(const QString &name, const QString &unit)
{
    db::Table t;
    t.setDatabaseName(DataDir);
    t.setTableName("cgwcrNew");
    t.open();
    t.append();
    t.fieldByName("ITEM_180")->setAsString(name);
    t.fieldByName("ITEM_185")->setAsString(unit);
    t.post();
}

void addStoredPerson(const QString &key, const QString &name, const QString &region = ".")
{
    db::Table t;
    t.setDatabaseName(DataDir);
    t.setTableName("cgwcr");
    t.open();
    t.append();
    t.fieldByName("ITEM_4")->setAsString(key);
    t.fieldByName("ITEM_DQDM")->setAsString(region);
    t.fieldByName("ITEM_180")->setAsString(name);
    t.post();
}

QByteArray fileBytes(const QString &table)
{
    QFile f(db::DbfFile::findFile(DataDir, table));
    f.open(QIODevice::ReadOnly);
    return f.readAll();
}

// True when a staging table is down to its header and its memo file (if
// any) to its first block: emptied whole, not row by row.
bool emptiedToHeader(const QString &staging)
{
    const QByteArray table = fileBytes(staging + ".dbf");
    const QByteArray memo = fileBytes(staging + ".dbt");
    return table.size() > 12 && qFromLittleEndian<quint32>(table.constData() + 4) == 0
           && table.size() == qFromLittleEndian<quint16>(table.constData() + 8) + 1
           && (memo.isEmpty() || memo.size() == 512);
}

QList<bool> buttonStates()
{
    return {Formin->Button1->isEnabled(), Formin->Button3->isEnabled(), Formin->Button4->isEnabled(),
            Formin->Button6->isEnabled(),  Formin->Button8->isEnabled(), Formin->Button7->isEnabled(),
            Formin->Button5->isEnabled()};
}

} // namespace

class TestImport : public QObject
{
    Q_OBJECT

private slots:
    void cleanPackageThroughTheMainWindow();
    void titlesThatExist();
    void twoPackagesInOneVisit();
    void refusedPackagesChangeNothing();
    void failedStoreTakesTheRecordBack();
    void keysOfTheYear();
    void amountsAsLongAsTheirColumns();
    void longMemberShowsProgressAndCancels();
};

// Two categories with every kind of child row: staged, counted, deduplicated
// and stored under new keys; the local person list grows; leaving refreshes
// the main window's years.
void TestImport::cleanPackageThroughTheMainWindow()
{
    AppFixture app;
    showWithRecords({{"2005000041", "1", u("旧成果")}});
    completeRecord("2005000041");
    MainForm->ComboBox1Change();
    addLocalPerson(u("李四"), u("旧单位"));
    addLocalPerson(u("王五"), u("甲")), addLocalPerson(u("王五"), u("乙"));
    Package p;
    p.record("2005000007", "1", u("新型材料")).children("2005000007");
    p.person("2005000007", u("张三")).person("2005000007", u("李四"), u("新单位")).person("2005000007", u("王五"));
    p.record("2003000005", "3", u("基础研究")).person("2003000005", u("赵六"));
    p.person("2005000099", u("无主")); // its record is not in the package
    const QString package = p.pack("cgsbqy.arj");

    app.boxes().clear();
    app.modals().then([&](QDialog *) {
        QCOMPARE(buttonStates(), QList<bool>({true, false, false, false, false, false, true}));
        load(package);
        QCOMPARE(app.boxes().texts(), QStringList{u("导入完毕！")});
        QCOMPARE(Formin->Label6->text(), u("记录条数:2条；"));
        QCOMPARE(Formin->Label2->text(), u("其中：应用技术1条，基础理论1条，软科学0条。"));
        QCOMPARE(storedRows("KJCGtemp", {"NO", "ITEM_3"}), QStringList({u("1|新型材料"), u("2|基础研究")}));
        QCOMPARE(buttonStates(), QList<bool>({false, false, true, false, true, true, true}));
        Formin->Button4Click();
        QCOMPARE(app.boxes().texts().last(), u("排重已经完成！"));
        QVERIFY(Formin->Button6->isEnabled());
        Formin->Button6Click();
        QCOMPARE(app.boxes().texts().last(), u("入库完毕!"));
        QCOMPARE(buttonStates(), QList<bool>({true, false, false, false, false, false, true}));
        QCOMPARE(Formin->Label6->text(), u("导入完毕。"));
        QTest::keyClick(Formin, Qt::Key_Escape);
        QVERIFY(!Formin->isVisible());
    });
    MainForm->BitBtn1->click();
    QCOMPARE(app.modals().shown().last(), QString("TFormin"));

    // The year's largest key plus one; a year without records keeps the key.
    QCOMPARE(records(), QStringList({u("2005000041|.|旧成果"), u("2005000042|.|新型材料"), u("2003000005|.|基础研究")}));
    QCOMPARE(persons("2005000042"),
             QStringList({u("2005000042|.|张三"), u("2005000042|.|李四"), u("2005000042|.|王五")}));
    QCOMPARE(persons("2003000005"), QStringList({u("2003000005|.|赵六")}));
    QCOMPARE(persons("2005000099"), QStringList());
    for (const char *child : {"cgwcdw", "jdwyhmd", "zlqk"})
        QCOMPARE(storedRows(child, {"ITEM_4", "ITEM_DQDM"}), QStringList({"2005000042|."}));
    QCOMPARE(storedField("kjcg", "ITEM_121", "2005000042"), QString("2005-03-01"));
    QCOMPARE(storedRows("cgwcrNew", {"ITEM_180", "ITEM_185"}),
             QStringList({u("李四|新单位"), u("王五|甲"), u("王五|乙"), u("张三|"), u("赵六|")}));
    for (const char *staging : {"KJCGtemp", "CGWCRtemp", "CGWCDWtemp", "JDWYHMDtemp", "ZLQKtemp"}) {
        QCOMPARE(storedRows(staging, {"ITEM_4"}), QStringList());
        QVERIFY2(emptiedToHeader(staging), staging);
    }
    QCOMPARE(MainForm->cbYear->itemText(1), QString("2003"));
}

// A title already stored: the dedupe drops the staged record or has it
// renamed; 同名覆盖 replaces the stored record, whose key and region alone go.
void TestImport::titlesThatExist()
{
    AppFixture app;
    showWithRecords({{"2005000001", "1", u("同名成果")}, {"2005000002", "1", u("王'五的成果")}});
    addRecord("2005000001", "1", u("他区成果"));
    DM->Tblkjcg->last();
    DM->Tblkjcg->edit();
    DM->Tblkjcg->fieldByName("ITEM_DQDM")->setAsString("ABC");
    DM->Tblkjcg->post();
    addStoredPerson("2005000001", u("老人"));
    addStoredPerson("2005000001", u("他区的人"), "ABC");
    Formin->FormShow();

    // Yes drops the staged record with its child rows.
    load(Package().record("2004000001", "1", u("同名成果")).person("2004000001", u("甲")).record("2004000002", "2", u("新成果")).pack());
    app.boxes().clear();
    app.boxes().answer(ui::IDYES);
    Formin->Button4Click();
    QCOMPARE(app.boxes().texts(), QStringList({u("导入的项目“同名成果”有重复,是否删除？"), u("排重已经完成！")}));
    QCOMPARE(Formin->Label6->text(), u("记录条数:1条；"));
    QCOMPARE(storedRows("CGWCRtemp", {"ITEM_180"}), QStringList());
    Formin->Button6Click();
    QCOMPARE(records().last(), u("2004000002|.|新成果"));

    // No opens the rename panel; the dedupe runs again on the new title.
    Formin->FormShow();
    load(Package().record("2004000009", "1", u("王'五的成果")).pack());
    app.boxes().clear();
    app.boxes().answer(ui::IDNO);
    Formin->Button4Click();
    QCOMPARE(app.boxes().texts(), QStringList({u("导入的项目“王'五的成果”有重复,是否删除？")}));
    QVERIFY(Formin->Panel1->isVisibleTo(Formin));
    QCOMPARE(Formin->Edit2->text(), u("王'五的成果"));
    QCOMPARE(buttonStates(), QList<bool>(7, false));
    Formin->Edit2->setText(u("王'五的成果（二）"));
    Formin->Button2Click();
    QVERIFY(!Formin->Panel1->isVisibleTo(Formin));
    QVERIFY(!Formin->Button6->isEnabled());
    Formin->Button4Click();
    Formin->Button6Click();
    QCOMPARE(records().last(), u("2004000003|.|王'五的成果（二）"));

    // 同名覆盖: the stored record of the title and its rows go once the new
    // one is stored; a record of another region with the same key stays. A
    // staged record without a title is reported.
    Formin->FormShow();
    load(Package()
             .record("2006000001", "1", u("同名成果"))
             .person("2006000001", u("新人"))
             .record("2006000002", "1", u("王'五的成果"))
             .record("2006000003", "1", "")
             .pack());
    app.boxes().clear();
    Formin->Button8Click();
    QCOMPARE(app.boxes().texts(), QStringList{u("入库完毕！新增0条,覆盖2条。\n另有1条记录没有成果名称，没有入库。")});
    QCOMPARE(records(), QStringList({u("2005000001|ABC|他区成果"), u("2004000002|.|新成果"),
                                     u("2004000003|.|王'五的成果（二）"), u("2006000001|.|同名成果"),
                                     u("2006000002|.|王'五的成果")}));
    QCOMPARE(persons(), QStringList({u("2005000001|ABC|他区的人"), u("2006000001|.|新人")}));
    QCOMPARE(buttonStates(), QList<bool>({true, false, false, false, false, false, true}));
}

// A second package whose keys are already staged, as records or by child
// rows of records the first package lacked: each person stays with its own
// record.
void TestImport::twoPackagesInOneVisit()
{
    AppFixture app;
    showWithRecords({});
    Formin->FormShow();
    const auto loadBoth = [] {
        load(Package()
                 .record("2005000001", "1", u("甲成果"))
                 .person("2005000001", u("甲"))
                 .person("2005000009", u("孤儿"))
                 .pack());
        load(Package()
                 .record("2005000001", "1", u("乙成果"))
                 .person("2005000001", u("乙"))
                 .record("2005000009", "2", u("丙成果"))
                 .pack());
    };
    loadBoth();
    QCOMPARE(Formin->Label6->text(), u("记录条数:3条；"));
    // Showing the window again empties what a visit left staged.
    const QByteArray units = fileBytes("UNITtemp.dbf");
    Formin->FormShow();
    for (const char *staging : {"KJCGtemp", "CGWCRtemp", "CGWCDWtemp", "JDWYHMDtemp", "ZLQKtemp"})
        QVERIFY2(emptiedToHeader(staging), staging);
    QCOMPARE(fileBytes("UNITtemp.dbf"), units);
    loadBoth();
    QCOMPARE(Formin->Label6->text(), u("记录条数:3条；"));
    Formin->Button4Click();
    // Leaving asks, stores, and then the main window lists the new year.
    app.boxes().clear();
    Formin->Button5Click();
    QCOMPARE(app.boxes().texts(), QStringList({u("是否保存导入数据？"), u("入库完毕!")}));
    QCOMPARE(records(), QStringList({u("2005000001|.|甲成果"), u("2005000002|.|乙成果"), u("2005000003|.|丙成果")}));
    QCOMPARE(persons(), QStringList({u("2005000001|.|甲"), u("2005000002|.|乙")}));
    QCOMPARE(MainForm->cbYear->currentText(), QString("2005"));
    QCOMPARE(listed(), QStringList({u("甲成果"), u("乙成果")}));
}

// Every refused package leaves every table as it was, byte for byte, and
// says why.
void TestImport::refusedPackagesChangeNothing()
{
    AppFixture app;
    showWithRecords({{"2005000001", "1", u("旧成果")}});
    Formin->FormShow();
    const QMap<QString, QByteArray> before = tableFiles(DataDir);
    QVERIFY(before.contains("kjcg.DBF") || before.contains("kjcg.dbf"));

    const auto good = [] { return Package().record("2005000003", "1", u("新成果")).person("2005000003", u("甲")); };
    QByteArray damaged;
    {
        Package p = good();
        p.member("KJCG.TXT", memberLine("kjcg", {{"ITEM_3", u("很长的成果").repeated(30)}}).repeated(40));
        QFile f(p.pack());
        f.open(QIODevice::ReadOnly);
        damaged = f.readAll();
        damaged[damaged.size() / 2] = char(damaged[damaged.size() / 2] ^ 0x55);
    }
    TempDir folder;
    folder.write("CGSBQY.ARJ", damaged);
    folder.write("OTHER.ARJ", damaged);
    for (const char *sub : {"truncated", "zero", "text", "empty"})
        QDir(folder.path()).mkpath(sub);
    const QString whole = good().pack();
    QFile packed(whole);
    packed.open(QIODevice::ReadOnly);
    const QByteArray goodBytes = packed.readAll();
    folder.write("truncated/CGSBQY.ARJ", goodBytes.left(goodBytes.size() * 2 / 3));
    folder.write("zero/CGSBQY.ARJ", {});
    folder.write("text/CGSBQY.ARJ", memberLine("kjcg", {{"ITEM_4", "2005000003"}}));
    // An archive without members: its main header and the end mark.
    const int headerSize = uchar(goodBytes[2]) | uchar(goodBytes[3]) << 8;
    folder.write("empty/CGSBQY.ARJ", goodBytes.left(4 + headerSize + 6) + QByteArray("\x60\xEA\0\0", 4));
    const QByteArray person = memberLine("cgwcr", {{"ITEM_4", "2005000003"}, {"ITEM_DQDM", "."}, {"ITEM_180", u("甲")}});

    struct Case
    {
        QString what;
        QString package;
        QString message; // part of the message shown
    };
    const QByteArray badNumber = memberLine("cgwcr", {{"ITEM_4", "2005000003"}, {"ITEM_DQDM", "."}, {"ITEM_187", "1"}})
                                 + memberLine("cgwcr", {{"ITEM_4", "2005000003"}, {"ITEM_187", "abc"}});
    const QList<Case> cases{
        {"damaged", folder.file("CGSBQY.ARJ"), u("压缩文件 CGSBQY.ARJ 已损坏（不完整或数据出错），无法解开。")},
        {"truncated", folder.file("truncated/CGSBQY.ARJ"), u("压缩文件 CGSBQY.ARJ 已损坏")},
        {"zero bytes", folder.file("zero/CGSBQY.ARJ"), u("文件 CGSBQY.ARJ 是空的（0 字节），不是 ARJ 压缩文件。")},
        {"no archive", folder.file("text/CGSBQY.ARJ"), u("文件 CGSBQY.ARJ 不是 ARJ 压缩文件。")},
        {"no members", folder.file("empty/CGSBQY.ARJ"), u("导入包中没有科技成果主表 KJCG.TXT，不能导入。")},
        {"control character", good().member("CGWCR.TXT", person + QByteArray(person).replace(gbk::encode(u("甲")), "\x1A")).pack(),
         u("文件 CGWCR.TXT 第 2 行第 15 列含有控制字符 0x1A")},
        {"not GBK", good().member("CGWCR.TXT", person + "2005000003\t.\t1\t\x80\xFF\xFE\r\n").pack(),
         u("文件 CGWCR.TXT 第 2 行第 17 列的字节 0xFF 不是 GBK 文字")},
        {"not GBK after a long text", good().member("CGWCR.TXT", person + "2005000003\t.\t1\t" + QByteArray(43, 'a') + "\xFF\r\n").pack(),
         u("文件 CGWCR.TXT 第 2 行第 59 列的字节 0xFF 不是 GBK 文字")},
        // Read in one pass with the rows: the rows of the pieces before it go back.
        {"not GBK past the first piece", good().member("CGWCR.TXT", person.repeated(3000) + "2005000003\t.\t1\t\x80\xFF\xFE\r\n").pack(),
         u("文件 CGWCR.TXT 第 3001 行第 17 列的字节 0xFF 不是 GBK 文字")},
        {"cut GBK", good().member("CGWCR.TXT", person + "2005000003\t.\t1\t\xB1\t\r\n").pack(),
         u("文件 CGWCR.TXT 第 2 行第 16 列的字节 0xB1 0x09 不是 GBK 文字")},
        {"GBK cut at the end", good().member("CGWCR.TXT", person + "2005000003\t.\t1\t\xB1").pack(),
         u("文件 CGWCR.TXT 第 2 行第 16 列的字节 0xB1 不是 GBK 文字")},
        {"other name", folder.file("OTHER.ARJ"), u("请选择正确导入包,名字是CGSBQY.ARJ!")},
        {"no KJCG.TXT", good().without("KJCG.TXT").pack(), "KJCG.TXT"},
        {"member with a path", good().without("KJCG.TXT").member("sub/KJCG.TXT", "x\r\n").pack(), "sub/KJCG.TXT"},
        {"two members missing", good().without("ZLQK.TXT").without("UNIT.TXT").pack(), u("文件的格式不正确")},
        {"bad number", good().member("CGWCR.TXT", badNumber).pack(), u("CGWCR.TXT 第 2 行")},
        {"garbage records", good().member("KJCG.TXT", memberLine("kjcg", {{"ITEM_4", "2005000004"}, {"ITEM_3", "a"}}) + "%PDF-1.4 \x93\xfe\r\n\tstream\r\n").pack(),
         u("KJCG.TXT 第 2 条记录的成果编号")},
        {"NUL bytes", good().member("ZLQK.TXT", QByteArray("1\t.\r\n\0\0\x01", 7)).pack(), u("ZLQK.TXT 第 2 行含有空字符")},
        {"two values too many", good().member("KJCG.TXT", memberLine("kjcg", {{"ITEM_4", "2005000003"}, {"ITEM_3", "a"}})
                                                             + memberLine("kjcg", {{"ITEM_4", "2005000004"}, {"ITEM_3", "b"}}).replace("\r\n", "\tx\ty\r\n")).pack(),
         u("文件 KJCG.TXT 第 2 行时出错：这一行有 104 个值，表有 102 列")},
        {"a record twice", good().record("2005000003", "2", u("又一个")).pack(), u("第 2 条记录的成果编号 2005000003")},
        {"a member twice", good().member("kjcg.txt", memberLine("kjcg", {{"ITEM_4", "2005000004"}})).pack(), u("两个")},
    };
    for (const Case &c : cases) {
        app.boxes().clear();
        // Through the buttons, as the user would: errors reach the boxes.
        ui::HandlerOverride<ui::FileChooser> chooser(ui::setFileChooser, [&](const ui::FileRequest &) { return c.package; });
        Formin->Button1->setEnabled(true);
        Formin->Button1->click();
        if (Formin->Button3->isEnabled())
            Formin->Button3->click();
        QVERIFY2(app.boxes().texts().join('\n').contains(c.message),
                 qPrintable(c.what + ": " + app.boxes().texts().join('\n')));
        // arj's transcript waits in the details, never in the text.
        QVERIFY2(!app.boxes().texts().join('\n').contains("ARJ32"), qPrintable(c.what));
        QVERIFY2(tableFiles(DataDir) == before, qPrintable(c.what));
        QVERIFY2(DM->T_temp_in->isEmpty(), qPrintable(c.what));
    }

    // 导入 loads only the package the window names: a refused choice drops
    // the one unpacked before.
    const QString other = good().pack();
    for (const QString &second : {folder.file("OTHER.ARJ"), QString()}) {
        ui::HandlerOverride<ui::FileChooser> chooser(ui::setFileChooser, [&](const ui::FileRequest &) { return other; });
        Formin->Button1Click();
        QVERIFY(Formin->Button3->isEnabled());
        ui::HandlerOverride<ui::FileChooser> again(ui::setFileChooser, [&](const ui::FileRequest &) { return second; });
        Formin->Button1Click();
        QVERIFY(!Formin->Button3->isEnabled());
        Formin->Button3Click();
        QVERIFY(DM->T_temp_in->isEmpty());
    }

    // One member missing is no reason to refuse.
    app.boxes().clear();
    load(good().without("ZLQK.TXT").pack());
    QCOMPARE(app.boxes().texts(), QStringList{u("导入完毕！")});
    QCOMPARE(storedRows("CGWCRtemp", {"ITEM_180"}), QStringList{u("甲")});
    // Left before the dedupe: nothing is asked or stored, the rows stay staged.
    Formin->Button5Click();
    QCOMPARE(app.boxes().count(), 1);
    QCOMPARE(records(), QStringList{u("2005000001|.|旧成果")});
    QCOMPARE(storedRows("CGWCRtemp", {"ITEM_180"}), QStringList{u("甲")});
}

// A store that fails half-way through a record takes back what it wrote
// for it; the record stays staged, the old record of its title stays whole,
// and the records stored before stay stored, once.
void TestImport::failedStoreTakesTheRecordBack()
{
    AppFixture app;
    showWithRecords({{"2005000001", "1", u("同名成果")}});
    addStoredPerson("2005000001", u("老人"));
    Formin->FormShow();
    load(Package()
             .record("2007000001", "1", u("先存的"))
             .record("2007000002", "1", u("同名成果"))
             .person("2007000002", u("新人"))
             .pack());
    // The local person list disappears: storing the new person fails.
    DM->TblwcrNew->close();
    const QString local = db::DbfFile::findFile(DataDir, "cgwcrNew.dbf");
    db::DbfFile::forget(local);
    QVERIFY(QFile::rename(local, local + ".away"));

    app.boxes().clear();
    Formin->Button8->click();
    QCOMPARE(app.boxes().count(), 1); // the error
    QCOMPARE(records(), QStringList({u("2005000001|.|同名成果"), u("2007000001|.|先存的")}));
    QCOMPARE(persons(), QStringList({u("2005000001|.|老人")}));
    QCOMPARE(storedRows("KJCGtemp", {"ITEM_3"}), QStringList{u("同名成果")});
    QCOMPARE(storedRows("CGWCRtemp", {"ITEM_180"}), QStringList{u("新人")});
    QVERIFY(Formin->Button8->isEnabled());
    QVERIFY(!Formin->Panelstat->isVisibleTo(Formin));

    QVERIFY(QFile::rename(local + ".away", local));
    app.boxes().clear();
    Formin->Button8->click();
    QCOMPARE(app.boxes().texts(), QStringList{u("入库完毕！新增0条,覆盖1条。")});
    QCOMPARE(records(), QStringList({u("2007000001|.|先存的"), u("2007000002|.|同名成果")}));
    QCOMPARE(persons(), QStringList({u("2007000002|.|新人")}));
}

// New keys follow the year's largest, counting the key that a replaced
// record frees and the keys that child rows without a record still hold.
void TestImport::keysOfTheYear()
{
    AppFixture app;
    showWithRecords({{"2005000001", "1", u("甲")}, {"2005000002", "1", u("乙")}});
    addStoredPerson("2005000002", u("老人"));
    addStoredPerson("2006000004", u("无主的人")); // its record is gone
    Formin->FormShow();
    load(Package()
             .record("2005000009", "1", u("乙"))
             .person("2005000009", u("新人"))
             .record("2005000010", "1", u("丙"))
             .record("2006000001", "1", u("丁"))
             .pack());
    Formin->Button8Click();
    QCOMPARE(records(), QStringList({u("2005000001|.|甲"), u("2005000002|.|乙"), u("2005000003|.|丙"),
                                     u("2006000005|.|丁")}));
    QCOMPARE(persons(), QStringList({u("2006000004|.|无主的人"), u("2005000002|.|新人")}));

    // Replacing a record below the year's largest takes the next key.
    Formin->FormShow();
    load(Package().record("2005000001", "1", u("甲")).pack());
    Formin->Button8Click();
    QCOMPARE(records().last(), u("2005000004|.|甲"));
}

// A 15-digit amount fills its column and is stored; only an integer part
// longer than the column holds refuses the package, saying what it holds.
void TestImport::amountsAsLongAsTheirColumns()
{
    AppFixture app;
    showWithRecords({});
    Formin->FormShow();
    const auto package = [](const QString &amount) {
        return Package()
            .member("KJCG.TXT", memberLine("kjcg", {{"ITEM_4", "2005000007"}, {"ITEM_DQDM", "."}, {"ITEM_CGLB", "1"},
                                                    {"ITEM_3", u("新型材料")}, {"ITEM_121", "2005-03-01"},
                                                    {"ITEM_150", amount}, {"ITEM_145", "0.000001"}}))
            .pack();
    };
    load(package("1234567890123456"));
    const QString refusal = app.boxes().texts().join('\n');
    QVERIFY2(refusal.contains("1234567890123456") && refusal.contains("ITEM_150") && refusal.contains("999999999999999"),
             qPrintable(refusal));
    QVERIFY(DM->T_temp_in->isEmpty());

    app.boxes().clear();
    load(package("123456789012345.6"));
    QCOMPARE(app.boxes().texts(), QStringList{u("导入完毕！")});
    Formin->Button4Click();
    Formin->Button6Click();
    QCOMPARE(storedRows("kjcg", {"ITEM_3", "ITEM_150", "ITEM_145"}), QStringList{u("新型材料|123456789012346|0.000001")});
}

// A member of one record and megabytes of blank lines stages that record;
// while a member is read only 取消 answers, and it leaves the staging
// tables as they were.
void TestImport::longMemberShowsProgressAndCancels()
{
    AppFixture app;
    showWithRecords({});
    Formin->FormShow();
    Package p;
    p.record("2005000001", "1", u("甲成果"));
    p.member("KJCG.TXT", memberLine("kjcg", {{"ITEM_4", "2005000001"}, {"ITEM_DQDM", "."}, {"ITEM_3", u("甲成果")}})
                             + QByteArray("\r\n").repeated(3 << 20) + QByteArray(" \t\r\n").repeated(1 << 20));
    p.person("2005000001", u("甲"));
    const QString package = p.pack();
    load(package);
    QCOMPARE(app.boxes().texts().last(), u("导入完毕！"));
    QCOMPARE(storedRows("KJCGtemp", {"ITEM_3"}), QStringList{u("甲成果")});
    QCOMPARE(Formin->Animate1->value(), Formin->Animate1->maximum());
    const QMap<QString, QByteArray> staged = tableFiles(DataDir);

    ui::HandlerOverride<ui::FileChooser> chooser(ui::setFileChooser, [&](const ui::FileRequest &) { return package; });
    Formin->Button1->setEnabled(true);
    Formin->Button1Click();
    QList<bool> duringLoad;
    QTimer::singleShot(0, [&] {
        duringLoad = buttonStates() << Formin->CancelLoad->isEnabled() << Formin->Panel4->isVisibleTo(Formin);
        // With CORVANE_SHOTS naming a folder, the window is saved there to be looked at.
        if (const QString shots = qEnvironmentVariable("CORVANE_SHOTS"); !shots.isEmpty())
            QDir().mkpath(shots), Formin->grab().save(QDir(shots).filePath("TFormin-loading.png"));
        Formin->CancelLoad->click();
    });
    app.boxes().clear();
    Formin->Button3Click();
    QCOMPARE(duringLoad, QList<bool>({false, false, false, false, false, false, false, true, true}));
    QCOMPARE(app.boxes().texts(), QStringList{u("导入已取消，暂存的数据没有改变。")});
    QVERIFY(tableFiles(DataDir) == staged);
    QCOMPARE(storedRows("CGWCRtemp", {"ITEM_180"}), QStringList{u("甲")});
    QVERIFY(!Formin->Panel4->isVisibleTo(Formin));
    QVERIFY(Formin->Button5->isEnabled() && !Formin->Button3->isEnabled());
}

QTEST_MAIN(TestImport)
#include "tst_import.moc"
