#include "AppFixture.h"
#include "AppInfo.h"
#include "Finto5Unit.h"
#include "Records.h"
#include "Unit1.h"
#include "UnitDM.h"
#include "Unitpage5.h"
#include "db/file/DbfFile.h"
#include "text/Utf8.h"
#include "ui/MessageBox.h"

#include <QClipboard>
#include <QtTest>

namespace {

const QString kKey = "2005000001";
const QString kQuestion = u("记录已更改，是否保存后退出？");

void addUnit(const QString &key, const QString &region, int sequence, const QString &name)
{
    db::Table t;
    t.setDatabaseName(DataDir);
    t.setTableName("cgwcdw");
    t.open();
    t.append();
    for (const auto &[field, value] : {std::pair{"ITEM_4", key}, {"ITEM_DQDM", region},
                                       {"ITEM_176", QString::number(sequence)}, {"ITEM_170", name}, {"ITEM_174", u("保留")}})
        t.fieldByName(field)->setAsString(value);
    t.post();
}

// The stored rows as "key|region|seq|name|address|postcode|contact|174" in
// file order: those of the record (ours) or all the others.
QStringList storedUnits(bool ours)
{
    QStringList rows = storedRows("cgwcdw", {"ITEM_4", "ITEM_DQDM", "ITEM_176", "ITEM_170", "ITEM_171", "ITEM_172",
                                             "ITEM_173", "ITEM_174"});
    rows.removeIf([ours](const QString &r) { return r.startsWith(kKey + "|.|") != ours; });
    return rows;
}

QStringList allUnits() { return storedUnits(true) + storedUnits(false); }

// "seq name" of every row the list shows, in list order.
QStringList listed5()
{
    QStringList out;
    db::Query *q = DM->QryCgwcdw;
    for (int r = 0; r < q->rowCount(); ++r)
        out << q->rowValue(r, q->fieldByName("item_176")->index()).toString() + " "
                   + q->rowValue(r, q->fieldByName("item_170")->index()).toString();
    return out;
}

QString current5() { return DM->QryCgwcdw->fieldByName("item_170")->asString(); }

// Runs work in the window that clicking button shows.
void inWindow(AppFixture &app, QAbstractButton *button, std::function<void()> work)
{
    app.modals().then([work](QDialog *) { work(); });
    button->click();
}

void type(const QString &name, const QString &address = {}, const QString &postcode = {}, const QString &contact = {})
{
    Finto5->edtdw_170->setText(name);
    Finto5->edtdw_171->setText(address);
    Finto5->edtdw_172->setText(postcode);
    Finto5->edtdw_173->setText(contact);
}

void addThroughDialog(AppFixture &app, const QString &name)
{
    inWindow(app, Fpage5->Button2, [name] {
        type(name);
        Finto5->Button1->click();
    });
}

// Stores the row named current with another 序号.
void moveThroughDialog(AppFixture &app, const QString &current, const QString &sequence)
{
    QVERIFY(DM->QryCgwcdw->locate("item_170", current));
    inWindow(app, Fpage5->btnSave01, [sequence] {
        Finto5->edt_176->setText(sequence);
        Finto5->Button1->click();
    });
}

// Gives cgwcdw a 序号 column two digits wide, as an older table might have it.
void narrowSequenceColumn()
{
    DM->QryCgwcdw->close();
    DM->TblCgwcdw->close();
    const QString path = db::DbfFile::findFile(DataDir, "cgwcdw.dbf");
    db::DbfFile::forget(path);
    QVERIFY(QFile::remove(path));
    QVector<db::ColumnDef> columns{{"ITEM_4", 'C', 10, 0}, {"ITEM_DQDM", 'C', 3, 0}, {"ITEM_176", 'N', 2, 0}};
    for (const char *name : {"ITEM_170", "ITEM_171", "ITEM_172", "ITEM_173", "ITEM_174", "ITEM_175"})
        columns.append({name, 'C', 80, 0});
    db::DbfFile::create(DataDir, "cgwcdw.DBF", columns);
    DM->TblCgwcdw->open();
}

} // namespace

class TestSection05 : public QObject
{
    Q_OBJECT

private slots:
    void addModifyDeleteKeepOtherRecords();
    void sequenceChecksAndLeaving();
    void openingAndSectionMark();
    void databaseErrorsLeaveTheTable();
};

void TestSection05::addModifyDeleteKeepOtherRecords()
{
    AppFixture app;
    addUnit("2005000002", ".", 1, u("别的成果的单位"));
    addUnit(kKey, "110", 1, u("外地同号的单位"));
    addUnit(kKey, "110", 2, u("外地第二个单位"));
    showWithRecords({{kKey, "1", u("新型材料")}, {"2005000002", "1", u("其他成果")}});
    const QStringList others = storedUnits(false);

    inWindow(app, MainForm->btn_page05, [&] {
        QCOMPARE(Fpage5->size(), QSize(800, 600));
        QCOMPARE(Fpage5->windowTitle(), u("成果名称：新型材料"));
        inWindow(app, Fpage5->Button2, [] {
            QCOMPARE(Finto5->windowTitle(), u("新增－－【合作完成单位情况】"));
            QVERIFY(Finto5->edt_176->text() == "1" && Finto5->edt_176->isReadOnly());
            type(u("  北京大学  "), u(" 海淀路5号 "), "100871", u("李四"));
            Finto5->Button1->click();
            QVERIFY(!Finto5->isVisible() && Finto5->edtdw_170->text().isEmpty());
        });
        QCOMPARE(app.boxes().last().text, u("存储成功！"));
        // The name trimmed, the rest as typed.
        QCOMPARE(storedUnits(true), QStringList{u("2005000001|.|1|北京大学| 海淀路5号|100871|李四|")});
        addThroughDialog(app, u("清华大学"));
        addThroughDialog(app, u("复旦大学"));
        QCOMPARE(listed5(), QStringList({u("1 北京大学"), u("2 清华大学"), u("3 复旦大学")}));

        // 序号 moves a unit: 0 to the top, beyond the count to the end.
        moveThroughDialog(app, u("复旦大学"), "0");
        QCOMPARE(listed5(), QStringList({u("1 复旦大学"), u("2 北京大学"), u("3 清华大学")}));
        moveThroughDialog(app, u("复旦大学"), " 99 ");
        QCOMPARE(listed5(), QStringList({u("1 北京大学"), u("2 清华大学"), u("3 复旦大学")}));

        // 修改 loads the row the grid's keyboard chose.
        DM->QryCgwcdw->first();
        QTest::keyClick(Fpage5->DBGrid2, Qt::Key_Down);
        inWindow(app, Fpage5->btnSave01, [] {
            QCOMPARE(Finto5->windowTitle(), u("修改－－【合作完成单位情况】"));
            QVERIFY(Finto5->edt_176->text() == "2" && !Finto5->edt_176->isReadOnly());
            QCOMPARE(Finto5->edtdw_170->text(), u("清华大学"));
            Finto5->edtdw_173->setText(u("王五"));
            Finto5->Button1->click();
        });
        QVERIFY(storedUnits(true).contains(u("2005000001|.|2|清华大学|||王五|")));

        // Delete: No keeps the row; Yes renumbers and selects the row that took its place.
        addThroughDialog(app, u("浙江大学"));
        QVERIFY(DM->QryCgwcdw->locate("item_170", u("清华大学")));
        app.boxes().answer(ui::IDNO);
        Fpage5->Button1Click();
        const ui::MessageRequest question = app.boxes().last();
        QVERIFY(question.text == u("是否删除该项目？!") && question.caption == u("提示信息"));
        QCOMPARE(question.flags, ui::MB_YESNO | ui::MB_ICONINFORMATION);
        QCOMPARE(DM->QryCgwcdw->recordCount(), 4);
        Fpage5->Button1Click(); // the boxes answer Yes from here on
        QCOMPARE(listed5(), QStringList({u("1 北京大学"), u("2 复旦大学"), u("3 浙江大学")}));
        QCOMPARE(current5(), u("复旦大学"));
        DM->QryCgwcdw->last();
        Fpage5->Button1Click(); // the last row: the cursor goes to the new last row
        QCOMPARE(current5(), u("复旦大学"));
        Fpage5->quit01Click();
    });
    QCOMPARE(storedUnits(true), QStringList({u("2005000001|.|1|北京大学| 海淀路5号|100871|李四|"),
                                              u("2005000001|.|2|复旦大学||||")}));
    QCOMPARE(storedUnits(false), others);
    QCOMPARE(listed5(), QStringList({u("1 北京大学"), u("2 复旦大学")})); // the list stays on the record
}

void TestSection05::sequenceChecksAndLeaving()
{
    AppFixture app;
    showWithRecords({{kKey, "1", u("新型材料")}});
    addUnit(kKey, ".", 1, u("北京大学"));
    inWindow(app, MainForm->btn_page05, [&] {
        const QStringList before = allUnits();
        inWindow(app, Fpage5->btnSave01, [&] {
            type(u("北京大学"), u("新地址"));
            // An empty number: nothing stored, no message, the dialog stays.
            Finto5->edt_176->setText(" ");
            const int boxes = app.boxes().count();
            Finto5->Button1->click();
            QVERIFY(app.boxes().count() == boxes && Finto5->isVisible());
            for (const char *bad : {"abc", "2.5"}) {
                Finto5->edt_176->setText(bad);
                Finto5->Button1->click();
                QCOMPARE(app.boxes().last().text, u("输入序号必须为数字！"));
                QCOMPARE(app.boxes().last().caption, applicationTitle());
                QVERIFY(Finto5->isVisible());
            }
            // 退出, Yes, and a refused number: the dialog keeps what was typed.
            Finto5->Button2->click();
            QCOMPARE(app.boxes().requests().at(app.boxes().count() - 2).text, kQuestion);
            QCOMPARE(app.boxes().requests().at(app.boxes().count() - 2).caption, u("请注意！"));
            QVERIFY(Finto5->isVisible() && Finto5->edtdw_171->text() == u("新地址"));
            // Enter stores nothing; Escape leaves through the same question.
            QTest::keyClick(Finto5->edtdw_170, Qt::Key_Return);
            QVERIFY(Finto5->isVisible());
            app.boxes().answer(ui::IDNO);
            QTest::keyClick(Finto5->edtdw_170, Qt::Key_Escape);
            QVERIFY(app.boxes().last().text == kQuestion && !Finto5->isVisible());
        });
        QCOMPARE(allUnits(), before);

        inWindow(app, Fpage5->btnSave01, [&] {
            Finto5->edtdw_171->setText(u("新地址"));
            Finto5->Button2->click(); // Yes stores and closes
            QVERIFY(!Finto5->isVisible());
        });
        QCOMPARE(app.boxes().last().text, u("存储成功！"));
        QCOMPARE(storedUnits(true), QStringList{u("2005000001|.|1|北京大学|新地址|||保留")});

        // Blanks around the name change nothing; an empty new row, or one of
        // blanks, closes without a row.
        const int boxes = app.boxes().count();
        inWindow(app, Fpage5->btnSave01, [] {
            Finto5->edtdw_170->setText(u(" 北京大学 "));
            Finto5->Button2->click();
        });
        inWindow(app, Fpage5->Button2, [] { Finto5->Button2->click(); });
        inWindow(app, Fpage5->Button2, [] {
            QCOMPARE(Finto5->edt_176->text(), "2");
            type("  ", " ");
            Finto5->Button1->click();
        });
        QVERIFY(app.boxes().count() == boxes && !Finto5->isVisible());
        QCOMPARE(storedUnits(true).size(), 1);

        // The postcode takes typed digits only; pasted text as it is.
        inWindow(app, Fpage5->Button2, [&] {
            QTest::keyClicks(Finto5->edtdw_172, "1a0 -0.8");
            QCOMPARE(Finto5->edtdw_172->text(), "1008");
            Finto5->edtdw_172->clear();
            QGuiApplication::clipboard()->setText("ab-1");
            QTest::keyClick(Finto5->edtdw_172, Qt::Key_V, Qt::ControlModifier);
            QCOMPARE(Finto5->edtdw_172->text(), "ab-1");
            app.boxes().answer(ui::IDNO);
            Finto5->Button2->click();
        });
        Fpage5->quit01Click();
    });
}

void TestSection05::openingAndSectionMark()
{
    {
        // No record: the new-record dialog first, then nothing when it is cancelled.
        AppFixture app;
        registerUnit();
        MainForm->show();
        MainForm->btn_page05->click();
        QCOMPARE(app.modals().shown().last(), "TFormNew");
    }
    AppFixture app;
    showWithRecords({{kKey, "2", u("软科学成果")}});
    MainForm->ComboBox1->setCurrentIndex(1);
    MainForm->ComboBox1Change();
    MainForm->SetSectionState("05", false);
    inWindow(app, MainForm->btn_page05, [&] {
        // 修改 on an empty list opens a new row; help follows the category.
        inWindow(app, Fpage5->btnSave01, [] { QCOMPARE(Finto5->windowTitle(), u("新增－－【合作完成单位情况】")); });
        Fpage5->Button3Click();
        QCOMPARE(app.modals().shown().last(), "THelpForm_rj");
        Fpage5->quit01Click();
        QVERIFY(!Fpage5->isVisible());
    });
    // Left with no rows, the section is complete all the same.
    QCOMPARE(MainForm->btn_page05->kind(), ui::BitBtn::bkYes);
    QCOMPARE(MainForm->btn_page05->text(), u("合作完成单位情况"));
    // Escape leaves through 退出 and marks the section too.
    MainForm->SetSectionState("05", false);
    inWindow(app, MainForm->btn_page05, [] { QTest::keyClick(Fpage5, Qt::Key_Escape); });
    QVERIFY(!Fpage5->isVisible() && MainForm->btn_page05->kind() == ui::BitBtn::bkYes);
}

void TestSection05::databaseErrorsLeaveTheTable()
{
    AppFixture app;
    showWithRecords({{kKey, "1", u("新型材料")}});
    narrowSequenceColumn();
    for (int i = 0; i < 100; ++i)
        addUnit(kKey, ".", i, u("单位") + QString::number(i));
    addUnit("2005000002", ".", 7, u("别的单位"));
    inWindow(app, MainForm->btn_page05, [&] {
        // A number the column cannot hold: the post fails, the table is as it was.
        const QStringList before = allUnits();
        QVERIFY(DM->QryCgwcdw->locate("item_170", u("单位5")));
        inWindow(app, Fpage5->btnSave01, [&] {
            Finto5->edt_176->setText("100");
            Finto5->Button1->click();
            QVERIFY(app.boxes().last().caption == u("提示") && Finto5->isVisible());
            QCOMPARE(allUnits(), before);
            // A changed number alone counts as a change when leaving.
            app.boxes().answer(ui::IDNO);
            Finto5->Button2->click();
            QVERIFY(app.boxes().last().text == kQuestion && !Finto5->isVisible());
        });

        // The row is stored, but 100 rows cannot be numbered 1..100: the
        // numbering is undone and the error shown.
        QVERIFY(DM->QryCgwcdw->locate("item_170", u("单位5")));
        inWindow(app, Fpage5->btnSave01, [] {
            Finto5->edtdw_173->setText(u("联系人甲"));
            Finto5->Button1->click();
            QVERIFY(!Finto5->isVisible());
        });
        QCOMPARE(app.boxes().last().flags, ui::MB_OK | ui::MB_ICONSTOP);
        QVERIFY(app.boxes().last().text.contains("ITEM_176"));
        QCOMPARE(allUnits(), QStringList(before).replaceInStrings(u("|单位5|||"), u("|单位5|||联系人甲")));
        Fpage5->quit01Click();
    });
}

QTEST_MAIN(TestSection05)
#include "tst_section05.moc"
