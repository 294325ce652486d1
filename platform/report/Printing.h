#pragma once
// Previewing and printing reports. Every print request goes through one
// replaceable handler, so tests record each request and nothing reaches a
// printer. The system's handler prints on the default printer; where none is
// installed it says so and offers the same pages as a PDF file.
#include "PageModel.h"

#include <QString>
#include <functional>

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
// Without a printer: inside a PrintBatch the pages wait for the end of the
// batch; otherwise the user is offered them as PDF at once.
void keepForPdf(const PrintRequest &request);
// Asks whether to save the pages as PDF, asks for the folder and writes
// "<title>.pdf" there (with a number added when that name is taken).
void offerPdf(const QString &title, const QVector<Page> &pages);

// The print requests of one action of the user (a section, the whole form):
// without a printer they end in one question and one PDF file, titled so.
// Batches nest; the outermost one collects.
class PrintBatch
{
public:
    explicit PrintBatch(const QString &title);
    ~PrintBatch();
    PrintBatch(const PrintBatch &) = delete;
    PrintBatch &operator=(const PrintBatch &) = delete;

private:
    friend void keepForPdf(const PrintRequest &);
    QString m_title;
    QVector<Page> m_pages;
    PrintBatch *m_outer;
    int m_exceptions;
};

// Produces the report and shows every page in the print preview window,
// returning when it is closed.
void preview(Report &report, const QString &title = {});

} // namespace report
