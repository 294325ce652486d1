#include "AppFixture.h"
#include "EntryControls.h"
#include "Records.h"
#include "SectionForm.h"
#include "Unit1.h"
#include "UnitDM.h"
#include "Unitpage9.h"
#include "Finto8Unit.h"
#include "Unitpage8.h"
#include "Unitpage3.h"
#include "UnitPage1.h"
#include "UnitNew.h"
#include "SharedRoutines.h"
#include "text/Gbk.h"
#include "text/Utf8.h"
#include "ui/HandlerGuard.h"
#include "ui/Clock.h"
#include "ui/MessageBox.h"
#include "ui/Seam.h"

#include <QClipboard>
#include <QDateEdit>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QStackedWidget>
#include <QtTest>

namespace {

void showOneRecord()
{
    showWithRecords({{"2005000001", "1", u("新型材料")}});
}

// A form with one amount, to make a post fail.
class AmountForm : public SectionForm
{
public:
    QLineEdit *amount = new QLineEdit(this);
    AmountForm() : SectionForm("02") { addBinding(textBinding("ITEM_45", amount)); }

protected:
    bool checksFields() const override { return false; }
};

// A form with a coded list and a choice panel.
class ChoiceForm : public SectionForm
{
public:
    QComboBox *level = new QComboBox(this);
    QWidget *panel = new QWidget(this);
    ChoiceForm() : SectionForm("01")
    {
        panel->setObjectName("Pl_125");
        for (const char *code : {"01", "05", "07"})
            (new QCheckBox(panel))->setObjectName(QString("cb_125_") + code);
        addBinding(codeBinding("ITEM_2", level, 3, [](QComboBox *c) {
            FillComboFromDict(DM->Tblzdxx, "item_2", c, 0);
        }));
        addBinding(choiceBinding("ITEM_125", this, "Pl_125", 2, QString::fromUtf8("成果应用行业")));
    }
    QCheckBox *box(const char *code) { return panel->findChild<QCheckBox *>(QString("cb_125_") + code); }

protected:
    bool checksFields() const override { return false; }
};

} // namespace

class TestSections : public QObject
{
    Q_OBJECT

private slots:
    void section09SavesAndReloads();
    void leavingAsksAboutChanges();
    void failedPostLeavesNoEditMode();
    void entryControls();
    void memosAndEditsInEveryWindow();
    void typedDatesInEveryDateEdit();
    void codesAndChoices();
    void openingOnAnEmptyList();
    void storedValuesComeBackAsStored();
};

void TestSections::section09SavesAndReloads()
{
    AppFixture app;
    showOneRecord();
    MainForm->SetSectionState("09", false);
    app.modals().then([](QDialog *) {
        QVERIFY(Fpage9->CheckBox_302->isChecked()); // no date stored: 清空
        QVERIFY(Fpage9->EDT_302->isVisibleTo(Fpage9) && !Fpage9->DTP_302->isVisibleTo(Fpage9));
        QCOMPARE(Fpage9->windowTitle(), u("成果名称：新型材料"));
        QCOMPARE(Fpage9->size(), QSize(800, 600));
        Fpage9->Edt_301->setText(u("鉴字〔2005〕第001号"));
        Fpage9->EDT_302Click(); // the picker comes back
        Fpage9->DTP_302->setDate(QDate(2004, 5, 6));
        Fpage9->Mo_13_2->setPlainText(u("推广\t前景\n第二行"));
        Fpage9->Mo_303->setPlainText(u("同意通过鉴定。"));
        Fpage9->btnSave01Click();
        QCOMPARE(Fpage9->Mo_13_2->toPlainText(), u("推广 前景\n第二行")); // the memo shows what is stored
        Fpage9->Button2Click();
    });
    MainForm->btn_page09->click();
    QCOMPARE(app.modals().shown().last(), QString("TFpage9"));
    QCOMPARE(app.boxes().texts(), QStringList({u("存储成功！")}));
    QCOMPARE(MainForm->btn_page09->kind(), ui::BitBtn::bkYes);
    QCOMPARE(MainForm->btn_page09->text(), u("鉴定证书内容"));
    QCOMPARE(storedField("kjcg", "ITEM_301"), u("鉴字〔2005〕第001号"));
    QCOMPARE(storedField("kjcg", "ITEM_302"), QString("2004.05.06"));
    QCOMPARE(storedField("kjcg", "ITEM_13_2"), u("推广 前景\r\n第二行")); // as packages and peers expect
    QCOMPARE(storedField("kjcg", "ITEM_303"), u("同意通过鉴定。"));

    // Reopened: everything comes back; 清空 then stores an empty date.
    app.modals().then([](QDialog *) {
        QVERIFY(!Fpage9->CheckBox_302->isChecked());
        QCOMPARE(Fpage9->DTP_302->date(), QDate(2004, 5, 6));
        QCOMPARE(Fpage9->Mo_13_2->toPlainText(), u("推广 前景\n第二行"));
        Fpage9->CheckBox_302->click();
        QVERIFY(!Fpage9->DTP_302->isVisibleTo(Fpage9));
        Fpage9->btnSave01Click();
    });
    MainForm->btn_page09->click();
    QCOMPARE(storedField("kjcg", "ITEM_302"), QString());

    // A stored date that is no date is reported and shows as no date, not
    // as the date the picker held from the last record.
    setRecordField("2005000001", "ITEM_302", "2004.13.40");
    app.boxes().clear();
    app.modals().then([](QDialog *) {
        QVERIFY(Fpage9->CheckBox_302->isChecked());
        QVERIFY(Fpage9->IsUnchanged() == false); // saving would clear the bad text
    });
    MainForm->btn_page09->click();
    QCOMPARE(app.boxes().texts().value(0), u("本项登记日期：'2004.13.40'不是正确的时间格式！现在已经更换。"));
}

void TestSections::leavingAsksAboutChanges()
{
    AppFixture app;
    showOneRecord();
    // Help follows the category; unchanged, the form closes without a question.
    app.modals().then([](QDialog *) {
        Fpage9->Button1Click();
        MainForm->ComboBox1->setCurrentIndex(1);
        Fpage9->Button1Click();
        MainForm->ComboBox1->setCurrentIndex(0);
        Fpage9->Button2Click();
    });
    MainForm->btn_page09->click();
    QCOMPARE(app.boxes().count(), 0);
    QCOMPARE(app.modals().shown().mid(2), QStringList({"THelpForm", "THelpForm_rj"}));

    // Changed, answer No: closes, nothing stored.
    app.boxes().answer(ui::IDNO);
    app.modals().then([](QDialog *) {
        Fpage9->Mo_133->setPlainText(u("测试报告"));
        Fpage9->Button2Click();
        QVERIFY(!Fpage9->isVisible());
    });
    MainForm->btn_page09->click();
    QCOMPARE(app.boxes().last().text, u("记录已经更改,是否保存？"));
    QCOMPARE(app.boxes().last().caption, u("请注意！"));
    QCOMPARE(app.boxes().last().flags, ui::MB_YESNO | ui::MB_ICONQUESTION | ui::MB_ESCAPECANCELS);
    QCOMPARE(storedField("kjcg", "ITEM_133"), QString());

    // Yes: saved, then closed.
    app.boxes().answer(ui::IDYES);
    app.modals().then([](QDialog *) {
        Fpage9->Mo_133->setPlainText(u("测试报告"));
        Fpage9->Button2Click();
    });
    MainForm->btn_page09->click();
    QCOMPARE(storedField("kjcg", "ITEM_133"), u("测试报告"));
    QVERIFY(app.boxes().texts().contains(u("存储成功！")));
}

void TestSections::failedPostLeavesNoEditMode()
{
    AppFixture app;
    showOneRecord();
    AmountForm form;
    form.amount->setText("1e40"); // wider than its column
    QVERIFY(!form.save());
    QCOMPARE(app.boxes().last().caption, u("提示"));
    QCOMPARE(DM->Qrykjcg->state(), db::Dataset::Browse);
    QCOMPARE(MainForm->btn_page02->kind(), ui::BitBtn::bkYes); // not marked by the failed save
    MainForm->SetSectionState("02", false);
    QVERIFY(!form.save());
    QCOMPARE(MainForm->btn_page02->kind(), ui::BitBtn::bkHelp);

    // Leaving with Yes and a failed post: the form stays open with what was typed.
    app.boxes().answer({ui::IDYES, ui::IDOK, ui::IDNO});
    app.modals().then([&](QDialog *) {
        form.amount->setText("1e40");
        form.leave();
        QVERIFY(form.isVisible());
        QCOMPARE(form.amount->text(), QString("1e40"));
        form.leave(); // No this time: closed, nothing stored
        QVERIFY(!form.isVisible());
    });
    form.openOnCurrentRecord();
    const int n = app.boxes().count();
    QCOMPARE(app.boxes().texts().mid(n - 3).count(u("记录已经更改,是否保存？")), 2);
    QCOMPARE(app.boxes().requests().at(n - 2).caption, u("提示")); // the failed post, between the two

    // The next save of another section does not carry the refused value.
    app.modals().then([](QDialog *) { Fpage9->btnSave01Click(); });
    MainForm->btn_page09->click();
    QCOMPARE(storedField("kjcg", "ITEM_45"), QString());
}

void TestSections::entryControls()
{
    AppFixture app;
    // Money edits: letters never arrive; a pasted non-number is reported and zeroed.
    QLineEdit money, funding;
    makeMoneyEdit(&money, false);
    makeMoneyEdit(&funding, true);
    QTest::keyClicks(&money, "12a.5");
    QCOMPARE(money.text(), QString("125"));
    QTest::keyClicks(&funding, "3.5x");
    QCOMPARE(funding.text(), QString("3.5"));
    money.setText("12a");
    QCOMPARE(money.text(), QString("0"));
    QCOMPARE(app.boxes().last().text, u("12a 不是正确的数据格式！现在已经置零"));

    // Edits hold at most their column's width in GBK bytes: 40 Chinese
    // characters fill an 80-byte column, one byte more is refused.
    const QString full = QString(40, QChar(0x9274));
    Fpage9->Edt_301->clear();
    for (QChar c : full + "a") {
        QKeyEvent typed(QEvent::KeyPress, 0, Qt::NoModifier, QString(c));
        QApplication::sendEvent(Fpage9->Edt_301, &typed);
    }
    QCOMPARE(Fpage9->Edt_301->text(), full);
}

// Every memo is left with Tab, as the other fields are, and no TAB reaches
// its text. A paste of characters GBK cannot hold into any memo or edit keeps
// what GBK holds and names, in one message, what it left out.
void TestSections::memosAndEditsInEveryWindow()
{
    const QWidgetList before = QApplication::topLevelWidgets();
    AppFixture app;
    registerUnit();
    const QString pasted = u("😀한€");
    QStringList faults, memos;
    for (QWidget *window : QApplication::topLevelWidgets()) {
        if (before.contains(window) || window->windowType() == Qt::Popup || !qobject_cast<QDialog *>(window))
            continue;
        window->show();
        QApplication::setActiveWindow(window);
        QList<QWidget *> editors;
        for (QWidget *w : window->findChildren<QWidget *>()) {
            auto *memo = qobject_cast<QPlainTextEdit *>(w);
            auto *edit = qobject_cast<QLineEdit *>(w);
            if ((!memo || memo->isReadOnly()) && (!edit || edit->isReadOnly()))
                continue;
            // On a page of its own: that page comes up.
            for (QWidget *p = w; p != window; p = p->parentWidget())
                if (auto *pages = qobject_cast<QStackedWidget *>(p->parentWidget()))
                    pages->setCurrentWidget(p);
            if (w->isVisibleTo(window))
                editors << w;
        }
        for (QWidget *w : editors) {
            const QString name = window->objectName() + "/" + w->objectName();
            auto *memo = qobject_cast<QPlainTextEdit *>(w);
            if (memo) {
                memos << name;
                memo->setPlainText("a");
                memo->setFocus();
                QTest::keyClick(memo, Qt::Key_Tab);
                if (memo->toPlainText() != "a" || QApplication::focusWidget() == memo)
                    faults << name + " takes Tab";
                memo->clear();
            } else {
                static_cast<QLineEdit *>(w)->clear();
            }
            app.boxes().clear();
            QApplication::clipboard()->setText(pasted);
            memo ? memo->paste() : static_cast<QLineEdit *>(w)->paste();
            QCoreApplication::processEvents();
            const QString text = memo ? memo->toPlainText() : static_cast<QLineEdit *>(w)->text();
            if (!gbk::encodable(text))
                faults << name + " keeps " + text;
            else if (text.contains(u("€")) && app.boxes().texts().filter(u("“😀”“한”")).size() != 1)
                faults << name + " tells " + app.boxes().texts().join('|');
        }
        window->hide();
    }
    QVERIFY(memos.contains("TFpage9/Mo_303") && memos.contains("TFpage1/Mo_13") && memos.contains("TFpage10/Memoad"));
    QVERIFY2(faults.isEmpty(), qPrintable(faults.join('\n')));
}

// Each date edit of the program stores the date typed into it, as the
// user types it: over a selection, into the empty field, with or without
// dots, left by a button, by Escape or while still typing. A date typed
// away is no date; one that is no date is refused and not stored.
void TestSections::typedDatesInEveryDateEdit()
{
    AppFixture app;
    showWithRecords({{"2005000001", "1", u("新型材料")}});
    completeRecord("2005000001");
    MainForm->RefreshRecordList();
    const auto typeOver = [](QDateEdit *picker, const char *keys) {
        QApplication::setActiveWindow(picker->window());
        picker->setFocus();
        QTest::keyClick(picker, Qt::Key_A, Qt::ControlModifier);
        QTest::keyClicks(picker, QString::fromLatin1(keys));
    };
    const auto stored = [](const char *field) { return storedField("kjcg", field, "2005000001"); };
    const auto inSection = [&](QAbstractButton *button, std::function<void()> work) {
        app.modals().then([work](QDialog *window) {
            work();
            window->hide();
        });
        button->click();
    };

    // Section 03: into the empty field, then over the date and left by
    // Escape while typing, then typed away; a date that is none is refused.
    inSection(MainForm->btn_page03, [&] {
        Fpage3->cb_21->setCurrentIndex(0);
        Fpage3->findChild<QAbstractButton *>("cb_126_02")->setChecked(true);
        QVERIFY(Fpage3->CheckBox_34->isChecked());
        QApplication::setActiveWindow(Fpage3);
        Fpage3->edt_34->setFocus();
        QTest::keyClick(Fpage3->edt_34, '2');
        QTest::keyClicks(QApplication::focusWidget(), "026.11.20");
        QVERIFY(!Fpage3->CheckBox_34->isChecked() && Fpage3->DTP_34->isVisible());
        QTest::mouseClick(Fpage3->btnSave01, Qt::LeftButton);
        QCOMPARE(stored("ITEM_34"), QString("2026.11.20"));

        typeOver(Fpage3->DTP_34, "2025.03.1");
        app.boxes().answer(ui::IDYES);
        QTest::keyClick(Fpage3->DTP_34, Qt::Key_Escape);
    });
    QCOMPARE(stored("ITEM_34"), QString("2025.03.01"));
    QCOMPARE(app.boxes().texts().mid(app.boxes().count() - 2), QStringList({u("记录已经更改,是否保存？"), u("存储成功！")}));
    inSection(MainForm->btn_page03, [&] {
        app.boxes().clear();
        typeOver(Fpage3->DTP_34, "2026.11");
        Fpage3->btnSave01->click(); // refused: nothing stored, no "存储成功！"
        QCOMPARE(app.boxes().texts(), QStringList{u("“2026.11.”不是完整的日期（日期格式：YYYY.MM.DD），未被采用，日期仍为 2025.03.01。")});
        typeOver(Fpage3->DTP_34, "");
        QTest::keyClick(Fpage3->DTP_34, Qt::Key_Delete);
        Fpage3->btnSave01->click();
        QVERIFY(Fpage3->CheckBox_34->isChecked() && Fpage3->edt_34->isVisible());
    });
    QCOMPARE(stored("ITEM_34"), QString());

    // Section 09: with dots over the whole date, as its own hint asks.
    inSection(MainForm->btn_page09, [&] {
        Fpage9->EDT_302Click();
        QTest::keyClicks(Fpage9->DTP_302, "2025.03.15");
        Fpage9->btnSave01->click();
    });
    QCOMPARE(stored("ITEM_302"), QString("2025.03.15"));

    // Section 01's registration date, without dots.
    inSection(MainForm->btn_page01, [&] {
        Fpage1->CB_1->setCurrentIndex(0);
        Fpage1->edt_8_y_s->setText("2003"), Fpage1->edt_8_m_s->setText("01");
        Fpage1->edt_8_y_e->setText("2004"), Fpage1->edt_8_m_e->setText("12");
        Fpage1->findChild<QAbstractButton *>("CB_125_23")->click();
        typeOver(Fpage1->DTP_121, "20261120");
        Fpage1->btnSave01->click();
    });
    QCOMPARE(stored("ITEM_121"), QString("2026-11-20"));

    // A completing person's birth month, into the picker that shows none.
    inSection(MainForm->btn_page08, [&] {
        app.modals().then([&](QDialog *) {
            Finto8->edtry_180->setText(u("李四"));
            Finto8->dtpry_182->setDate(Finto8->dtpry_182->minimumDate());
            Finto8->dtpry_182->setFocus();
            QTest::keyClicks(Finto8->dtpry_182, "1980.5");
            Finto8->Button1->click();
        });
        Fpage8->Button2->click();
    });
    QCOMPARE(storedRows("cgwcr", {"ITEM_180", "ITEM_182"}, "2005000001").last(), u("李四|1980.05"));
}

void TestSections::codesAndChoices()
{
    AppFixture app;
    showOneRecord();
    ChoiceForm form;
    setRecordField("2005000001", "ITEM_2", "3");
    setRecordField("2005000001", "ITEM_125", "07;01;");
    app.modals().then([&](QDialog *) {
        QVERIFY(form.level->currentText().startsWith("3  "));
        QVERIFY(form.box("01")->isChecked() && form.box("07")->isChecked() && !form.box("05")->isChecked());
        QVERIFY(form.IsUnchanged() == false); // stored out of order: a save would sort it
        form.level->setCurrentIndex(0);
        form.box("01")->setChecked(false);
        form.box("05")->setChecked(true);
        QVERIFY(form.save());
    });
    form.openOnCurrentRecord();
    QCOMPARE(storedField("kjcg", "ITEM_2"), QString("1"));
    QCOMPARE(storedField("kjcg", "ITEM_125"), QString("05;07;"));

    // A third choice is refused before anything is written.
    form.box("01")->setChecked(true);
    QVERIFY(!ui::guarded([&] { form.save(); }));
    QVERIFY(app.boxes().last().text.contains(QString::fromUtf8("至多选择二项")));
    QCOMPARE(storedField("kjcg", "ITEM_125"), QString("05;07;"));
    QCOMPARE(DM->Qrykjcg->state(), db::Dataset::Browse);
}

void TestSections::openingOnAnEmptyList()
{
    AppFixture app;
    registerUnit();
    MainForm->show();
    QVERIFY(DM->Qrykjcg->isEmpty());
    // Cancelled: no record, no section form.
    app.modals().then([](QDialog *d) { QCOMPARE(d->objectName(), QString("TFormNew")); });
    MainForm->btn_page09->click();
    QCOMPARE(app.modals().shown().last(), QString("TFormNew"));
    QVERIFY(DM->Qrykjcg->isEmpty());

    // Stored there: the section form opens on the new record at once.
    app.modals().then([](QDialog *d) {
        auto *dialog = static_cast<TFormNew *>(d);
        dialog->edt_3->setText(u("新建成果"));
        dialog->Button1Click();
    });
    app.modals().then([](QDialog *) { QCOMPARE(Fpage9->windowTitle(), u("成果名称：新建成果")); });
    MainForm->btn_page09->click();
    QCOMPARE(app.modals().shown().last(), QString("TFpage9"));
    QCOMPARE(DM->Qrykjcg->recordCount(), 1);
}

// A record as packages and other programs leave it: memos with CR LF, a
// date before any the pickers used to take. Opened and left untouched it
// asks nothing; saved, it keeps every byte; typing is held to what the
// fields can store.
void TestSections::storedValuesComeBackAsStored()
{
    AppFixture app;
    showOneRecord();
    setRecordField("2005000001", "ITEM_13_2", u("第一行\r\n第二行\r\n"));
    setRecordField("2005000001", "ITEM_302", "1949.10.01");
    app.modals().then([](QDialog *) {
        QCOMPARE(Fpage9->DTP_302->date(), QDate(1949, 10, 1));
        QVERIFY(!Fpage9->CheckBox_302->isChecked());
        QCOMPARE(Fpage9->Mo_13_2->toPlainText(), u("第一行\n第二行\n"));
        QVERIFY(Fpage9->IsUnchanged());
        Fpage9->Button2Click();
        QVERIFY(!Fpage9->isVisible());
    });
    MainForm->btn_page09->click();
    QCOMPARE(app.boxes().count(), 0);

    app.modals().then([](QDialog *) {
        // A long paste is cut at the field's 80 bytes, at a character boundary.
        QApplication::clipboard()->setText(u("甲") + QString(50, QChar(0x9274)));
        Fpage9->Edt_301->clear();
        Fpage9->Edt_301->paste();
        QCOMPARE(Fpage9->Edt_301->text(), u("甲") + QString(39, QChar(0x9274)));
        // What GBK cannot hold never reaches a memo, so never the table as "?".
        Fpage9->Mo_303->setPlainText(u("同意😀通过한"));
        Fpage9->btnSave01Click();
    });
    MainForm->btn_page09->click();
    QCOMPARE(storedField("kjcg", "ITEM_302"), QString("1949.10.01"));
    QCOMPARE(storedField("kjcg", "ITEM_13_2"), u("第一行\r\n第二行\r\n"));
    QCOMPARE(storedField("kjcg", "ITEM_303"), u("同意通过"));
    QCOMPARE(storedField("kjcg", "ITEM_301"), u("甲") + QString(39, QChar(0x9274)));
}

QTEST_MAIN(TestSections)
#include "tst_sections.moc"
