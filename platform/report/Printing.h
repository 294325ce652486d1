#pragma once
// Previewing and printing reports. Every print request goes through one
// replaceable handler, so tests record each request and nothing reaches a
// printer. The system's handler prints on the default printer; where none is
// installed it says so and offers the same pages as a PDF file. The requests
// of one action of the user (a print run) go to one printer as one job.
#include "PageModel.h"

#include <QString>
#include <functional>
#include <memory>

class QPrinter;

namespace report {

class Report;

struct PrintRequest
{
    QString report;    // the report's name
    int firstPage = 0; // 1-based, both inclusive; 0 and 0 for every page
    int lastPage = 0;
    QVector<Page> pages; // the pages to print
};

// Produces the report and sends its pages from firstPage to lastPage (every
// page when both are 0) as one print request.
void print(Report &report, int firstPage = 0, int lastPage = 0);
void send(const PrintRequest &request);

using PrintHandler = std::function<void(const PrintRequest &)>;
// Installs handler and returns the one it replaces; an empty handler brings
// back the system's (printSystem).
PrintHandler setPrintHandler(PrintHandler handler);

// The system's handler.
void printSystem(const PrintRequest &request);
bool printerInstalled();
// Where the system's handler prints: the default printer, or none (the pages
// are then offered as PDF). Installs source and returns the one it replaces;
// an empty source brings back the default printer's.
using PrinterSource = std::function<std::unique_ptr<QPrinter>()>;
PrinterSource setPrinterSource(PrinterSource source);
// Without a printer: inside a PrintBatch the pages wait for the end of the
// batch; otherwise the user is offered them as PDF at once.
void keepForPdf(const PrintRequest &request);
// Asks whether to save the pages as PDF, asks for the folder and writes
// "<title>.pdf" there (with a number added when that name is taken).
void offerPdf(const QString &title, const QVector<Page> &pages);

// The print requests of one action of the user (a section, the whole form),
// a print run: their pages go in order to one printer as one job titled so,
// or without a printer end in one question and one PDF file. Nothing is
// printed of an action that fails half-way. Batches nest; the outermost one
// collects.
class PrintBatch
{
public:
    explicit PrintBatch(const QString &title);
    ~PrintBatch();
    PrintBatch(const PrintBatch &) = delete;
    PrintBatch &operator=(const PrintBatch &) = delete;

private:
    friend void keepForPdf(const PrintRequest &);
    friend void printSystem(const PrintRequest &);
    QString m_title;
    QVector<Page> m_pages;
    bool m_toPrinter = false; // the system's handler took a request: to the printer when there is one
    PrintBatch *m_outer;
    int m_exceptions;
};

// Produces the report and shows every page in the print preview window,
// returning when it is closed.
void preview(Report &report, const QString &title = {});

} // namespace report
