#include "AppFixture.h"
#include "Records.h"
#include "Unit1.h"
#include "UnitDM.h"
#include "db/file/DbfFile.h"
#include "text/Utf8.h"
#include "ui/MessageBox.h"

#include <QScreen>
#include <QtTest>

namespace {

QStringList comboItems(QComboBox *c)
{
    QStringList out;
    for (int i = 0; i < c->count(); ++i)
        out << c->itemText(i);
    return out;
}

void clickRow(int row)
{
    DBGrid *grid = MainForm->DBGrid1;
    const QModelIndex index = grid->model()->index(row, 2);
    QVERIFY(index.isValid());
    QTest::mouseClick(grid->viewport(), Qt::LeftButton, {}, grid->visualRect(index).center());
}

bool complete(const char *section)
{
    return MainForm->SectionButton(section)->kind() == ui::BitBtn::bkYes;
}

// Records of three categories and two years.
const QList<QStringList> kRecords = {{"2005000001", "1", u("甲材料")}, {"2005000002", "1", u("乙工艺")},
                                     {"2005000003", "2", u("丙对策")}, {"2004000001", "1", u("丁装置")},
                                     {"abcd000001", "1", u("无年份")}};

} // namespace

class TestMainWindow : public QObject
{
    Q_OBJECT

private slots:
    void listsByCategoryAndYear();
    void marksAndLock();
    void closeQuestions();
};

void TestMainWindow::listsByCategoryAndYear()
{
    AppFixture app;
    showWithRecords(kRecords);
    QCOMPARE(comboItems(MainForm->cbYear), QStringList({"2005", "2004"})); // "abcd" is no year
    QCOMPARE(MainForm->cbYear->currentText(), QString("2005"));
    QCOMPARE(listed(), QStringList({u("甲材料"), u("乙工艺")}));
    QCOMPARE(listed("NO"), QStringList({"1", "2"}));
    QCOMPARE(ListSql, QString("select * from kjcg where item_cglb='1' and item_4 like '2005%'"));
    // The numbers are stored in the table itself.
    {
        db::Table t;
        t.setDatabaseName(app.dataDir());
        t.setTableName("kjcg");
        t.open();
        QVERIFY(t.locate("ITEM_4", "2005000002"));
        QCOMPARE(t.fieldByName("NO")->asString(), QString("2"));
    }
    QVERIFY(MainForm->btn_page02->isVisible());
    QCOMPARE(MainForm->ComboBox2->count(), DM->tblzdxx1->recordCount());
    QVERIFY(!comboItems(MainForm->Combobox3).join("").contains("**")); // old values left out at first
    QCOMPARE(MainForm->Combobox3->itemText(MainForm->Combobox3->count() - 1), QString(" "));

    // Another category: section 02 is hidden and the list renumbered.
    MainForm->ComboBox1->setCurrentIndex(1);
    MainForm->ComboBox1Change();
    QCOMPARE(listed(), QStringList({u("丙对策")}));
    QVERIFY(!MainForm->btn_page02->isVisible());

    // A year text shorter than four characters lists keys beginning with it.
    MainForm->ComboBox1->setCurrentIndex(0);
    MainForm->cbYear->setEditText("200");
    QCOMPARE(listed(), QStringList({u("甲材料"), u("乙工艺"), u("丁装置")}));
    QCOMPARE(listed("NO"), QStringList({"1", "2", "3"}));

    // An empty list: every section complete, the lock open, a click does nothing.
    MainForm->cbYear->setEditText("1999");
    QCOMPARE(DM->Qrykjcg->recordCount(), 0);
    QVERIFY(complete("01") && complete("08"));
    QVERIFY(MainForm->UpdateNavigationLock());
    MainForm->DBGrid1CellClick();
    QCOMPARE(app.boxes().count(), 0);
}

void TestMainWindow::marksAndLock()
{
    AppFixture app;
    registerUnit();
    addRecord("2005000001", "1", u("完整"));
    completeRecord("2005000001");
    addRecord("2005000002", "1", u("缺人员"));
    completeRecord("2005000002");
    setRecordField("2005000002", "ITEM_8", ""); // an empty text counts as missing
    addRecord("2005000003", "2", u("软科学"));
    completeRecord("2005000003");
    MainForm->show();
    // Shown without marks: the buttons keep their designed state.
    QVERIFY(MainForm->Button1->isEnabled());

    clickRow(0);
    QVERIFY(complete("01") && complete("02") && complete("08"));
    QVERIFY(MainForm->DBGrid1->isEnabled() && MainForm->Button1->isEnabled());
    QCOMPARE(app.boxes().count(), 0);

    // The second record lacks its period and, once removed, its persons.
    {
        db::Table persons;
        persons.setDatabaseName(app.dataDir());
        persons.setTableName("cgwcr");
        persons.setFilter("item_4='2005000002'");
        persons.setFiltered(true);
        persons.open();
        persons.emptyTable();
    }
    clickRow(1);
    QVERIFY(!complete("01") && !complete("08") && complete("03"));
    QCOMPARE(MainForm->btn_page08->text(), u("成果完成人员名单"));
    QCOMPARE(MainForm->btn_page01->text(), u("成果概况"));
    for (QWidget *w : QList<QWidget *>{MainForm->DBGrid1, MainForm->ComboBox1, MainForm->cbYear,
                                       MainForm->SpeedButton16, MainForm->SpeedButton26, MainForm->Button1,
                                       MainForm->Button5, MainForm->BitBtn1, MainForm->BitBtn2, MainForm->BitBtn4})
        QVERIFY2(!w->isEnabled(), qPrintable(w->objectName()));
    // Delete, 更新指标项, 单位情况 and 退出 are never locked.
    QVERIFY(MainForm->Button4->isEnabled() && MainForm->BitBtn3->isEnabled() && MainForm->Button2->isEnabled()
            && MainForm->BitBtn7->isEnabled());
    QCOMPARE(app.boxes().count(), 1);
    QCOMPARE(app.boxes().last().text, u("当前项目有未完成栏目，请您填写完毕!"));
    QCOMPARE(app.boxes().last().caption, u("提示信息"));
    // The persons table stays filtered to the record.
    QCOMPARE(DM->TblCgwcr->filter(), QString("item_4='2005000002' and item_dqdm='.'"));

    // A soft-science record is not held back by the applied-technology fields.
    MainForm->ComboBox1->setCurrentIndex(1);
    MainForm->ComboBox1Change();
    QCOMPARE(listed(), QStringList({u("软科学")}));
    QVERIFY(complete("01") && complete("02"));
    QVERIFY(MainForm->UpdateNavigationLock());

    // Rows naming sections 05, 07, 08 and 09 mark nothing: 08 goes by its
    // persons, the others are never marked incomplete.
    {
        db::Table checks;
        checks.setDatabaseName(app.dataDir());
        checks.setTableName("checkup");
        checks.open();
        for (const char *section : {"05", "07", "08", "09"}) {
            checks.append();
            checks.fieldByName("lb")->setAsString("a");
            checks.fieldByName("id")->setAsString("item_301");
            checks.fieldByName("button")->setAsString(section);
            checks.post();
        }
    }
    MainForm->ComboBox1->setCurrentIndex(0);
    MainForm->ComboBox1Change();
    clickRow(0);
    for (const char *section : {"01", "02", "03", "04", "05", "07", "08", "09"})
        QVERIFY2(complete(section), section);
    QVERIFY(MainForm->DBGrid1->isEnabled());

    // A checkup row naming no column is the engine's error.
    {
        db::Table checks;
        checks.setDatabaseName(app.dataDir());
        checks.setTableName("checkup");
        checks.open();
        checks.append();
        checks.fieldByName("lb")->setAsString("a");
        checks.fieldByName("id")->setAsString("item_999");
        checks.fieldByName("button")->setAsString("01");
        checks.post();
    }
    app.boxes().clear();
    clickRow(0);
    QCOMPARE(app.boxes().count(), 1);
    QVERIFY(app.boxes().last().text.contains("ITEM_999", Qt::CaseInsensitive));
}

void TestMainWindow::closeQuestions()
{
    AppFixture app;
    registerUnit();
    addRecord("2005000001", "1", u("缺立项"));
    completeRecord("2005000001");
    setRecordField("2005000001", "ITEM_126", "");
    setRecordField("2005000001", "ITEM_2", "");
    MainForm->show();
    clickRow(0);
    QVERIFY(!complete("01") && !complete("03"));
    // The first incomplete section asks; Cancel keeps the window open.
    app.boxes().answer(ui::IDCANCEL);
    QVERIFY(!MainForm->close());
    QVERIFY(MainForm->isVisible());
    QCOMPARE(app.boxes().last().text, u("成果概况没有填完,是否以后再填写该项目？"));
    QCOMPARE(app.boxes().last().flags, ui::MB_OKCANCEL | ui::MB_ICONINFORMATION);

    // The locked grid takes no clicks: the marks are computed again as a
    // section form does when it closes.
    setRecordField("2005000001", "ITEM_2", "1");
    MainForm->MarkSectionStatus();
    MainForm->UpdateNavigationLock();
    app.boxes().answer(ui::IDOK);
    QVERIFY(MainForm->close());
    QCOMPARE(app.boxes().last().text, u("课题立项，评价没有填完,是否以后再填写该项目？"));
    QVERIFY(!MainForm->isVisible());

    // Sections 02, 04 and 08 ask their own questions, in this order.
    setRecordField("2005000001", "ITEM_2", "1");
    setRecordField("2005000001", "ITEM_126", "01;");
    const QList<std::pair<std::function<void()>, const char *>> questions = {
        {[] { setRecordField("2005000001", "ITEM_32", ""); }, "知识产权，成果应用情况没有填完,是否以后再填写该项目？"},
        {[] { setRecordField("2005000001", "ITEM_32", "1"), setRecordField("2005000001", "ITEM_64", ""); },
         "第一完成单位情况没有填完,是否以后再填写该项目？"},
        {[&] {
             setRecordField("2005000001", "ITEM_64", "1");
             db::Table persons;
             persons.setDatabaseName(app.dataDir());
             persons.setTableName("cgwcr");
             persons.open();
             persons.emptyTable();
         },
         "成果完成人员名单没有填完,是否以后再填写该项目？？"},
    };
    for (const auto &[breaks, question] : questions) {
        MainForm->show();
        breaks();
        MainForm->MarkSectionStatus();
        app.boxes().answer(ui::IDCANCEL);
        QVERIFY(!MainForm->close());
        QCOMPARE(app.boxes().last().text, u(question));
    }
    addPerson("2005000001", u("李四"));

    // Nothing incomplete: it closes without a question.
    MainForm->show();
    setRecordField("2005000001", "ITEM_126", "01;");
    MainForm->MarkSectionStatus();
    QVERIFY(MainForm->UpdateNavigationLock());
    const int asked = app.boxes().count();
    QVERIFY(MainForm->close());
    QCOMPARE(app.boxes().count(), asked);
}

QTEST_MAIN(TestMainWindow)
#include "tst_mainwindow.moc"
