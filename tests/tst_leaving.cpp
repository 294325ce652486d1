// Every way of closing a window (its leave button, Escape, the title bar's
// close box or Alt+F4) goes through the window's leave routine, which may
// refuse; Enter clicks no button.
#include "AppFixture.h"
#include "Records.h"
#include "TreeRequests.h"
#include "Unit1.h"
#include "Unit2.h"
#include "UnitDM.h"
#include "UnitNew.h"
#include "Finto5Unit.h"
#include "UnitPage1.h"
#include "Unitpage10.h"
#include "Unitpage4a.h"
#include "Unitpage5.h"
#include "Unitpage4a3.h"
#include "Unitpage9.h"
#include "Unittree.h"
#include "text/Utf8.h"
#include "yyPrintUnit13.h"
#include "ui/MessageBox.h"

#include <QApplication>
#include <QPushButton>
#include <QtTest>

#include <optional>

namespace {

// The two ways a window closes without its own buttons: Escape, and the
// close event the window system sends for the close box and Alt+F4.
enum class Way { Escape, CloseBox };
const QList<Way> kWays = {Way::Escape, Way::CloseBox};

void closeBy(QWidget *window, Way way)
{
    if (way == Way::Escape)
        QTest::keyClick(window->focusWidget() ? window->focusWidget() : window, Qt::Key_Escape);
    else
        window->close();
}

void pressEnterIn(QWidget *control)
{
    control->setFocus();
    QTest::keyClick(control, Qt::Key_Return);
    QTest::keyClick(control, Qt::Key_Enter, Qt::KeypadModifier);
}

const char *kChanged = "记录已经更改,是否保存？";

} // namespace

class TestLeaving : public QObject
{
    Q_OBJECT

private slots:
    void sectionFormsLeaveThroughTheirChecks();
    void sectionWithoutChecksAsksBeforeDropping();
    void saveQuestionCanBeCancelled();
    void unitProfileAndItsEditors();
    void newRecordTreePickerAndHelp();
    void noWindowHasADefaultButton();
};

// Section 01 checks before it lets go: Escape and the close box show the
// check's message and keep the form open; once valid and stored, any way out
// closes it and the main window's lock is evaluated again.
void TestLeaving::sectionFormsLeaveThroughTheirChecks()
{
    AppFixture app;
    showWithRecords({{"2005000001", "1", u("新型材料")}});
    completeRecord("2005000001");
    MainForm->RefreshRecordList();
    MainForm->SetSectionState("01", false);
    QVERIFY(!MainForm->UpdateNavigationLock());
    const QByteArray before = storedField("kjcg", "ITEM_120", "2005000001").toUtf8();
    app.modals().then([&](QDialog *) {
        Fpage1->Edt_120->setText("GL-001");
        pressEnterIn(Fpage1->Edt_120);
        QCOMPARE(app.boxes().count(), 0); // Enter stores nothing
        for (Way way : kWays) {
            app.boxes().clear();
            Fpage1->CB_1->setCurrentIndex(-1);
            closeBy(Fpage1, way);
            QVERIFY(Fpage1->isVisible());
            QVERIFY2(!app.boxes().texts().isEmpty() && app.boxes().texts().first() != u(kChanged),
                     qPrintable(app.boxes().texts().join('|')));
        }
        QCOMPARE(storedField("kjcg", "ITEM_120", "2005000001").toUtf8(), before);
        QVERIFY(!MainForm->DBGrid1->isEnabled());
        // Made valid and stored: Escape closes it, and the lock opens.
        Fpage1->CB_1->setCurrentIndex(0);
        Fpage1->edt_8_y_s->setText("2003"), Fpage1->edt_8_m_s->setText("01");
        Fpage1->edt_8_y_e->setText("2004"), Fpage1->edt_8_m_e->setText("12");
        Fpage1->DTP_121->setDate(QDate(2005, 6, 1));
        Fpage1->findChild<QAbstractButton *>("CB_125_23")->click();
        Fpage1->btnSave01Click();
        closeBy(Fpage1, Way::Escape);
        QVERIFY(!Fpage1->isVisible());
    });
    MainForm->btn_page01->click();
    QCOMPARE(app.boxes().texts().last(), u("存储成功！"));
    QCOMPARE(storedField("kjcg", "ITEM_120", "2005000001"), QString("GL-001"));
    QVERIFY(MainForm->DBGrid1->isEnabled());
}

// Section 09 has no checks: each way out asks about typed changes; No
// drops them, and Enter in its fields stores nothing.
void TestLeaving::sectionWithoutChecksAsksBeforeDropping()
{
    AppFixture app;
    showWithRecords({{"2005000001", "1", u("新型材料")}});
    for (Way way : kWays) {
        app.boxes().clear();
        app.boxes().answer(ui::IDNO);
        app.modals().then([&](QDialog *) {
            Fpage9->Edt_301->setText(u("鉴字第1号"));
            pressEnterIn(Fpage9->Edt_301);
            pressEnterIn(Fpage9->DTP_302->isVisible() ? static_cast<QWidget *>(Fpage9->DTP_302) : Fpage9->EDT_302);
            QCOMPARE(app.boxes().count(), 0);
            closeBy(Fpage9, way);
            QVERIFY(!Fpage9->isVisible());
        });
        MainForm->btn_page09->click();
        QCOMPARE(app.boxes().texts(), QStringList{u(kChanged)});
        QCOMPARE(storedField("kjcg", "ITEM_301", "2005000001"), QString());
    }
    // Yes stores before it closes.
    app.boxes().answer(ui::IDYES);
    app.modals().then([](QDialog *) {
        Fpage9->Edt_301->setText(u("鉴字第2号"));
        Fpage9->close();
    });
    MainForm->btn_page09->click();
    QCOMPARE(storedField("kjcg", "ITEM_301", "2005000001"), u("鉴字第2号"));
}

// The question before typed values are dropped keeps only 是 and 否, but
// Escape in the box or its close button puts it aside: the window stays with
// what was typed and nothing is stored, whichever way it was being left.
void TestLeaving::saveQuestionCanBeCancelled()
{
    AppFixture app;
    showWithRecords({{"2005000001", "1", u("新型材料")}});
    using Work = std::function<void()>;
    // Runs work in the window click shows from the window opener shows.
    const auto through = [&app](Work opener, Work click) {
        return [&app, opener, click](Work work) {
            app.modals().then([&app, click, work](QDialog *outer) {
                app.modals().then([work](QDialog *) { work(); });
                click();
                outer->hide();
            });
            opener();
        };
    };
    const auto fromMain = [&app](QAbstractButton *button) {
        return [&app, button](Work work) {
            app.modals().then([work](QDialog *) { work(); });
            button->click();
        };
    };
    const auto fillProfile = [] {
        for (QLineEdit *e : {Fpage4a->Edt_37, Fpage4a->Edt_38, Fpage4a->edt_420, Fpage4a->Edt_39, Fpage4a->Edt_40,
                             Fpage4a->Edt_41, Fpage4a->Edt_41_2})
            e->setText("1");
        Fpage4a->Memo3->setPlainText("1");
    };
    struct Form
    {
        std::function<void(Work)> open; // runs the work in the window
        QDialog *window;
        QLineEdit *edit;
        QAbstractButton *leave;
        Work makeValid;
        const char *table, *column;
    };
    const QList<Form> forms = {
        {fromMain(MainForm->btn_page09), Fpage9, Fpage9->Edt_301, Fpage9->Button2, [] {}, "kjcg", "ITEM_301"},
        {through([] { MainForm->btn_page05->click(); }, [] { Fpage5->Button2->click(); }), Finto5, Finto5->edtdw_170,
         Finto5->Button2, [] {}, "cgwcdw", "ITEM_170"},
        {[&](Work work) {
             app.modals().then([work](QDialog *) {
                 work();
                 Fpage4a->hide();
             });
             OpenUnitProfile();
         },
         Fpage4a, Fpage4a->edt_9, Fpage4a->quit01, fillProfile, "unit", "item_9"},
        {through(OpenUnitProfile, [] { Fpage4a->Button5->click(); }), Fpage10, Fpage10->Edt_9, Fpage10->quit01,
         [] { Fpage10->Button2->click(); }, "unit", "item_9"},
    };
    const QString typed = u("问过再说");
    for (const Form &form : forms) {
        form.open([&] {
            form.makeValid();
            for (int way = 0; way < 3; ++way) {
                form.edit->setText(typed);
                app.boxes().clear();
                app.boxes().answer(ui::IDCANCEL);
                way < kWays.size() ? closeBy(form.window, kWays[way]) : form.leave->click();
                QVERIFY2(form.window->isVisible() && form.edit->text() == typed, form.table);
                QVERIFY(app.boxes().count() == 1 && (app.boxes().last().flags & ui::MB_ESCAPECANCELS));
                QCOMPARE(app.boxes().last().buttonSet(), ui::MB_YESNO);
            }
            app.boxes().answer(ui::IDNO);
            form.leave->click();
            QVERIFY(!form.window->isVisible());
        });
        QVERIFY2(storedRows(form.table, {form.column}).filter(typed).isEmpty(), form.table);
    }
}

// The profile cannot be left before its required fields are filled, however
// it is closed; its long-text editors leave through 退出.
void TestLeaving::unitProfileAndItsEditors()
{
    AppFixture app;
    MainForm->FirstRunRegistration = {};
    MainForm->show();
    app.modals().then([&](QDialog *) {
        pressEnterIn(Fpage4a->edt_9);
        QCOMPARE(app.boxes().count(), 0);
        for (Way way : kWays) {
            app.boxes().clear();
            closeBy(Fpage4a, way);
            QVERIFY(Fpage4a->isVisible());
            QCOMPARE(app.boxes().texts(), QStringList{u("\"单位名称\"不能为空！")});
        }
        app.modals().then([](QDialog *editor) {
            static_cast<QPlainTextEdit *>(editor->findChild<QPlainTextEdit *>("Memo1"))->setPlainText(u("不存"));
            QTest::keyClick(editor, Qt::Key_Escape);
            QVERIFY(!editor->isVisible());
        });
        Fpage4a->Memo3Click();
        QCOMPARE(Fpage4a->Memo3->toPlainText(), QString()); // left without 保存
        Fpage4a->hide();
    });
    OpenUnitProfile();
    QCOMPARE(app.modals().shown().mid(1), QStringList({"TFpage4a", "Tformunitintrod"})); // after the splash
    QVERIFY(DM->Tblunit->isEmpty());
}

void TestLeaving::newRecordTreePickerAndHelp()
{
    AppFixture app;
    showWithRecords({{"2005000001", "1", u("新型材料")}});
    // The new-record dialog: a title without its unit is named by the leave
    // routine and keeps the dialog open; both typed, it asks.
    for (Way way : kWays) {
        app.boxes().clear();
        app.modals().then([&](QDialog *) {
            FormNew->edt_3->setText(u("只有名称"));
            FormNew->edt_9->clear();
            pressEnterIn(FormNew->edt_3);
            QCOMPARE(app.boxes().count(), 0);
            closeBy(FormNew, way);
            QVERIFY(FormNew->isVisible());
            QCOMPARE(app.boxes().texts(), QStringList{u("成果第一完成单位不能为空！")});
            FormNew->edt_9->setText(u("某单位"));
            app.boxes().answer(ui::IDCANCEL);
            closeBy(FormNew, way);
            QCOMPARE(app.boxes().texts().last(), u("退出并储存？"));
            QVERIFY(!FormNew->isVisible());
        });
        MainForm->Button1->click();
    }
    QCOMPARE(listed(), QStringList{u("新型材料")});

    // The picker: Escape and the close box cancel, the edit keeps its text.
    QVERIFY(DM->Qrykjcg->locate("ITEM_4", "2005000001"));
    for (Way way : kWays) {
        app.modals().then([&](QDialog *) {
            Fpage1->Edt_15->setText(u("110  数学"));
            app.modals().then([&](QDialog *) {
                FormTree->TreeView1->setCurrentItem(FormTree->TreeView1->topLevelItem(0)->child(0));
                pressEnterIn(FormTree->TreeView1);
                QVERIFY(FormTree->isVisible());
                closeBy(FormTree, way);
                QVERIFY(!FormTree->isVisible());
            });
            Fpage1->cb_15DropDown();
            QCOMPARE(Fpage1->Edt_15->text(), u("110  数学"));
            Fpage1->hide();
        });
        MainForm->btn_page01->click();
    }
    QCOMPARE(app.modals().results().mid(app.modals().results().size() - 4).count(QDialog::Accepted), 0);

    // Help windows close on Escape and the close box.
    for (QDialog *help : {static_cast<QDialog *>(HelpForm), static_cast<QDialog *>(HelpForm_rj)})
        for (Way way : kWays) {
            help->show();
            closeBy(help, way);
            QVERIFY(!help->isVisible());
        }
}

// No push button of any window is a default one, so Enter clicks none.
void TestLeaving::noWindowHasADefaultButton()
{
    const QWidgetList before = QApplication::topLevelWidgets();
    AppFixture app;
    registerUnit();
    int windows = 0;
    for (QWidget *w : QApplication::topLevelWidgets()) {
        auto *dialog = qobject_cast<QDialog *>(w);
        if (before.contains(w) || !dialog)
            continue;
        ++windows;
        dialog->show();
        int clicks = 0;
        const QList<QPushButton *> buttons = dialog->findChildren<QPushButton *>();
        for (QPushButton *b : buttons) {
            QVERIFY2(!b->isDefault() && !b->autoDefault(), qPrintable(dialog->objectName() + "/" + b->objectName()));
            connect(b, &QPushButton::clicked, dialog, [&clicks] { ++clicks; });
        }
        QTest::keyClick(dialog, Qt::Key_Return);
        if (!buttons.isEmpty()) {
            buttons.first()->setFocus();
            QTest::keyClick(buttons.first(), Qt::Key_Return);
        }
        QVERIFY2(clicks == 0, qPrintable(dialog->objectName()));
        dialog->hide();
    }
    QVERIFY(windows >= 10);
}

QTEST_MAIN(TestLeaving)
#include "tst_leaving.moc"
