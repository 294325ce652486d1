// The print window reached through the main window's 打印 on real records:
// the panels and Word buttons of each category, the page labels of previews
// and prints, the print requests of the section and full prints, the child
// tables left filtered to the printed record, and the records that open nothing.
#include "AppFixture.h"
#include "FakeDesktopOpener.h"
#include "Captions.h"
#include "Patents.h"
#include "Records.h"

#include "PrintUnit.h"
#include "Unit1.h"
#include "UnitDM.h"
#include "report/Printing.h"
#include "text/Utf8.h"
#include "ui/Clock.h"
#include "ui/DesktopOpener.h"
#include "ui/Seam.h"

#include <QApplication>
#include <QScreen>
#include <QDir>
#include <QtTest>
#include <functional>

#include <csignal>
#include <sys/resource.h>

namespace {

// Records with every required section complete; the main window shown on them.
void showComplete(const QList<QStringList> &records)
{
    registerUnit();
    for (const QStringList &r : records) {
        addRecord(r.at(0), r.at(1), r.at(2));
        completeRecord(r.at(0));
    }
    MainForm->show();
}

// Lists the category (0 applied technology, 1 soft science, 2 basic theory)
// and puts the cursor on the record.
void selectRecord(int category, const QString &key)
{
    MainForm->ComboBox1->setCurrentIndex(category);
    MainForm->ComboBox1Change();
    QVERIFY(DM->Qrykjcg->locate("ITEM_4", key));
}

void addChildRow(const char *table, const QString &key, const QString &region,
                 const std::function<void(db::Table &)> &fill)
{
    db::Table t;
    t.setDatabaseName(DataDir);
    t.setTableName(table);
    t.open();
    t.append();
    t.fieldByName("ITEM_4")->setAsString(key);
    t.fieldByName("ITEM_DQDM")->setAsString(region);
    fill(t);
    t.post();
}

void addPersons(const QString &key, int n)
{
    for (int i = 2; i <= n + 1; ++i) // completeRecord gave the first
        addChildRow("cgwcr", key, ".", [i](db::Table &t) {
            t.fieldByName("ITEM_187")->setAsInteger(i);
            t.fieldByName("ITEM_180")->setAsString(u("完成人%1").arg(i));
        });
}

// Opens the print window through 打印 and works it with script.
void openPrintWindow(AppFixture &app, const std::function<void()> &script)
{
    app.modals().then([script](QDialog *) { script(); });
    MainForm->BitBtn4->click();
}

// The one visible panel, 0 when not exactly one is.
int visiblePanel()
{
    const QList<QFrame *> panels = {PrintForm->Panel1, PrintForm->Panel2, PrintForm->Panel3, PrintForm->Panel4,
                                    PrintForm->Panel5};
    QList<int> shown;
    for (int i = 0; i < panels.size(); ++i)
        if (!panels[i]->isHidden())
            shown << i + 1;
    return shown.size() == 1 ? shown[0] : 0;
}

QStringList visibleWordButtons()
{
    QStringList out;
    for (QWidget *w : QList<QWidget *>{PrintForm->YY_Button, PrintForm->RJ_Button, PrintForm->YY_SButton,
                                       PrintForm->RJ_SButton, PrintForm->Button5, PrintForm->Button6})
        if (!w->isHidden())
            out << w->objectName();
    return out;
}

// One print request as "report pages label", with the cursor it was sent under.
struct Sent
{
    QStringList requests;
    bool allBusy = true;

    void record(const report::PrintRequest &q)
    {
        QString label;
        for (const char *name : {"QRPage", "QRSysData1", "QRpage"})
            label += q.pages[0].text(name);
        requests << QString("%1 %2-%3 %4").arg(q.report).arg(q.firstPage).arg(q.lastPage).arg(label).trimmed();
        const QCursor *cursor = QApplication::overrideCursor();
        allBusy = allBusy && cursor && cursor->shape() == Qt::WaitCursor;
    }
};

} // namespace

class TestPrintWindow : public QObject
{
    Q_OBJECT

private slots:
    void eachCategoryReachesItsPanelsAndWordButtons();
    void previewsAndPrintsLabelTheirPages();
    void childTablesStayFilteredAndIncompleteRecordsOpenNothing();
    void leavingAndCaptionsOfEveryPanel();
    void wordButtonsWriteTheirFamily();
    void rowsLeftOutToldOncePerVisitAndPreviewsFillTheScreen();
    void coverAndBodyWrittenAsAPair();
    void documentsTheDesktopCannotOpenAreNamed();
};

void TestPrintWindow::eachCategoryReachesItsPanelsAndWordButtons()
{
    AppFixture app;
    showComplete({{"2006000001", "1", u("应用")}, {"2006000002", "2", u("软科学")}, {"2006000003", "3", u("基础")}});
    using Path = QList<int>;

    // Applied technology: the yy Word buttons and the yy panels.
    selectRecord(0, "2006000001");
    Path path;
    openPrintWindow(app, [&] {
        path << visiblePanel();
        QCOMPARE(visibleWordButtons(), QStringList({"YY_Button", "YY_SButton", "Button5", "Button6"}));
        PrintForm->Button4->click();
        path << visiblePanel();
        PrintForm->zBitBtn3->click();
        path << visiblePanel();
        PrintForm->Button7->click();
        path << visiblePanel();
        PrintForm->Button1->click();
        path << visiblePanel();
        PrintForm->Button4->click();
        PrintForm->BitBtn4a->click(); // 退出 from the section panel
        QVERIFY(!PrintForm->isVisible());
    });
    QCOMPARE(path, Path({5, 3, 5, 2, 5}));
    QCOMPARE(app.modals().shown().mid(1), QStringList({"TPrintForm"})); // after the splash

    // Opened again: the main menu, whatever panel it was left on.
    openPrintWindow(app, [&] { QCOMPARE(visiblePanel(), 5); });

    // Soft science and basic theory: the rj Word buttons and panels; 返回
    // from a page panel sets only the two full Word buttons.
    for (const auto &[category, key] : {std::pair{1, "2006000002"}, std::pair{2, "2006000003"}}) {
        selectRecord(category, key);
        path.clear();
        openPrintWindow(app, [&] {
            path << visiblePanel();
            QCOMPARE(visibleWordButtons(), QStringList({"RJ_Button", "RJ_SButton", "Button5", "Button6"}));
            PrintForm->Button4->click();
            path << visiblePanel();
            PrintForm->zBitBtn1->click();
            PrintForm->Button7->click();
            path << visiblePanel();
            PrintForm->Button2->click();
            path << visiblePanel();
            QCOMPARE(visibleWordButtons(), QStringList({"RJ_Button", "RJ_SButton", "Button5", "Button6"}));
            PrintForm->Button1Click();
            QCOMPARE(visibleWordButtons(), QStringList({"YY_Button", "RJ_SButton", "Button5", "Button6"}));
            PrintForm->Button7->click();
            PrintForm->BitBtn3->click();
        });
        QCOMPARE(path, Path({5, 4, 1, 5}));
        QVERIFY(!PrintForm->isVisible());
    }
    // Opening again puts the Word buttons back by the category.
    openPrintWindow(app, [&] {
        QCOMPARE(visibleWordButtons(), QStringList({"RJ_Button", "RJ_SButton", "Button5", "Button6"}));
    });
    QCOMPARE(app.modals().unusedScripts(), 0);
    QCOMPARE(app.boxes().count(), 0);
}

void TestPrintWindow::previewsAndPrintsLabelTheirPages()
{
    AppFixture app;
    showComplete({{"2006000001", "1", u("应用")}, {"2006000002", "3", u("基础")}});
    addPersons("2006000001", 17); // 18 persons: two pages
    Sent sent;
    ui::HandlerOverride<report::PrintHandler> printer(report::setPrintHandler,
                                                      [&](const report::PrintRequest &q) { sent.record(q); });
    PrintReports &reports = PrintForm->Reports();
    using RC = ReportClass;
    QList<const QCursor *> cursorsInPreview;
    const auto preview = [&](QDialog *) { cursorsInPreview << QApplication::overrideCursor(); };

    selectRecord(0, "2006000001");
    openPrintWindow(app, [&] {
        // Previews carry the page's number in the form, a list its pages.
        PrintForm->Button7->click();
        app.modals().then(preview);
        PrintForm->BitBtn30->click();
        QCOMPARE(reports.form(RC::TyyPrint03)->lastRun()[0].text("QRPage"), QString("3"));
        app.modals().then(preview);
        PrintForm->BitBtn40->click();
        const QVector<report::Page> &persons = reports.form(RC::TyyPrint10)->lastRun();
        QCOMPARE(persons.size(), 2);
        QCOMPARE(persons[1].text("QRSysData1"), QString("10--2"));
        PrintForm->BitBtn32->click(); // an instruction page, no label of its own
        QCOMPARE(reports.ReportCreateCount[reportIndex(RC::TyyPrint01)], 1);

        // Printed from the section panel: the section's place in the set.
        PrintForm->Button1->click();
        PrintForm->Button4->click();
        PrintForm->zBitBtn6->click();
        PrintForm->zBitBtn2->click();
        PrintForm->zBitBtn5->click();
        QCOMPARE(sent.requests, QStringList({"TyyPrint03 0-0 1", "TyyPrint10 1-1 6--1", "TyyPrint10 2-2 6--2",
                                             "Tyyfm1 0-0"}));
        sent.requests.clear();
        PrintForm->zBitBtn4->click();
        QCOMPARE(sent.requests, QStringList({"Tyyfm1 0-0", "TyyPrint03 0-0 1", "TyyPrint05 0-0 2",
                                             "TyyPrint07 0-0 3", "TyyPrint08 0-0 4", "TyyPrint09 0-0 5",
                                             "TyyPrint10 1-1 6--1", "TyyPrint10 2-2 6--2", "TyyPrint11 1-1 7"}));
        QVERIFY(!QApplication::overrideCursor());
    });
    QCOMPARE(app.modals().shown().mid(1), QStringList({"TPrintForm", "PrintPreview", "PrintPreview", "PrintPreview"}));
    // Busy while pages are laid out, never on a window waiting for the user.
    QCOMPARE(cursorsInPreview, QList<const QCursor *>({nullptr, nullptr}));
    QVERIFY(sent.allBusy);

    // The other family: its own sections and order.
    sent.requests.clear();
    selectRecord(2, "2006000002");
    openPrintWindow(app, [&] {
        PrintForm->Button4->click();
        PrintForm->zBitBtn42->click();
        PrintForm->zBitBtn45->click();
        PrintForm->zBitBtn12->click();
        app.modals().then(preview);
        PrintForm->zBitBtn1->click();
        PrintForm->Button7->click();
        PrintForm->BitBtn22->click();
        QCOMPARE(reports.form(RC::TrjPrint06)->lastRun()[0].text("QRPage"), QString("6"));
    });
    QCOMPARE(sent.requests, QStringList({"TrjPrint05 0-0 2", "TrjPrint08 1-1 5", "Trjfm1 0-0", "TrjPrint03 0-0 1",
                                         "TrjPrint05 0-0 2", "TrjPrint06 0-0 3", "TrjPrint07 0-0 4",
                                         "TrjPrint08 1-1 5", "TrjPrint09 1-1 6"}));
    QVERIFY(sent.allBusy);

    QCOMPARE(app.boxes().count(), 0);
}

void TestPrintWindow::childTablesStayFilteredAndIncompleteRecordsOpenNothing()
{
    AppFixture app;
    registerUnit();
    addRecord("2006000001", "1", u("甲"));
    completeRecord("2006000001");
    addRecord("2006000002", "1", u("乙"));
    completeRecord("2006000002");
    // A region code with a quote in it filters like any other.
    setRecordField("2006000002", "ITEM_DQDM", "1'");
    addChildRow("cgwcr", "2006000002", "1'", [](db::Table &t) { t.fieldByName("ITEM_180")->setAsString(u("李四")); });
    for (const QString &region : {QString("."), QString("1'")}) {
        addChildRow("cgwcdw", "2006000002", region, [](db::Table &) {});
        addChildRow("zlqk", "2006000002", region, [](db::Table &) {});
        addChildRow("jdwyhmd", "2006000002", region, [](db::Table &) {});
    }
    addChildRow("jdwyhmd", "2006000001", ".", [](db::Table &) {});
    MainForm->show();
    const QList<db::Table *> children = {DM->TblCgwcdw, DM->tblzlqk, DM->Tbljdwyhmd, DM->TblCgwcr};
    const auto rowCounts = [&] {
        QList<int> out;
        for (db::Table *t : children)
            out << t->recordCount();
        return out;
    };

    selectRecord(0, "2006000001");
    openPrintWindow(app, [] { PrintForm->Button3->click(); });
    QCOMPARE(rowCounts(), QList<int>({0, 0, 1, 1}));
    for (db::Table *t : children)
        QCOMPARE(t->filter(), QString("item_4='2006000001' and item_dqdm='.'"));

    selectRecord(0, "2006000002");
    openPrintWindow(app, [] {});
    QCOMPARE(app.modals().shown().size(), 3); // the splash and two print windows
    QCOMPARE(rowCounts(), QList<int>({1, 1, 1, 1}));
    QCOMPARE(DM->TblCgwcr->fieldByName("ITEM_180")->asString(), u("李四"));

    // A required field emptied: 打印 opens nothing and says nothing.
    setRecordField("2006000001", "ITEM_8", "");
    selectRecord(0, "2006000001");
    BitBtn4Click();
    QCOMPARE(app.modals().shown().size(), 3); // the splash and two print windows
    QVERIFY(!MainForm->BitBtn4->isEnabled());
    // An empty list opens nothing either.
    MainForm->cbYear->setEditText("1999");
    QCOMPARE(DM->Qrykjcg->recordCount(), 0);
    BitBtn4Click();
    QCOMPARE(app.modals().shown().size(), 3); // the splash and two print windows
    QCOMPARE(app.boxes().count(), 0);
}

void TestPrintWindow::leavingAndCaptionsOfEveryPanel()
{
    AppFixture app;
    showComplete({{"2006000001", "1", u("应用")}});
    selectRecord(0, "2006000001");
    QCOMPARE(PrintForm->size(), QSize(353, 251));
    QVERIFY(!(PrintForm->windowFlags() & Qt::WindowCloseButtonHint));

    // Enter clicks nothing; Escape and the close box leave from any panel.
    openPrintWindow(app, [] {
        PrintForm->Button4->setFocus();
        QTest::keyClick(PrintForm->Button4, Qt::Key_Return);
        QCOMPARE(visiblePanel(), 5);
        PrintForm->Button4->click();
        QTest::keyClick(PrintForm, Qt::Key_Escape);
        QVERIFY(!PrintForm->isVisible());
    });
    openPrintWindow(app, [] {
        PrintForm->Button7->click();
        PrintForm->close();
        QVERIFY(!PrintForm->isVisible());
    });
    QCOMPARE(app.modals().shown().mid(1), QStringList({"TPrintForm", "TPrintForm"}));

    // Every panel's captions whole with the installed CJK font.
    const QString shots = qEnvironmentVariable("CORVANE_SHOTS");
    PrintForm->show();
    for (int n = 1; n <= 5; ++n) {
        PrintForm->ShowPrintPanel(n);
        const QStringList clipped = describeClippedCaptions(PrintForm);
        QVERIFY2(clipped.isEmpty(), qPrintable(clipped.join('\n')));
        if (!shots.isEmpty()) {
            QDir().mkpath(shots);
            PrintForm->grab().save(QDir(shots).filePath(QString("TPrintForm-Panel%1.png").arg(n)));
        }
    }
    PrintForm->hide();
}

// Five patents where the form has lines for four: the user hears of the
// fifth once per visit of the window, not before every preview and print.
// Each preview opens over the screen's free area even where no window
// manager maximizes it.
void TestPrintWindow::rowsLeftOutToldOncePerVisitAndPreviewsFillTheScreen()
{
    AppFixture app;
    showComplete({{"2006000001", "1", u("应用")}});
    for (int i = 1; i <= 5; ++i)
        addPatent("2006000001", ".", i, QString("ZL%1").arg(i), "1");
    selectRecord(0, "2006000001");
    ui::HandlerOverride<report::PrintHandler> printer(report::setPrintHandler, [](const report::PrintRequest &) {});
    QList<QSize> previewSizes;
    const QString shots = qEnvironmentVariable("CORVANE_SHOTS");
    const auto preview = [&](QDialog *d) {
        previewSizes << d->normalGeometry().size();
        if (!shots.isEmpty() && QDir().mkpath(shots)) {
            d->grab().save(QDir(shots).filePath("PrintPreview.png"));
            MainForm->grab().save(QDir(shots).filePath("TMainForm-records.png"));
        }
    };
    const auto told = [&] { return app.boxes().texts().filter(u("第5项以后的1项专利不能打印")).size(); };

    openPrintWindow(app, [&] {
        PrintForm->Button7->click();
        for (int i = 0; i < 2; ++i) {
            app.modals().then(preview);
            PrintForm->BitBtn34->click();
        }
        PrintForm->Button1->click();
        PrintForm->Button4->click();
        PrintForm->zBitBtn7->click();
        QCOMPARE(told(), 1);
    });
    openPrintWindow(app, [&] {
        PrintForm->Button7->click();
        app.modals().then(preview);
        PrintForm->BitBtn34->click();
        QCOMPARE(told(), 2);
    });
    const QSize screen = QGuiApplication::primaryScreen()->availableGeometry().size();
    QCOMPARE(previewSizes, QList<QSize>(3, screen));
}

// The registration form's cover and body are put in place together or not
// at all; names held by links to nothing are passed over.
void TestPrintWindow::coverAndBodyWrittenAsAPair()
{
    AppFixture app;
    showComplete({{"2005000001", "1", u("应用成果")}});
    selectRecord(0, "2005000001");
    ui::HandlerOverride<ui::Clock> clock(ui::setClock, [] { return QDateTime(QDate(2006, 12, 30), QTime(9, 5, 7)); });
    const QDir folder(app.documentsDir());
    const auto everything = [&] {
        return folder.entryList(QDir::AllEntries | QDir::Hidden | QDir::System | QDir::NoDotAndDotDot);
    };
    const QString cover = u("应用技术封面 20061230-090507");
    const QString body = u("应用技术登记表 20061230-090507");
    app.boxes().clear();
    for (const QString &name : {cover, body})
        QVERIFY(QFile::link(folder.filePath("gone"), folder.filePath(name + ".docx")));

    openPrintWindow(app, [] { PrintForm->YY_Button->click(); });
    QCOMPARE(app.openedDocuments(),
             QStringList({folder.filePath(cover + " (2).docx"), folder.filePath(body + " (2).docx")}));
    QCOMPARE(app.boxes().texts(), QStringList{u("您确定输出word文档吗？\r\n")});

    // A disk too full for the body: neither document is kept nor opened.
    const qint64 coverSize = QFileInfo(app.openedDocuments()[0]).size();
    const qint64 bodySize = QFileInfo(app.openedDocuments()[1]).size();
    QVERIFY(coverSize < bodySize);
    const QStringList before = everything();
    rlimit previous{};
    getrlimit(RLIMIT_FSIZE, &previous);
    const auto oldSignal = std::signal(SIGXFSZ, SIG_IGN);
    rlimit small = previous;
    small.rlim_cur = rlim_t((coverSize + bodySize) / 2);
    QCOMPARE(setrlimit(RLIMIT_FSIZE, &small), 0);
    openPrintWindow(app, [] { PrintForm->YY_Button->click(); });
    setrlimit(RLIMIT_FSIZE, &previous);
    std::signal(SIGXFSZ, oldSignal);
    QVERIFY(app.boxes().last().text.contains(u("无法写入文件")));
    QCOMPARE(app.openedDocuments().size(), 2);
    QCOMPARE(everything(), before);
}

// With no program for .docx files the desktop's opener fails: the user is
// told where the saved documents are, by folder and file name.
void TestPrintWindow::documentsTheDesktopCannotOpenAreNamed()
{
    AppFixture app;
    showComplete({{"2005000001", "1", u("应用成果")}});
    selectRecord(0, "2005000001");
    ui::HandlerOverride<ui::Clock> clock(ui::setClock, [] { return QDateTime(QDate(2006, 12, 30), QTime(9, 5, 7)); });
    ui::HandlerOverride<ui::DocumentOpener> desktop(ui::setDocumentOpener, {});
    const QString folder = QDir::toNativeSeparators(app.documentsDir());
    {
        FakeDesktopOpener noProgram(3);
        app.boxes().clear();
        openPrintWindow(app, [] { PrintForm->YY_Button->click(); });
        QCOMPARE(app.boxes().texts(),
                 QStringList({u("您确定输出word文档吗？\r\n"),
                              u("Word文档已保存，但无法用本机的文字处理程序打开：\r\n文件夹：%1\r\n"
                                "文件：应用技术封面 20061230-090507.docx\r\n"
                                "　　　应用技术登记表 20061230-090507.docx").arg(folder)}));
        QCOMPARE(app.boxes().last().caption, u("提示"));
        QCOMPARE(noProgram.calls().size(), 2);
        for (const QString &path : noProgram.calls())
            QVERIFY2(QFileInfo(path).isFile() && QFileInfo(path).absolutePath() == QFileInfo(app.documentsDir()).absoluteFilePath(),
                     qPrintable(path));

        openPrintWindow(app, [] { PrintForm->Button6->click(); });
        QCOMPARE(app.boxes().last().text,
                 u("Word文档已保存，但无法用本机的文字处理程序打开：\r\n文件夹：%1\r\n"
                   "文件：科学技术成果鉴定证书 20061230-090507.docx").arg(folder));
    }
    FakeDesktopOpener opens(0);
    app.boxes().clear();
    openPrintWindow(app, [] { PrintForm->Button5->click(); });
    QCOMPARE(app.boxes().texts(), QStringList{u("您确定输出word文档吗？\r\n")});
    QCOMPARE(opens.calls().size(), 1);
}

QTEST_MAIN(TestPrintWindow)
#include "tst_printwindow.moc"

// Each shown Word button writes the cover and body of its family into the
// documents folder and opens them; declining the question writes nothing.
void TestPrintWindow::wordButtonsWriteTheirFamily()
{
    AppFixture app;
    showComplete({{"2005000001", "1", u("应用成果")}, {"2005000002", "3", u("理论成果")}});
    const auto documents = [&] { return QDir(app.documentsDir()).entryList(QDir::Files, QDir::Name); };

    selectRecord(0, "2005000001");
    app.boxes().answer(ui::IDNO);
    openPrintWindow(app, [] { PrintForm->YY_Button->click(); });
    QVERIFY(documents().isEmpty());
    openPrintWindow(app, [] {
        PrintForm->YY_Button->click();
        PrintForm->YY_SButton->click();
    });
    QCOMPARE(app.openedDocuments().size(), 4);
    QCOMPARE(documents().size(), 4);

    selectRecord(2, "2005000002");
    openPrintWindow(app, [] {
        QVERIFY(PrintForm->RJ_Button->isVisible() && !PrintForm->YY_Button->isVisible());
        PrintForm->RJ_Button->click();
    });
    QCOMPARE(app.openedDocuments().size(), 6);
    // The appraisal documents are there for every category.
    openPrintWindow(app, [] {
        PrintForm->Button5->click();
        PrintForm->Button6->click();
    });
    QCOMPARE(app.openedDocuments().size(), 8);
    QVERIFY(app.openedDocuments()[6].contains(u("鉴定申请表")) && app.openedDocuments()[7].contains(u("鉴定证书")));
    for (const QString &path : app.openedDocuments())
        QVERIFY2(QFileInfo(path).absolutePath() == QFileInfo(app.documentsDir()).absoluteFilePath(), qPrintable(path));
}
