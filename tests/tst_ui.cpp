#include "FakeDesktopOpener.h"
#include "db/file/DbError.h"
#include "ui/BitBtn.h"
#include "ui/DatePicker.h"
#include "ui/Clock.h"
#include "ui/DesktopOpener.h"
#include "ui/FileChoosers.h"
#include "ui/FixedSize.h"
#include "ui/HandlerGuard.h"
#include "ui/MessageBox.h"
#include "ui/ModalWindows.h"
#include "ui/ScriptedMessageBoxes.h"
#include "ui/ScriptedModals.h"
#include "ui/Seam.h"
#include "ui/SilentAbort.h"

#include <QApplication>
#include <QComboBox>
#include <QDateEdit>
#include <QDialog>
#include <QLineEdit>
#include <QLabel>
#include <QMessageBox>
#include <QPushButton>
#include <QTimer>
#include <QVBoxLayout>
#include <QClipboard>
#include <QtTest>

#include <csignal>
#include <stdexcept>

using namespace ui;

namespace {

// Runs check against the next message box the real routine opens; check
// clicks or keys it away. A box a failed check left open is closed, so the
// test fails instead of hanging in exec().
void onNextRealBox(std::function<void(QMessageBox *)> check)
{
    QTimer::singleShot(0, [check] {
        auto *box = qobject_cast<QMessageBox *>(QApplication::activeModalWidget());
        [&] { QVERIFY2(box, "no message box is open"); check(box); }();
        if (auto *modal = qobject_cast<QDialog *>(QApplication::activeModalWidget()))
            modal->done(0);
    });
}

QStringList buttonTexts(QMessageBox *box)
{
    QStringList out;
    for (QAbstractButton *b : box->buttons())
        out << b->text();
    out.sort();
    return out;
}

QImage glyphImage(const QAbstractButton &button)
{
    return button.icon().pixmap(16, 16).toImage();
}

} // namespace

class TestUi : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase() { QCoreApplication::setApplicationName(QStringLiteral("测试程序－【甲】")); }

    void scriptedBoxesRecordAndAnswer();
    void realBoxShowsCaptionIconAndChineseButtons();
    void guardSwallowsAbortAndShowsOtherErrors();
    void guardedButtonsKeepWorkingAfterAnError();
    void scriptedModalsWorkTheWindow();
    void choosersClockAndOpenerAreReplaceable();
    void desktopOpenerAnswersByItsExitStatus();
    void bitBtnKindsSetGlyphAndCaption();
    void fixedWindowKeepsItsSize();
    void datePickerTakesTypedDates();
};

void TestUi::scriptedBoxesRecordAndAnswer()
{
    ScriptedMessageBoxes outer;
    {
        ScriptedMessageBoxes boxes;
        boxes.answer({IDNO, IDCANCEL});
        QCOMPARE(messageBox(QStringLiteral("删除这条记录吗？"), QStringLiteral("提示"), MB_YESNO | MB_ICONQUESTION), IDNO);
        QCOMPARE(messageBox(QStringLiteral("保存修改吗？"), QStringLiteral("提示"), MB_YESNOCANCEL), IDCANCEL);
        // Queue empty: the first button answers.
        QCOMPARE(messageBox(QStringLiteral("继续吗？"), QStringLiteral("提示"), MB_YESNO), IDYES);
        QCOMPARE(messageBox(QStringLiteral("导出完成"), QStringLiteral("提示"), MB_OKCANCEL), IDOK);

        QCOMPARE(boxes.count(), 4);
        QCOMPARE(boxes.requests()[0].caption, QStringLiteral("提示"));
        QCOMPARE(boxes.requests()[0].flags, MB_YESNO | MB_ICONQUESTION);
        QCOMPARE(boxes.requests()[0].icon(), MB_ICONQUESTION);
        QCOMPARE(boxes.requests()[1].buttonSet(), MB_YESNOCANCEL);
        QCOMPARE(boxes.texts().last(), QStringLiteral("导出完成"));
        QCOMPARE(boxes.unusedAnswers(), 0);

        // An answer the box cannot give is a script out of step: warned about.
        boxes.answer(IDYES);
        QTest::ignoreMessage(QtWarningMsg, QRegularExpression("cannot come from the box"));
        messageBox(QStringLiteral("只有确定"), QStringLiteral("提示"), MB_OK);
    }
    // The inner responder is gone: boxes reach the outer one again.
    showError(QStringLiteral("外层"));
    QCOMPARE(outer.count(), 1);
    QCOMPARE(outer.last().text, QStringLiteral("外层"));
}

void TestUi::realBoxShowsCaptionIconAndChineseButtons()
{
    onNextRealBox([](QMessageBox *box) {
        QCOMPARE(box->windowTitle(), QStringLiteral("提示"));
        QCOMPARE(box->text(), QStringLiteral("<b>不是标记</b>"));
        QCOMPARE(box->textFormat(), Qt::PlainText);
        QCOMPARE(box->icon(), QMessageBox::Question);
        QCOMPARE(buttonTexts(box), QStringList({"取消", "否", "是"}));
        // MB_DEFBUTTON2 puts the focus on the second button.
        QCOMPARE(box->defaultButton()->text(), QStringLiteral("否"));
        box->defaultButton()->click();
    });
    QCOMPARE(messageBox(QStringLiteral("<b>不是标记</b>"), QStringLiteral("提示"), MB_YESNOCANCEL | MB_ICONQUESTION | MB_DEFBUTTON2), IDNO);

    // Escape leaves a box through its Cancel button, or its only button.
    onNextRealBox([](QMessageBox *box) {
        QCOMPARE(box->icon(), QMessageBox::Warning);
        QCOMPARE(buttonTexts(box), QStringList({"取消", "确定"}));
        QTest::keyClick(box, Qt::Key_Escape);
    });
    QCOMPARE(messageBox(QStringLiteral("覆盖吗？"), QStringLiteral("警告"), MB_OKCANCEL | MB_ICONEXCLAMATION), IDCANCEL);

    // A question without 取消 that Escape and the close button still put
    // aside; without MB_ESCAPECANCELS they answer 否.
    const int question = MB_YESNO | MB_ICONQUESTION | MB_ESCAPECANCELS;
    onNextRealBox([](QMessageBox *box) {
        QCOMPARE(buttonTexts(box), QStringList({"否", "是"}));
        QTest::keyClick(box, Qt::Key_Escape);
    });
    QCOMPARE(messageBox(QStringLiteral("保存吗？"), QStringLiteral("请注意！"), question), IDCANCEL);
    onNextRealBox([](QMessageBox *box) { box->close(); });
    QCOMPARE(messageBox(QStringLiteral("保存吗？"), QStringLiteral("请注意！"), question), IDCANCEL);
    onNextRealBox([](QMessageBox *box) {
        for (QAbstractButton *b : box->buttons())
            if (b->text() == QStringLiteral("否"))
                b->click();
    });
    QCOMPARE(messageBox(QStringLiteral("保存吗？"), QStringLiteral("请注意！"), question), IDNO);
    onNextRealBox([](QMessageBox *box) { QTest::keyClick(box, Qt::Key_Escape); });
    QCOMPARE(messageBox(QStringLiteral("保存吗？"), QStringLiteral("请注意！"), MB_YESNO), IDNO);

    onNextRealBox([](QMessageBox *box) {
        QCOMPARE(box->windowTitle(), QCoreApplication::applicationName());
        QCOMPARE(box->icon(), QMessageBox::Critical);
        QCOMPARE(buttonTexts(box), QStringList({"确定"}));
        QTest::keyClick(box, Qt::Key_Escape);
    });
    showError(QStringLiteral("出错了"));

    // A short text under a long caption: the box is wide enough for a window
    // manager's bold title and its buttons, not only for its text.
    onNextRealBox([](QMessageBox *box) {
        QFont title = box->font();
        title.setBold(true);
        QVERIFY2(box->width() >= QFontMetrics(title).horizontalAdvance(box->windowTitle()) + 120,
                 qPrintable(QString::number(box->width())));
        QTest::keyClick(box, Qt::Key_Escape);
    });
    messageBox(QStringLiteral("存储成功！"), QStringLiteral("Corvane－【TavrinV4.0】"), MB_OK | MB_ICONEXCLAMATION);
}

void TestUi::guardSwallowsAbortAndShowsOtherErrors()
{
    ScriptedMessageBoxes boxes;
    bool reachedAfterAbort = false;
    QVERIFY(!guarded([&] {
        abortAction();
        reachedAfterAbort = true;
    }));
    QVERIFY(!reachedAfterAbort);
    QCOMPARE(boxes.count(), 0);

    QVERIFY(!guarded([] { throw std::runtime_error("文件 data/cgwcr.DBF 无法打开"); }));
    QCOMPARE(boxes.count(), 1);
    QCOMPARE(boxes.last().text, QStringLiteral("文件 data/cgwcr.DBF 无法打开"));
    QCOMPARE(boxes.last().caption, QStringLiteral("测试程序－【甲】"));
    QCOMPARE(boxes.last().icon(), MB_ICONSTOP);

    // The engine's errors show their own message.
    QVERIFY(!guarded([] { throw db::DbError(QStringLiteral("字段 ITEM_9 不存在")); }));
    QCOMPARE(boxes.last().text, QStringLiteral("字段 ITEM_9 不存在"));

    // Not even a std::exception: still a box, still no crash.
    QVERIFY(!guarded([] { throw 42; }));
    QCOMPARE(boxes.count(), 3);
    QVERIFY(!boxes.last().text.isEmpty());

    // An abort in a nested guard ends only the inner handler.
    bool outerFinished = false;
    QVERIFY(guarded([&] {
        guarded([] { abortAction(); });
        outerFinished = true;
    }));
    QVERIFY(outerFinished);
    QCOMPARE(boxes.count(), 3);
}

namespace {

class Form : public QWidget
{
public:
    int saves = 0;
    void btnSaveClick()
    {
        if (++saves == 1)
            throw std::runtime_error("第一次保存失败");
    }
};

} // namespace

void TestUi::guardedButtonsKeepWorkingAfterAnError()
{
    ScriptedMessageBoxes boxes;
    Form form;
    auto *save = new QPushButton(&form);
    auto *quit = new QPushButton(&form);
    auto *combo = new QComboBox(&form);
    combo->addItems({"2023", "2024"});
    connectGuarded(save, &form, &Form::btnSaveClick);
    int aborts = 0;
    connectGuarded(quit, &form, [&] {
        ++aborts;
        abortAction();
    });
    int changes = 0;
    connectGuarded(combo, &QComboBox::currentIndexChanged, &form, [&] {
        ++changes;
        throw std::runtime_error("年份无效");
    });

    save->click();
    save->click();
    QCOMPARE(form.saves, 2);
    QCOMPARE(boxes.texts(), QStringList({"第一次保存失败"}));

    quit->click();
    quit->click();
    QCOMPARE(aborts, 2);
    QCOMPARE(boxes.count(), 1);

    combo->setCurrentIndex(1);
    QCOMPARE(changes, 1);
    QCOMPARE(boxes.last().text, QStringLiteral("年份无效"));
}

namespace {

class ShowCountingDialog : public QDialog
{
public:
    int shows = 0;
    int closes = 0;
    bool refuseClose = false;

protected:
    void showEvent(QShowEvent *e) override
    {
        ++shows;
        QDialog::showEvent(e);
    }
    void closeEvent(QCloseEvent *e) override
    {
        ++closes;
        if (refuseClose)
            e->ignore();
        else
            QDialog::closeEvent(e);
    }
};

} // namespace

void TestUi::scriptedModalsWorkTheWindow()
{
    ScriptedModals modals;
    ShowCountingDialog dialog;
    dialog.setObjectName("Fpage1");
    int handlerRuns = 0;
    modals.then([&](QDialog *d) {
        QCOMPARE(d, &dialog);
        // Show-time code has run before the script works the window.
        QCOMPARE(dialog.shows, 1);
        QVERIFY(d->isVisible());
        ++handlerRuns;
        d->accept();
    });
    QCOMPARE(showModal(&dialog), int(QDialog::Accepted));
    QCOMPARE(handlerRuns, 1);
    QVERIFY(!dialog.isVisible());

    // A second showing starts with a fresh result; unscripted, it is closed as by
    // the close button, which runs the window's close handling.
    QCOMPARE(showModal(&dialog), int(QDialog::Rejected));
    QCOMPARE(dialog.closes, 1);
    QCOMPARE(dialog.shows, 2);

    // A window that refuses to close does not hang the test.
    dialog.refuseClose = true;
    modals.then([](QDialog *d) { d->done(5); d->show(); });
    QCOMPARE(showModal(&dialog), 5);
    QVERIFY(!dialog.isVisible());

    QDialog unnamed;
    showModal(&unnamed);
    QCOMPARE(modals.shown(), QStringList({"Fpage1", "Fpage1", "Fpage1", "QDialog"}));
    QCOMPARE(modals.results(), QList<int>({1, 0, 5, 0}));
}

void TestUi::choosersClockAndOpenerAreReplaceable()
{
    QList<FileRequest> asked;
    {
        HandlerOverride chooser(setFileChooser, [&](const FileRequest &r) {
            asked << r;
            return r.kind == FileRequest::Folder ? QStringLiteral("/tmp/包") : QString();
        });
        QCOMPARE(chooseOpenFile(nullptr, QStringLiteral("打开"), "/home", QStringLiteral("包文件(*.arj)|*.arj|所有文件|*.*")), QString());
        QCOMPARE(chooseFolder(nullptr, QStringLiteral("选择目录"), "/tmp"), QStringLiteral("/tmp/包"));
        chooseSaveFile(nullptr, QStringLiteral("另存"), {}, QStringLiteral("文本 (*.txt)"));
    }
    QCOMPARE(asked.size(), 3);
    QCOMPARE(asked[0].kind, FileRequest::OpenFile);
    QCOMPARE(asked[0].caption, QStringLiteral("打开"));
    QCOMPARE(asked[0].dir, QStringLiteral("/home"));
    // Designed-in "description|patterns" filters reach Qt in its own form, and
    // "*.*" keeps names without a dot.
    QCOMPARE(asked[0].filter, QStringLiteral("包文件(*.arj);;所有文件 (*)"));
    QCOMPARE(asked[1].kind, FileRequest::Folder);
    QCOMPARE(asked[2].filter, QStringLiteral("文本 (*.txt)"));
    QCOMPARE(qtFileFilter(QStringLiteral("表|*.dbf;*.DBF")), QStringLiteral("表 (*.dbf *.DBF)"));

    {
        HandlerOverride clock(setClock, [] { return QDateTime(QDate(2004, 2, 29), QTime(23, 59)); });
        QCOMPARE(today(), QDate(2004, 2, 29));
        QCOMPARE(now().time(), QTime(23, 59));
    }
    const QDate before = QDate::currentDate(), read = today(), after = QDate::currentDate();
    QVERIFY(read == before || read == after); // the same day but at midnight

    QStringList opened;
    HandlerOverride opener(setDocumentOpener, [&](const QString &path) {
        opened << path;
        return false;
    });
    QVERIFY(!openDocument(QStringLiteral("/tmp/登记表.docx")));
    QCOMPARE(opened, QStringList({"/tmp/登记表.docx"}));
}

// The desktop's opener is run and its answer waited for: one that finds no
// program for the file ends with a failure, which must not count as opened.
void TestUi::desktopOpenerAnswersByItsExitStatus()
{
    const QString document = QStringLiteral("/tmp/成果 登记表.docx");
    {
        FakeDesktopOpener noProgram(3);
        QVERIFY(!openDocument(document));
        QCOMPARE(noProgram.calls(), QStringList{document});
    }
    {
        FakeDesktopOpener opens(0);
        QVERIFY(openDocument(document));
        QCOMPARE(opens.calls(), QStringList{document});
    }
    {
        // An opener that stays with the program it started has found one;
        // it is left running.
        FakeDesktopOpener staying(FakeDesktopOpener::kStaysRunning);
        QVERIFY(openDocument(document));
        const qint64 pid = staying.runningPid();
        QVERIFY(pid > 0);
        QCOMPARE(::kill(pid_t(pid), 0), 0);
        ::kill(pid_t(pid), SIGKILL);
    }
    const QByteArray path = qgetenv("PATH");
    TempDir empty;
    qputenv("PATH", QFile::encodeName(empty.path()));
    const bool openedWithout = openDocument(document);
    qputenv("PATH", path);
    QVERIFY(!openedWithout);
}

void TestUi::bitBtnKindsSetGlyphAndCaption()
{
    BitBtn yes, help, custom;
    QCOMPARE(custom.kind(), BitBtn::bkCustom);
    QVERIFY(custom.icon().isNull());

    yes.setText(QStringLiteral("项目基本情况"));
    yes.setKind(BitBtn::bkYes);
    help.setKind(BitBtn::bkHelp);
    QCOMPARE(yes.kind(), BitBtn::bkYes);
    QCOMPARE(help.kind(), BitBtn::bkHelp);
    // The kind overwrote the caption; the caller writes its own again after.
    QCOMPARE(yes.text(), BitBtn::standardCaption(BitBtn::bkYes));
    QVERIFY(!yes.text().isEmpty());
    QCOMPARE(help.text(), QStringLiteral("帮助"));
    yes.setText(QStringLiteral("项目基本情况"));
    yes.setKind(BitBtn::bkYes);
    QCOMPARE(yes.text(), QStringLiteral("项目基本情况"));

    const QImage check = glyphImage(yes);
    const QImage question = glyphImage(help);
    QVERIFY(!check.isNull());
    QVERIFY(!question.isNull());
    QVERIFY(check != question);
    // Neither glyph is blank.
    for (const QImage &img : {check, question}) {
        int inked = 0;
        for (int y = 0; y < img.height(); ++y)
            for (int x = 0; x < img.width(); ++x)
                inked += qAlpha(img.pixel(x, y)) > 128;
        QVERIFY2(inked > 10, "glyph has too little ink");
    }
    QVERIFY(glyphImage(BitBtn(BitBtn::bkCancel)) != check);

    // Back to custom: the glyph goes, the caption stays.
    yes.setKind(BitBtn::bkCustom);
    QVERIFY(yes.icon().isNull());
    QCOMPARE(yes.text(), QStringLiteral("项目基本情况"));

    // The kind is a property, so window layouts can set it.
    QVERIFY(help.setProperty("kind", QVariant::fromValue(BitBtn::bkNo)));
    QCOMPARE(help.kind(), BitBtn::bkNo);
    QCOMPARE(help.text(), QStringLiteral("否"));
}

void TestUi::fixedWindowKeepsItsSize()
{
    QWidget window;
    auto *layout = new QVBoxLayout(&window);
    auto *wide = new QLabel(QStringLiteral("宽"));
    wide->setMinimumSize(1200, 900);
    layout->addWidget(wide);
    fixWindowSize(&window, 800, 570);
    window.show();
    QVERIFY(QTest::qWaitForWindowExposed(&window));
    QCOMPARE(window.size(), QSize(800, 570));

    window.resize(1024, 768);
    QCOMPARE(window.size(), QSize(800, 570));
    window.setGeometry(10, 10, 300, 200);
    QCOMPARE(window.size(), QSize(800, 570));
    window.showMaximized();
    QCoreApplication::processEvents();
    QCOMPARE(window.size(), QSize(800, 570));
    layout->activate();
    QCOMPARE(window.size(), QSize(800, 570));
}

// A date typed into a picker is the date it holds, however it is typed: whole
// over a selection, with or without separators, or section by section; what
// is no date is refused with a message and the picker keeps its date.
// Typing ends when the picker is left.
void TestUi::datePickerTakesTypedDates()
{
    ScriptedMessageBoxes boxes;
    struct Case
    {
        const char *what;
        const char *format;
        std::function<void(QDateEdit *)> before; // what the user does first
        const char *keys;
        QDate expected;
        const char *refusal = nullptr; // part of the message, when refused
    };
    const auto selectAll = [](QDateEdit *p) { QTest::keyClick(p, Qt::Key_A, Qt::ControlModifier); };
    const auto section = [](QDateTimeEdit::Section s) { return [s](QDateEdit *p) { p->setSelectedSection(s); }; };
    const auto nothing = [](QDateEdit *) {};
    const auto pasteInto = [](QDateEdit *p, const char *text) {
        QApplication::clipboard()->setText(QString::fromUtf8(text));
        QTest::keyClick(p, Qt::Key_V, Qt::ControlModifier);
    };
    const QDate kept(2004, 5, 6);
    const QList<Case> cases = {
        {"dots over a selection", "yyyy.MM.dd", selectAll, "2026.11.20", {2026, 11, 20}},
        {"digits over a selection", "yyyy.MM.dd", selectAll, "20261120", {2026, 11, 20}},
        {"short parts", "yyyy.MM.dd", selectAll, "2026.5.2", {2026, 5, 2}},
        {"dashes", "yyyy.MM.dd", selectAll, "2025-03-15", {2025, 3, 15}},
        {"dots from the year", "yyyy.MM.dd", section(QDateTimeEdit::YearSection), "2025.03.15", {2025, 3, 15}},
        {"the day alone", "yyyy.MM.dd", section(QDateTimeEdit::DaySection), "15", {2004, 5, 15}},
        {"one digit of the month", "yyyy.MM.dd", section(QDateTimeEdit::MonthSection), "1", {2004, 1, 6}},
        {"the month, then the day", "yyyy.MM.dd", section(QDateTimeEdit::MonthSection), "1120", {2004, 11, 20}},
        {"a year month", "yyyy.MM", selectAll, "1980.5", {1980, 5, 1}},
        {"typed on after a whole date", "yyyy.MM.dd", selectAll, "2026112005", {2026, 11, 5}},
        {"no such day", "yyyy.MM.dd", selectAll, "2026.02.30", kept, "“2026.02.30”不是正确的日期"},
        {"no such month", "yyyy.MM.dd", selectAll, "20261320", kept, "“2026.13.20”不是正确的日期"},
        {"before the range", "yyyy.MM.dd", selectAll, "0050.01.01", kept, "不在可输入的日期范围（0100.01.01 至 9999.12.31）"},
        {"left half typed", "yyyy.MM.dd", selectAll, "2026.11", kept, "“2026.11.”不是完整的日期（日期格式：YYYY.MM.DD）"},
        {"typed away", "yyyy.MM.dd", [&](QDateEdit *p) { selectAll(p), QTest::keyClick(p, Qt::Key_Delete); }, "", kept,
         "日期不能为空，未被采用，日期仍为 2004.05.06。"},
        {"letters", "yyyy.MM.dd", nothing, "abc", kept},
        {"a pasted date", "yyyy.MM.dd", [&](QDateEdit *p) { selectAll(p), pasteInto(p, "2025.03.15\n"); }, "", {2025, 3, 15}},
        {"a paste holding more than a date", "yyyy.MM.dd",
         [&](QDateEdit *p) { selectAll(p), pasteInto(p, "2025.03.15 2026.01.01"); }, "", kept,
         "“2025.03.15 2026.01.01”不是正确的日期，未被采用，日期仍为 2004.05.06。"},
    };
    for (const Case &c : cases) {
        QWidget window;
        auto *picker = new DatePicker(&window);
        auto *next = new QLineEdit(&window);
        setUpDatePicker(picker, QString::fromLatin1(c.format));
        picker->setDate(kept);
        window.show();
        QApplication::setActiveWindow(&window);
        picker->setFocus();
        boxes.clear();
        c.before(picker);
        QTest::keyClicks(picker, QString::fromUtf8(c.keys));
        next->setFocus();
        QVERIFY2(!picker->isTyping() && picker->date() == c.expected,
                 qPrintable(QString("%1: %2").arg(c.what, picker->date().toString(Qt::ISODate))));
        QCOMPARE(picker->text(), c.expected.toString(QString::fromLatin1(c.format)));
        if (c.refusal)
            QVERIFY2(boxes.count() == 1 && boxes.last().text.contains(QString::fromUtf8(c.refusal)),
                     qPrintable(QString(c.what) + ": " + boxes.texts().join('|')));
        else
            QVERIFY2(boxes.count() == 0, qPrintable(QString(c.what) + ": " + boxes.texts().join('|')));
    }
}

QTEST_MAIN(TestUi)
#include "tst_ui.moc"
