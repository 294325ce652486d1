#pragma once
// The one painter of the page model, for the screen, the printer and PDF.
#include "PageModel.h"

#include <QImage>

class QPainter;
class QPrinter;

namespace report {

// Draws page with the paper's top left corner at the painter's origin, on a
// device of dpi dots per inch.
void paintPage(QPainter &painter, const Page &page, qreal dpi);
// Every page on the printer, a new sheet for each; false when the printer
// cannot be painted on.
bool paintPages(QPrinter &printer, const QVector<Page> &pages);
// The page as a picture on white paper.
QImage renderPage(const Page &page, qreal dpi = 96);
// The pages as a PDF file at path, through a temporary file beside it, so a
// failed write leaves no half-made file. False when it cannot be written.
bool writePdf(const QString &path, const QVector<Page> &pages, const QString &title);

} // namespace report
