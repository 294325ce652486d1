#include "text/Gbk.h"
#include "text/GbkInput.h"
#include "AppFixture.h"
#include "Records.h"
#include "SharedRoutines.h"
#include "Unit1.h"
#include "UnitDM.h"
#include "Unitpage3.h"
#include "db/file/DbfFile.h"
#include "text/Utf8.h"
#include "ui/HandlerGuard.h"

#include <QtTest>

namespace {

QString stored(const QString &key, const char *field) { return storedField("kjcg", field, key); }

void expectStored(const QString &key, const QList<std::pair<const char *, QString>> &expected)
{
    for (const auto &[field, value] : expected)
        QVERIFY2(stored(key, field) == value, qPrintable(QString(field) + ": " + stored(key, field)));
}

QAbstractButton *box(const char *name) { return Fpage3->findChild<QAbstractButton *>(name); }

void choose(QComboBox *combo, const char *code)
{
    combo->setCurrentIndex(combo->findText(QString(code) + "  ", Qt::MatchStartsWith));
}

QStringList items(QComboBox *combo)
{
    QStringList out;
    for (int i = 0; i < combo->count(); ++i)
        out << combo->itemText(i);
    return out;
}

bool maroon(QLabel *label) { return label->styleSheet().contains("#800000"); }

// Main window on one record of the category ("1", "2" or "3").
void showRecord(const QString &key, const QString &category)
{
    registerUnit();
    addRecord(key, category, u("新型材料"));
    MainForm->show();
    MainForm->ComboBox1->setCurrentIndex(category.toInt() - 1);
    MainForm->ComboBox1Change();
    QVERIFY(DM->Qrykjcg->locate("ITEM_4", key));
}

void openSection(AppFixture &app, std::function<void()> script)
{
    app.modals().then([script](QDialog *) { script(); });
    MainForm->btn_page03->click();
}

// Every check passes: an evaluation form, a source, no national plan, one amount.
void fillValid()
{
    choose(Fpage3->cb_21, "1");
    choose(Fpage3->cb_21_l, "4");
    if (!box("cb_126_02")->isChecked())
        box("cb_126_02")->click();
    Fpage3->SpeedButton11->click();
    for (QLineEdit *e : Fpage3->Panel3->findChildren<QLineEdit *>())
        e->clear();
    Fpage3->Edt_141->setText("1");
}

QByteArray kjcgBytes()
{
    QFile f(db::DbfFile::findFile(DataDir, "kjcg.dbf"));
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
}

} // namespace

class TestSection03 : public QObject
{
    Q_OBJECT

private slots:
    void savesAndReloadsByCategory()
    {
        AppFixture app;
        const QString key = "2005000001";
        showRecord(key, "1");
        setRecordField(key, "ITEM_126", "03;01;"); // out of order, as another program may leave it
        MainForm->RefreshRecordList();
        openSection(app, [] {
            QVERIFY(box("cb_126_01")->isChecked() && box("cb_126_03")->isChecked());
            QVERIFY(maroon(Fpage3->Label1));
            QVERIFY(!Fpage3->CB_41->isVisibleTo(Fpage3) && Fpage3->CheckBox_34->isChecked());
            QVERIFY(Fpage3->cb_21->isVisibleTo(Fpage3) && !Fpage3->cb_21_l->isVisibleTo(Fpage3));
            QVERIFY(!Fpage3->IsUnchanged()); // the sources would be stored in order

            // A sub-plan marks the national plan; a second source replaces the first
            // and the sub-class list follows the source clicked.
            Fpage3->RB_140_2->click();
            box("cb_126_02")->click();
            QVERIFY(!box("cb_126_03")->isChecked() && box("cb_126_01")->isChecked());
            QCOMPARE(Fpage3->Lb_41->text(), u("“部门计划”的下属分类"));
            QCOMPARE(Fpage3->CB_41->count(), 10);
            box("cb_126_03")->click();
            QVERIFY(!box("cb_126_02")->isChecked());
            QCOMPARE(Fpage3->Lb_41->text(), u("“地方计划”的下属分类"));
            QCOMPARE(items(Fpage3->CB_41).mid(13), QStringList({u("14  地（市、州）级科技计划"), u("15  县（市、区）级科技计划"),
                                                                u("99  其他地方计划"), " "}));
            choose(Fpage3->CB_41, "14");

            Fpage3->Edt_127->setText("2004AA001");
            Fpage3->Edt_127_1->setText(u("纳米涂层材料研究"));
            Fpage3->Edt_142_1->setText("10");
            Fpage3->Edt_142_2->setText("2.5");
            Fpage3->Edt_141->setText("100");
            Fpage3->Edt_148->setText("0.1");
            Fpage3->Edt_143->setText("0.2");
            Fpage3->Edt_145->setText("7");
            QCOMPARE(Fpage3->Edt_142->text(), QString("12.5"));
            QCOMPARE(Fpage3->Edt_149->text(), QString("119.8"));
            choose(Fpage3->cb_21, "2");
            Fpage3->Edt_130->setText(u("省科技厅"));
            Fpage3->edt_22->setText(u("验字第12号"));
            Fpage3->edt_34Click();
            Fpage3->DTP_34->setDate(QDate(2005, 3, 4));
            Fpage3->btnSave01Click();
            QVERIFY(Fpage3->IsUnchanged());
            Fpage3->quit01Click(); // no question after the save
        });
        QCOMPARE(app.boxes().texts(), QStringList{u("存储成功！")});
        expectStored(key, {{"ITEM_126", "01;03;"}, {"ITEM_140", "2"}, {"ITEM_41_1", "14"}, {"ITEM_127", "2004AA001"},
                           {"ITEM_127_1", u("纳米涂层材料研究")}, {"ITEM_142_1", "10"}, {"ITEM_142_2", "2.5"},
                           {"ITEM_142_3", ""}, {"ITEM_142", "12.5"}, {"ITEM_141", "100"}, {"ITEM_148", "0.1"},
                           {"ITEM_143", "0.2"}, {"ITEM_144", ""}, {"ITEM_145", "7"}, {"ITEM_149", "119.8"},
                           {"ITEM_21", "2"}, {"ITEM_130", u("省科技厅")}, {"ITEM_22", u("验字第12号")},
                           {"ITEM_34", "2005.03.04"}});
        QCOMPARE(MainForm->btn_page03->text(), u("课题立项，评价情况"));
        // The required fields of the completeness table are filled.
        MainForm->SetSectionState("03", false);
        MainForm->MarkSectionStatus();
        QCOMPARE(MainForm->btn_page03->kind(), ui::BitBtn::bkYes);

        openSection(app, [] {
            QVERIFY(box("RB_140_2")->isChecked() && box("cb_126_03")->isChecked() && maroon(Fpage3->Label1));
            QCOMPARE(Fpage3->Lb_41->text(), u("“地方计划”的下属分类"));
            QCOMPARE(Fpage3->CB_41->currentText(), u("14  地（市、州）级科技计划"));
            QCOMPARE(Fpage3->cb_21->currentText(), u("2  验收"));
            QCOMPARE(QStringList({Fpage3->Edt_142->text(), Fpage3->Edt_149->text(), Fpage3->Edt_142_3->text()}),
                     QStringList({"12.5", "119.8", ""}));
            QVERIFY(!Fpage3->CheckBox_34->isChecked() && Fpage3->DTP_34->date() == QDate(2005, 3, 4));
            QVERIFY(Fpage3->IsUnchanged());
            Fpage3->quit01Click();
        });

        // Basic theory: the other evaluation list. A source without sub-classes hides the
        // list and nothing of the first record's list is stored; a stored date that is no
        // date shows as none; 清除 takes the national plan away.
        const QString basic = "2005000002";
        showRecord(basic, "3");
        setRecordField(basic, "ITEM_34", "2004.13.40");
        MainForm->RefreshRecordList();
        app.boxes().clear();
        openSection(app, [&] {
            QCOMPARE(app.boxes().texts(), QStringList{u("本项评价日期：'2004.13.40' 不是正确的时间格式！现在已经更换。")});
            QVERIFY(Fpage3->CheckBox_34->isChecked() && !Fpage3->DTP_34->isVisibleTo(Fpage3));
            QVERIFY(!Fpage3->cb_21->isVisibleTo(Fpage3) && Fpage3->cb_21_l->isVisibleTo(Fpage3));
            QVERIFY(!box("cb_126_01")->isChecked() && !maroon(Fpage3->Label1));
            QCOMPARE(Fpage3->CB_41->count(), 0);
            Fpage3->RB_140_6->click();
            QVERIFY(box("cb_126_01")->isChecked() && maroon(Fpage3->Label1));
            Fpage3->SpeedButton11->click();
            QVERIFY(!box("cb_126_01")->isChecked() && !box("RB_140_6")->isChecked() && !maroon(Fpage3->Label1));
            choose(Fpage3->cb_21_l, "6");
            box("cb_126_10")->click();
            QVERIFY(!Fpage3->CB_41->isVisibleTo(Fpage3) && !Fpage3->Lb_41->isVisibleTo(Fpage3));
            Fpage3->edt_34Click();
            QVERIFY(!Fpage3->CheckBox_34->isChecked() && Fpage3->DTP_34->isVisibleTo(Fpage3));
            Fpage3->CheckBox_34->click(); // 清空 again
            Fpage3->btnSave01Click();
        });
        expectStored(basic, {{"ITEM_126", "10;"}, {"ITEM_140", ""}, {"ITEM_41_1", ""}, {"ITEM_21", "6"},
                             {"ITEM_34", ""}, {"ITEM_127", ""}, {"ITEM_149", ""}});
        openSection(app, [] {
            QCOMPARE(Fpage3->cb_21_l->currentText(), u("6  结题"));
            QVERIFY(box("cb_126_10")->isChecked() && Fpage3->CheckBox_34->isChecked());
            QVERIFY(Fpage3->IsUnchanged());
        });
    }

    // Each check breaks its field after those of every check after it, so the
    // message shows the order; saving and leaving both refuse, nothing is stored.
    void checksInOrder()
    {
        AppFixture app;
        showRecord("2005000001", "1");
        addRecord("2005000002", "2", u("软课题"));
        struct Check { bool applied; const char *message; std::function<void()> breaks; };
        const QList<Check> checks = {
            {true, "“评价形式”不能为空！", [] { Fpage3->cb_21->setCurrentIndex(-1); }},
            {false, "“评价形式”不能为空！", [] { Fpage3->cb_21_l->setCurrentIndex(-1); }},
            {true, "“课题来源”不能为空！", [] { ClearChecks(Fpage3->Pl_126); }},
            {true, "“课题来源”为“国家计划”的项目，“课题立项编号”不能为空！",
             [] { Fpage3->RB_140_1->click(), Fpage3->Edt_127->setText(" "); }},
            {true, "“课题来源”为“国家计划”的项目，“课题立项名称”不能为空！",
             [] { Fpage3->RB_140_1->click(), Fpage3->Edt_127_1->setText(" "); }},
            {true, "经费最大长度不超得过7位！", [] { Fpage3->Edt_148->setText("9999999"), Fpage3->Edt_141->setText("1"); }},
        };
        for (const bool applied : {true, false}) {
            if (!applied) {
                MainForm->ComboBox1->setCurrentIndex(1);
                MainForm->ComboBox1Change();
            }
            const QByteArray before = kjcgBytes();
            openSection(app, [&] {
                for (int step = 0; step < checks.size(); ++step) {
                    if (step < 2 && checks[step].applied != applied)
                        continue;
                    fillValid();
                    Fpage3->Edt_127->setText("N1"), Fpage3->Edt_127_1->setText(u("名称"));
                    for (int later = std::max(step + 1, 2); later < checks.size(); ++later)
                        checks[later].breaks();
                    checks[step].breaks();
                    app.boxes().clear();
                    QVERIFY(!ui::guarded([] { Fpage3->btnSave01Click(); }));
                    QVERIFY(!ui::guarded([] { Fpage3->quit01Click(); }));
                    QVERIFY(Fpage3->isVisible());
                    QCOMPARE(app.boxes().texts(), QStringList({u(checks[step].message), u(checks[step].message)}));
                }
                // 地方投入 is checked too, and so is a third source.
                fillValid();
                Fpage3->Edt_142_1->setText("9999999"), Fpage3->Edt_142_2->setText("1");
                QCOMPARE(Fpage3->Edt_142->text(), QString("10000000"));
                app.boxes().clear();
                QVERIFY(!ui::guarded([] { Fpage3->btnSave01Click(); }));
                Fpage3->Edt_142_1->clear();
                box("cb_126_01")->setChecked(true), box("cb_126_05")->setChecked(true);
                QVERIFY(!ui::guarded([] { Fpage3->btnSave01Click(); }));
                QCOMPARE(app.boxes().texts(), QStringList({u("经费最大长度不超得过7位！"), u("'课题来源'项目为复选项目，但至多选择二项！")}));
                ClearChecks(Fpage3->Pl_126);
                app.boxes().answer(ui::IDNO);
                fillValid();
                Fpage3->quit01Click(); // changed, not saved
                QVERIFY(!Fpage3->isVisible());
            });
            QCOMPARE(kjcgBytes(), before);
            QCOMPARE(DM->Qrykjcg->state(), db::Dataset::Browse);
        }
    }

    void moneyEdits()
    {
        AppFixture app;
        const QString key = "2005000001";
        showRecord(key, "1");
        setRecordField(key, "ITEM_141", "12.5");
        setRecordField(key, "ITEM_143", "0");
        setRecordField(key, "ITEM_149", "12345678"); // wider than the form allows: shown whole
        MainForm->RefreshRecordList();
        openSection(app, [&] {
            QCOMPARE(Fpage3->Edt_149->text(), QString("12345678"));
            QCOMPARE(Fpage3->Edt_143->text(), QString("0"));
            Fpage3->Edt_141->setText("12.50");
            gbk::setTextWhole(Fpage3->Edt_149, "12345678"); // as the stored total
            QVERIFY(Fpage3->IsUnchanged()); // the same amounts
            Fpage3->Edt_143->clear();
            QVERIFY(!Fpage3->IsUnchanged()); // no amount where 0 was stored

            // Letters never arrive; at most seven places are typed.
            Fpage3->Edt_144->clear();
            QTest::keyClicks(Fpage3->Edt_144, "1a2-.5e");
            QCOMPARE(Fpage3->Edt_144->text(), QString("12.5"));
            QTest::keyClicks(Fpage3->Edt_144, "6789");
            QCOMPARE(Fpage3->Edt_144->text(), QString("12.5678"));
            QCOMPARE(app.boxes().count(), 0);

            // Pasted texts that are no amounts become "0", each with its item's name.
            const QList<std::tuple<QLineEdit *, const char *, const char *>> bad = {
                {Fpage3->Edt_141, "12a", "“国家投入”:12a"}, {Fpage3->Edt_148, "1.2.", "“部门投入”:1.2."},
                {Fpage3->Edt_144, "-5", "“自有基金”:-5"}, {Fpage3->Edt_243, "1e3", "“银行贷款”:1e3"},
                {Fpage3->Edt_142_3, "x", "读取数据时，发现“地方投入”:x"}};
            for (const auto &[edit, text, message] : bad) {
                app.boxes().clear();
                edit->setText(text);
                QCOMPARE(edit->text(), QString("0"));
                QCOMPARE(app.boxes().texts(), QStringList{u(message) + u(" 不是正确的数据格式！现在已经置零")});
            }
            // Blank amounts count 0 without a word; the sums carry no binary noise.
            app.boxes().clear();
            for (QLineEdit *e : {Fpage3->Edt_141, Fpage3->Edt_148, Fpage3->Edt_144, Fpage3->Edt_243, Fpage3->Edt_142_3})
                e->setText(" ");
            Fpage3->Edt_142_1->setText("0.1");
            Fpage3->Edt_142_2->setText("0.2");
            QCOMPARE(Fpage3->Edt_142->text(), QString("0.3"));
            Fpage3->Edt_145->setText(".5");
            QCOMPARE(Fpage3->Edt_149->text(), QString("0.8"));
            QCOMPARE(app.boxes().count(), 0);
            Fpage3->Edt_145->setText("5.");
            choose(Fpage3->cb_21, "1");
            box("cb_126_02")->click();
            Fpage3->btnSave01Click();
        });
        expectStored(key, {{"ITEM_141", ""}, {"ITEM_142", "0.3"}, {"ITEM_145", "5"}, {"ITEM_149", "5.3"}});
    }
};

QTEST_MAIN(TestSection03)
#include "tst_section03.moc"
