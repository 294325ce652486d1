#include "AppFixture.h"
#include "Records.h"
#include "SharedRoutines.h"
#include "Startup.h"
#include "Unit1.h"
#include "UnitDM.h"
#include "UnitPage1.h"
#include "db/file/DbfFile.h"
#include "text/Utf8.h"
#include "ui/Clock.h"
#include "ui/HandlerGuard.h"
#include "ui/Seam.h"

#include <QtTest>

namespace {

const QDate kToday(2006, 3, 15);

QDateTime fixedNow() { return QDateTime(kToday, QTime(9, 0)); }
QString stored(const QString &key, const char *field) { return storedField("kjcg", field, key); }

void expectStored(const QString &key, const QList<std::pair<const char *, QString>> &expected)
{
    for (const auto &[field, value] : expected)
        QVERIFY2(stored(key, field) == value, qPrintable(QString(field) + ": " + stored(key, field)));
}

QAbstractButton *box(const char *name) { return Fpage1->findChild<QAbstractButton *>(name); }

QStringList period()
{
    return {Fpage1->edt_8_y_s->text(), Fpage1->edt_8_m_s->text(), Fpage1->edt_8_y_e->text(), Fpage1->edt_8_m_e->text()};
}

// Every field valid, for the category the main window shows. Codes of the
// other category find nothing in its empty combos; boxes are clicked as a
// user would, so single-choice panels drop their other codes.
void fillValid()
{
    TFpage1 *f = Fpage1;
    f->DTP_121->setDate(QDate(2005, 6, 1));
    for (const auto &[edit, text] : {std::pair{f->edt_8_y_s, "2003"}, {f->edt_8_m_s, "01"}, {f->edt_8_y_e, "2004"},
                                     {f->edt_8_m_e, "12"}, {f->edt_14_1, "纳米"}, {f->edt_14_2, "材料"}, {f->edt_14_3, "涂层"}})
        edit->setText(u(text));
    for (const auto &[combo, code] : {std::pair{f->CB_1, "1"}, {f->cb_16, "3"}, {f->cb_33, "2"}, {f->Cb_125_1, "1"},
                                      {f->cb_210, "2"}, {f->cb_201, "2"}, {f->cb_2, "3"}})
        if (combo->isVisibleTo(f)) // as a user can: the other category's lists are hidden
            combo->setCurrentIndex(combo->findText(QString(code) + "  ", Qt::MatchStartsWith));
    box("RB_123_3")->setChecked(MainForm->ComboBox1->currentIndex() == 0);
    for (const char *name : {MainForm->ComboBox1->currentIndex() == 0 ? "CB_124_1_07" : "cb_200_09", "CB_125_23"})
        if (!box(name)->isChecked())
            box(name)->click();
    f->Mo_13_1->setPlainText(u("技术\t说明"));
    f->Mo_13->setPlainText(u("公告内容"));
}

void openSection(AppFixture &app, std::function<void()> script)
{
    app.modals().then([script](QDialog *) { script(); });
    MainForm->btn_page01->click();
}

// Main window on one record of the category ("1" or "2").
void showRecord(const QString &key, const QString &category)
{
    registerUnit();
    addRecord(key, category, u("新型材料"));
    MainForm->show();
    if (category != "1") {
        MainForm->ComboBox1->setCurrentIndex(1);
        MainForm->ComboBox1Change();
    }
    QVERIFY(DM->Qrykjcg->locate("ITEM_4", key));
    MainForm->MarkSectionStatus();
    QCOMPARE(MainForm->btn_page01->kind(), ui::BitBtn::bkHelp);
}

// Section 01 is marked complete by the checkup rows, not only by the save.
void expectMarkedComplete(const QString &key)
{
    MainForm->SetSectionState("01", false);
    QVERIFY(DM->Qrykjcg->locate("ITEM_4", key));
    MainForm->MarkSectionStatus();
    QCOMPARE(MainForm->btn_page01->kind(), ui::BitBtn::bkYes);
}

// Writes bytes straight into a field of the table file, as another program could leave it.
void patchField(const QString &key, const char *field, const QByteArray &bytes)
{
    const auto file = db::DbfFile::open(DataDir, "kjcg");
    const int column = file->fieldIndex(field), keyColumn = file->fieldIndex("ITEM_4");
    int rec = 0;
    while (rec < file->recordCount() && file->textBytes(file->record(rec), keyColumn) != key.toLatin1())
        ++rec;
    QVERIFY(rec < file->recordCount());
    QFile f(file->path());
    QVERIFY(f.open(QIODevice::ReadWrite));
    const QByteArray head = f.read(12);
    const int headerLength = quint8(head[8]) | quint8(head[9]) << 8;
    QVERIFY(f.seek(headerLength + qint64(rec) * file->recordLength() + file->fields()[column].offset));
    f.write(bytes.leftJustified(file->fields()[column].length, ' '));
}

} // namespace

class TestSection01 : public QObject
{
    Q_OBJECT

private slots:
    void savesAndReloads()
    {
        AppFixture app;
        ui::HandlerOverride<ui::Clock> clock(ui::setClock, fixedNow);
        const QString key = "2005000001";
        showRecord(key, "1");
        setRecordField(key, "ITEM_210", "1"); // left from another category
        setRecordField(key, "ITEM_200", "01;");
        openSection(app, [&] {
            QCOMPARE(Fpage1->DTP_121->date(), kToday); // nothing stored: today
            QCOMPARE(period(), QStringList({"2006", "03", "2006", "03"}));
            fillValid();
            Fpage1->edt_8_y_e->setText("2005"), Fpage1->edt_8_m_e->setText("06"); // the registration month passes
            Fpage1->Edt_15->setText(u("1101410  演绎逻辑学")), Fpage1->edt_15_1->setText(u("110  数学"));
            Fpage1->edt_12->setText(u("TP  自动化技术、计算机技术")), Fpage1->edt_12_1->setText(u("O1  数学"));
            Fpage1->btnSave01Click();
            Fpage1->quit01Click(); // unchanged after the save: no question
        });
        QCOMPARE(app.boxes().texts(), QStringList{u("存储成功！")});
        expectStored(key, {{"ITEM_121", "2005-06-01"}, {"ITEM_8", u("2003.01   至2005.06")}, {"ITEM_1", "1"},
                           {"ITEM_14", u("纳米;材料;涂层")}, {"ITEM_16", "3"}, {"ITEM_123", "3"}, {"ITEM_124_1", "07;"},
                           {"ITEM_125", "23;"}, {"ITEM_13_1", u("技术 说明")}, {"ITEM_15", "1101410"}, {"ITEM_15_1", "110"},
                           {"ITEM_12", "TP"}, {"ITEM_12_1", "O1"}, {"OUTCOMEB", "9990001000"}, {"ITEM_210", ""}, {"ITEM_200", ""}});
        expectMarkedComplete(key);

        // Two stored industries come back checked and are stored in ascending order.
        setRecordField(key, "ITEM_125", "23;03;");
        setRecordField(key, "ITEM_14", u("纳米;材料"));
        MainForm->RefreshRecordList();
        openSection(app, [&] {
            QCOMPARE(Fpage1->DTP_121->date(), QDate(2005, 6, 1));
            QCOMPARE(period(), QStringList({"2003", "01", "2005", "06"}));
            QCOMPARE(QStringList({Fpage1->edt_14_1->text(), Fpage1->edt_14_2->text(), Fpage1->edt_14_3->text(),
                                  Fpage1->cb_16->currentText(), Fpage1->Edt_15->text()}),
                     QStringList({u("纳米"), u("材料"), "", u("3  成熟应用阶段"), u("1101410  演绎逻辑学")}));
            for (const char *name : {"RB_123_3", "CB_124_1_07", "CB_125_03", "CB_125_23"})
                QVERIFY2(box(name)->isChecked(), name);
            QVERIFY(!Fpage1->IsUnchanged()); // the industries would be sorted
            Fpage1->btnSave01Click();
            QVERIFY(Fpage1->IsUnchanged());
        });
        QCOMPARE(stored(key, "ITEM_125"), QString("03;23;"));
        QCOMPARE(stored(key, "ITEM_14"), u("纳米;材料"));

        // Soft science: the applied-technology fields are emptied, outcomeb is kept.
        const QString soft = "2005000002";
        showRecord(soft, "2");
        for (const auto &[field, value] : {std::pair{"ITEM_123", "3"}, {"ITEM_124_1", "07;"}, {"ITEM_16", "1"}, {"ITEM_33", "1"},
                                           {"ITEM_125_1", "2"}, {"OUTCOMEB", "1234567890"}, {"ITEM_200", "09;03;"}})
            setRecordField(soft, field, value);
        MainForm->RefreshRecordList();
        const QString longest = QString(50, QChar(0x7EB3)), rest = QString(48, QChar(0x7EB3)); // 196 bytes in all
        app.boxes().clear();
        openSection(app, [&] {
            QVERIFY(box("cb_200_03")->isChecked() && box("cb_200_09")->isChecked());
            QVERIFY(!Fpage1->IsUnchanged());
            fillValid();
            box("cb_200_03")->setChecked(true);
            Fpage1->edt_14_1->setText(longest), Fpage1->edt_14_2->setText(rest), Fpage1->edt_14_3->clear();
            Fpage1->btnSave01Click();
        });
        QCOMPARE(app.boxes().texts(), QStringList{u("存储成功！")});
        expectStored(soft, {{"ITEM_210", "2"}, {"ITEM_200", "03;09;"}, {"ITEM_123", ""}, {"ITEM_124_1", ""},
                            {"ITEM_16", ""}, {"ITEM_33", ""}, {"ITEM_125_1", ""}, {"OUTCOMEB", "1234567890"},
                            {"ITEM_14", longest + ";" + rest}, {"ITEM_8", u("2003.01   至2004.12")}});
        expectMarkedComplete(soft);
        openSection(app, [&] {
            QCOMPARE(Fpage1->cb_210->currentText(), u("2  著作"));
            QVERIFY(box("cb_200_03")->isChecked() && box("cb_200_09")->isChecked());
            QVERIFY(Fpage1->IsUnchanged());
        });
    }

    // Per category: the controls shown, then each check breaks its field and
    // those of every check after it (the period ones apart, which exclude each
    // other), so the message shows the order. Nothing is ever stored.
    void checksAndControlsByCategory()
    {
        AppFixture app;
        ui::HandlerOverride<ui::Clock> clock(ui::setClock, fixedNow);
        showRecord("2005000001", "1");
        addRecord("2005000002", "2", u("软课题"));
        const auto kjcgBytes = [] { QFile f(db::DbfFile::findFile(DataDir, "kjcg.dbf")); return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray(); };
        struct Check { bool applied; const char *message; std::function<void()> breaks; };
        const QList<Check> checks = {
            {true, "研究起止时间为必填项！", [] { Fpage1->edt_8_m_s->setText(" "); }},
            {true, "所填写的研究终止时间不应大于登记日期！", [] { Fpage1->edt_8_y_e->setText("2005"), Fpage1->edt_8_m_e->setText("07"); }},
            {true, "所填写的研究起始时间不应大于研究终止时间！", [] { Fpage1->edt_8_y_s->setText("2005"); }},
            {true, "所填写的研究起始时间不应等于研究终止时间！", [] { Fpage1->edt_8_y_s->setText("2004"), Fpage1->edt_8_m_s->setText("12"); }},
            {true, "\"成果密级\"不能为空！", [] { Fpage1->CB_1->setCurrentIndex(-1); }},
            {true, "\"关键词\"三栏总字数不要超过98字",
             [] {
                 for (QLineEdit *e : {Fpage1->edt_14_1, Fpage1->edt_14_2, Fpage1->edt_14_3})
                     e->setText(QString(66, QChar(0x7EB3)));
             }},
            {true, "\"成果所处阶段\"不能为空！", [] { Fpage1->cb_16->setCurrentIndex(-1); }},
            {true, "\"转让范围\"不能为空！", [] { Fpage1->cb_33->setCurrentIndex(-1); }},
            {true, "\"成果体现形式\"不能为空！", [] { ClearChecks(Fpage1->PL_123); }},
            {false, "\"成果体现形式\"不能为空！", [] { Fpage1->cb_210->setCurrentIndex(-1); }},
            {false, "\"社会经济目标\"不能为空！", [] { ClearChecks(Fpage1->PL_200); }},
            {true, "\"成果属性\"不能为空！", [] { Fpage1->Cb_125_1->setCurrentIndex(-1); }},
            {true, "\"研究形式\"不能为空！", [] { Fpage1->cb_201->setCurrentIndex(-1); }},
            {true, "\"成果水平\"不能为空！", [] { Fpage1->cb_2->setCurrentIndex(-1); }},
            {true, "\"成果应用行业\"不能为空！", [] { ClearChecks(Fpage1->PL_125); }},
            {true, "\"简要技术说明与应用前景\"不能为空！", [] { Fpage1->Mo_13_1->setPlainText(" \n "); }},
            {true, "\"成果公告内容\"不能为空！", [] { Fpage1->Mo_13->setPlainText(" "); }},
        };
        const QList<QWidget *> appliedOnly = {Fpage1->Lb_125_1, Fpage1->Cb_125_1, Fpage1->PL_123, Fpage1->Label18,
                                              Fpage1->Label20, Fpage1->cb_16, Fpage1->cb_33, Fpage1->Pl_124_1};
        for (const bool applied : {true, false}) {
            if (!applied) {
                MainForm->ComboBox1->setCurrentIndex(1);
                MainForm->ComboBox1Change();
            }
            const QByteArray before = kjcgBytes();
            openSection(app, [&] {
                for (QWidget *w : appliedOnly + QList<QWidget *>{Fpage1->cb_210, Fpage1->PL_200})
                    QVERIFY2(w->isVisibleTo(Fpage1) == (applied == appliedOnly.contains(w)), qPrintable(w->objectName()));
                QCOMPARE(Fpage1->Label22->text(), applied ? u("所属高新科技领域") : u("社会经济目标"));
                QCOMPARE(Fpage1->cb_16->count(), applied ? 3 : 0); // nothing of the earlier record
                for (int step = 0; step < checks.size(); ++step) {
                    if (checks[step].applied != applied && step >= 4)
                        continue;
                    fillValid();
                    checks[step].breaks();
                    for (int later = std::max(step + 1, 4); later < checks.size(); ++later)
                        checks[later].breaks();
                    app.boxes().clear();
                    QVERIFY(!ui::guarded([] { Fpage1->btnSave01Click(); }));
                    // Leaving runs the same checks and keeps the form open.
                    QVERIFY(!ui::guarded([] { Fpage1->quit01Click(); }));
                    QVERIFY(Fpage1->isVisible());
                    QCOMPARE(app.boxes().texts(), QStringList({u(checks[step].message), u(checks[step].message)}));
                }
            });
            QCOMPARE(kjcgBytes(), before);
            QCOMPARE(DM->Qrykjcg->state(), db::Dataset::Browse);
        }
    }

    // A data folder left by others: a stored date or period that cannot be read
    // is reported and shown as a blank one would be, never as what the previous
    // record left in the form; without the classification tables the pickers
    // are hidden and codes are typed.
    void damagedDataFolder()
    {
        AppFixture app;
        ui::HandlerOverride<ui::Clock> clock(ui::setClock, fixedNow);
        const auto pickers = [] { return QList<QWidget *>{Fpage1->cb_15, Fpage1->cb_15_1, Fpage1->CB_12, Fpage1->CB_12_1}; };
        showRecord("2005000001", "1");
        addRecord("2005000002", "1", u("第二项"));
        MainForm->RefreshRecordList();
        QVERIFY(DM->Qrykjcg->locate("ITEM_4", "2005000001"));
        openSection(app, [&] {
            for (QWidget *w : pickers())
                QVERIFY(w->isVisibleTo(Fpage1));
            fillValid();
            Fpage1->btnSave01Click();
        });
        setRecordField("2005000002", "ITEM_8", u("abcd.ef   至ghij.kl"));
        setRecordField("2005000002", "ITEM_15", "1101410");
        destroyApplication();
        patchField("2005000002", "ITEM_121", "20041340");
        for (const char *name : {"xkfl.dbf", "ztflh.dbf"})
            QVERIFY(QFile::remove(db::DbfFile::findFile(app.dataDir(), name)));
        createApplication(app.dataDir());
        MainForm->show();
        QVERIFY(DM->Qrykjcg->locate("ITEM_4", "2005000001"));
        openSection(app, [] { QCOMPARE(Fpage1->DTP_121->date(), QDate(2005, 6, 1)); });
        QVERIFY(DM->Qrykjcg->locate("ITEM_4", "2005000002"));
        app.boxes().clear();
        openSection(app, [&] {
            QCOMPARE(Fpage1->DTP_121->date(), kToday);
            QCOMPARE(period(), QStringList({"2006", "03", "2006", "03"}));
            for (QWidget *w : pickers())
                QVERIFY(!w->isVisibleTo(Fpage1));
            QCOMPARE(Fpage1->Edt_15->text(), QString("1101410")); // as stored, and typed over
            QVERIFY(!Fpage1->Edt_15->isReadOnly() && !Fpage1->edt_12_1->isReadOnly());
            fillValid();
            Fpage1->DTP_121->setDate(kToday); // kept as shown
            Fpage1->edt_12->setText("TP311.1234567"); // ten characters stored
            Fpage1->btnSave01Click();
        });
        QCOMPARE(app.boxes().texts(), QStringList({u("'20041340'不是正确的时间格式！现在已经更换。"),
                                                   u("项目中”起止时间“不是正确的时间格式！现在已经更换。"),
                                                   u("存储成功！")}));
        expectStored("2005000002", {{"ITEM_121", "2006-03-15"}, {"ITEM_15", "1101410"}, {"ITEM_12", "TP311.1234"}});
        QCOMPARE(stored("2005000001", "ITEM_121"), QString("2005-06-01"));
    }

    // What the form's controls do between loading and saving: period edits
    // corrected when left, single-choice panels, the keyword chain, blank
    // memos, and a registration date before any the picker used to take.
    void controlsWhileTyping()
    {
        AppFixture app;
        ui::HandlerOverride<ui::Clock> clock(ui::setClock, fixedNow);
        const QString key = "2005000001";
        showRecord(key, "1");
        setRecordField(key, "ITEM_121", "1948-05-01");
        MainForm->RefreshRecordList();
        openSection(app, [&] {
            QCOMPARE(Fpage1->DTP_121->date(), QDate(1948, 5, 1)); // as stored, not moved into a range
            QCOMPARE(app.boxes().count(), 0);

            // Period edits: a year outside 1949 to this year becomes 2004 with a
            // warning, a blank one this year without; months are padded or become 12.
            const QList<std::tuple<QLineEdit *, void (TFpage1::*)(), const char *, const char *, bool>> left = {
                {Fpage1->edt_8_y_s, &TFpage1::edt_8_y_sExit, "1948", "2004", true},
                {Fpage1->edt_8_y_e, &TFpage1::edt_8_y_eExit, "2007", "2004", true},
                {Fpage1->edt_8_y_s, &TFpage1::edt_8_y_sExit, " ", "2006", false},
                {Fpage1->edt_8_y_e, &TFpage1::edt_8_y_eExit, "1949", "1949", false},
                {Fpage1->edt_8_m_s, &TFpage1::edt_8_m_sExit, "0", "12", true},
                {Fpage1->edt_8_m_e, &TFpage1::edt_8_m_eExit, "13", "12", true},
                {Fpage1->edt_8_m_s, &TFpage1::edt_8_m_sExit, "7", "07", false},
                {Fpage1->edt_8_m_e, &TFpage1::edt_8_m_eExit, " ", "", false},
            };
            for (const auto &[edit, exit, typed, result, warned] : left) {
                app.boxes().clear();
                edit->setText(typed);
                (Fpage1->*exit)();
                QCOMPARE(edit->text(), QString(result));
                QCOMPARE(app.boxes().count(), warned ? 1 : 0);
                if (warned)
                    QCOMPARE(app.boxes().last().text, QString(typed).size() == 4 ? u("年份不合理，合理取值为1949年至今！")
                                                                             : u("月份数不合理！"));
            }
            // Leaving the edit is what runs the correction.
            Fpage1->edt_8_m_s->setText("3");
            QFocusEvent leaving(QEvent::FocusOut, Qt::TabFocusReason);
            QApplication::sendEvent(Fpage1->edt_8_m_s, &leaving);
            QCOMPARE(Fpage1->edt_8_m_s->text(), QString("03"));

            // Single choice: a second box releases the first; unchecking changes nothing else.
            box("CB_125_03")->click();
            box("CB_125_23")->click();
            QVERIFY(!box("CB_125_03")->isChecked() && box("CB_125_23")->isChecked());
            box("CB_125_23")->click();
            QVERIFY(!box("CB_125_03")->isChecked() && !box("CB_125_23")->isChecked());
            box("CB_124_1_07")->click();
            box("CB_124_1_01")->click();
            QVERIFY(!box("CB_124_1_07")->isChecked());

            // Keywords: a blank first edit empties and disables the two after it.
            Fpage1->edt_14_1->setText(u("纳米"));
            Fpage1->edt_14_2->setText(u("材料"));
            Fpage1->edt_14_3->setText(u("涂层"));
            QVERIFY(Fpage1->edt_14_3->isEnabled());
            Fpage1->edt_14_2->setText(" ");
            QVERIFY(!Fpage1->edt_14_3->isEnabled() && Fpage1->edt_14_3->text().isEmpty());
            Fpage1->edt_14_1->clear();
            QVERIFY(!Fpage1->edt_14_2->isEnabled() && Fpage1->edt_14_2->text().isEmpty());

            // A memo of blanks and line breaks is emptied when clicked; one with text is not.
            Fpage1->Mo_13->setPlainText(" \n  ");
            QTest::mouseClick(Fpage1->Mo_13->viewport(), Qt::LeftButton);
            QCOMPARE(Fpage1->Mo_13->toPlainText(), QString());
            Fpage1->Mo_13->setPlainText(u(" 公告 "));
            QTest::mouseClick(Fpage1->Mo_13->viewport(), Qt::LeftButton);
            QCOMPARE(Fpage1->Mo_13->toPlainText(), u(" 公告 "));

            fillValid();
            Fpage1->DTP_121->setDate(QDate(1948, 5, 1));
            Fpage1->edt_8_y_s->setText("1946"), Fpage1->edt_8_y_e->setText("1947");
            Fpage1->btnSave01Click();
        });
        QCOMPARE(stored(key, "ITEM_121"), QString("1948-05-01"));
    }

    // Control characters pasted into a memo never reach it (0x1A would end
    // the stored memo there), so what 存储 reports stored reads back whole.
    void memosTakeNoControlCharacters()
    {
        AppFixture app;
        const QString key = "2005000001";
        showRecord(key, "1");
        openSection(app, [&] {
            fillValid();
            Fpage1->Mo_13->clear();
            Fpage1->Mo_13->insertPlainText(u("前文") + QChar(0x1A) + u("后文\n第二行") + QChar(0x07) + QChar(0x1B) + "!");
            QCOMPARE(Fpage1->Mo_13->toPlainText(), u("前文后文\n第二行!"));
            Fpage1->btnSave01Click();
        });
        QCOMPARE(app.boxes().texts(), QStringList{u("存储成功！")});
        expectStored(key, {{"ITEM_13", u("前文后文\r\n第二行!")}});
    }
};

QTEST_MAIN(TestSection01)
#include "tst_section01.moc"
