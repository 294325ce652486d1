#include "PagePainter.h"

#include "TextFit.h"

#include <QFile>
#include <QFileInfo>
#include <QPageLayout>
#include <QPageSize>
#include <QPainter>
#include <QPrinter>

namespace report {

namespace {

QRectF toDevice(const QRectF &mm, qreal scale)
{
    return QRectF(mm.left() * scale, mm.top() * scale, mm.width() * scale, mm.height() * scale);
}

void drawFrame(QPainter &p, const QRectF &r, int frame)
{
    if (frame & FrameLeft)
        p.drawLine(r.topLeft(), r.bottomLeft());
    if (frame & FrameTop)
        p.drawLine(r.topLeft(), r.topRight());
    if (frame & FrameRight)
        p.drawLine(r.topRight(), r.bottomRight());
    if (frame & FrameBottom)
        p.drawLine(r.bottomLeft(), r.bottomRight());
}

void drawText(QPainter &p, const PageItem &item, qreal scale)
{
    if (!item.lines.isEmpty()) {
        // The lines are set in units of the resolution they were measured at
        // and scaled to the device: glyph advances round as they did when the
        // lines were broken, so on a coarse device a line is no wider than
        // the model placed it.
        const qreal layoutScale = kLayoutDpi / 25.4;
        const qreal deviceDpi = p.device() ? p.device()->logicalDpiY() : scale * 25.4;
        const QRectF box = toDevice(item.textRect(), layoutScale);
        p.save();
        p.scale(scale / layoutScale, scale / layoutScale);
        p.setFont(makeFont(item.font, item.font.size * kLayoutDpi / deviceDpi));
        const qreal lh = item.lineHeight * layoutScale;
        const qreal block = lh * item.lines.size();
        qreal top = box.top();
        if (item.vAlign & Qt::AlignVCenter)
            top += (box.height() - block) / 2;
        else if (item.vAlign & Qt::AlignBottom)
            top += box.height() - block;
        p.setClipRect(box.adjusted(-layoutScale, -layoutScale, layoutScale, layoutScale));
        for (int i = 0; i < item.lines.size(); ++i)
            p.drawText(QRectF(box.left(), top + i * lh, box.width(), lh),
                       item.hAlign | Qt::AlignVCenter | Qt::TextDontClip, item.lines[i]);
        p.restore();
    }
    drawFrame(p, toDevice(item.rect, scale), item.frame);
}

QPageLayout a4Layout(const QSizeF &size)
{
    const bool landscape = size.width() > size.height();
    return QPageLayout(QPageSize(QPageSize::A4), landscape ? QPageLayout::Landscape : QPageLayout::Portrait,
                       QMarginsF(0, 0, 0, 0), QPageLayout::Millimeter);
}

} // namespace

void paintPage(QPainter &p, const Page &page, qreal dpi)
{
    const qreal scale = dpi / 25.4;
    p.save();
    p.setRenderHint(QPainter::Antialiasing);
    p.setRenderHint(QPainter::TextAntialiasing);
    p.setBrush(Qt::NoBrush);
    for (const PageItem &item : page.items) {
        QPen pen(Qt::black);
        pen.setWidthF(qMax(1.0, item.pen * scale));
        p.setPen(pen);
        switch (item.kind) {
        case PageItem::Text:
            drawText(p, item, scale);
            break;
        case PageItem::Line:
            p.drawLine(item.rect.topLeft() * scale, item.rect.bottomRight() * scale);
            break;
        case PageItem::Box:
            p.drawRect(toDevice(item.rect, scale));
            break;
        }
    }
    p.restore();
}

bool paintPages(QPrinter &printer, const QVector<Page> &pages)
{
    printer.setFullPage(true);
    if (!pages.isEmpty())
        printer.setPageLayout(a4Layout(pages.first().size));
    QPainter p;
    if (!p.begin(&printer))
        return false;
    for (int i = 0; i < pages.size(); ++i) {
        if (i > 0 && !printer.newPage())
            return false;
        paintPage(p, pages[i], printer.resolution());
    }
    return p.end();
}

QImage renderPage(const Page &page, qreal dpi)
{
    QImage img(qCeil(page.size.width() * dpi / 25.4), qCeil(page.size.height() * dpi / 25.4),
               QImage::Format_RGB32);
    img.setDotsPerMeterX(qRound(dpi / 0.0254));
    img.setDotsPerMeterY(qRound(dpi / 0.0254));
    img.fill(Qt::white);
    QPainter p(&img);
    paintPage(p, page, dpi);
    return img;
}

bool writePdf(const QString &path, const QVector<Page> &pages, const QString &title)
{
    const QString part = path + QStringLiteral(".part");
    QFile::remove(part);
    bool ok;
    {
        QPrinter printer(QPrinter::HighResolution);
        printer.setOutputFormat(QPrinter::PdfFormat);
        printer.setOutputFileName(part);
        printer.setDocName(title);
        printer.setCreator(QStringLiteral("Corvane"));
        ok = paintPages(printer, pages);
    }
    ok = ok && QFileInfo(part).size() > 0;
    ok = ok && QFile::rename(part, path); // never over an existing file
    if (!ok)
        QFile::remove(part);
    return ok;
}

} // namespace report
