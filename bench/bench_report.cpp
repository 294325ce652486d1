// Preparing and laying out report pages: the persons list of a record with
// 400 persons, and the summary page with a memo of 4,000 characters. Each is
// reported per page, beside the plain work it rests on, measured in the
// same run: walking the 400 persons through their fields, and breaking the
// memo into lines with Qt's text layout. The whole form of that record
// printed, its pages laid out and painted into the PDF file a print run
// without a printer ends in, beside the same pages laid out alone and
// beside a printer made for every print request. And the record's
// registration form written as Word documents by the program's own fills,
// beside reading and parsing its two templates once.
#include "BenchData.h"
#include "DataFolder.h"
#include "PrintReports.h"
#include "Startup.h"
#include "TableSchemas.h"
#include "Unit1.h"
#include "UnitDM.h"
#include "WordOutput.h"
#include "WordRegistration.h"
#include "report/PagePainter.h"
#include "report/Printing.h"
#include "report/TextFit.h"
#include "ui/DesktopOpener.h"
#include "ui/FileChoosers.h"
#include "ui/MessageBox.h"
#include "ui/Seam.h"
#include "word/Application.h"

#include <QDir>
#include <QTemporaryDir>
#include <benchmark/benchmark.h>

namespace {

constexpr int kPersons = 400;
constexpr int kMemoChars = 4000;

QString memoText()
{
    QString memo;
    while (memo.size() < kMemoChars)
        memo += QString::fromUtf8("本成果针对高温高压环境研制了纳米复合涂层材料，性能指标达到国内领先水平。");
    return memo.left(kMemoChars);
}

struct App
{
    QTemporaryDir tmp;
    std::unique_ptr<PrintReports> reports;
    App()
    {
        fillBenchRecords(tmp.path(), 1, {"cgwcr"}, kPersons, 1, "1");
        // The classifications the documents name codes from: a folder that
        // was not new at its first start goes without them.
        for (const char *optional : {"xkfl", "ztflh"})
            deliverTable(tmp.path(), *tableSchema(optional));
        startBenchApplication(tmp.path(), "corvane-bench-report");
        db::Table *t = DM->Tblkjcg;
        t->first();
        t->edit();
        t->fieldByName("ITEM_13_1")->setAsString(memoText());
        t->post();
        const QString key = t->fieldByName("ITEM_4")->asString();
        DM->OpenSql(DM->Qrykjcg, "select * from kjcg");
        db::Table *persons = DM->TblCgwcr;
        persons->close();
        persons->setFilter("item_4='" + key + "' and item_dqdm='.'");
        persons->setFiltered(true);
        persons->open();
        reports = std::make_unique<PrintReports>();
    }
    ~App()
    {
        reports.reset();
        destroyApplication();
    }
};

App &app()
{
    return benchApp<App>();
}

// Seconds per page, from the pages each iteration makes.
benchmark::Counter perPage(int pages)
{
    return benchmark::Counter(pages, benchmark::Counter::kIsIterationInvariantRate | benchmark::Counter::kInvert);
}

void BM_PersonsListPrepareAndLayOut(benchmark::State &state)
{
    App &a = app();
    int pages = 0;
    besideReference(state, "walk_persons", timedLoop(state, [&] {
        pages = int(a.reports->PrepareReport(ReportClass::TyyPrint10).run().size());
    }));
    state.counters["pages"] = pages;
    state.counters["per_page"] = perPage(pages);
}

void BM_ReferenceWalkPersons(benchmark::State &state)
{
    App &a = app();
    (void)a;
    db::Table *persons = DM->TblCgwcr;
    keepReference(state, "walk_persons", timedLoop(state, [&] {
        qsizetype bytes = 0;
        for (persons->first(); !persons->eof(); persons->next())
            for (const char *f : {"ITEM_187", "ITEM_180", "V_181", "ITEM_182", "V_183", "V_184", "V_188", "ITEM_185",
                                  "ITEM_186"})
                bytes += persons->fieldByName(f)->asString().size();
        benchmark::DoNotOptimize(bytes);
    }));
    state.counters["rows"] = persons->recordCount();
}

void BM_MemoPagePrepareAndLayOut(benchmark::State &state)
{
    App &a = app();
    int pages = 0;
    besideReference(state, "break_memo", timedLoop(state, [&] {
        pages = int(a.reports->PrepareReport(ReportClass::TyyPrint09).run().size());
    }));
    state.counters["pages"] = pages;
    state.counters["per_page"] = perPage(pages);
}

void BM_ReferenceBreakMemo(benchmark::State &state)
{
    app();
    const QString memo = memoText();
    const report::FontStyle font;
    keepReference(state, "break_memo", timedLoop(state, [&] {
        benchmark::DoNotOptimize(report::wrapText(memo, font, font.size, 188.4).size());
    }));
}

// The whole applied-technology form printed through a print handler; the pages sent.
int printWholeForm(App &a)
{
    int pages = 0;
    ui::HandlerOverride<report::PrintHandler> counter(report::setPrintHandler, [&](const report::PrintRequest &r) {
        pages += int(r.pages.size());
    });
    a.reports->PrintWholeForm(true);
    return pages;
}

void BM_ReferenceWholeFormLaidOut(benchmark::State &state)
{
    App &a = app();
    int pages = 0;
    keepReference(state, "lay_out", timedLoop(state, [&] { pages = printWholeForm(a); }));
    state.counters["pages"] = pages;
    state.counters["per_page"] = perPage(pages);
}

// Without a printer the print run's pages end in one PDF file, painted by
// one printer; the user's answers are given here.
void BM_WholeFormPrinted(benchmark::State &state)
{
    App &a = app();
    const int pages = printWholeForm(a);
    QTemporaryDir out;
    ui::HandlerOverride<ui::MessageBoxHandler> yes(ui::setMessageBoxHandler,
                                                   [](const ui::MessageRequest &) { return ui::IDYES; });
    ui::HandlerOverride<ui::FileChooser> folder(ui::setFileChooser, [&](const ui::FileRequest &) { return out.path(); });
    ui::HandlerOverride<report::PrintHandler> noPrinter(report::setPrintHandler, report::keepForPdf);
    qint64 bytes = 0;
    const double seconds = timedLoop(state, [&] {
        a.reports->PrintWholeForm(true);
        for (const QFileInfo &pdf : QDir(out.path()).entryInfoList(QDir::Files)) {
            bytes = pdf.size();
            QFile::remove(pdf.filePath());
        }
    });
    besideReference(state, "lay_out", seconds);
    besideReference(state, "printer_per_request", seconds);
    state.counters["pages"] = pages;
    state.counters["per_page"] = perPage(pages);
    state.counters["pdf_KiB"] = double(bytes) / 1024;
}

// What one printer per run spares: a printer (here a PDF file) made for
// each request, as the lists go out a page at a time.
void BM_ReferencePrinterPerRequest(benchmark::State &state)
{
    App &a = app();
    QTemporaryDir out;
    int pages = 0;
    ui::HandlerOverride<report::PrintHandler> perRequest(report::setPrintHandler, [&](const report::PrintRequest &r) {
        const QString path = out.filePath("request.pdf");
        report::writePdf(path, r.pages, r.report);
        QFile::remove(path);
        pages += int(r.pages.size());
    });
    keepReference(state, "printer_per_request", timedLoop(state, [&] {
        pages = 0;
        a.reports->PrintWholeForm(true);
    }));
    state.counters["per_page"] = perPage(pages);
}

// The two documents of the applied-technology registration form.
const QStringList kRegistrationTemplates = {QString::fromUtf8("应用技术封面.dotx"), QString::fromUtf8("应用技术登记表.dotx")};

void BM_ReferenceOpenTemplate(benchmark::State &state)
{
    app();
    QStringList paths;
    for (const QString &name : kRegistrationTemplates)
        paths << WordTemplatePath(name);
    keepReference(state, "open_templates", timedLoop(state, [&] {
        for (const QString &path : paths)
            benchmark::DoNotOptimize(word::Document::open(path).bookmarks().size());
    }));
}

// The record's registration form written as Word documents by the
// program's own fills: every field, the persons up to the form's room.
void BM_WordDocument(benchmark::State &state)
{
    app();
    QTemporaryDir out;
    ui::HandlerOverride<ui::MessageBoxHandler> ok(ui::setMessageBoxHandler,
                                                  [](const ui::MessageRequest &) { return ui::IDOK; });
    ui::HandlerOverride<ui::DocumentOpener> opened(ui::setDocumentOpener, [](const QString &) { return true; });
    ui::HandlerOverride<QString> folder(word::setDocumentFolder, out.path());
    qint64 bytes = 0;
    besideReference(state, "open_templates", timedLoop(state, [&] {
        RegistrationToWord(WordFamily::yy, false);
        bytes = 0;
        for (const QFileInfo &docx : QDir(out.path()).entryInfoList(QDir::Files)) {
            bytes += docx.size();
            QFile::remove(docx.filePath());
        }
    }));
    state.counters["docx_KiB"] = double(bytes) / 1024;
}

} // namespace

// Each reference first, so that the figure after it can be set beside it.
BENCHMARK(BM_ReferenceWalkPersons)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_PersonsListPrepareAndLayOut)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_ReferenceBreakMemo)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_MemoPagePrepareAndLayOut)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_ReferencePrinterPerRequest)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_ReferenceWholeFormLaidOut)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_WholeFormPrinted)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_ReferenceOpenTemplate)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_WordDocument)->Unit(benchmark::kMillisecond);

int main(int argc, char **argv)
{
    return runWindowBenchmarks(argc, argv);
}
