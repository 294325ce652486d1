#include "AppFixture.h"
#include "Records.h"
#include "SharedRoutines.h"
#include "Startup.h"
#include "Unit2.h"
#include "yyPrintUnit13.h"
#include "Unit1.h"
#include "UnitDM.h"
#include "UnitPage1.h"
#include "Unittree.h"
#include "db/DbfFile.h"
#include "text/Gbk.h"
#include "ui/Clock.h"
#include "ui/HandlerGuard.h"
#include "ui/Seam.h"

#include <QtTest>

namespace {

QString u(const char *s)
{
    return QString::fromUtf8(s);
}

const QDate kToday(2006, 3, 15);

QDateTime fixedNow()
{
    return QDateTime(kToday, QTime(9, 0));
}

QString stored(const QString &key, const char *field)
{
    db::Table t;
    t.setDatabaseName(DataDir);
    t.setTableName("kjcg");
    t.open();
    if (!t.locate("ITEM_4", key))
        return "<no record>";
    return t.fieldByName(field)->asString();
}

QByteArray kjcgBytes()
{
    QFile f(db::DbfFile::findFile(DataDir, "kjcg.dbf"));
    f.open(QIODevice::ReadOnly);
    return f.readAll();
}

void select(QComboBox *combo, const QString &code)
{
    const int i = combo->findText(code + "  ", Qt::MatchStartsWith);
    QVERIFY2(i >= 0, qPrintable(combo->objectName() + " has no code " + code));
    combo->setCurrentIndex(i);
}

template <typename Button = QAbstractButton>
Button *box(const QString &name)
{
    auto *b = Fpage1->findChild<Button *>(name);
    if (!b)
        qFatal("no control %s", qPrintable(name));
    return b;
}

// Checks a box as a click does (a click on a checked box would uncheck it).
void choose(const QString &name)
{
    if (!box(name)->isChecked())
        box(name)->click();
}

// Every field valid, for the category the main window shows.
void fillValid()
{
    TFpage1 *f = Fpage1;
    f->DTP_121->setDate(QDate(2005, 6, 1));
    f->edt_8_y_s->setText("2003");
    f->edt_8_m_s->setText("01");
    f->edt_8_y_e->setText("2004");
    f->edt_8_m_e->setText("12");
    select(f->CB_1, "1");
    f->edt_14_1->setText(u("纳米"));
    f->edt_14_2->setText(u("材料"));
    f->edt_14_3->setText(u("涂层"));
    if (MainForm->ComboBox1->currentIndex() == 0) {
        select(f->cb_16, "3");
        select(f->cb_33, "2");
        box("RB_123_3")->setChecked(true);
        select(f->Cb_125_1, "1");
        choose("CB_124_1_07");
    } else {
        select(f->cb_210, "2");
        choose("cb_200_09");
    }
    select(f->cb_201, "2");
    select(f->cb_2, "3");
    choose("CB_125_23");
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
}

// Writes bytes straight into a field of a record in the table file, as
// another program could leave it.
void patchField(const QString &key, const char *field, const QByteArray &bytes)
{
    const auto file = db::DbfFile::open(DataDir, "kjcg");
    const int column = file->fieldIndex(field), keyColumn = file->fieldIndex("ITEM_4");
    int rec = 0;
    while (rec < file->recordCount() && file->textBytes(file->record(rec), keyColumn) != key.toLatin1())
        ++rec;
    QVERIFY(rec < file->recordCount());
    const QString path = file->path();
    QFile f(path);
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
    void appliedTechnologySavesAndReloads();
    void softScienceSavesAndReloads();
    void checksInOrder_data();
    void checksInOrder();
    void checkEdgeCases();
    void entryBehaviour();
    void categoryControls();
    void classificationWithoutTables();
    void unreadableDateAndPeriod();
    void sectionMarks();
};

void TestSection01::appliedTechnologySavesAndReloads()
{
    AppFixture app;
    ui::HandlerOverride<ui::Clock> clock(ui::setClock, fixedNow);
    showRecord("2005000001", "1");
    setRecordField("2005000001", "ITEM_210", "1"); // left from another category
    setRecordField("2005000001", "ITEM_200", "01;");
    MainForm->SetSectionState("01", false);
    openSection(app, [&] {
        QCOMPARE(Fpage1->windowTitle(), u("成果名称：新型材料"));
        QCOMPARE(Fpage1->size(), QSize(800, 600));
        QCOMPARE(Fpage1->DTP_121->date(), kToday); // no date stored
        QCOMPARE(Fpage1->edt_8_y_s->text(), QString("2006"));
        QCOMPARE(Fpage1->edt_8_m_e->text(), QString("03"));
        fillValid();
        Fpage1->Edt_120->setText("GL-2005-001");
        Fpage1->Edt_128->setText(u("省科技厅"));
        app.modals().then([](QDialog *) {
            QTreeWidgetItem *n = FormTree->TreeView1->findItems(u("1101410  演绎逻辑学"),
                                                                Qt::MatchExactly | Qt::MatchRecursive)
                                     .value(0);
            QVERIFY(n);
            n->setSelected(true);
            FormTree->Button1Click();
        });
        Fpage1->cb_15->click();
        QCOMPARE(Fpage1->Edt_15->text(), u("1101410  演绎逻辑学"));
        Fpage1->edt_15_1->setText(u("110  数学"));
        Fpage1->edt_12->setText(u("TP  自动化技术、计算机技术"));
        Fpage1->edt_12_1->setText(u("O1  数学"));
        Fpage1->btnSave01Click();
        Fpage1->quit01Click(); // unchanged after the save: no question
    });
    QCOMPARE(app.boxes().texts(), QStringList{u("存储成功！")});
    QCOMPARE(MainForm->btn_page01->kind(), ui::BitBtn::bkYes);
    QCOMPARE(MainForm->btn_page01->text(), u("成果概况"));
    const QString key = "2005000001";
    const QList<std::pair<const char *, QString>> expected = {
        {"ITEM_120", "GL-2005-001"}, {"ITEM_128", u("省科技厅")}, {"ITEM_121", "2005-06-01"},
        {"ITEM_8", u("2003.01   至2004.12")}, {"ITEM_1", "1"}, {"ITEM_14", u("纳米;材料;涂层")},
        {"ITEM_16", "3"}, {"ITEM_33", "2"}, {"ITEM_123", "3"}, {"ITEM_125_1", "1"},
        {"ITEM_124_1", "07;"}, {"ITEM_201", "2"}, {"ITEM_2", "3"}, {"ITEM_125", "23;"},
        {"ITEM_13_1", u("技术 说明")}, {"ITEM_13", u("公告内容")}, {"ITEM_15", "1101410"}, {"ITEM_15_1", "110"},
        {"ITEM_12", "TP"}, {"ITEM_12_1", "O1"}, {"OUTCOMEB", "9990001000"}, {"ITEM_210", ""}, {"ITEM_200", ""}};
    for (const auto &[field, value] : expected)
        QVERIFY2(stored(key, field) == value, field);

    // Two stored industries come back checked and are stored in ascending order.
    setRecordField(key, "ITEM_125", "23;03;");
    setRecordField(key, "ITEM_14", u("纳米;材料"));
    MainForm->RefreshRecordList();
    openSection(app, [&] {
        QCOMPARE(Fpage1->Edt_120->text(), QString("GL-2005-001"));
        QCOMPARE(Fpage1->DTP_121->date(), QDate(2005, 6, 1));
        QCOMPARE(QStringList({Fpage1->edt_8_y_s->text(), Fpage1->edt_8_m_s->text(), Fpage1->edt_8_y_e->text(),
                              Fpage1->edt_8_m_e->text()}),
                 QStringList({"2003", "01", "2004", "12"}));
        QCOMPARE(Fpage1->CB_1->currentText(), u("1  非密"));
        QCOMPARE(Fpage1->edt_14_1->text() + "|" + Fpage1->edt_14_2->text() + "|" + Fpage1->edt_14_3->text(),
                 u("纳米|材料|"));
        QVERIFY(Fpage1->edt_14_3->isEnabled());
        QCOMPARE(Fpage1->cb_16->currentText(), u("3  成熟应用阶段"));
        QCOMPARE(Fpage1->cb_33->currentText(), u("2  限国内转让"));
        QCOMPARE(Fpage1->Cb_125_1->currentText(), u("1  原始性创新"));
        QVERIFY(box("RB_123_3")->isChecked() && box("CB_124_1_07")->isChecked());
        QVERIFY(box("CB_125_03")->isChecked() && box("CB_125_23")->isChecked());
        QCOMPARE(Fpage1->Edt_15->text(), u("1101410  演绎逻辑学"));
        QCOMPARE(Fpage1->edt_12->text(), u("TP  自动化技术、计算机技术"));
        QCOMPARE(Fpage1->edt_12_1->text(), u("O1  数学"));
        QVERIFY(Fpage1->Edt_15->isReadOnly());
        QCOMPARE(Fpage1->Mo_13_1->toPlainText(), u("技术 说明"));
        QVERIFY(!Fpage1->IsUnchanged()); // the industries would be sorted
        Fpage1->btnSave01Click();
        QVERIFY(Fpage1->IsUnchanged());
        Fpage1->DTP_121->setDate(QDate(2005, 1, 2));
        QVERIFY(!Fpage1->IsUnchanged());
    });
    QCOMPARE(stored(key, "ITEM_125"), QString("03;23;"));
    QCOMPARE(stored(key, "ITEM_14"), u("纳米;材料"));

    // A record whose date was emptied shows today, and that alone is no
    // change; with no date stored, no date counts as a change.
    setRecordField(key, "ITEM_121", "");
    MainForm->RefreshRecordList();
    openSection(app, [&] {
        QCOMPARE(Fpage1->DTP_121->date(), kToday);
        QVERIFY(Fpage1->IsUnchanged());
        Fpage1->DTP_121->setDate(QDate(2005, 1, 2));
        QVERIFY(Fpage1->IsUnchanged());
    });
}

void TestSection01::softScienceSavesAndReloads()
{
    AppFixture app;
    ui::HandlerOverride<ui::Clock> clock(ui::setClock, fixedNow);
    const QString key = "2005000002";
    showRecord(key, "2");
    // Values of the applied-technology fields are emptied; outcomeb is kept.
    for (const auto &[field, value] : {std::pair{"ITEM_123", "3"}, {"ITEM_124_1", "07;"}, {"ITEM_16", "1"},
                                       {"ITEM_33", "1"}, {"ITEM_125_1", "2"}, {"OUTCOMEB", "1234567890"},
                                       {"ITEM_200", "09;03;"}})
        setRecordField(key, field, value);
    MainForm->RefreshRecordList();
    openSection(app, [&] {
        QVERIFY(box("cb_200_03")->isChecked() && box("cb_200_09")->isChecked());
        QVERIFY(!Fpage1->IsUnchanged());
        fillValid();
        box("cb_200_03")->setChecked(true); // two codes, stored in ascending order
        Fpage1->edt_14_3->clear();
        Fpage1->btnSave01Click();
    });
    QCOMPARE(app.boxes().texts(), QStringList{u("存储成功！")});
    const QList<std::pair<const char *, QString>> expected = {
        {"ITEM_210", "2"}, {"ITEM_200", "03;09;"}, {"ITEM_123", ""}, {"ITEM_124_1", ""}, {"ITEM_16", ""},
        {"ITEM_33", ""}, {"ITEM_125_1", ""}, {"OUTCOMEB", "1234567890"}, {"ITEM_14", u("纳米;材料")},
        {"ITEM_8", u("2003.01   至2004.12")}, {"ITEM_2", "3"}, {"ITEM_201", "2"}, {"ITEM_125", "23;"},
        {"ITEM_121", "2005-06-01"}, {"ITEM_15", ""}, {"ITEM_12", ""}};
    for (const auto &[field, value] : expected)
        QVERIFY2(stored(key, field) == value, qPrintable(QString(field) + ": " + stored(key, field)));

    openSection(app, [&] {
        QCOMPARE(Fpage1->cb_210->currentText(), u("2  著作"));
        QVERIFY(box("cb_200_03")->isChecked() && box("cb_200_09")->isChecked());
        QVERIFY(Fpage1->IsUnchanged());
        app.boxes().answer(ui::IDNO);
        box("cb_200_01")->click(); // single choice: 03 and 09 go
        QVERIFY(!box("cb_200_03")->isChecked() && !box("cb_200_09")->isChecked());
        Fpage1->quit01Click();
    });
    QCOMPARE(app.boxes().last().text, u("记录已经更改,是否保存？"));
    QCOMPARE(stored(key, "ITEM_200"), QString("03;09;")); // answered No
}

void TestSection01::checksInOrder_data()
{
    QTest::addColumn<int>("category");
    QTest::addColumn<int>("step");
    QTest::addColumn<QString>("message");
    const QList<std::tuple<int, const char *>> rows = {
        {0, "研究起止时间为必填项！"},
        {0, "所填写的研究终止时间不应大于登记日期！"},
        {0, "所填写的研究起始时间不应大于研究终止时间！"},
        {0, "所填写的研究起始时间不应等于研究终止时间！"},
        {0, "\"成果密级\"不能为空！"},
        {0, "\"关键词\"三栏总字数不要超过98字"},
        {0, "\"成果所处阶段\"不能为空！"},
        {0, "\"转让范围\"不能为空！"},
        {0, "\"成果体现形式\"不能为空！"},
        {1, "\"成果体现形式\"不能为空！"},
        {1, "\"社会经济目标\"不能为空！"},
        {0, "\"成果属性\"不能为空！"},
        {0, "\"研究形式\"不能为空！"},
        {0, "\"成果水平\"不能为空！"},
        {0, "\"成果应用行业\"不能为空！"},
        {0, "\"简要技术说明与应用前景\"不能为空！"},
        {0, "\"成果公告内容\"不能为空！"},
    };
    for (int step = 0; step < rows.size(); ++step) {
        const auto &[category, message] = rows[step];
        QTest::addRow("%d", step + 2) << category << step << u(message);
    }
}

// Breaks the field of one check; the checks after it are broken too (the
// period ones apart, which exclude each other), so the message shows that
// the checks run in their order.
void TestSection01::checksInOrder()
{
    QFETCH(int, category);
    QFETCH(int, step);
    QFETCH(QString, message);
    AppFixture app;
    ui::HandlerOverride<ui::Clock> clock(ui::setClock, fixedNow);
    showRecord("2005000003", category == 0 ? "1" : "2");
    const std::function<void()> breakers[] = {
        [] { Fpage1->edt_8_m_s->setText(" "); },
        [] { Fpage1->edt_8_m_e->setText("07"), Fpage1->edt_8_y_e->setText("2005"); }, // after 2005.06.01
        [] { Fpage1->edt_8_y_s->setText("2005"); },
        [] { Fpage1->edt_8_y_s->setText("2004"), Fpage1->edt_8_m_s->setText("12"); },
        [] { Fpage1->CB_1->setCurrentIndex(-1); },
        [] {
            Fpage1->edt_14_1->setText(QString(66, QChar(0x7EB3)));
            Fpage1->edt_14_2->setText(QString(66, QChar(0x7EB3)));
            Fpage1->edt_14_3->setText(QString(66, QChar(0x7EB3)));
        },
        [] { Fpage1->cb_16->setCurrentIndex(-1); },
        [] { Fpage1->cb_33->setCurrentIndex(-1); },
        [] { ClearChecks(Fpage1->PL_123); },
        [] { Fpage1->cb_210->setCurrentIndex(-1); },
        [] { ClearChecks(Fpage1->PL_200); },
        [] { Fpage1->Cb_125_1->setCurrentIndex(-1); },
        [] { Fpage1->cb_201->setCurrentIndex(-1); },
        [] { Fpage1->cb_2->setCurrentIndex(-1); },
        [] { ClearChecks(Fpage1->PL_125); },
        [] { Fpage1->Mo_13_1->setPlainText(" \n "); },
        [] { Fpage1->Mo_13->setPlainText(" "); },
    };
    const QByteArray before = kjcgBytes();
    openSection(app, [&] {
        fillValid();
        breakers[step]();
        for (int later = std::max(step + 1, 4); later < int(std::size(breakers)); ++later)
            breakers[later]();
        QVERIFY(!ui::guarded([] { Fpage1->btnSave01Click(); }));
        QCOMPARE(app.boxes().texts(), QStringList{message});
        // Leaving runs the same checks and keeps the form open.
        QVERIFY(!ui::guarded([] { Fpage1->quit01Click(); }));
        QVERIFY(Fpage1->isVisible());
        QCOMPARE(app.boxes().texts(), QStringList({message, message}));
    });
    QCOMPARE(kjcgBytes(), before);
    QCOMPARE(DM->Qrykjcg->state(), db::Dataset::Browse);
    QCOMPARE(stored("2005000003", "ITEM_8"), QString());
}

void TestSection01::checkEdgeCases()
{
    AppFixture app;
    ui::HandlerOverride<ui::Clock> clock(ui::setClock, fixedNow);
    showRecord("2005000001", "1");
    const auto saveWith = [&](std::function<void()> change) {
        app.boxes().clear();
        openSection(app, [&] {
            fillValid();
            change();
            ui::guarded([] { Fpage1->btnSave01Click(); });
        });
        return app.boxes().texts().value(0);
    };
    // 2004.03 to 2004.03 is refused as equal; an end month after the
    // registration month of the same year as after the registration date.
    QCOMPARE(saveWith([] {
                 Fpage1->edt_8_y_s->setText("2004"), Fpage1->edt_8_m_s->setText("03");
                 Fpage1->edt_8_y_e->setText("2004"), Fpage1->edt_8_m_e->setText("03");
             }),
             u("所填写的研究起始时间不应等于研究终止时间！"));
    QCOMPARE(saveWith([] { Fpage1->edt_8_y_e->setText("2005"), Fpage1->edt_8_m_e->setText("07"); }),
             u("所填写的研究终止时间不应大于登记日期！"));
    // The same month as the registration passes.
    QCOMPARE(saveWith([] { Fpage1->edt_8_y_e->setText("2005"), Fpage1->edt_8_m_e->setText("06"); }), u("存储成功！"));
    QCOMPARE(stored("2005000001", "ITEM_8"), u("2003.01   至2005.06"));
    // 98 two-byte characters in all pass; the first and third keyword alone store the first.
    QCOMPARE(saveWith([] {
                 Fpage1->edt_14_1->setText(QString(50, QChar(0x7EB3)));
                 Fpage1->edt_14_2->setText(QString(48, QChar(0x7EB3)));
                 Fpage1->edt_14_3->clear();
             }),
             u("存储成功！"));
    QCOMPARE(gbk::byteLength(stored("2005000001", "ITEM_14")), 197);
    QCOMPARE(saveWith([] {
                 Fpage1->edt_14_2->setText(u("材料"));
                 Fpage1->edt_14_3->setText(u("涂层"));
                 Fpage1->edt_14_2->blockSignals(true);
                 Fpage1->edt_14_2->clear();
                 Fpage1->edt_14_2->blockSignals(false);
             }),
             u("存储成功！"));
    QCOMPARE(stored("2005000001", "ITEM_14"), u("纳米"));
}

void TestSection01::entryBehaviour()
{
    AppFixture app;
    ui::HandlerOverride<ui::Clock> clock(ui::setClock, fixedNow);
    showRecord("2005000001", "1");
    openSection(app, [&] {
        TFpage1 *f = Fpage1;
        // Keywords: emptying the first empties and disables the others.
        fillValid();
        f->edt_14_1->clear();
        QVERIFY(!f->edt_14_2->isEnabled() && !f->edt_14_3->isEnabled());
        QCOMPARE(f->edt_14_2->text() + f->edt_14_3->text(), QString());
        f->edt_14_1->setText("a");
        QVERIFY(f->edt_14_2->isEnabled() && f->edt_14_3->isEnabled());
        f->edt_14_2->setText("b");
        f->edt_14_3->setText("c");
        f->edt_14_2->clear();
        QVERIFY(!f->edt_14_3->isEnabled() && f->edt_14_3->text().isEmpty());

        // Period edits: digits only; years 1949 to now, months two digits.
        f->edt_8_y_s->clear();
        QTest::keyClicks(f->edt_8_y_s, "2x0-05");
        QCOMPARE(f->edt_8_y_s->text(), QString("2005"));
        f->edt_8_y_s->setText("1948");
        f->edt_8_y_sExit();
        QCOMPARE(f->edt_8_y_s->text(), QString("2004"));
        QCOMPARE(app.boxes().last().text, u("年份不合理，合理取值为1949年至今！"));
        f->edt_8_y_e->setText("2007");
        f->edt_8_y_eExit();
        QCOMPARE(f->edt_8_y_e->text(), QString("2004"));
        const int warnings = app.boxes().count();
        f->edt_8_y_s->setText("");
        f->edt_8_y_sExit();
        QCOMPARE(f->edt_8_y_s->text(), QString("2006"));
        f->edt_8_y_e->setText("1949");
        f->edt_8_y_eExit();
        QCOMPARE(f->edt_8_y_e->text(), QString("1949"));
        f->edt_8_m_s->setText("7");
        f->edt_8_m_sExit();
        QCOMPARE(f->edt_8_m_s->text(), QString("07"));
        f->edt_8_m_e->setText("");
        f->edt_8_m_eExit();
        QCOMPARE(f->edt_8_m_e->text(), QString());
        QCOMPARE(app.boxes().count(), warnings); // none of these warns
        f->edt_8_m_e->setText("0");
        f->edt_8_m_eExit();
        QCOMPARE(f->edt_8_m_e->text(), QString("12"));
        QCOMPARE(app.boxes().last().text, u("月份数不合理！"));
        // Leaving the edit runs the same normalisation.
        f->edt_8_m_s->setText("3");
        QFocusEvent out(QEvent::FocusOut);
        QApplication::sendEvent(f->edt_8_m_s, &out);
        QCOMPARE(f->edt_8_m_s->text(), QString("03"));

        // A second box of a single-choice panel unchecks the first; unchecking changes nothing else.
        box("CB_125_03")->click();
        QVERIFY(box("CB_125_03")->isChecked() && !box("CB_125_23")->isChecked());
        box("CB_124_1_02")->click();
        QVERIFY(!box("CB_124_1_07")->isChecked());
        box("CB_124_1_02")->click();
        QVERIFY(!box("CB_124_1_02")->isChecked());

        // A memo holding only blanks is emptied when clicked.
        f->Mo_13->setPlainText("   ");
        f->Mo_13Click();
        QCOMPARE(f->Mo_13->toPlainText(), QString());
        f->Mo_13_1->setPlainText(u(" 有内容 "));
        f->Mo_13_1Click();
        QCOMPARE(f->Mo_13_1->toPlainText(), u(" 有内容 "));
    });
}

void TestSection01::categoryControls()
{
    AppFixture app;
    showRecord("2005000001", "1");
    const QList<QWidget *> appliedOnly = {Fpage1->Lb_125_1, Fpage1->Cb_125_1, Fpage1->PL_123, Fpage1->Label18,
                                          Fpage1->Label20, Fpage1->cb_16, Fpage1->cb_33, Fpage1->Pl_124_1};
    const QList<QWidget *> otherOnly = {Fpage1->cb_210, Fpage1->PL_200};
    const auto shown = [](const QList<QWidget *> &ws, bool visible) {
        for (QWidget *w : ws)
            if (w->isVisibleTo(Fpage1) != visible)
                return false;
        return true;
    };
    openSection(app, [&] {
        QVERIFY(shown(appliedOnly, true) && shown(otherOnly, false));
        QCOMPARE(Fpage1->Label22->text(), u("所属高新科技领域"));
        QCOMPARE(Fpage1->cb_16->count(), 3);
        app.modals().then([](QDialog *d) { QCOMPARE(d, static_cast<QDialog *>(HelpForm)); });
        Fpage1->Button3Click();
    });
    addRecord("2005000002", "3", u("基础理论"));
    MainForm->ComboBox1->setCurrentIndex(2);
    MainForm->ComboBox1Change();
    openSection(app, [&] {
        QVERIFY(shown(appliedOnly, false) && shown(otherOnly, true));
        QCOMPARE(Fpage1->Label22->text(), u("社会经济目标"));
        QVERIFY(Fpage1->Label22->styleSheet().contains("#800000"));
        QCOMPARE(Fpage1->cb_210->count(), 3);
        QCOMPARE(Fpage1->cb_16->count(), 0); // nothing of the earlier record
        app.modals().then([](QDialog *d) { QCOMPARE(d, static_cast<QDialog *>(HelpForm_rj)); });
        Fpage1->Button3Click();
    });
    QCOMPARE(app.modals().shown().mid(1), QStringList({"TFpage1", "THelpForm", "TFpage1", "THelpForm_rj"}));
    // The panels carry every code of the dictionary, named as the shared routines match them.
    for (const auto &[panel, field, prefix] :
         {std::tuple{"PL_123", "item_123", "RB_123_"}, {"Pl_124_1", "item_124_1", "CB_124_1_"},
          {"PL_200", "item_200", "cb_200_"}, {"PL_125", "item_125", "CB_125_"}}) {
        QComboBox codes;
        FillComboFromDict(DM->Tblzdxx, field, &codes, 1);
        QStringList names;
        for (int i = 0; i < codes.count(); ++i)
            names << prefix + codes.itemText(i).section("  ", 0, 0);
        QStringList onPanel;
        for (QAbstractButton *b : Fpage1->findChild<QWidget *>(panel)->findChildren<QAbstractButton *>())
            onPanel << b->objectName();
        QCOMPARE(onPanel, names);
    }
}

void TestSection01::classificationWithoutTables()
{
    AppFixture app;
    ui::HandlerOverride<ui::Clock> clock(ui::setClock, fixedNow);
    openSection(app, [] {}); // nothing to open: no record yet, the new-record dialog is cancelled
    showRecord("2005000001", "1");
    openSection(app, [] {
        for (QWidget *w : std::initializer_list<QWidget *>{Fpage1->cb_15, Fpage1->cb_15_1, Fpage1->CB_12, Fpage1->CB_12_1})
            QVERIFY(w->isVisibleTo(Fpage1));
    });
    destroyApplication();
    for (const char *name : {"xkfl.dbf", "ztflh.dbf"})
        QVERIFY(QFile::remove(db::DbfFile::findFile(app.dataDir(), name)));
    createApplication(app.dataDir());
    MainForm->show();
    setRecordField("2005000001", "ITEM_15", "1101410");
    MainForm->RefreshRecordList();
    openSection(app, [] {
        for (QWidget *w : std::initializer_list<QWidget *>{Fpage1->cb_15, Fpage1->cb_15_1, Fpage1->CB_12, Fpage1->CB_12_1})
            QVERIFY(!w->isVisibleTo(Fpage1));
        QCOMPARE(Fpage1->Edt_15->text(), QString("1101410")); // as stored
        QVERIFY(!Fpage1->Edt_15->isReadOnly() && !Fpage1->edt_12_1->isReadOnly());
        QCOMPARE(Fpage1->edt_12->maxLength(), 10);
        fillValid();
        Fpage1->edt_15_1->clear();
        QTest::keyClicks(Fpage1->edt_15_1, "11014101234");
        QCOMPARE(Fpage1->edt_15_1->text(), QString("1101410123"));
        Fpage1->edt_12->setText("TP311.1234567"); // longer than an edit takes: ten characters stored
        Fpage1->btnSave01Click();
    });
    QCOMPARE(stored("2005000001", "ITEM_15"), QString("1101410"));
    QCOMPARE(stored("2005000001", "ITEM_15_1"), QString("1101410123"));
    QCOMPARE(stored("2005000001", "ITEM_12"), QString("TP311.1234"));
}

// A stored date or period that cannot be read is reported and shown as a
// blank one would be, never as what the previous record left in the form.
void TestSection01::unreadableDateAndPeriod()
{
    AppFixture app;
    ui::HandlerOverride<ui::Clock> clock(ui::setClock, fixedNow);
    showRecord("2005000001", "1");
    addRecord("2005000002", "1", u("第二项"));
    MainForm->RefreshRecordList();
    QVERIFY(DM->Qrykjcg->locate("ITEM_4", "2005000001"));
    openSection(app, [] {
        fillValid();
        Fpage1->btnSave01Click();
    });
    setRecordField("2005000002", "ITEM_8", u("abcd.ef   至ghij.kl"));
    // Another program left a date that is none; Corvane starts on it.
    destroyApplication();
    patchField("2005000002", "ITEM_121", "20041340");
    createApplication(app.dataDir());
    MainForm->show();
    QVERIFY(DM->Qrykjcg->locate("ITEM_4", "2005000001"));
    openSection(app, [] { QCOMPARE(Fpage1->DTP_121->date(), QDate(2005, 6, 1)); });
    QVERIFY(DM->Qrykjcg->locate("ITEM_4", "2005000002"));
    app.boxes().clear();
    openSection(app, [] {
        QCOMPARE(Fpage1->DTP_121->date(), kToday);
        QCOMPARE(QStringList({Fpage1->edt_8_y_s->text(), Fpage1->edt_8_m_s->text(), Fpage1->edt_8_y_e->text(),
                              Fpage1->edt_8_m_e->text()}),
                 QStringList({"2006", "03", "2006", "03"}));
        fillValid();
        Fpage1->DTP_121->setDate(kToday); // kept as shown
        Fpage1->btnSave01Click();
    });
    QCOMPARE(app.boxes().texts(), QStringList({u("'20041340'不是正确的时间格式！现在已经更换。"),
                                               u("项目中”起止时间“不是正确的时间格式！现在已经更换。"),
                                               u("存储成功！")}));
    QCOMPARE(stored("2005000002", "ITEM_121"), QString("2006-03-15"));
    QCOMPARE(stored("2005000001", "ITEM_121"), QString("2005-06-01"));
}

void TestSection01::sectionMarks()
{
    AppFixture app;
    ui::HandlerOverride<ui::Clock> clock(ui::setClock, fixedNow);
    for (const QString category : {"1", "2"}) {
        const QString key = "200500000" + category;
        showRecord(key, category);
        MainForm->MarkSectionStatus();
        QCOMPARE(MainForm->btn_page01->kind(), ui::BitBtn::bkHelp);
        openSection(app, [] {
            fillValid();
            Fpage1->btnSave01Click();
        });
        MainForm->SetSectionState("01", false);
        QVERIFY(DM->Qrykjcg->locate("ITEM_4", key));
        MainForm->MarkSectionStatus();
        QCOMPARE(MainForm->btn_page01->kind(), ui::BitBtn::bkYes);
    }
}

QTEST_MAIN(TestSection01)
#include "tst_section01.moc"
