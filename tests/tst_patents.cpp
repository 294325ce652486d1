#include "AppFixture.h"
#include "Finto6Unit.h"
#include "PatentRows.h"
#include "Patents.h"
#include "Records.h"
#include "SharedRoutines.h"
#include "Unit1.h"
#include "UnitDM.h"
#include "Unitpage2.h"
#include "Unitpage6.h"
#include "text/Utf8.h"
#include "ui/HandlerGuard.h"
#include "ui/ModalWindows.h"

#include <QtTest>

namespace {

const QString kKey = "2005000001";

void choose(QComboBox *combo, const char *code)
{
    combo->setCurrentIndex(combo->findText(QString(code) + "  ", Qt::MatchStartsWith));
}

void showRecords()
{
    registerUnit();
    addRecord(kKey, "1", u("新型材料"));
    MainForm->show();
    MainForm->ComboBox1->setCurrentIndex(0);
    MainForm->ComboBox1Change();
}

// The list of the main window's current record, as section 02 opens it.
void openList(AppFixture &app, std::function<void()> script)
{
    OpenPatentRowsOf(DM->Qrykjcg);
    app.modals().then([script](QDialog *) { script(); });
    ui::showModal(Fpage6);
}

// The row dialog, opened by one of the list's buttons.
void inDialog(AppFixture &app, QPushButton *button, std::function<void()> script)
{
    app.modals().then([script](QDialog *) { script(); });
    button->click();
}

void enter(const char *no, const char *name, const char *status, const char *type = "1")
{
    Finto6->edtzl_no->setText(no);
    Finto6->edtzl_name->setText(u(name));
    choose(Finto6->cb_st, status);
    choose(Finto6->cb_ty, type);
}

// Typed one character at a time, as the keyboard sends them.
void type(QLineEdit *edit, const QString &text)
{
    for (QChar c : text) {
        QKeyEvent key(QEvent::KeyPress, 0, Qt::NoModifier, QString(c));
        QApplication::sendEvent(edit, &key);
    }
}

int currentNumber() { return DM->tblzlqk->fieldByName("item_no")->asInteger(); }

} // namespace

class TestPatents : public QObject
{
    Q_OBJECT

private slots:
    void addModifyDelete()
    {
        AppFixture app;
        showRecords();
        openList(app, [&] {
            // 修改 on an empty list adds. Each store stays open for the next patent.
            inDialog(app, Fpage6->btnSave01, [&] {
                QCOMPARE(Finto6->windowTitle(), u("新增－－【专利情况】"));
                QCOMPARE(Finto6->cb_st->currentText(), u("1  已受理"));
                enter("ZL001", "纳米涂层", "1");
                Finto6->Button1Click();
                enter("ZL002", "涂层工艺", "1", "2");
                Finto6->Button1Click();
                enter("ZL003", "涂层设备", "2");
                Finto6->Button1Click();
                QVERIFY(Finto6->isVisible());
                QVERIFY(Finto6->edtzl_no->text().isEmpty() && Finto6->edtzl_name->text().isEmpty());
                QCOMPARE(Finto6->cb_st->currentText(), u("2  已授权"));
                Finto6->Button2Click(); // nothing typed: no question
            });
            QCOMPARE(app.boxes().texts(), QStringList(3, u("存储成功！")));
            QCOMPARE(Fpage6->DBGrid5->model()->rowCount(), 3);
            QCOMPARE(Fpage6->DBGrid5->model()->index(2, 8).data().toString(), u("发明专利"));
        });
        const QStringList three = {u("1 ZL001 纳米涂层 1 1"), u("2 ZL002 涂层工艺 1 2"), u("3 ZL003 涂层设备 2 1")};
        QCOMPARE(storedPatents(kKey), three);
        // Closing gives section 02 its counts.
        QCOMPARE(QStringList({Fpage2->edt_51_2->text(), Fpage2->edt_51_3->text()}), QStringList({"2", "1"}));

        openList(app, [&] {
            // Missing entries, in order; leaving with changes asks, and a refused store keeps the dialog open.
            inDialog(app, Fpage6->Button2, [&] {
                app.boxes().clear();
                const QList<std::pair<const char *, std::function<void()>>> checks = {
                    {"\"专利状况\"不能为空！", [] { Finto6->cb_st->setCurrentIndex(-1); }},
                    {"\"专利类型\"不能为空！", [] { Finto6->cb_ty->setCurrentIndex(-1); }},
                    {"\"专利号\"不能为空！", [] { Finto6->edtzl_no->clear(); }},
                    {"\"专利名称\"不能为空！", [] { Finto6->edtzl_name->clear(); }},
                };
                QStringList expected;
                for (int step = 0; step < checks.size(); ++step) {
                    enter("ZL009", "x", "1");
                    for (int later = step; later < checks.size(); ++later)
                        checks[later].second();
                    if (step == 2)
                        Finto6->edtzl_name->setText("x"); // the number alone is missing
                    QVERIFY(!ui::guarded([] { Finto6->Button1Click(); }));
                    expected << u(checks[step].first);
                }
                QCOMPARE(app.boxes().texts(), expected);
                enter("ZL009", "", "1");
                app.boxes().clear();
                app.boxes().answer(ui::IDYES);
                QVERIFY(!ui::guarded([] { Finto6->Button2Click(); }));
                QCOMPARE(app.boxes().texts(), QStringList({u("记录已更改，是否保存后退出？"), u("\"专利名称\"不能为空！")}));
                QVERIFY(Finto6->isVisible());
                app.boxes().answer(ui::IDNO);
                Finto6->Button2Click();
                QVERIFY(!Finto6->isVisible());
            });
            QCOMPARE(storedPatents(kKey), three);

            // 修改 the second: its values; unchanged leaves without a question, a changed combo asks.
            DM->tblzlqk->locate("item_no", "2");
            inDialog(app, Fpage6->btnSave01, [&] {
                QCOMPARE(Finto6->windowTitle(), u("修改－－【专利情况】"));
                QCOMPARE(Finto6->edtzl_no->text(), QString("ZL002"));
                QCOMPARE(Finto6->cb_ty->currentText(), u("2  实用新型专利"));
                QVERIFY(Finto6->Edit1->text().isEmpty());
                app.boxes().clear();
                Finto6->Button2Click();
                QCOMPARE(app.boxes().count(), 0);
            });
            inDialog(app, Fpage6->btnSave01, [&] {
                choose(Finto6->cb_st, "2");
                QCOMPARE(Finto6->Edit1->text(), QString("1"));
                Finto6->edtzl_name->setText(u("涂层新工艺"));
                app.boxes().answer(ui::IDYES);
                Finto6->Button2Click();
                QVERIFY(!Finto6->isVisible());
            });
            QCOMPARE(storedPatents(kKey).at(1), u("2 ZL002 涂层新工艺 2 2"));
            QVERIFY(Finto6->Edit1->text().isEmpty());

            // 删除: No keeps the row; Yes moves the later rows up and selects the one in its place.
            DM->tblzlqk->locate("item_no", "2");
            app.boxes().clear();
            app.boxes().answer(ui::IDNO);
            Fpage6->Button1Click();
            QCOMPARE(app.boxes().last().text, u("是否删除该项目？!"));
            QCOMPARE(app.boxes().last().caption, u("提示信息"));
            QCOMPARE(storedPatents(kKey).size(), 3);
            Fpage6->Button1Click();
            QCOMPARE(storedPatents(kKey), QStringList({u("1 ZL001 纳米涂层 1 1"), u("2 ZL003 涂层设备 2 1")}));
            QCOMPARE(DM->tblzlqk->fieldByName("PATENT_NO")->asString(), QString("ZL003"));
            QCOMPARE(Fpage6->DBGrid5->currentIndex().row(), 1);
            // The last row deleted: none takes its place, the list is on its first row.
            Fpage6->Button1Click();
            QCOMPARE(storedPatents(kKey), QStringList{u("1 ZL001 纳米涂层 1 1")});
            QCOMPARE(currentNumber(), 1);
            // Escape leaves through 退出.
            QTest::keyClick(Fpage6, Qt::Key_Escape);
            QVERIFY(!Fpage6->isVisible());
        });
        QCOMPARE(QStringList({Fpage2->edt_51_2->text(), Fpage2->edt_51_3->text()}), QStringList({"1", "0"}));
    }

    // The number holds the 15 bytes of its column; what is shown is renumbered.
    void numberWidthAndOrder()
    {
        AppFixture app;
        showRecords();
        addPatent(kKey, ".", 7, "ZL7", "1");
        addPatent(kKey, ".", 3, "ZL3", "2");
        openList(app, [&] {
            QCOMPARE(storedPatents(kKey), QStringList({u("1 ZL7 专利ZL7 1 1"), u("2 ZL3 专利ZL3 2 1")}));
            inDialog(app, Fpage6->Button2, [&] {
                type(Finto6->edtzl_no, "1234567890ABCDEF");
                QCOMPARE(Finto6->edtzl_no->text(), QString("1234567890ABCDE"));
                Finto6->edtzl_no->clear();
                type(Finto6->edtzl_no, u("专利号甲乙丙丁戊"));
                QCOMPARE(Finto6->edtzl_no->text(), u("专利号甲乙丙丁"));
                Finto6->edtzl_name->setText(u("名称"));
                Finto6->Button1Click();
                Finto6->Button2Click();
            });
        });
        QCOMPARE(storedPatents(kKey).last(), u("3 专利号甲乙丙丁 名称 1 1"));
    }

    // Two records with one key in different regions: each list, its store,
    // its deletes, its numbers and section 02's save keep to its own rows.
    void regionsKeepTheirPatents()
    {
        AppFixture app;
        showRecords();
        const QString other = "1'2";
        addRegionRecord(kKey, other, u("外地成果"));
        setRecordField(kKey, "ITEM_51", "1");
        addPatent(kKey, ".", 5, "ZLA1", "1");
        addPatent(kKey, other, 9, "ZLB1", "2");
        addPatent(kKey, ".", 6, "ZLA2", "1");
        MainForm->ComboBox1Change();
        QCOMPARE(listed().size(), 2);
        const QStringList own = {u("5 ZLA1 专利ZLA1 1 1"), u("6 ZLA2 专利ZLA2 1 1")};

        QVERIFY(DM->Qrykjcg->locate("ITEM_DQDM", other));
        openList(app, [&] {
            QCOMPARE(DM->tblzlqk->recordCount(), 1);
            inDialog(app, Fpage6->Button2, [&] {
                enter("ZLB2", "外地专利", "1");
                Finto6->Button1Click();
                Finto6->Button2Click();
            });
            QCOMPARE(storedPatents(kKey, other), QStringList({u("1 ZLB1 专利ZLB1 2 1"), u("2 ZLB2 外地专利 1 1")}));
            DM->tblzlqk->first();
            Fpage6->Button1Click();
        });
        QCOMPARE(storedPatents(kKey, other), QStringList{u("1 ZLB2 外地专利 1 1")});
        QCOMPARE(storedPatents(kKey), own);

        // Section 02 of the local record counts its own and, saved as a
        // software copyright, deletes only them.
        QVERIFY(DM->Qrykjcg->locate("ITEM_DQDM", "."));
        app.modals().then([&](QDialog *) {
            QCOMPARE(QStringList({Fpage2->edt_51_2->text(), Fpage2->edt_51_3->text()}), QStringList({"2", "0"}));
            app.boxes().answer(ui::IDYES);
            choose(Fpage2->cb_51, "3");
            choose(Fpage2->CB_32, "1");
            Fpage2->findChild<QAbstractButton *>("cb_161_1")->setChecked(true);
            Fpage2->btnSave01Click();
        });
        MainForm->btn_page02->click();
        QCOMPARE(storedPatents(kKey), QStringList());
        QCOMPARE(storedPatents(kKey, other), QStringList{u("1 ZLB2 外地专利 1 1")});
    }
};

QTEST_MAIN(TestPatents)
#include "tst_patents.moc"
