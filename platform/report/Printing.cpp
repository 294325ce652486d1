#include "Printing.h"

#include "PagePainter.h"
#include "Report.h"
#include "ui/FileChoosers.h"
#include "ui/HandlerGuard.h"
#include "ui/MessageBox.h"
#include "ui/ModalWindows.h"

#include <QDir>
#include <QFileInfo>
#include <QPrintPreviewDialog>
#include <QPrinter>
#include <QPrinterInfo>
#include <QScreen>
#include <exception>

namespace report {

namespace {

PrintHandler &installedHandler()
{
    static PrintHandler handler;
    return handler;
}

PrintBatch *&currentBatch()
{
    static PrintBatch *batch = nullptr;
    return batch;
}

PrinterSource &installedSource()
{
    static PrinterSource source;
    return source;
}

std::unique_ptr<QPrinter> defaultPrinter()
{
    if (!printerInstalled())
        return nullptr;
    return std::make_unique<QPrinter>(QPrinter::HighResolution);
}

// The pages of a print run as one job on one printer, or offered as PDF
// where there is no printer.
void printRun(const QString &title, const QVector<Page> &pages)
{
    const PrinterSource &source = installedSource();
    const std::unique_ptr<QPrinter> printer = source ? source() : defaultPrinter();
    if (!printer) {
        offerPdf(title, pages);
        return;
    }
    printer->setDocName(title);
    if (!paintPages(*printer, pages))
        ui::showError(QStringLiteral("报表 %1 无法送到打印机 %2。").arg(title, printer->printerName()));
}

// A file name the desktop accepts, not taken yet in dir.
QString freePdfPath(const QString &dir, const QString &title)
{
    QString base = title.trimmed();
    for (const QChar c : QStringLiteral("/\\:*?\"<>|"))
        base.replace(c, QLatin1Char('_'));
    if (base.isEmpty())
        base = QStringLiteral("报表");
    const QDir d(dir);
    QString path = d.filePath(base + QStringLiteral(".pdf"));
    for (int n = 2; QFileInfo::exists(path); ++n)
        path = d.filePath(QStringLiteral("%1 (%2).pdf").arg(base).arg(n));
    return path;
}

} // namespace

void print(Report &report, int firstPage, int lastPage)
{
    const QVector<Page> pages = report.run();
    PrintRequest request{report.name(), firstPage, lastPage, {}};
    if (firstPage <= 0 && lastPage <= 0) {
        request.pages = pages;
    } else {
        const int from = qMax(1, firstPage);
        const int to = qMin(int(pages.size()), lastPage <= 0 ? int(pages.size()) : lastPage);
        for (int i = from; i <= to; ++i)
            request.pages.append(pages[i - 1]);
    }
    if (!request.pages.isEmpty())
        send(request);
}

void send(const PrintRequest &request)
{
    const PrintHandler handler = installedHandler();
    handler ? handler(request) : printSystem(request);
}

PrintHandler setPrintHandler(PrintHandler handler)
{
    std::swap(handler, installedHandler());
    return handler;
}

bool printerInstalled()
{
    return !QPrinterInfo::defaultPrinter().isNull() || !QPrinterInfo::availablePrinters().isEmpty();
}

PrinterSource setPrinterSource(PrinterSource source)
{
    std::swap(source, installedSource());
    return source;
}

void printSystem(const PrintRequest &request)
{
    PrintBatch *batch = currentBatch();
    if (!batch) {
        printRun(request.report, request.pages);
        return;
    }
    batch->m_pages += request.pages;
    batch->m_toPrinter = true;
}

void keepForPdf(const PrintRequest &request)
{
    PrintBatch *batch = currentBatch();
    if (batch)
        batch->m_pages += request.pages;
    else
        offerPdf(request.report, request.pages);
}

void offerPdf(const QString &title, const QVector<Page> &pages)
{
    const int answer = ui::messageBox(QStringLiteral("没有安装打印机，无法打印。\n是否把要打印的%1页另存为PDF文件？")
                                          .arg(pages.size()),
                                      QStringLiteral("提示"), ui::MB_YESNO | ui::MB_ICONQUESTION);
    if (answer != ui::IDYES)
        return;
    const QString dir = ui::chooseFolder(nullptr, QStringLiteral("选择保存PDF文件的文件夹"));
    if (dir.isEmpty())
        return;
    const QString path = freePdfPath(dir, title);
    if (!writePdf(path, pages, title)) {
        ui::showError(QStringLiteral("PDF文件 %1 无法写入，请检查文件夹是否可写、磁盘是否已满。").arg(QDir::toNativeSeparators(path)));
        return;
    }
    ui::messageBox(QStringLiteral("已另存为PDF文件：\n%1").arg(QDir::toNativeSeparators(path)), QStringLiteral("提示"),
                   ui::MB_OK | ui::MB_ICONINFORMATION);
}

PrintBatch::PrintBatch(const QString &title)
    : m_title(title), m_outer(currentBatch()), m_exceptions(std::uncaught_exceptions())
{
    if (!m_outer)
        currentBatch() = this;
}

PrintBatch::~PrintBatch()
{
    if (m_outer)
        return;
    currentBatch() = nullptr;
    // An action that failed half-way has told the user so; its pages are not printed.
    if (m_pages.isEmpty() || std::uncaught_exceptions() > m_exceptions)
        return;
    ui::guarded([this] { m_toPrinter ? printRun(m_title, m_pages) : offerPdf(m_title, m_pages); });
}

void preview(Report &report, const QString &title)
{
    const QVector<Page> pages = report.run();
    QPrinter printer(QPrinter::HighResolution);
    printer.setDocName(report.name());
    printer.setFullPage(true);
    QPrintPreviewDialog dialog(&printer);
    dialog.setObjectName(QStringLiteral("PrintPreview"));
    dialog.setWindowTitle(title.isEmpty() ? report.name() : title);
    QObject::connect(&dialog, &QPrintPreviewDialog::paintRequested, &dialog,
                     [&pages](QPrinter *target) { paintPages(*target, pages); });
    // Where no window manager grants "maximized" the dialog would open at its
    // small first size: it takes the screen's free area itself as well.
    if (const QScreen *screen = dialog.screen()) {
        const QRect area = screen->availableGeometry();
        dialog.resize(area.size());
        dialog.move(area.topLeft());
    }
    dialog.setWindowState(Qt::WindowMaximized);
    ui::showModal(&dialog);
}

} // namespace report
