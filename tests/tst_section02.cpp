#include "AppFixture.h"
#include "Patents.h"
#include "PrintReports.h"
#include "ReportRoutines.h"
#include "Records.h"
#include "SharedRoutines.h"
#include "Unit1.h"
#include "UnitDM.h"
#include "Unitpage2.h"
#include "Unitpage6.h"
#include "Finto6Unit.h"
#include "db/file/DbfFile.h"
#include "text/Utf8.h"
#include "ui/HandlerGuard.h"

#include <QtTest>

namespace {

const QString kKey = "2005000001";

QString stored(const char *field, const QString &key = kKey) { return storedField("kjcg", field, key); }

void expectStored(const QList<std::pair<const char *, QString>> &expected)
{
    for (const auto &[field, value] : expected)
        QVERIFY2(stored(field) == value, qPrintable(QString(field) + ": " + stored(field)));
}

QAbstractButton *box(const char *name) { return Fpage2->findChild<QAbstractButton *>(name); }

void choose(QComboBox *combo, const char *code)
{
    combo->setCurrentIndex(combo->findText(QString(code) + "  ", Qt::MatchStartsWith));
}

bool shown(QWidget *w) { return w->isVisibleTo(Fpage2); }

// The main window on one applied-technology record.
void showRecord()
{
    registerUnit();
    addRecord(kKey, "1", u("新型材料"));
    MainForm->show();
    MainForm->ComboBox1->setCurrentIndex(0);
    MainForm->ComboBox1Change();
}

void openSection(AppFixture &app, std::function<void()> script)
{
    app.modals().then([script](QDialog *) { script(); });
    MainForm->btn_page02->click();
}

// Every check passes: a software copyright, stable use, one form of promotion.
void fillValid()
{
    choose(Fpage2->cb_51, "3");
    choose(Fpage2->CB_32, "1");
    ClearChecks(Fpage2->pl_161);
    box("cb_161_1")->setChecked(true);
}

QByteArray kjcgBytes()
{
    QFile f(db::DbfFile::findFile(DataDir, "kjcg.dbf"));
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
}

} // namespace

class TestSection02 : public QObject
{
    Q_OBJECT

private slots:
    void savesAndReloads()
    {
        AppFixture app;
        showRecord();
        setRecordField(kKey, "ITEM_52", u("材料分析软件"));
        setRecordField(kKey, "ITEM_53", "2004SR0001");
        MainForm->RefreshRecordList();
        openSection(app, [&] {
            QVERIFY(!shown(Fpage2->Edt_52) && !shown(Fpage2->edt_51_2) && !shown(Fpage2->Button1));
            choose(Fpage2->cb_51, "3"); // no patents counted: no question
            QVERIFY(shown(Fpage2->Edt_52) && shown(Fpage2->Lb_53) && !shown(Fpage2->Button1));
            QCOMPARE(Fpage2->Edt_52->text(), u("材料分析软件"));
            Fpage2->Edt_53->setText("2004SR0002");
            choose(Fpage2->CB_32, "2");
            QVERIFY(Fpage2->Edt_150->isEnabled() && Fpage2->rb_160_23->isEnabled());
            // A detail checks its reason and drops the other reason.
            box("rb_160_11")->click();
            QVERIFY(box("cb_32_1_1")->isChecked());
            box("rb_160_23")->click();
            QVERIFY(box("cb_32_1_2")->isChecked() && !box("cb_32_1_1")->isChecked());
            QVERIFY(!box("cb_32_1_2")->isEnabled());
            box("cb_161_5")->click();
            box("cb_161_2")->click();
            choose(Fpage2->cb_46, "03");
            choose(Fpage2->cb_47, "01");
            for (const auto &[edit, text] : {std::pair{Fpage2->Edt_45, "3"}, {Fpage2->Edt_150, "12"},
                                             {Fpage2->Edt_162, "5"}, {Fpage2->Edt_151_1, "1234567"},
                                             {Fpage2->Edt_153, "0"}})
                edit->setText(text);
            Fpage2->btnSave01Click();
            QVERIFY(Fpage2->IsUnchanged());
            Fpage2->quit01Click(); // nothing to ask after the save
        });
        QCOMPARE(app.boxes().texts(), QStringList{u("存储成功！")});
        expectStored({{"ITEM_51", "3"}, {"ITEM_52", u("材料分析软件")}, {"ITEM_53", "2004SR0002"}, {"ITEM_32", "2"},
                      {"ITEM_32_1", "2;"}, {"ITEM_160", "23"}, {"ITEM_161", "2;5;"}, {"ITEM_46", "03"},
                      {"ITEM_47", "01"}, {"ITEM_45", "3"}, {"ITEM_150", "12"}, {"ITEM_162", "5"},
                      {"ITEM_151_1", "1234567"}, {"ITEM_152_1", ""}, {"ITEM_153", "0"}, {"ITEM_154", ""},
                      {"ITEM_51_2", ""}, {"ITEM_51_3", ""}});
        QCOMPARE(MainForm->btn_page02->kind(), ui::BitBtn::bkYes);
        QCOMPARE(MainForm->btn_page02->text(), u("知识产权，成果应用情况"));

        openSection(app, [&] {
            QCOMPARE(Fpage2->cb_51->currentText(), u("3  软件著作权"));
            QVERIFY(shown(Fpage2->Edt_53) && !shown(Fpage2->edt_51_3));
            QCOMPARE(Fpage2->CB_32->currentText(), u("2  应用后停用"));
            QVERIFY(box("cb_32_1_2")->isChecked() && box("rb_160_23")->isChecked());
            QVERIFY(box("cb_161_2")->isChecked() && box("cb_161_5")->isChecked() && !box("cb_161_1")->isChecked());
            QCOMPARE(Fpage2->cb_46->currentText(), u("03  100～500"));
            QCOMPARE(Fpage2->Edt_151_1->text(), QString("1234567"));
            QVERIFY(Fpage2->IsUnchanged());

            // Stable use clears and locks the reasons; the save stores none.
            choose(Fpage2->CB_32, "1");
            QVERIFY(!box("cb_32_1_2")->isChecked() && !box("rb_160_23")->isChecked());
            QVERIFY(!Fpage2->rb_160_23->isEnabled());
            QVERIFY(!Fpage2->IsUnchanged());
            Fpage2->btnSave01Click();
        });
        expectStored({{"ITEM_32", "1"}, {"ITEM_32_1", ""}, {"ITEM_160", ""}, {"ITEM_150", "12"}});

        // Not in use: the results are emptied and locked; a state coded "1"
        // stores no reasons even when some are checked.
        openSection(app, [&] {
            choose(Fpage2->CB_32, "3");
            for (QLineEdit *e : {Fpage2->Edt_45, Fpage2->Edt_150, Fpage2->Edt_162, Fpage2->Edt_151_1,
                                 Fpage2->Edt_152_1, Fpage2->Edt_153, Fpage2->Edt_154})
                QVERIFY(e->text().isEmpty() && !e->isEnabled());
            box("rb_160_31")->click();
            Fpage2->btnSave01Click();
            expectStored({{"ITEM_32", "3"}, {"ITEM_32_1", "3;"}, {"ITEM_160", "31"}, {"ITEM_150", ""}, {"ITEM_45", ""}});
            choose(Fpage2->CB_32, "1");
            QVERIFY(Fpage2->Edt_150->isEnabled());
            box("cb_32_1_4")->setChecked(true);
            box("rb_160_41")->setChecked(true);
            Fpage2->btnSave01Click();
        });
        expectStored({{"ITEM_32", "1"}, {"ITEM_32_1", ""}, {"ITEM_160", ""}});
    }

    // Each check breaks its field after those of every later check, so the
    // message shows the order; saving and leaving both refuse, nothing is stored.
    void checksInOrder()
    {
        AppFixture app;
        showRecord();
        struct Check { const char *message; std::function<void()> breaks; };
        const QList<Check> checks = {
            {"\"应用状态\"不能为空！", [] { Fpage2->CB_32->setCurrentIndex(-1); }},
            {"非\"稳定应用\"的项目，其\"未应用或停用原因\"必须说明！",
             [] { choose(Fpage2->CB_32, "2"), ClearChecks(Fpage2->pl_32_1); }},
            {"\"推广形式\"必须选择！", [] { ClearChecks(Fpage2->pl_161); }},
            {"请填写专利情况！", [] { Fpage2->cb_51->setCurrentIndex(0); }},
        };
        const QByteArray before = kjcgBytes();
        openSection(app, [&] {
            for (int step = 0; step < checks.size(); ++step) {
                fillValid();
                for (int later = step + 1; later < checks.size(); ++later)
                    checks[later].breaks();
                checks[step].breaks();
                app.boxes().clear();
                QVERIFY(!ui::guarded([] { Fpage2->btnSave01Click(); }));
                QVERIFY(!ui::guarded([] { Fpage2->quit01Click(); }));
                QVERIFY(Fpage2->isVisible());
                QCOMPARE(app.boxes().texts(), QStringList({u(checks[step].message), u(checks[step].message)}));
            }
            // A third form of promotion fails inside the reading of the panel.
            fillValid();
            box("cb_161_2")->setChecked(true), box("cb_161_9")->setChecked(true);
            app.boxes().clear();
            QVERIFY(!ui::guarded([] { Fpage2->btnSave01Click(); }));
            QCOMPARE(app.boxes().texts(), QStringList{u("'推广形式'项目为复选项目，但至多选择二项！")});
            // A reason makes a state other than stable use valid.
            fillValid();
            choose(Fpage2->CB_32, "2");
            box("rb_160_55")->click();
            app.boxes().answer(ui::IDNO);
            Fpage2->quit01Click(); // changed, not saved
            QVERIFY(!Fpage2->isVisible());
        });
        QCOMPARE(kjcgBytes(), before);
        QCOMPARE(DM->Qrykjcg->state(), db::Dataset::Browse);
        QCOMPARE(MainForm->btn_page02->kind(), ui::BitBtn::bkHelp);
    }

    // Patents are deleted only by a save in another form; switching and
    // leaving without saving, or going back to patent, keeps them.
    void patentsStayUntilSaved()
    {
        AppFixture app;
        showRecord();
        setRecordField(kKey, "ITEM_51", "1");
        setRecordField(kKey, "ITEM_53", "SR9");
        addPatent(kKey, ".", 1, "ZL001", "1");
        addPatent(kKey, ".", 2, "ZL002", "2");
        MainForm->RefreshRecordList();
        const QStringList both = {u("1 ZL001 专利ZL001 1 1"), u("2 ZL002 专利ZL002 2 1")};
        openSection(app, [&] {
            QVERIFY(shown(Fpage2->edt_51_2) && shown(Fpage2->Button1) && !shown(Fpage2->Edt_53));
            QCOMPARE(QStringList({Fpage2->edt_51_2->text(), Fpage2->edt_51_3->text()}), QStringList({"1", "1"}));
            app.boxes().answer(ui::IDNO);
            choose(Fpage2->cb_51, "3");
            QCOMPARE(app.boxes().last().text, u("更改为软件著作权后，记录选项将更改,是否更改？"));
            QCOMPARE(app.boxes().last().caption, u("请注意！"));
            QCOMPARE(Fpage2->cb_51->currentIndex(), 0);
            QVERIFY(shown(Fpage2->edt_51_2) && Fpage2->edt_51_2->text() == "1");

            app.boxes().answer(ui::IDYES);
            choose(Fpage2->cb_51, "3");
            QVERIFY(shown(Fpage2->Edt_53) && !shown(Fpage2->Button1));
            QCOMPARE(Fpage2->Edt_53->text(), QString("SR9"));
            QVERIFY(Fpage2->edt_51_2->text().isEmpty() && Fpage2->patentsToGo());
            QCOMPARE(storedPatents(kKey), both);
            // Leaving passes the checks first.
            choose(Fpage2->CB_32, "1");
            box("cb_161_1")->setChecked(true);
            app.boxes().clear();
            app.boxes().answer(ui::IDNO);
            Fpage2->quit01Click();
            QCOMPARE(app.boxes().texts(), QStringList{u("记录已经更改,是否保存？\n保存将删除本成果原有的2项专利。")});
        });
        QCOMPARE(storedPatents(kKey), both);
        QCOMPARE(stored("ITEM_51"), QString("1"));

        // Away and back again: the counts come from the rows that are still there.
        openSection(app, [&] {
            choose(Fpage2->cb_51, "9");
            QVERIFY(!shown(Fpage2->Edt_53) && !shown(Fpage2->edt_51_2));
            choose(Fpage2->cb_51, "1");
            QVERIFY(!Fpage2->patentsToGo());
            QCOMPARE(Fpage2->edt_51_3->text(), QString("1"));
            fillValid();
            choose(Fpage2->cb_51, "1");
            Fpage2->btnSave01Click();
        });
        QCOMPARE(storedPatents(kKey), both);
        expectStored({{"ITEM_51_2", "1"}, {"ITEM_53", ""}});

        // Saving in another form takes them.
        openSection(app, [&] {
            app.boxes().answer(ui::IDYES);
            choose(Fpage2->cb_51, "3");
            Fpage2->btnSave01Click();
        });
        QCOMPARE(storedPatents(kKey), QStringList());
        QCOMPARE(stored("ITEM_51"), QString("3"));

        // Rows a record of another form still has (from a package) stay on
        // opening, but they are a change: leaving asks, and a save takes them.
        addPatent(kKey, ".", 1, "ZL003", "1");
        const QString question = u("记录已经更改,是否保存？\n保存将删除本成果原有的1项专利。");
        openSection(app, [&] {
            QVERIFY(!Fpage2->IsUnchanged() && Fpage2->patentsToGo());
            app.boxes().clear();
            app.boxes().answer(ui::IDNO);
            Fpage2->quit01Click();
            QCOMPARE(app.boxes().texts(), QStringList{question});
        });
        QCOMPARE(storedPatents(kKey), QStringList{u("1 ZL003 专利ZL003 1 1")});
        openSection(app, [&] {
            app.boxes().clear();
            app.boxes().answer(ui::IDYES);
            Fpage2->quit01Click();
            QCOMPARE(app.boxes().texts(), QStringList({question, u("存储成功！")}));
        });
        QCOMPARE(storedPatents(kKey), QStringList());
        openSection(app, [&] { QVERIFY(Fpage2->IsUnchanged()); });
    }

    // The counts follow the patent list; they reach the record with the save.
    // Counts left unsaved show as the list has them on the next opening.
    void countsFollowPatentList()
    {
        AppFixture app;
        showRecord();
        const auto addPatents = [&](const QList<std::pair<const char *, const char *>> &patents) {
            app.modals().then([&, patents](QDialog *) {
                app.modals().then([&, patents](QDialog *) {
                    for (const auto &[no, status] : patents) {
                        Finto6->edtzl_no->setText(no);
                        Finto6->edtzl_name->setText(u("纳米涂层"));
                        choose(Finto6->cb_st, status);
                        Finto6->Button1Click();
                    }
                    Finto6->Button2Click();
                });
                Fpage6->Button2Click();
                Fpage6->quit01Click();
            });
            Fpage2->Button1Click();
        };
        openSection(app, [&] {
            choose(Fpage2->cb_51, "1");
            QCOMPARE(QStringList({Fpage2->edt_51_2->text(), Fpage2->edt_51_3->text()}), QStringList({"0", "0"}));
            QCOMPARE(Fpage6->windowTitle(), QString()); // not opened yet
            addPatents({{"ZL1", "1"}, {"ZL2", "2"}, {"ZL3", "1"}});
            QCOMPARE(Fpage6->windowTitle(), u("成果名称：新型材料"));
            QCOMPARE(QStringList({Fpage2->edt_51_2->text(), Fpage2->edt_51_3->text()}), QStringList({"2", "1"}));
            choose(Fpage2->CB_32, "1");
            box("cb_161_3")->setChecked(true);
            Fpage2->btnSave01Click();
            addPatents({{"ZL4", "2"}});
            app.boxes().clear();
            app.boxes().answer(ui::IDNO);
            Fpage2->quit01Click();
            QCOMPARE(app.boxes().last().text, u("记录已经更改,是否保存？"));
        });
        expectStored({{"ITEM_51", "1"}, {"ITEM_51_2", "2"}, {"ITEM_51_3", "1"}});
        QCOMPARE(storedPatents(kKey).size(), 4);
        openSection(app, [&] {
            QCOMPARE(Fpage2->edt_51_3->text(), QString("2"));
            QVERIFY(!Fpage2->IsUnchanged());
            Fpage2->btnSave01Click();
        });
        expectStored({{"ITEM_51_2", "2"}, {"ITEM_51_3", "2"}});
    }

    // Patents taken by a save take their counts with them: a record of
    // another form that still has rows and counts (from a package, or saved
    // before) is stored and printed with neither. The question on leaving
    // says how many patents the save takes.
    void countsGoWithTheirPatents()
    {
        AppFixture app;
        showRecord();
        for (const auto &[field, value] : {std::pair{"ITEM_51", "9"}, {"ITEM_51_2", "5"}, {"ITEM_51_3", "1"},
                                          {"ITEM_32", "1"}, {"ITEM_161", "1;"}})
            setRecordField(kKey, field, value);
        for (int i = 1; i <= 6; ++i)
            addPatent(kKey, ".", i, QString("ZL%1").arg(i), i == 6 ? "2" : "1");
        MainForm->RefreshRecordList();
        const auto printedCounts = [] {
            PrintReports p;
            selectRecord(kKey);
            const QVector<report::Page> pages = p.PrepareReport(ReportClass::TyyPrint05).run();
            return QStringList({pages[0].text("DB_ITEM_51_2"), pages[0].text("DB_ITEM_51_3"),
                                pages[0].text("QL_zlqk_zlh_1")});
        };
        QCOMPARE(printedCounts(), QStringList({"5", "1", "ZL1"}));
        MainForm->RefreshRecordList();
        app.boxes().clear(); // the patents the page has no line for

        const QString question = u("记录已经更改,是否保存？\n保存将删除本成果原有的6项专利。");
        openSection(app, [&] {
            QVERIFY(Fpage2->edt_51_2->text().isEmpty() && Fpage2->edt_51_3->text().isEmpty());
            app.boxes().answer(ui::IDNO);
            Fpage2->quit01Click();
        });
        QCOMPARE(app.boxes().texts(), QStringList{question});
        expectStored({{"ITEM_51_2", "5"}, {"ITEM_51_3", "1"}});
        QCOMPARE(storedPatents(kKey).size(), 6);

        app.boxes().clear();
        openSection(app, [&] {
            app.boxes().answer(ui::IDYES);
            QTest::keyClick(Fpage2, Qt::Key_Escape);
            QVERIFY(!Fpage2->isVisible());
        });
        QCOMPARE(app.boxes().texts(), QStringList({question, u("存储成功！")}));
        expectStored({{"ITEM_51", "9"}, {"ITEM_51_2", ""}, {"ITEM_51_3", ""}});
        QCOMPARE(storedPatents(kKey), QStringList());
        QCOMPARE(printedCounts(), QStringList({"", "", ""}));

        // Counts left behind without their rows go with the next save too.
        setRecordField(kKey, "ITEM_51_2", "3");
        MainForm->RefreshRecordList();
        app.boxes().clear();
        openSection(app, [&] {
            app.boxes().answer(ui::IDYES);
            Fpage2->quit01Click();
        });
        QCOMPARE(app.boxes().texts(), QStringList({u("记录已经更改,是否保存？"), u("存储成功！")}));
        expectStored({{"ITEM_51_2", ""}});
        openSection(app, [&] { QVERIFY(Fpage2->IsUnchanged()); });
    }

    // Whole numbers are typed; what is pasted must be an amount, or it becomes "0".
    void numberEdits()
    {
        AppFixture app;
        showRecord();
        openSection(app, [&] {
            QTest::keyClicks(Fpage2->Edt_150, "1a2.3x45");
            QTest::keyClicks(Fpage2->Edt_45, "7b");
            QCOMPARE(QStringList({Fpage2->Edt_150->text(), Fpage2->Edt_45->text()}), QStringList({"12345", "7"}));
            QCOMPARE(app.boxes().count(), 0);
            for (const char *pasted : {"12a", "-5", "inf"}) {
                app.boxes().clear();
                Fpage2->Edt_154->setText(pasted);
                QCOMPARE(Fpage2->Edt_154->text(), QString("0"));
                QCOMPARE(app.boxes().texts(), QStringList{pasted + u(" 不是正确的数据格式！现在已经置零")});
            }
        });
    }

    // The edit takes as many integer digits as the column holds, and what it
    // takes is stored whole; a stored fraction shows in plain decimals.
    void longNumbersStoredWhole()
    {
        AppFixture app;
        showRecord();
        setRecordField(kKey, "ITEM_150", "0.000001");
        MainForm->RefreshRecordList();
        openSection(app, [&] {
            QCOMPARE(Fpage2->Edt_150->text(), QString("0.000001"));
            fillValid();
            QTest::keyClicks(Fpage2->Edt_45, "1234567890123456");
            QCOMPARE(Fpage2->Edt_45->text(), QString("123456789012345"));
            Fpage2->btnSave01Click();
        });
        QCOMPARE(app.boxes().texts(), QStringList{u("存储成功！")});
        expectStored({{"ITEM_45", "123456789012345"}, {"ITEM_150", "0.000001"}});
        openSection(app, [&] {
            QCOMPARE(Fpage2->Edt_45->text(), QString("123456789012345"));
            QVERIFY(Fpage2->IsUnchanged());
            Fpage2->quit01Click();
        });
        QCOMPARE(app.boxes().count(), 1);
    }
};

QTEST_MAIN(TestSection02)
#include "tst_section02.moc"
