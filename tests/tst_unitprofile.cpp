#include "AppFixture.h"
#include "Records.h"
#include "TreePicks.h"
#include "Unit1.h"
#include "UnitDM.h"
#include "Unitpage4a.h"
#include "db/dataset/Table.h"
#include "text/Utf8.h"
#include "ui/HandlerGuard.h"
#include "ui/MessageBox.h"

#include <QtTest>

namespace {

void expectLocked(bool locked)
{
    for (QWidget *w : MainForm->unitLockedControls())
        QVERIFY2(w->isEnabled() != locked, qPrintable(w->objectName()));
}

void fillRequired()
{
    Fpage4a->edt_9->setText(u("  示范研究院  "));
    Fpage4a->Edt_37->setText(u("北京市海淀区一号"));
    Fpage4a->Edt_38->setText("100080");
    Fpage4a->edt_420->setText("12345678-9");
    Fpage4a->Edt_39->setText("010-12345678");
    Fpage4a->Edt_40->setText("010-87654321");
    Fpage4a->Memo3->setPlainText(u("一家研究院。"));
    Fpage4a->Edt_41->setText(u("科技处"));
    Fpage4a->Edt_41_2->setText("010-11112222");
}

void selectItem(QComboBox *combo, const QString &code)
{
    combo->setCurrentIndex(combo->findText(code + "  ", Qt::MatchStartsWith));
}

// "code  name" of the first count rows of a classification table.
QStringList codeTexts(const QString &table, int count)
{
    db::Table t;
    t.setDatabaseName(DataDir);
    t.setTableName(table);
    t.open();
    QStringList out;
    for (t.first(); !t.eof() && out.size() < count; t.next())
        out << t.field(1)->asString().trimmed() + "  " + t.field(2)->asString().trimmed();
    return out;
}

// Types text into a long-text editor and stores it there.
ui::ScriptedModals::Script editorSaves(const QString &text)
{
    return [text](QDialog *d) {
        d->findChild<QPlainTextEdit *>("Memo1")->setPlainText(text);
        d->findChild<QPushButton *>("Button1")->click();
        d->findChild<QPushButton *>("Button2")->click();
    };
}

} // namespace

class TestUnitProfile : public QObject
{
    Q_OBJECT

private slots:
    void firstRunRegistration();
    void savesAndReloadsEveryField();
    void unchangedComparisonMarksAndCodes();
    void requiredFieldsInTheirOrder();
};

void TestUnitProfile::firstRunRegistration()
{
    AppFixture app;
    app.modals().then([](QDialog *) {}); // the splash
    app.modals().then([&](QDialog *d) {
        QCOMPARE(d, static_cast<QDialog *>(Fpage4a));
        QVERIFY(Fpage4a->edt_9->text().isEmpty() && Fpage4a->Memo3->toPlainText().isEmpty());
        // An empty name: told, and the window stays.
        Fpage4a->quit01->click();
        QCOMPARE(app.boxes().last().text, u("\"单位名称\"不能为空！"));
        QVERIFY(Fpage4a->isVisible());
        // Valid, but left without saving: nothing is registered.
        fillRequired();
        app.boxes().answer(ui::IDNO);
        Fpage4a->quit01->click();
        QCOMPARE(app.boxes().last().text, u("记录已经更改,是否保存？"));
        QVERIFY(!Fpage4a->isVisible());
    });
    MainForm->show();
    QCOMPARE(app.modals().shown(), QStringList({"Tformwel", "TFpage4a"}));
    QCOMPARE(storedField("unit", "item_9"), QString("<no row>"));
    expectLocked(true);

    // From 单位情况, saved: the main window unlocks on leaving.
    app.modals().then([&](QDialog *) {
        fillRequired();
        Fpage4a->btnSave01->click();
        QCOMPARE(app.boxes().last().text, u("存储成功！"));
        const int boxes = app.boxes().count();
        Fpage4a->quit01->click();
        QCOMPARE(app.boxes().count(), boxes); // nothing left to ask
        QVERIFY(!Fpage4a->isVisible());
    });
    MainForm->Button2->click();
    expectLocked(false);
    QCOMPARE(storedField("unit", "item_9"), u("示范研究院"));
    QCOMPARE(storedField("unit", "unitcode"), QString("9990001000"));
}

void TestUnitProfile::savesAndReloadsEveryField()
{
    AppFixture app;
    const QStringList fields = codeTexts("gxjs", 10), disciplines = codeTexts("xkfl", 20);
    QCOMPARE(disciplines.size(), 20);

    // A long text stored by its editor on an empty table makes the own unit's row.
    app.modals().then(editorSaves(u("研究\t方向")));
    LoadUnitProfile();
    Fpage4a->Memo1Click();
    QCOMPARE(Fpage4a->Memo1->toPlainText(), u("研究 方向"));
    QCOMPARE(storedField("unit", "studydirec"), u("研究 方向"));

    app.modals().then([&](QDialog *) {
        fillRequired();
        Fpage4a->Edt_60->setText("www.example.cn");
        Fpage4a->Edt_61->setText("kjc@example.cn");
        selectItem(Fpage4a->cb_62, "3");
        Fpage4a->cb_62Change();
        QVERIFY(Fpage4a->CB_41_3->isEnabled() && Fpage4a->cb_163->isEnabled());
        selectItem(Fpage4a->CB_41_3, "05");
        Fpage4a->cb_163->setChecked(true);
        Fpage4a->cb_64->setCurrentIndex(Fpage4a->cb_64->findText(u("11  (北京市)")));
        for (int k = 1; k <= 10; ++k) { // rows item_124_1, item_124_2, item_15_1, item_15
            const QString texts[] = {fields[10 - k], fields[k - 1], disciplines[k - 1], disciplines[9 + k]};
            for (int r = 0; r < 4; ++r)
                Fpage4a->codeEdit(kUnitCodeRows[r], k)->setText(texts[r]);
        }
        // Research field 3 through the picker.
        app.modals().then(choose(u("0101  计算机及外部设备")));
        QTest::mouseClick(Fpage4a->cb_124_2_3, Qt::LeftButton); // slot 2
        QCOMPARE(Fpage4a->edt_124_2_3->text(), u("0101  计算机及外部设备"));
        QCOMPARE(Fpage4a->Edit1->text(), QString("item_124_2_3"));
        app.modals().then(editorSaves(u("优势明显")));
        Fpage4a->Memo2Click();
        app.modals().then(editorSaves(u("一家研究院，始建于1950年。")));
        Fpage4a->Memo3Click();
        Fpage4a->btnSave01->click();
        QVERIFY(Fpage4a->Edit1->text().isEmpty());
        QVERIFY(Fpage4a->IsUnchanged());
    });
    OpenUnitProfile();
    for (const auto &[column, value] : std::initializer_list<std::pair<const char *, QString>>{
             {"item_9", u("示范研究院")}, {"item_420", "12345678-9"}, {"item_60", "www.example.cn"},
             {"item_61", "kjc@example.cn"}, {"item_41_2", "010-11112222"}, {"item_62", "3"},
             {"item_41_3", "05"}, {"item_163", "1"}, {"item_64", "11"}, {"advantage", u("优势明显")},
             {"unitintrod", u("一家研究院，始建于1950年。")}, {"studydirec", u("研究 方向")}})
        QVERIFY2(storedField("unit", column) == value, qPrintable(QString(column) + ": " + storedField("unit", column)));
    QString expected;
    for (int k = 0; k < 10; ++k)
        expected += (k == 2 ? QString("0101") : fields[k].section("  ", 0, 0)) + " ;";
    QCOMPARE(storedField("unit", "item_124_2"), expected);
    QCOMPARE(storedField("unit", "item_15").count(';'), 10);

    // Reopened over other contents: everything comes back as stored.
    QStringList before;
    for (const UnitCodeRow &row : kUnitCodeRows)
        before += Fpage4a->codeTexts(row);
    for (QLineEdit *e : Fpage4a->findChildren<QLineEdit *>())
        e->setText("x");
    for (QPlainTextEdit *m : Fpage4a->findChildren<QPlainTextEdit *>())
        m->setPlainText("x");
    app.modals().then([&](QDialog *) {
        QStringList after;
        for (const UnitCodeRow &row : kUnitCodeRows)
            after += Fpage4a->codeTexts(row);
        QCOMPARE(after, before);
        QCOMPARE(QStringList({Fpage4a->edt_9->text(), Fpage4a->cb_62->currentText(), Fpage4a->cb_64->currentText(),
                              Fpage4a->CB_41_3->currentText().left(2), Fpage4a->Memo2->toPlainText()}),
                 QStringList({u("示范研究院"), u("3  企业"), u("11  (北京市)"), "05", u("优势明显")}));
        QVERIFY(Fpage4a->cb_163->isChecked() && Fpage4a->cb_163->isEnabled());
        QVERIFY(Fpage4a->IsUnchanged());
        // No longer an enterprise: the enterprise answers go, though ticked before.
        selectItem(Fpage4a->cb_62, "1");
        Fpage4a->cb_62Change();
        QVERIFY(!Fpage4a->cb_163->isEnabled() && Fpage4a->CB_41_3->count() == 0);
        Fpage4a->btnSave01Click();
    });
    OpenUnitProfile();
    QCOMPARE(storedField("unit", "item_62") + storedField("unit", "item_41_3") + storedField("unit", "item_163"), QString("1"));
}

void TestUnitProfile::unchangedComparisonMarksAndCodes()
{
    AppFixture app;
    registerUnit();
    addRecord("2005000001", "1", u("新型材料"));
    MainForm->show();
    MainForm->MarkSectionStatus();
    MainForm->UpdateNavigationLock();
    QCOMPARE(MainForm->btn_page04->kind(), ui::BitBtn::bkHelp); // the record lacks section 04
    QVERIFY(!MainForm->DBGrid1->isEnabled());

    app.modals().then([&](QDialog *) {
        fillRequired();
        selectItem(Fpage4a->cb_62, "3");
        Fpage4a->cb_62Change();
        Fpage4a->btnSave01Click();
        QVERIFY(Fpage4a->IsUnchanged());
        // Any edited field counts, also those a first look might leave out.
        const std::function<void()> changes[] = {
            [] { Fpage4a->edt_420->setText("87654321-0"); }, [] { Fpage4a->Memo1->setPlainText(u("补充")); },
            [] { Fpage4a->Memo3->setPlainText(u("另一简介")); }, [] { selectItem(Fpage4a->CB_41_3, "01"); },
            [] { Fpage4a->cb_163->setChecked(true); }, [] { Fpage4a->edt_15_3->setText("110"); }};
        for (const auto &change : changes) {
            LoadUnitProfile();
            QVERIFY(Fpage4a->IsUnchanged());
            change();
            QVERIFY(!Fpage4a->IsUnchanged());
        }
        LoadUnitProfile();
        Fpage4a->quit01->click();
    });
    const int boxes = app.boxes().count();
    MainForm->Button2->click();
    QCOMPARE(app.boxes().texts().mid(boxes), QStringList({u("存储成功！")})); // left unchanged: no question
    // The unit is no part of the record: section 04 stays incomplete and the list locked.
    QCOMPARE(MainForm->btn_page04->kind(), ui::BitBtn::bkHelp);
    QVERIFY(!MainForm->DBGrid1->isEnabled());

    // Code lists: an unknown discipline, an old empty entry, a known one.
    db::Table *unit = DM->Tblunit;
    unit->edit();
    unit->fieldByName("item_15")->setAsString("9999999 ;;110 ;");
    unit->post();

    LoadUnitProfile();
    QCOMPARE(Fpage4a->codeTexts(kUnitCodeRows[3]).mid(0, 3), QStringList({"9999999", u("110  数学"), ""}));
    QVERIFY(Fpage4a->IsUnchanged());
    Fpage4a->edt_124_2_1->setText("0101"); // typed without its name
    Fpage4a->Button2Click();
    QCOMPARE(storedField("unit", "item_15"), QString("9999999 ;110 ;"));
    QCOMPARE(storedField("unit", "item_124_2"), QString("0101 ;"));
    LoadUnitProfile();
    QCOMPARE(Fpage4a->edt_124_2_1->text(), u("0101  计算机及外部设备"));

    // More than the column holds: told, nothing stored.
    for (int k = 1; k <= 10; ++k)
        Fpage4a->codeEdit(kUnitCodeRows[0], k)->setText("ABCDEFGHIJK"); // item_124_1
    QVERIFY(!ui::guarded([] { Fpage4a->btnSave01Click(); }));
    QVERIFY(app.boxes().last().text.contains(u("优势领域")));
    QCOMPARE(storedField("unit", "item_124_1"), QString());
    QCOMPARE(unit->state(), db::Dataset::Browse);
}

// Leaving names the first empty required field, in the window's order,
// whichever fields after it are empty too; code edits show their code.
void TestUnitProfile::requiredFieldsInTheirOrder()
{
    AppFixture app;
    registerUnit();
    MainForm->show();
    const QList<std::pair<std::function<void()>, const char *>> required = {
        {[] { Fpage4a->edt_9->clear(); }, "\"单位名称\"不能为空！"},
        {[] { Fpage4a->Edt_37->clear(); }, "\"通讯地址\"不能为空！"},
        {[] { Fpage4a->Edt_38->clear(); }, "\"邮政编码\"不能为空！"},
        {[] { Fpage4a->edt_420->clear(); }, "\"单位法人\"不能为空！"},
        {[] { Fpage4a->Edt_39->clear(); }, "\"单位电话\"不能为空！"},
        {[] { Fpage4a->Edt_40->clear(); }, "\"单位传真\"不能为空！"},
        {[] { Fpage4a->Memo3->clear(); }, "\"单位简介\"不能为空！"},
        {[] { Fpage4a->Edt_41->clear(); }, "\"联系部门\"不能为空！"},
        {[] { Fpage4a->Edt_41_2->clear(); }, "\"联系部门电话\"不能为空！"},
    };
    app.modals().then([&](QDialog *) {
        for (int step = 0; step < required.size(); ++step) {
            fillRequired();
            for (int later = step; later < required.size(); ++later)
                required[later].first();
            app.boxes().clear();
            Fpage4a->quit01->click();
            QCOMPARE(app.boxes().texts(), QStringList{u(required[step].second)});
            QVERIFY(Fpage4a->isVisible());
        }
        // Optional fields may stay empty.
        fillRequired();
        Fpage4a->Edt_60->clear();
        Fpage4a->btnSave01Click();
        Fpage4a->quit01->click();
        QVERIFY(!Fpage4a->isVisible());
    });
    MainForm->Button2->click();

    // A code edit narrower than "code  name" shows the code.
    db::Table *unit = DM->Tblunit;
    unit->edit();
    unit->fieldByName("item_124_2")->setAsString("0101 ;");
    unit->post();
    LoadUnitProfile();
    QCOMPARE(Fpage4a->edt_124_2_1->text(), u("0101  计算机及外部设备"));
    QCOMPARE(Fpage4a->edt_124_2_1->cursorPosition(), 0);
}

QTEST_MAIN(TestUnitProfile)
#include "tst_unitprofile.moc"
