#include "AppFixture.h"
#include "Finto11Unit.h"
#include "Records.h"
#include "Unit1.h"
#include "UnitDM.h"
#include "Unitpage11.h"
#include "Unitpage4a.h"
#include "text/Utf8.h"
#include "ui/MessageBox.h"

#include <QtTest>

namespace {

// Stored leaders in file order, "unitcode|187|180|181|182|186|124_1".
QStringList leaders()
{
    return storedRows("unitexpert.dbf",
                      {"unitcode", "item_187", "item_180", "item_181", "item_182", "item_186", "item_124_1"});
}

void addLeader(const QString &unit, const QString &place, const QString &name, const QString &birth)
{
    db::Table t;
    t.setDatabaseName(DataDir);
    t.setTableName("unitexpert.dbf");
    t.open();
    t.append();
    for (const auto &[f, v] : {std::pair{"unitcode", unit}, std::pair{"item_187", place}, std::pair{"item_180", name},
                               std::pair{"item_181", QString("0")}, std::pair{"item_182", birth},
                               std::pair{"item_124_1", QString("02")}})
        t.fieldByName(f)->setAsString(v);
    t.post();
}

// Works the leader list from the profile's "学科带头人情况".
void inLeaders(AppFixture &app, std::function<void()> work)
{
    app.modals().then([&app, work](QDialog *) {
        app.modals().then([work](QDialog *) { work(); });
        Fpage4a->BitBtndtr->click();
        Fpage4a->closeNow();
    });
    OpenUnitProfile();
}

void inDialog(AppFixture &app, std::function<void()> open, std::function<void()> work)
{
    app.modals().then([work](QDialog *) { work(); });
    open();
}

void inDialog(AppFixture &app, QAbstractButton *button, std::function<void()> work)
{
    inDialog(app, [button] { button->click(); }, work);
}

void typeLeader(const QString &name, const QString &year, const QString &month, const QString &note = {})
{
    Finto11->edtry_180->setText(name);
    Finto11->Edt_both_1->setText(year);
    Finto11->edt_both_2->setText(month);
    Finto11->edtry_186->setText(note);
}


} // namespace

class TestLeaders : public QObject
{
    Q_OBJECT

private slots:
    void addModifyDeleteAndRenumber();
    void checksAndTheUnchangedComparison();
};

void TestLeaders::addModifyDeleteAndRenumber()
{
    AppFixture app;
    registerUnit();
    addLeader("9990002000", "1", u("别单位的人"), "1950.01");
    const QString other = leaders().first();

    inLeaders(app, [&] {
        QVERIFY(Fpage11->size() == QSize(800, 600) && Fpage11->windowTitle() == u("学科带头人情况"));
        // The other unit's leader is not listed; an empty list has nothing to change.
        QVERIFY(!Fpage11->Button1->isEnabled() && !Fpage11->Button3->isEnabled());
        Fpage11->Button1Click(); // nothing to delete: no question
        QCOMPARE(app.boxes().count(), 0);

        // 修改 on an empty list adds; added leaders stay coming in one showing.
        inDialog(app, [] { Fpage11->Button3Click(); }, [&] {
            QCOMPARE(Finto11->windowTitle(), u("新增－－【学科带头人名单】"));
            QCOMPARE(Finto11->cbry_181->currentText(), u("0  男"));
            Finto11->cbry_124_1->setCurrentIndex(Finto11->cbry_124_1->findText(u("05  生物、医药和医疗器械")));
            const QStringList names = {u("  张三 "), u("李四"), u("王五")};
            for (const QString &name : names) {
                typeLeader(name, "1965", "03", u("学科带头人"));
                Finto11->Button1->click();
                QVERIFY(Finto11->isVisible() && Finto11->edtry_180->text().isEmpty()
                        && Finto11->edtry_186->text().isEmpty());
            }
            QVERIFY(Fpage11->Button1->isEnabled() && Fpage11->Button3->isEnabled());
            // The research field, year and month stay for the next leader.
            QCOMPARE(Finto11->cbry_124_1->currentText(), u("05  生物、医药和医疗器械"));
            QCOMPARE(Finto11->Edt_both_1->text(), QString("1965"));
            Finto11->Button2->click(); // nothing typed: closes at once
            QVERIFY(!Finto11->isVisible());
        });
        QCOMPARE(app.boxes().texts(), QStringList(3, u("存储成功！")));
        QCOMPARE(leaders().mid(1),
                 QStringList({u("9990001000|1|张三|0|1965.03|学科带头人|05"), u("9990001000|2|李四|0|1965.03|学科带头人|05"),
                              u("9990001000|3|王五|0|1965.03|学科带头人|05")}));

        // Modify: the row's values; the name is stored as typed.
        QVERIFY(DM->Tblexpert->locate("item_180", u("王五")));
        inDialog(app, Fpage11->Button3, [&] {
            QCOMPARE(Finto11->windowTitle(), u("修改－－【学科带头人名单】"));
            QCOMPARE(QStringList({Finto11->edtry_180->text(), Finto11->Edt_both_1->text(), Finto11->edt_both_2->text(),
                                  Finto11->cbry_124_1->currentText()}),
                     QStringList({u("王五"), "1965", "03", u("05  生物、医药和医疗器械")}));
            Finto11->edtry_180->setText(u(" 王五"));
            Finto11->cbry_181->setCurrentIndex(1);
            Finto11->Button1->click();
            QVERIFY(!Finto11->isVisible());
        });
        QCOMPARE(leaders().at(3), u("9990001000|3| 王五|1|1965.03|学科带头人|05"));

        // Deleting the second renumbers the rest; the cursor goes to the former third.
        QVERIFY(DM->Tblexpert->locate("item_180", u("李四")));
        app.boxes().answer(ui::IDYES);
        Fpage11->Button1->click();
        QCOMPARE(app.boxes().last().text, u("是否删除该项目？!"));
        QCOMPARE(app.boxes().last().caption, u("提示信息"));
        QCOMPARE(leaders().mid(1),
                 QStringList({u("9990001000|1|张三|0|1965.03|学科带头人|05"), u("9990001000|2| 王五|1|1965.03|学科带头人|05")}));
        QCOMPARE(DM->Tblexpert->fieldByName("item_180")->asString(), u(" 王五"));
        // Deleting the last one: nothing matches its number; no crash, the list goes on.
        app.boxes().answer(ui::IDYES);
        Fpage11->Button1->click();
        app.boxes().answer(ui::IDYES);
        Fpage11->Button1->click();
        QVERIFY(DM->Tblexpert->isEmpty());
        QVERIFY(!Fpage11->Button1->isEnabled() && !Fpage11->Button3->isEnabled());
        Fpage11->quit01->click();
        QVERIFY(!Fpage11->isVisible());
    });
    QCOMPARE(leaders(), QStringList{other});
    // The profile was stored before the leaders were listed.
    QCOMPARE(storedField("unit", "unitcode"), QString("9990001000"));
}

void TestLeaders::checksAndTheUnchangedComparison()
{
    AppFixture app;
    registerUnit();
    addLeader("9990001000", "1", u("张三"), "1965.03");
    inLeaders(app, [&] {
        QVERIFY(Fpage11->Button1->isEnabled() && Fpage11->Button3->isEnabled());
        // Opened and left unchanged: no question. Only the birth month
        // changed: asked, and No keeps the stored row.
        inDialog(app, Fpage11->Button3, [] { Finto11->Button2->click(); });
        QCOMPARE(app.boxes().count(), 0);
        inDialog(app, Fpage11->Button3, [&] {
            Finto11->edt_both_2->setText("04");
            app.boxes().answer(ui::IDNO);
            Finto11->Button2->click();
            QVERIFY(!Finto11->isVisible());
        });
        QCOMPARE(app.boxes().last().text, u("记录已更改，是否保存后退出？"));
        QCOMPARE(app.boxes().last().caption, u("请注意！"));
        QCOMPARE(leaders().first(), u("9990001000|1|张三|0|1965.03||02"));
        // The same with Yes stores the new month.
        inDialog(app, Fpage11->Button3, [&] {
            Finto11->Edt_both_1->setText("1966");
            app.boxes().answer(ui::IDYES);
            Finto11->Button2->click();
        });
        QCOMPARE(leaders().first(), u("9990001000|1|张三|0|1966.03||02"));

        inDialog(app, Fpage11->Button2, [&] {
            // Leaving the edits: a month of one digit gains its "0"; bad values are told.
            typeLeader(u("李四"), "1899", "3");
            Finto11->edt_both_2Exit();
            QCOMPARE(Finto11->edt_both_2->text(), QString("03"));
            Finto11->Edt_both_1Exit();
            QCOMPARE(app.boxes().last().text, u("非法年份"));
            Finto11->edt_both_2->setText("13");
            Finto11->edt_both_2Exit();
            QCOMPARE(app.boxes().last().text, u("不是合法时间!"));
            Finto11->Edt_both_1->setText("19a5");
            Finto11->Edt_both_1Exit();
            QCOMPARE(app.boxes().last().text, u("出生年月的年份必须是数字！"));

            // 存储: each check in its order, nothing stored, the dialog open.
            const int before = app.boxes().count();
            const std::pair<QString, QString> cases[] = {
                {"19a5", "03"}, {"1899", "03"}, {"2051", "03"}, {"", "03"}, {"1960", "1a"}, {"1960", "13"}, {"1960", "0"}};
            for (const auto &[year, month] : cases) {
                typeLeader(u("李四"), year, month);
                Finto11->Button1->click();
            }
            typeLeader(u(" "), "1960", "03", u("只有说明"));
            Finto11->Button1->click();
            typeLeader(u("李四"), "1960", "03");
            Finto11->cbry_181->setCurrentIndex(-1);
            Finto11->Button1->click();
            QCOMPARE(app.boxes().texts().mid(before),
                     QStringList({u("出生年月的年份必须是数字！"), u("年份不合法！"), u("年份不合法！"),
                                  u("出生年月的年份必须是数字！"), u("出生年月的月份必须是数字！"), u("月份不合法"),
                                  u("月份不合法"), u("姓名不能为空！"), u("性别不能为空！")}));
            QVERIFY(Finto11->isVisible());
            QCOMPARE(leaders().size(), 1);

            // 2050 and a month typed as "3" are taken, the month as "03".
            Finto11->cbry_181->setCurrentIndex(1);
            typeLeader(u("李四"), "2050", "3");
            Finto11->Button1->click();
            QCOMPARE(leaders().last(), u("9990001000|2|李四|1|2050.03||02"));
            // Neither name nor note: 存储 closes without storing.
            Finto11->Button1->click();
            QVERIFY(!Finto11->isVisible());
        });
        QCOMPARE(leaders().size(), 2);
        // A changed research field alone is a change too.
        inDialog(app, Fpage11->Button3, [&] {
            const int boxes = app.boxes().count();
            Finto11->cbry_124_1->setCurrentIndex(0);
            emit Finto11->cbry_124_1->activated(0);
            app.boxes().answer(ui::IDNO);
            Finto11->Button2->click();
            QCOMPARE(app.boxes().count(), boxes + 1);
        });
    });
}

QTEST_MAIN(TestLeaders)
#include "tst_leaders.moc"
