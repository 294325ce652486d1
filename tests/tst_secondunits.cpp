#include "AppFixture.h"
#include "CgwcrManage.h"
#include "Finto8Unit.h"
#include "Records.h"
#include "TreePicks.h"
#include "Typing.h"
#include "Unit1.h"
#include "UnitDM.h"
#include "Unitpage10.h"
#include "Unitpage12.h"
#include "Unitpage4a.h"
#include "text/Utf8.h"
#include "ui/MessageBox.h"

#include <QtTest>

namespace {

using Fields = QList<std::pair<const char *, QString>>;

void addRow(const QString &table, const Fields &fields)
{
    db::Table t;
    t.setDatabaseName(DataDir);
    t.setTableName(table);
    t.open();
    t.append();
    for (const auto &[field, value] : fields)
        t.fieldByName(field)->setAsString(value);
    t.post();
}

QStringList units()
{
    return storedRows("unit.dbf", {"unitcode", "upunitcode", "unitlevel", "endlevel", "item_9", "item_124_1"});
}

QStringList persons()
{
    return storedRows("cgwcr.DBF", {"ITEM_4", "ITEM_187", "ITEM_180", "ITEM_188"});
}

// Works the second-level units from the profile's "所属二级单位情况".
void inUnits(AppFixture &app, std::function<void()> work)
{
    app.modals().then([&app, work](QDialog *) {
        app.modals().then([work](QDialog *) { work(); });
        Fpage4a->Button5->click();
        Fpage4a->closeNow();
    });
    OpenUnitProfile();
}

void clickGridRow(DBGrid *grid, int row)
{
    QTest::mouseClick(grid->viewport(), Qt::LeftButton, {}, grid->visualRect(grid->model()->index(row, 1)).center());
}


} // namespace

class TestSecondUnits : public QObject
{
    Q_OBJECT

private slots:
    void addStoreAndDelete();
    void typedEditsAreAskedAbout();
    void typedIntoAnEmptyList();
    void codesRefusedPastTheirRoom();
    void everyRecordsPersons();
};

void TestSecondUnits::addStoreAndDelete()
{
    AppFixture app;
    registerUnit();
    addRow("unit.dbf", {{"unitcode", "8880001010"}, {"upunitcode", "8880001000"}, {"unitlevel", "2"}});
    inUnits(app, [&] {
        QVERIFY(Fpage10->size() == QSize(800, 600) && Fpage10->isVisible());
        QCOMPARE(Fpage10->Panel4->text() + "|" + Fpage10->Panel5->text(), u("本单位|9990001000"));
        // Nothing listed: nothing to delete or store.
        QVERIFY(DM->Qryunit->isEmpty());
        Fpage10->Button3->click();
        Fpage10->btnSave01->click();
        QCOMPARE(app.boxes().texts(), QStringList{u("请先增加二级单位！")});

        Fpage10->Button2->click();
        Fpage10->Edt_9->setText(u("第一研究所"));
        // A field through the picker, from the drop-down beside its edit.
        app.modals().then(choose(u("0101  计算机及外部设备")));
        QTest::mouseClick(Fpage10->cb_124_1_1, Qt::LeftButton);
        QCOMPARE(Fpage10->edt_124_1_1->text(), u("0101  计算机及外部设备"));
        Fpage10->btnSave01->click();
        QCOMPARE(app.boxes().last().text, u("存储成功！"));
        Fpage10->Button2->click();
        QCOMPARE(Fpage10->edt_unit->text(), QString("9990001020"));
        QVERIFY(Fpage10->Edt_9->text().isEmpty() && Fpage10->edt_124_1_1->text().isEmpty());
        Fpage10->Edt_9->setText(u("第二研究所"));
        Fpage10->Memointr->setPlainText(u("简介"));
        Fpage10->btnSave01->click();

        // The edits follow the grid; a row left with changes is asked about.
        clickGridRow(Fpage10->DBGrid1, 0);
        QCOMPARE(Fpage10->Edt_9->text() + "|" + Fpage10->edt_unit->text(), u("第一研究所|9990001010"));
        QCOMPARE(Fpage10->edt_124_1_1->text(), u("0101  计算机及外部设备"));
        Fpage10->Edt_9->setText(u("第一研究院"));
        app.boxes().answer(ui::IDYES);
        clickGridRow(Fpage10->DBGrid1, 1);
        QCOMPARE(app.boxes().requests().at(app.boxes().count() - 2).text, u("记录已经更改,是否保存？"));
        QCOMPARE(Fpage10->Edt_9->text(), u("第二研究所"));
        // 存储 writes the row shown.
        Fpage10->Edt_40->setText("010-1");
        Fpage10->btnSave01->click();
        QCOMPARE(units().mid(2), QStringList({u("9990001010|9990001000|2|0|第一研究院|0101 ;"),
                                              u("9990001020|9990001000|2|0|第二研究所|")}));
        QCOMPARE(storedRows("unit.dbf", {"item_40", "unitintrod"}).last(), u("010-1|简介"));

        // Delete the row shown; the next one shows.
        clickGridRow(Fpage10->DBGrid1, 0);
        app.boxes().answer(ui::IDYES);
        Fpage10->Button3->click();
        QCOMPARE(app.boxes().last().text, u("是否删除该项目？!"));
        QCOMPARE(Fpage10->Edt_9->text() + "|" + Fpage10->edt_unit->text(), u("第二研究所|9990001020"));
        // A third unit takes the place after the largest.
        Fpage10->Button2->click();
        QCOMPARE(Fpage10->edt_unit->text(), QString("9990001030"));

        // No person and no record at all: nothing to delete, nothing to add
        // to, and the list can be left.
        app.modals().then([&](QDialog *) {
            Fpage12->Button1->click();
            Fpage12->Button3->click();
            QCOMPARE(app.boxes().last().text, u("请先在主窗口选择一项成果！"));
            Fpage12->quit01->click();
            QVERIFY(!Fpage12->isVisible());
        });
        Fpage10->BitBtndtr->click();
        Fpage10->quit01->click();
        QVERIFY(!Fpage10->isVisible());
    });
    QCOMPARE(units().mid(1).join(','), u("8880001010|8880001000|2|||,"
                                        "9990001020|9990001000|2|0|第二研究所|,"
                                        "9990001030|9990001000|2|0||"));
    // The own unit is still the profile's row.
    QCOMPARE(units().first(), u("9990001000||1|1|本单位|"));
}

// Leaving the row shown with changed edits asks first, whichever way: 增加,
// 退出, Escape or the close box. A later visit shows the rows as stored and
// asks nothing about what was left behind.
void TestSecondUnits::typedEditsAreAskedAbout()
{
    AppFixture app;
    registerUnit();
    const QString question = u("记录已经更改,是否保存？");
    const auto names = [] { return storedRows("unit.dbf", {"unitcode", "item_9"}).mid(1); };
    inUnits(app, [&] {
        Fpage10->Button2->click();
        Fpage10->Edt_9->setText(u("第一研究所"));
        app.boxes().answer(ui::IDYES);
        Fpage10->Button2->click();
        QCOMPARE(app.boxes().texts(), QStringList({question, u("存储成功！")}));
        QCOMPARE(Fpage10->edt_unit->text() + "|" + Fpage10->Edt_9->text(), QString("9990001020|"));
        if (const QString shots = qEnvironmentVariable("CORVANE_SHOTS"); !shots.isEmpty() && QDir().mkpath(shots))
            Fpage10->grab().save(QDir(shots).filePath("TFpage10-rows.png"));
        // Left unstored: the typed name stays out of every row.
        Fpage10->Edt_9->setText(u("第二研究所"));
        app.boxes().clear();
        app.boxes().answer(ui::IDNO);
        Fpage10->quit01->click();
        QCOMPARE(app.boxes().texts(), QStringList{question});
        QVERIFY(!Fpage10->isVisible());
    });
    QCOMPARE(names(), QStringList({u("9990001010|第一研究所"), "9990001020|"}));

    const std::tuple<const char *, std::function<void()>, const char *> ways[] = {
        {"Escape", [] { QTest::keyClick(Fpage10, Qt::Key_Escape); }, "第一研究院"},
        {"close box", [] { Fpage10->close(); }, "第一研究中心"},
    };
    QString stored = u("第一研究所");
    for (const auto &[way, leave, typed] : ways) {
        app.boxes().clear();
        inUnits(app, [&, leave = leave, typed = typed] {
            QCOMPARE(app.boxes().count(), 0);
            QCOMPARE(Fpage10->Edt_9->text(), stored);
            Fpage10->Edt_9->setText(u(typed));
            app.boxes().answer(ui::IDYES);
            leave();
            QVERIFY(!Fpage10->isVisible());
        });
        QVERIFY2(app.boxes().texts() == QStringList({question, u("存储成功！")}), way);
        stored = u(typed);
        QCOMPARE(names().first(), "9990001010|" + stored);
    }
}

// With no unit listed, what is typed is a unit still to be added: 增加 and
// every way of leaving ask first, No drops it, Yes stores it as a new unit.
void TestSecondUnits::typedIntoAnEmptyList()
{
    AppFixture app;
    registerUnit();
    const QString question = u("记录已经更改,是否保存？");
    const auto names = [] { return storedRows("unit.dbf", {"unitcode", "item_9", "item_38"}).mid(1); };
    const auto deleteAll = [&] {
        while (!DM->Qryunit->isEmpty()) {
            app.boxes().answer(ui::IDYES);
            Fpage10->Button3->click();
        }
        app.boxes().clear();
    };
    inUnits(app, [&] {
        // Nothing typed (blanks count as nothing): nothing asked.
        typeText(Fpage10->Memoad, "  ");
        Fpage10->Button2->click();
        QCOMPARE(app.boxes().count(), 0);
        deleteAll();

        typeText(Fpage10->Edt_9, u("第一研究所"));
        app.boxes().answer(ui::IDNO);
        Fpage10->Button2->click();
        QCOMPARE(app.boxes().texts(), QStringList{question});
        QCOMPARE(Fpage10->edt_unit->text() + "|" + Fpage10->Edt_9->text(), QString("9990001010|"));
        deleteAll();

        typeText(Fpage10->Edt_9, u("第一研究所"));
        typeText(Fpage10->Edt_38, "100080");
        if (const QString shots = qEnvironmentVariable("CORVANE_SHOTS"); !shots.isEmpty() && QDir().mkpath(shots))
            Fpage10->grab().save(QDir(shots).filePath("TFpage10-typed-empty.png"));
        app.boxes().answer(ui::IDYES);
        Fpage10->Button2->click();
        QCOMPARE(app.boxes().texts(), QStringList({question, u("存储成功！")}));
        QCOMPARE(Fpage10->edt_unit->text() + "|" + Fpage10->Edt_9->text(), QString("9990001020|"));
        QCOMPARE(names(), QStringList({u("9990001010|第一研究所|100080"), "9990001020||"}));
    });

    const std::tuple<const char *, std::function<void()>, int> ways[] = {
        {"退出", [] { Fpage10->quit01->click(); }, ui::IDNO},
        {"退出", [] { Fpage10->quit01->click(); }, ui::IDYES},
        {"Escape", [] { QTest::keyClick(Fpage10, Qt::Key_Escape); }, ui::IDYES},
        {"close box", [] { Fpage10->close(); }, ui::IDYES},
    };
    for (const auto &[way, leave, answer] : ways) {
        const QString typed = u("研究所") + way;
        inUnits(app, [&, leave = leave, answer = answer] {
            deleteAll();
            typeText(Fpage10->Edt_9, typed);
            app.boxes().answer(answer);
            leave();
            QVERIFY2(!Fpage10->isVisible(), way);
        });
        const bool kept = answer == ui::IDYES;
        QVERIFY2(app.boxes().texts() == (kept ? QStringList({question, u("存储成功！")}) : QStringList{question}), way);
        QCOMPARE(names(), kept ? QStringList{"9990001010|" + typed + "|"} : QStringList{});
    }
}

void TestSecondUnits::codesRefusedPastTheirRoom()
{
    AppFixture app;
    registerUnit();
    for (int place = 1; place <= 99; ++place)
        addRow("unit.dbf", {{"unitcode", QString("99900%1").arg(place * 10 + 1000, 5, 10, QChar('0'))},
                            {"upunitcode", "9990001000"}, {"unitlevel", "2"}});
    QCOMPARE(units().last().left(10), QString("9990001990"));
    const int before = units().size();
    inUnits(app, [&] {
        QCOMPARE(DM->Qryunit->recordCount(), 99);
        Fpage10->Button2->click();
        QCOMPARE(app.boxes().last().text, u("一个单位最多只能有99个二级单位！"));
        // A parent code that holds no digits where children keep them.
        for (const char *parent : {"", "99A0001000"}) {
            Fpage10->Panel5->setText(parent);
            Fpage10->Button2->click();
            QCOMPARE(app.boxes().last().text, u("所属一级单位代码不合法，不能增加二级单位！"));
        }
        QVERIFY(Fpage10->isVisible());
    });
    QCOMPARE(units().size(), before);
    // Leading zeros stay: the code is made of text, not of a number.
    QCOMPARE(NextSecondLevelCode("0010001000"), QString("0010001010"));
}

void TestSecondUnits::everyRecordsPersons()
{
    AppFixture app;
    for (const auto &[key, place, name, returned] :
         {std::tuple{"2005000001", "5", "甲", ""}, std::tuple{"2005000002", "3", "丁", "1"},
          std::tuple{"2005000001", "12", "丙", "2"}, std::tuple{"2005000002", "1", "戊", "0"},
          std::tuple{"2005000001", "9", "乙", "1"}})
        addRow("cgwcr.DBF", {{"ITEM_4", key}, {"ITEM_DQDM", "."}, {"ITEM_187", place}, {"ITEM_180", u(name)},
                             {"ITEM_188", returned}, {"ITEM_181", "0"}, {"ITEM_183", "4"}, {"ITEM_184", "4"}});
    showWithRecords({{"2005000001", "1", u("新型材料")}, {"2005000002", "1", u("其他成果")}});
    // Left filtered to one record, as the section marks leave it.
    MainForm->MarkSectionStatus();
    QCOMPARE(DM->TblCgwcr->recordCount(), 3);
    const QString filter = DM->TblCgwcr->filter();

    app.modals().then([&](QDialog *) {
        // Every record's persons, each record numbered on its own, in the
        // order of their numbers.
        QCOMPARE(DM->TblCgwcr->recordCount(), 5);
        QCOMPARE(persons(), QStringList({u("2005000001|1|甲|0"), u("2005000002|2|丁|1"), u("2005000001|3|丙|0"),
                                         u("2005000002|1|戊|0"), u("2005000001|2|乙|1")}));
        QCOMPARE(Fpage12->DBGrid4->model()->index(1, 6).data().toString(), u("是"));

        // Deleting renumbers only the deleted person's record.
        QVERIFY(DM->TblCgwcr->locate("ITEM_180", u("甲")));
        app.boxes().answer(ui::IDYES);
        Fpage12->Button1->click();
        QCOMPARE(persons(), QStringList({u("2005000002|2|丁|1"), u("2005000001|2|丙|0"), u("2005000002|1|戊|0"),
                                         u("2005000001|1|乙|1")}));

        // A person changed in the record it belongs to.
        QVERIFY(DM->TblCgwcr->locate("ITEM_180", u("丁")));
        app.modals().then([](QDialog *) {
            QCOMPARE(Finto8->windowTitle(), u("修改－－【成果完成人员名单】"));
            QCOMPARE(Finto8->edtry_180->text(), u("丁"));
            Finto8->edtry_185->setText(u("某所"));
            Finto8->Button1->click();
        });
        Fpage12->Button3->click();
        QCOMPARE(storedRows("cgwcr.DBF", {"ITEM_180", "ITEM_185"}).first(), u("丁|某所"));

        // Quick add goes to the main window's current record.
        addRow("cgwcrNew.dbf", {{"ITEM_180", u("己")}});
        app.modals().then([](QDialog *) { FormWcr->BitBtn1Click(); }); // none chosen: all, after the question
        app.boxes().answer(ui::IDYES);
        Fpage12->Button5->click();
        QCOMPARE(persons().last(), u("2005000001|3|己|"));
        QCOMPARE(DM->TblCgwcr->recordCount(), 5);
        Fpage12->quit01->click();
        QVERIFY(!Fpage12->isVisible());
    });
    Fpage10->BitBtndtrClick();
    // The table is filtered as before, and the marks are the record's own.
    QCOMPARE(DM->TblCgwcr->filter(), filter);
    QCOMPARE(MainForm->btn_page08->kind(), ui::BitBtn::bkYes);
}

QTEST_MAIN(TestSecondUnits)
#include "tst_secondunits.moc"
