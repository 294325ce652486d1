// The report layer on its own: layouts as text, banded runs into the page
// model, the in-memory dataset as a report's data, the painter, and print
// requests with their PDF fallback.
#include "PdfReading.h"
#include "TempDir.h"

#include "clientdata/ClientDataSet.h"
#include "report/LayoutParser.h"
#include "report/PagePainter.h"
#include "report/Printing.h"
#include "report/Report.h"
#include "report/Rules.h"
#include "report/TextFit.h"
#include "text/Gbk.h"
#include "text/Utf8.h"
#include "ui/FileChoosers.h"
#include "ui/ScriptedMessageBoxes.h"
#include "ui/Seam.h"

#include <QPrinter>
#include <QRegularExpression>
#include <QtTest>

using namespace report;

namespace {

Layout layout(const char *text) { return parseLayout(QString::fromUtf8(text), "test.layout"); }

// The running text of an element over every page, its lines joined.
QString flowed(const QVector<Page> &pages, const QString &name)
{
    QString out;
    for (const Page &p : pages)
        for (const PageItem *i : p.all(name))
            out += i->lines.join(QString());
    return out;
}

// Rows of name on a page.
int count(const Page &page, const QString &name) { return int(page.all(name).size()); }

// The pages of a PDF file, as its page objects say.
int pdfPages(const QString &path)
{
    QFile f(path);
    if (!f.open(QIODevice::ReadOnly))
        return -1;
    return int(QString::fromLatin1(f.readAll()).count(QRegularExpression("/Type\\s*/Page(?!s)")));
}

struct PersonsList
{
    clientdata::ClientDataSet list{{"NAME", "NOTE"}};
    ClientDataView view{&list};
    void fill(int rows)
    {
        list.emptyDataSet();
        for (int i = 1; i <= rows; ++i) {
            list.append();
            list.setFieldText("NAME", QString("P%1").arg(i));
            list.post();
        }
    }
};

const char *kListLayout = R"(
page A4
margins 10 10 10 10
options lastPageFooter
dataset People
band pageHeader height=10
  label Head x=0 y=0 w=190 h=10 "页眉"
band title height=30
  label Title x=0 y=0 w=190 h=10 "名单" size=16 bold align=center
band columnHeader height=10
  label Col x=0 y=0 w=100 h=10 "姓名" frame=all
band detail height=20
  text Name x=0 y=0 w=100 h=20 field=NAME frame=all
band summary height=15
  label Sum x=0 y=0 w=190 h=15 "说明"
band pageFooter height=10
  pagenumber Number x=80 y=0 w=30 h=10 "第" align=center
  label Plain x=120 y=0 w=30 h=10 "页" disabled
)";

class TestReport : public QObject
{
    Q_OBJECT

private slots:
    void clientDataSetKeepsRowsInOrderAndCutsByBytes();
    void layoutTextReadsEveryStatementAndNamesItsErrors();
    void bandsRepeatAndPaginateAsABandedReportPrints();
    void captionsEnabledStatesAndPageNumbersChangeTheRun();
    void longTextsWrapShrinkOrFlowWithoutLosingCharacters();
    void shortMemoMovesWholeToTheNextPage();
    void printRequestsCarryTheirPageRange();
    void withoutPrinterOneQuestionAndOnePdfPerBatch();
    void onePrinterAndOneJobPerPrintRun();
    void painterDrawsTheModel();
    void choiceColumnsTakeTheirWidthsAndMarksTheirWholeBox();
    void coarseDevicesSetLinesAsWideAsMeasured();
    void rulesJoinOnlyWhereTheyTouchOnOneLine();
    void pdfTextsShapedOnceSitWhereDrawTextSetsThem();
};

void TestReport::clientDataSetKeepsRowsInOrderAndCutsByBytes()
{
    clientdata::ClientDataSet d({"ITEM_180", "ITEM_186"});
    QVERIFY_THROWS_EXCEPTION(std::exception, d.setFieldText("ITEM_180", "x")); // not appending
    d.append();
    QVERIFY_THROWS_EXCEPTION(std::exception, d.setFieldText("ITEM_999", "x"));
    d.setFieldText("item_180", u("张三")); // any letter case
    d.append();                             // posts the row before
    d.setFieldText("ITEM_180", u("李四"));
    d.cancel();
    d.append();
    // 254 bytes at most, cut between characters: 127 Chinese characters plus one.
    d.setFieldText("ITEM_186", QString(128, QChar(0x4E2D)));
    d.post();
    QCOMPARE(d.recordCount(), 2);
    QCOMPARE(d.value(0, "ITEM_180"), u("张三"));
    QCOMPARE(d.value(1, "ITEM_180"), QString());
    QCOMPARE(gbk::byteLength(d.value(1, "ITEM_186")), 254);
    QCOMPARE(d.value(5, "ITEM_180"), QString());
    d.emptyDataSet();
    QCOMPARE(d.recordCount(), 0);

    ClientDataView view(&d);
    QCOMPARE(view.currentRow(), -1);
}

void TestReport::layoutTextReadsEveryStatementAndNamesItsErrors()
{
    const Layout l = layout(R"(
# a comment
report Sample
page A4 landscape
margins 5 6 7 8
font 宋体 9 bold
options firstPageHeader lastPageFooter
dataset ClientDataSet2
band detail height=12.5
  text DB_A x=1 y=2 w=30 h=6 field=ITEM_180 frame=left,top align=right valign=bottom
  label L1 x=0 y=0 w=10 h=5 "say \"hi\"\nthere" size=12 italic disabled # trailing comment
  memo M x=0 y=6 w=100 h=6 field=ITEM_13_1 dataset=DM.Qrykjcg
  line x=0 y=0 w=190 h=0 pen=0.5 grow
  choices QL_ITEM_2_ x=40 y=0 w=100 h=6 cols=2 "1 国际领先" "2 国际先进" "3 国内领先"
)");
    QCOMPARE(l.name, QString("Sample"));
    QCOMPARE(l.page, QSizeF(297, 210));
    QCOMPARE(l.margins, QMarginsF(5, 6, 7, 8));
    QVERIFY(l.firstPageHeader && l.lastPageFooter);
    QCOMPARE(l.dataset, QString("ClientDataSet2"));
    const Band &b = l.bands.at(0);
    QCOMPARE(b.kind, Band::Detail);
    QCOMPARE(b.height, 12.5);
    const Element &text = b.elements[0];
    QCOMPARE(text.kind, Element::Text);
    QCOMPARE(text.rect, QRectF(1, 2, 30, 6));
    QCOMPARE(text.frame, FrameLeft | FrameTop);
    QCOMPARE(text.hAlign, int(Qt::AlignRight));
    QCOMPARE(text.vAlign, int(Qt::AlignBottom));
    QVERIFY(text.font.bold && text.font.size == 9);
    const Element &label = b.elements[1];
    QCOMPARE(label.caption, u("say \"hi\"\nthere"));
    QVERIFY(!label.enabled && label.font.italic && label.font.size == 12);
    QCOMPARE(b.elements[2].dataset, QString("DM.Qrykjcg"));
    QVERIFY(b.elements[3].grow);
    QCOMPARE(b.elements[3].pen, 0.5);
    // Three choices in two columns: box and text each, the third on a second row.
    QCOMPARE(b.elements.size(), 4 + 6);
    QCOMPARE(b.elements[4].name, QString("QL_ITEM_2_1"));
    QCOMPARE(b.elements[4].frame, int(FrameAll));
    QCOMPARE(b.elements[5].caption, u("国际领先"));
    QCOMPARE(b.elements[6].name, QString("QL_ITEM_2_2"));
    QCOMPARE(b.elements[6].rect.left(), 90.0);
    QCOMPARE(b.elements[8].name, QString("QL_ITEM_2_3"));
    QCOMPARE(b.elements[8].rect.left(), 40.0);
    QVERIFY(b.elements[8].rect.top() >= 6);

    const QList<std::pair<const char *, const char *>> faults = {
        {"band detail height=5\n  label x=1 y=1 w=2 h=2 \"open", "test.layout:2: unterminated"},
        {"band detail height=5\n\n  label A x=1 y=1 w=2 h=2\n  label A x=1 y=1 w=2 h=2", "test.layout:4: a second element named A"},
        {"label A x=1 y=1 w=2 h=2", "test.layout:1: label before the first band"},
        {"band detail height=5\n  text T x=1 y=1 w=2 h=2", "test.layout:2: text needs field="},
        {"band detail height=5\n  label x=1 y=1 h=2", "test.layout:2: label needs w= and h="},
        {"band detail height=5\n  label x=1 y=1 w=2 h=2 colour=red", "test.layout:2: unknown attribute colour"},
        {"band middle height=5", "test.layout:1: unknown band middle"},
        {"band detail height=5\nband detail height=6", "test.layout:2: a second detail band"},
        {"page A3", "test.layout:1: only A4"},
        {"band detail height=5\n  label x=1 y=one w=2 h=2", "test.layout:2: not a number: one"},
    };
    for (const auto &[text, error] : faults) {
        try {
            parseLayout(QString::fromUtf8(text), "test.layout");
            QFAIL(text);
        } catch (const LayoutError &e) {
            QVERIFY2(QString::fromUtf8(e.what()).startsWith(QString::fromUtf8(error)), e.what());
        }
    }
    QVERIFY_THROWS_EXCEPTION(LayoutError, loadLayout("/nonexistent/x.layout"));
}

void TestReport::bandsRepeatAndPaginateAsABandedReportPrints()
{
    PersonsList people;
    Report r(layout(kListLayout));
    r.setData("people", &people.view);

    // The body runs from 10 to 277 (297 less the bottom margin and the
    // footer). The first page spends 30 + 10 on title and column header: 11
    // rows; further pages spend 10 + 10 on page and column header: 12 rows.
    people.fill(11);
    QVector<Page> pages = r.run();
    QCOMPARE(pages.size(), 2); // the summary no longer fits
    people.fill(10);
    pages = r.run();
    QCOMPARE(pages.size(), 1);
    QCOMPARE(count(pages[0], "Name"), 10);
    QVERIFY(!pages[0].item("Head")); // no page header on the first page without the option
    QCOMPARE(pages[0].text("Name"), QString("P1"));
    QCOMPARE(pages[0].item("Col")->rect.top(), 10.0 + 30);
    QCOMPARE(pages[0].item("Sum")->rect.top(), 50.0 + 10 * 20);

    people.fill(25);
    pages = r.run();
    QCOMPARE(pages.size(), 3);
    QCOMPARE(count(pages[0], "Name"), 11);
    QCOMPARE(count(pages[1], "Name"), 12);
    QCOMPARE(count(pages[2], "Name"), 2);
    QCOMPARE(pages[1].text("Head"), u("页眉"));
    QCOMPARE(pages[1].item("Col")->rect.top(), 20.0); // column header under the page header
    QCOMPARE(pages[1].all("Name").first()->text(), QString("P12"));
    QVERIFY(!pages[1].item("Title") && !pages[1].item("Sum"));
    QVERIFY(pages[2].item("Sum"));
    for (int i = 0; i < 3; ++i)
        QCOMPARE(pages[i].text("Number"), u("第") + QString::number(i + 1));
    QCOMPARE(pages[2].item("Number")->rect.top(), 297.0 - 10 - 10);

    // Options off: header on the first page too, no footer on the last.
    Layout l = layout(kListLayout);
    l.firstPageHeader = true;
    l.lastPageFooter = false;
    Report r2(l);
    r2.setData("People", &people.view);
    pages = r2.run();
    QVERIFY(pages[0].item("Head"));
    QCOMPARE(pages[0].item("Title")->rect.top(), 20.0);
    QVERIFY(pages[0].item("Number") && !pages.last().item("Number"));

    // A report without its dataset is a fault of the program, said plainly.
    Report unbound(layout(kListLayout));
    QVERIFY_THROWS_EXCEPTION(std::exception, unbound.run());
}

void TestReport::captionsEnabledStatesAndPageNumbersChangeTheRun()
{
    PersonsList people;
    people.fill(1);
    Report r(layout(kListLayout));
    r.setData("People", &people.view);
    QCOMPARE(r.elementNames().first(), QString("Head"));
    QVERIFY(r.hasElement("Number") && !r.hasElement("Nothing"));
    QCOMPARE(r.kind("Number"), Element::PageNumber);
    QVERIFY_THROWS_EXCEPTION(std::exception, r.setCaption("Nothing", "x"));

    r.setCaption("Number", "10--");
    r.setCaption("Title", u("新标题"));
    r.setEnabled("Plain", true);
    r.setEnabled("Sum", false);
    QVector<Page> pages = r.run();
    QCOMPARE(pages[0].text("Number"), QString("10--1"));
    QCOMPARE(pages[0].text("Title"), u("新标题"));
    QCOMPARE(pages[0].text("Plain"), u("页"));
    QVERIFY(!pages[0].item("Sum"));
    QCOMPARE(r.pageCount(), 1);
    QCOMPARE(r.lastRun().size(), 1);
    r.setEnabled("Number", false);
    QVERIFY(!r.run()[0].item("Number"));
}

void TestReport::longTextsWrapShrinkOrFlowWithoutLosingCharacters()
{
    clientdata::ClientDataSet record({"ITEM_3", "ITEM_13_1"});
    ClientDataView view(&record);
    Report r(layout(R"(
options lastPageFooter
band title height=20
  text Short x=0 y=0 w=150 h=6 field=ITEM_3
  label Long x=0 y=8 w=40 h=10 size=12
band detail height=40
  label Side x=150 y=0 w=40 h=6 "旁注"
  memo Memo x=0 y=0 w=140 h=30 field=ITEM_13_1 frame=all
  box x=0 y=0 w=190 h=40 grow
  label Below x=0 y=32 w=100 h=6 "签字"
band summary height=10
  label QRPage x=90 y=0 w=10 h=6 "9"
band pageFooter height=10
  label Foot x=0 y=0 w=190 h=10 "页脚"
)"));
    r.setData({}, &view);
    const QString title = u("一种用于高温高压环境下的纳米复合涂层材料及其制备方法");
    const QString longLabel = u("本栏目只能容纳很少的文字但是这里有很多文字需要显示出来");
    r.setCaption("Long", longLabel);

    // Short memo: one page, the memo keeps its least height.
    record.append();
    record.setFieldText("ITEM_3", title);
    record.setFieldText("ITEM_13_1", u("简介"));
    record.post();
    QVector<Page> pages = r.run();
    QCOMPARE(pages.size(), 1);
    const PageItem *shortText = pages[0].item("Short");
    QCOMPARE(shortText->text(), title); // fits one line
    const PageItem *longItem = pages[0].item("Long");
    QVERIFY(longItem->lines.size() > 1);
    QVERIFY(longItem->font.size < 12); // shrunk to fit the box
    QVERIFY(longItem->lines.size() * longItem->lineHeight <= 10.01);
    QCOMPARE(longItem->lines.join(QString()), longLabel);
    QCOMPARE(pages[0].item("Memo")->rect.height(), 30.0);

    // A summary of 4,000 characters with paragraphs runs over pages; nothing
    // is lost, what lies below the memo follows its end, frames run on.
    QString memo;
    for (int i = 0; memo.size() < 4000; ++i)
        memo += u("第%1段：成果的技术原理、性能指标与国内外同类技术的比较。").arg(i) + (i % 7 == 6 ? "\r\n" : "");
    record.emptyDataSet();
    record.append();
    record.setFieldText("ITEM_13_1", memo);
    record.post();
    // The in-memory list holds 254 bytes; a memo comes through a dataset.
    struct MemoView : DataView
    {
        QString memo;
        int rowCount() const override { return 1; }
        int currentRow() const override { return 0; }
        int column(const QString &f) const override { return f == "ITEM_13_1" ? 0 : -1; }
        QString textAt(int, int c) const override { return c == 0 ? memo : QString(); }
    } memoView;
    memoView.memo = memo;
    r.setData({}, &memoView);
    pages = r.run();
    QVERIFY(pages.size() >= 3);
    QString expected = memo;
    expected.remove("\r\n");
    QCOMPARE(flowed(pages, "Memo"), expected);
    QVERIFY(pages[0].item("Side") && !pages[1].item("Side")); // beside the memo's start only
    QVERIFY(!pages[0].item("Below") && pages.last().item("Below"));
    const PageItem *lastMemo = pages.last().item("Memo");
    QCOMPARE(pages.last().item("Below")->rect.top(), lastMemo->rect.bottom() + 2);
    QVERIFY(pages.last().item("QRPage")->rect.top() >= pages.last().item("Below")->rect.bottom());
    for (const Page &p : pages) {
        QVERIFY(p.item("Foot"));
        const PageItem *m = p.item("Memo");
        QVERIFY(m->rect.bottom() <= 297 - 10 - 10 + 0.01);
        // The grown frame runs beside the memo on every page.
        bool framed = false;
        for (const PageItem &i : p.items)
            framed = framed || (i.kind == PageItem::Box && i.rect.top() <= m->rect.top() + 0.01
                                && i.rect.bottom() >= m->rect.bottom() - 0.01);
        QVERIFY(framed);
    }
}

void TestReport::shortMemoMovesWholeToTheNextPage()
{
    clientdata::ClientDataSet record({"ITEM_13_1"});
    ClientDataView view(&record);
    record.append();
    record.setFieldText("ITEM_13_1", u("简介"));
    record.post();
    Report r(layout(R"(
band title height=200
  label Title x=0 y=0 w=190 h=10 "标题"
band detail height=100
  memo Memo x=0 y=0 w=190 h=100 field=ITEM_13_1 frame=all
)"));
    r.setData({}, &view);
    const QVector<Page> pages = r.run();
    QCOMPARE(pages.size(), 2);
    QVERIFY(!pages[0].item("Memo"));
    QCOMPARE(pages[1].item("Memo")->rect, QRectF(10, 10, 190, 100));
}

void TestReport::printRequestsCarryTheirPageRange()
{
    PersonsList people;
    people.fill(25);
    Report r(layout(kListLayout));
    r.setData("People", &people.view);
    QList<PrintRequest> sent;
    ui::HandlerOverride<PrintHandler> recorder(setPrintHandler, [&](const PrintRequest &q) { sent << q; });

    print(r);
    print(r, 2, 3);
    print(r, 3, 9); // cut to the pages there are
    print(r, 5, 5); // none: nothing is sent
    QCOMPARE(sent.size(), 3);
    QCOMPARE(sent[0].report, QString("test"));
    QCOMPARE(sent[0].pages.size(), 3);
    QCOMPARE(std::pair(sent[1].firstPage, sent[1].lastPage), std::pair(2, 3));
    QCOMPARE(sent[1].pages.size(), 2);
    QCOMPARE(sent[1].pages[0].text("Number"), u("第2"));
    QCOMPARE(sent[2].pages.size(), 1);
}

void TestReport::withoutPrinterOneQuestionAndOnePdfPerBatch()
{
    PersonsList people;
    people.fill(25);
    Report r(layout(kListLayout));
    r.setData("People", &people.view);
    TempDir dir;
    ui::ScriptedMessageBoxes boxes;
    QString folder = dir.path();
    int chosen = 0;
    ui::HandlerOverride<ui::FileChooser> chooser(ui::setFileChooser, [&](const ui::FileRequest &req) {
        ++chosen;
        return req.kind == ui::FileRequest::Folder ? folder : QString();
    });
    // The system's handler as it acts on a machine without a printer.
    ui::HandlerOverride<PrintHandler> noPrinter(setPrintHandler, keepForPdf);

    {
        PrintBatch batch(u("2006000001 成果完成人员名单"));
        for (int page = 1; page <= 3; ++page)
            print(r, page, page);
        PrintBatch inner("inner"); // joins the outer batch
        print(r, 1, 1);
        QCOMPARE(boxes.count(), 0); // nothing asked before the action ends
    }
    QCOMPARE(boxes.count(), 2);
    QVERIFY(boxes.requests()[0].text.contains(u("没有安装打印机")));
    QVERIFY(boxes.requests()[0].text.contains(u("4页")));
    const QString pdf = dir.file(u("2006000001 成果完成人员名单.pdf"));
    QVERIFY(boxes.last().text.contains(QDir::toNativeSeparators(pdf)));
    QCOMPARE(pdfPages(pdf), 4);
    QVERIFY(!QFile::exists(pdf + ".part"));

    // The same name again gets a number instead of replacing the first file.
    boxes.clear();
    {
        PrintBatch batch(u("2006000001 成果完成人员名单"));
        print(r, 1, 1);
    }
    QCOMPARE(pdfPages(dir.file(u("2006000001 成果完成人员名单 (2).pdf"))), 1);
    QCOMPARE(pdfPages(pdf), 4);

    // Outside a batch each request asks at once; "No" writes nothing.
    boxes.clear();
    boxes.answer(ui::IDNO);
    chosen = 0;
    print(r);
    QCOMPARE(boxes.count(), 1);
    QCOMPARE(chosen, 0);
    QVERIFY(!QFile::exists(dir.file("test.pdf")));

    // A folder that cannot be written: the user is told, no file is left.
    boxes.clear();
    folder = dir.file("missing/deeper");
    print(r);
    QCOMPARE(boxes.count(), 2);
    QCOMPARE(boxes.last().icon(), ui::MB_ICONSTOP);
    QVERIFY(boxes.last().text.contains(u("无法写入")));
    QVERIFY(!QFileInfo::exists(dir.file("missing")));

    // A batch whose action failed offers nothing.
    boxes.clear();
    try {
        PrintBatch batch("failed");
        print(r, 1, 1);
        throw std::runtime_error("engine error");
    } catch (const std::runtime_error &) {
    }
    QCOMPARE(boxes.count(), 0);
}

void TestReport::onePrinterAndOneJobPerPrintRun()
{
    PersonsList people;
    people.fill(25);
    Report r(layout(kListLayout));
    r.setData("People", &people.view);
    TempDir dir;
    ui::ScriptedMessageBoxes boxes;
    // The printer prints into a file of its own, one per printer made.
    QStringList printers;
    ui::HandlerOverride<PrinterSource> source(setPrinterSource, [&] {
        auto printer = std::make_unique<QPrinter>(QPrinter::HighResolution);
        printer->setOutputFormat(QPrinter::PdfFormat);
        printer->setOutputFileName(dir.file(QString("job%1.pdf").arg(printers.size() + 1)));
        printers << printer->outputFileName();
        return printer;
    });
    ui::HandlerOverride<PrintHandler> system(setPrintHandler, printSystem);

    // A list printed a page per request: one printer, one job of every page.
    {
        PrintBatch batch(u("成果完成人员名单"));
        for (int page = 1; page <= 3; ++page)
            print(r, page, page);
        PrintBatch inner("inner");
        print(r, 2, 2);
        QVERIFY(printers.isEmpty()); // nothing printed before the action ends
    }
    QCOMPARE(printers.size(), 1);
    QCOMPARE(pdfPages(printers[0]), 4);
    QCOMPARE(boxes.count(), 0);

    // An action that fails half-way prints nothing.
    try {
        PrintBatch batch("failed");
        print(r, 1, 1);
        throw std::runtime_error("engine error");
    } catch (const std::runtime_error &) {
    }
    QCOMPARE(printers.size(), 1);

    // A request outside any action is a run of its own.
    print(r, 2, 3);
    QCOMPARE(printers.size(), 2);
    QCOMPARE(pdfPages(printers[1]), 2);

    // Without a printer the run's pages are offered as PDF, as ever.
    ui::HandlerOverride<PrinterSource> none(setPrinterSource, [] { return std::unique_ptr<QPrinter>(); });
    boxes.answer(ui::IDNO);
    {
        PrintBatch batch("none");
        print(r, 1, 1);
        print(r, 2, 2);
    }
    QCOMPARE(boxes.count(), 1);
    QVERIFY(boxes.last().text.contains(u("2页")));
}

void TestReport::painterDrawsTheModel()
{
    PersonsList people;
    people.fill(3);
    Report r(layout(kListLayout));
    r.setData("People", &people.view);
    const Page page = r.run().first();
    const QImage img = renderPage(page, 100);
    QCOMPARE(img.size(), QSize(827, 1170));
    // Ink where the name cells are, none in the empty right half of a row.
    auto inked = [&](const QRectF &mm) {
        const QRect px = QRectF(mm.topLeft() * 100 / 25.4, mm.size() * 100 / 25.4).toRect() & img.rect();
        for (int y = px.top(); y <= px.bottom(); ++y)
            for (int x = px.left(); x <= px.right(); ++x)
                if (qGray(img.pixel(x, y)) < 128)
                    return true;
        return false;
    };
    const PageItem *name = page.item("Name");
    QVERIFY(inked(name->rect.adjusted(1, 1, -1, -1)));
    QVERIFY(!inked(QRectF(name->rect.right() + 5, name->rect.top() + 2, 60, 10)));
    if (const QByteArray dir = qgetenv("CORVANE_PAGE_PNG"); !dir.isEmpty())
        img.save(QString::fromLocal8Bit(dir) + "/tst_report_list.png");

    // A number too long for its box even narrowed as far as it goes is cut
    // at the box (and a little room), never printed over the next cells; a
    // text that fits is set whole.
    Report tight(layout(R"(
band detail height=20
  label Long x=20 y=5 w=6 h=4 "1234567890123456789012345" frame=all
  label Short x=60 y=5 w=30 h=6 "12345" frame=all
)"));
    const Page cut = tight.run().first();
    QVERIFY(cut.item("Long")->overflows && !cut.item("Short")->overflows);
    const qreal dpi = 200;
    const QImage small = renderPage(cut, dpi);
    const QRectF box = cut.item("Long")->rect;
    const int beyond = qCeil((box.right() + 1.2) * dpi / 25.4), before = qFloor((box.left() - 1.2) * dpi / 25.4);
    int outside = 0;
    for (int y = 0; y < small.height(); ++y)
        for (int x = 0; x < qCeil(55 * dpi / 25.4); ++x)
            outside += (x > beyond || x < before) && qGray(small.pixel(x, y)) < 160;
    QCOMPARE(outside, 0);
}

void TestReport::choiceColumnsTakeTheirWidthsAndMarksTheirWholeBox()
{
    const Layout l = layout(R"(
font 宋体 9.5
band detail height=20
  choices QL_ITEM_125_ x=40 y=0 w=148 h=6 widths=56,49.5,42.5 "01 农、林、牧、渔业" "02 采矿业" "03 制造业" "04 电力"
)");
    const QVector<Element> &e = l.bands[0].elements;
    QCOMPARE(e.size(), 8);
    QCOMPARE(e[2].rect.left(), 96.0);
    QCOMPARE(e[4].rect.left(), 145.5);
    QCOMPARE(e[5].rect.right(), 187.0); // the last column's text ends 1 mm short of w
    QCOMPARE(e[6].rect.left(), 40.0);   // a fourth option starts the next row
    QCOMPARE(e[6].rect.top(), 6 + (6 - 3.5) / 2);
    // A mark is centred in its box with no room kept beside the frame, so a
    // full-width "√" stays inside a box as wide as the font's em.
    QCOMPARE(PageItem::textRectOf(e[0].rect, e[0].frame, e[0].padding), e[0].rect);
    Report r(l);
    r.setCaption("QL_ITEM_125_01", u("√"));
    const PageItem *mark = r.run()[0].item("QL_ITEM_125_01");
    QCOMPARE(mark->textRect(), mark->rect);
    QVERIFY(textWidth(u("√"), mark->font, mark->font.size) <= mark->rect.width());
    QCOMPARE(mark->font.size, 9.5);

    for (const char *bad : {"widths=100,49", "widths=50,0", "widths=50,x"}) {
        const QString text = QString("band detail height=5\n  choices Q_ x=40 y=0 w=148 h=6 %1 \"1 甲\"").arg(bad);
        QVERIFY_THROWS_EXCEPTION(LayoutError, parseLayout(text, "test.layout"));
    }
}

void TestReport::coarseDevicesSetLinesAsWideAsMeasured()
{
    // A paragraph broken to fill its box, drawn on screens whose pixels do not
    // divide the font's advances: no glyph may reach past the box.
    QString text;
    while (text.size() < 200)
        text += u("成果登记表各项内容须与证明材料一致，");
    Report r(layout(QString(R"(
band detail height=60
  memo Para x=0 y=0 w=150 h=50 font=宋体 size=9.5 "%1"
)").arg(text).toUtf8().constData()));
    const Page page = r.run()[0];
    const PageItem *para = page.item("Para");
    QVERIFY(para->lines.size() > 3);
    for (qreal dpi : {96.0, 110.0, 150.0}) {
        const QImage img = renderPage(page, dpi);
        const int edge = qCeil((para->rect.right() + 0.3) * dpi / 25.4);
        int inked = 0;
        for (int y = 0; y < img.height(); ++y)
            for (int x = edge; x < img.width(); ++x)
                inked += qGray(img.pixel(x, y)) < 160;
        QVERIFY2(inked == 0, qPrintable(QString("%1 dpi: %2 pixels past the box").arg(dpi).arg(inked)));
    }
}

} // namespace

void TestReport::rulesJoinOnlyWhereTheyTouchOnOneLine()
{
    auto sorted = [](QList<QLineF> lines) {
        std::sort(lines.begin(), lines.end(), [](const QLineF &a, const QLineF &b) {
            return std::tuple(a.x1(), a.y1(), a.x2(), a.y2()) < std::tuple(b.x1(), b.y1(), b.x2(), b.y2());
        });
        return lines;
    };
    // Cell sides shared and drawn twice, a row's bottom in three pieces (one
    // given backwards, one a rounding off), a gap, a slanted line and a dot.
    const QList<QLineF> drawn{{10, 0, 10, 5},  {10, 5, 10, 0},       {30, 10, 20, 10}, {0, 10, 10, 10},
                              {10, 10 + 1e-9, 20, 10 + 1e-9},        {31, 10, 40, 10}, {10, 5, 10, 8},
                              {0, 0, 5, 5},    {7, 7, 7, 7},         {10, 20, 10, 30}};
    const QList<QLineF> expected{{0, 0, 5, 5},   {0, 10, 30, 10}, {7, 7, 7, 7},
                                 {10, 0, 10, 8}, {10, 20, 10, 30}, {31, 10, 40, 10}};
    const QList<QLineF> joined = sorted(joinRules(drawn));
    QCOMPARE(joined.size(), expected.size());
    for (qsizetype i = 0; i < joined.size(); ++i) {
        QVERIFY2(qAbs(joined[i].x1() - expected[i].x1()) + qAbs(joined[i].y1() - expected[i].y1())
                         + qAbs(joined[i].x2() - expected[i].x2()) + qAbs(joined[i].y2() - expected[i].y2())
                     < 1e-6,
                 qPrintable(QString("line %1").arg(i)));
    }
}

void TestReport::pdfTextsShapedOnceSitWhereDrawTextSetsThem()
{
    // Every alignment, Chinese beside Latin, trailing blanks, bold, narrowed
    // and small letters, a text repeated, one too long for its box.
    Page page;
    const struct { const char *text; int hAlign; qreal size; bool bold; int stretch; } texts[] = {
        {"成果名称: 科技成果 2005-01", Qt::AlignLeft, 10.5, false, 100},
        {"第一完成单位  ", Qt::AlignRight, 10.5, false, 100},
        {"2005000001", Qt::AlignHCenter, 9, true, 100},
        {"本成果针对高温高压环境研制了纳米复合涂层材料", Qt::AlignHCenter, 7.5, false, 70},
        {"成果名称: 科技成果 2005-01", Qt::AlignRight, 10.5, false, 100},
        {"Total 12.5 万元", Qt::AlignLeft, 12, true, 100},
    };
    qreal top = 20;
    for (const auto &t : texts) {
        PageItem item;
        item.rect = QRectF(20, top, 60, 8);
        item.font.size = t.size;
        item.font.bold = t.bold;
        item.font.stretch = t.stretch;
        item.lines = QStringList{u(t.text), u(t.text)};
        item.lineHeight = lineHeight(item.font, t.size);
        item.hAlign = t.hAlign;
        item.vAlign = Qt::AlignTop;
        item.overflows = t.stretch < 100;
        page.items << item;
        top += 15;
    }
    TempDir dir;
    // A printer's job: Qt's engine takes the painter's glyph runs.
    {
        QPrinter job(QPrinter::HighResolution);
        job.setOutputFormat(QPrinter::PdfFormat);
        job.setOutputFileName(dir.file("shaped.pdf"));
        QVERIFY(paintPages(job, {page}));
    }

    // The same lines drawn by QPainter::drawText, as the painter set them before.
    QPrinter printer(QPrinter::HighResolution);
    printer.setOutputFormat(QPrinter::PdfFormat);
    printer.setOutputFileName(dir.file("drawn.pdf"));
    printer.setFullPage(true);
    printer.setPageLayout(QPageLayout(QPageSize(QPageSize::A4), QPageLayout::Portrait, QMarginsF(), QPageLayout::Millimeter));
    {
        QPainter p(&printer);
        const qreal scale = printer.resolution() / 25.4;
        for (const PageItem &item : page.items) {
            p.setFont(makeFont(item.font, item.font.size));
            const QRectF box(item.textRect().topLeft() * scale, item.textRect().size() * scale);
            if (item.overflows)
                p.setClipRect(box.adjusted(-scale, -scale, scale, scale));
            for (int i = 0; i < item.lines.size(); ++i)
                p.drawText(QRectF(box.left(), box.top() + i * item.lineHeight * scale, box.width(), item.lineHeight * scale),
                           item.hAlign | Qt::AlignVCenter | Qt::TextDontClip, item.lines[i]);
            p.setClipping(false);
        }
    }
    const QList<PdfGlyph> shaped = pdfGlyphs(dir.file("shaped.pdf"));
    const QList<PdfGlyph> drawn = pdfGlyphs(dir.file("drawn.pdf"));
    QVERIFY(drawn.size() > 150);
    QCOMPARE(shaped.size(), drawn.size());
    for (qsizetype i = 0; i < drawn.size(); ++i) {
        const PdfGlyph &a = shaped[i], &b = drawn[i];
        QVERIFY2(a.font == b.font && a.glyph == b.glyph && qAbs(a.x - b.x) < 0.02 && qAbs(a.y - b.y) < 0.02,
                 qPrintable(QString("%1 %2 at %3,%4; drawn %5 %6 at %7,%8")
                                .arg(a.font, a.glyph).arg(a.x).arg(a.y).arg(b.font, b.glyph).arg(b.x).arg(b.y)));
    }
}

QTEST_MAIN(TestReport)
#include "tst_report.moc"
