#include "PagePainter.h"

#include "PainterCanvas.h"
#include "PdfCanvas.h"
#include "Rules.h"
#include "TextFit.h"

#include <QDir>
#include <QFileInfo>
#include <QTemporaryFile>
#include <QMap>
#include <QPageLayout>
#include <QPageSize>
#include <QPainter>
#include <QPrinter>

namespace report {

namespace {

// The painter works in the units texts were measured in: glyph advances
// then round as they did when the lines were broken, so on a coarse device
// a line is no wider than the model placed it.
constexpr qreal kLayoutScale = kLayoutPerMm;

QRectF toLayout(const QRectF &mm)
{
    return QRectF(mm.left() * kLayoutScale, mm.top() * kLayoutScale, mm.width() * kLayoutScale,
                  mm.height() * kLayoutScale);
}

// The one walk over a page's items: where each text line goes, what is
// clipped, and the rules and frames of a page, joined and drawn together at
// its end (all in black, so their order among the texts does not matter).
class PageWalk
{
public:
    explicit PageWalk(PageCanvas &canvas) : m_canvas(canvas) {}

    void paint(const Page &page)
    {
        m_canvas.beginPage(page.size);
        for (const PageItem &item : page.items) {
            switch (item.kind) {
            case PageItem::Text:
                drawText(item);
                addFrame(item);
                break;
            case PageItem::Line:
                m_lines[penWidth(item)].append(QLineF(item.rect.topLeft() * kLayoutScale,
                                                      item.rect.bottomRight() * kLayoutScale));
                break;
            case PageItem::Box:
                m_boxes[penWidth(item)].append(toLayout(item.rect));
                break;
            }
        }
        for (auto it = m_lines.begin(); it != m_lines.end(); ++it)
            m_canvas.lines(it.key(), joinRules(it.value()));
        for (auto it = m_boxes.begin(); it != m_boxes.end(); ++it)
            m_canvas.rects(it.key(), it.value());
        m_lines.clear();
        m_boxes.clear();
        m_canvas.endPage();
    }

private:
    // In layout units: the item's pen, but never thinner than a dot of the device.
    qreal penWidth(const PageItem &item) const
    {
        const qreal scale = m_canvas.dotsPerMm();
        return qMax(1.0, item.pen * scale) * kLayoutScale / scale;
    }

    void addFrame(const PageItem &item)
    {
        if (!item.frame)
            return;
        const QRectF r = toLayout(item.rect);
        QList<QLineF> &lines = m_lines[penWidth(item)];
        if (item.frame & FrameLeft)
            lines.append(QLineF(r.topLeft(), r.bottomLeft()));
        if (item.frame & FrameTop)
            lines.append(QLineF(r.topLeft(), r.topRight()));
        if (item.frame & FrameRight)
            lines.append(QLineF(r.topRight(), r.bottomRight()));
        if (item.frame & FrameBottom)
            lines.append(QLineF(r.bottomLeft(), r.bottomRight()));
    }

    void drawText(const PageItem &item)
    {
        if (item.lines.isEmpty())
            return;
        const QRectF box = toLayout(item.textRect());
        const qreal lh = item.lineHeight * kLayoutScale;
        const qreal block = lh * item.lines.size();
        qreal top = box.top();
        if (item.vAlign & Qt::AlignVCenter)
            top += (box.height() - block) / 2;
        else if (item.vAlign & Qt::AlignBottom)
            top += box.height() - block;
        // Only a text set smaller and narrower than any that reads may still
        // run out of its box, or a line taller than a low one.
        const bool clipped = item.overflows;
        if (clipped)
            m_canvas.clip(box.adjusted(-kLayoutScale, -kLayoutScale, kLayoutScale, kLayoutScale));
        for (int i = 0; i < item.lines.size(); ++i)
            m_canvas.text(QRectF(box.left(), top + i * lh, box.width(), lh), item.hAlign, item.lines[i], item.font);
        if (clipped)
            m_canvas.unclip();
    }

    PageCanvas &m_canvas;
    QMap<qreal, QList<QLineF>> m_lines; // by pen width
    QMap<qreal, QList<QRectF>> m_boxes;
};

QPageLayout a4Layout(const QSizeF &size)
{
    const bool landscape = size.width() > size.height();
    return QPageLayout(QPageSize(QPageSize::A4), landscape ? QPageLayout::Landscape : QPageLayout::Portrait,
                       QMarginsF(0, 0, 0, 0), QPageLayout::Millimeter);
}

} // namespace

void paintPage(QPainter &p, const Page &page, qreal dpi)
{
    PainterCanvas canvas(p, dpi);
    PageWalk(canvas).paint(page);
}

bool paintPages(QPrinter &printer, const QVector<Page> &pages)
{
    printer.setFullPage(true);
    if (!pages.isEmpty())
        printer.setPageLayout(a4Layout(pages.first().size));
    QPainter p;
    if (!p.begin(&printer))
        return false;
    PainterCanvas canvas(p, printer.resolution());
    PageWalk walk(canvas);
    for (int i = 0; i < pages.size(); ++i) {
        if (i > 0 && !printer.newPage())
            return false;
        walk.paint(pages[i]);
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
    // Under a hidden name of its own beside path: no other file there is
    // written over or removed, and a failed write leaves nothing.
    QTemporaryFile file(QFileInfo(path).dir().filePath(QStringLiteral(".~corvane-XXXXXX.pdf")));
    if (!file.open())
        return false;
    bool ok = false;
    {
        PdfCanvas canvas(file);
        PageWalk walk(canvas);
        for (const Page &page : pages)
            walk.paint(page);
        ok = canvas.finish(title, QStringLiteral("Corvane")) && file.flush();
    }
    file.close();
    if (!ok || file.error() != QFileDevice::NoError || !file.rename(path)) // never over an existing file
        return false;
    file.setAutoRemove(false);
    return true;
}

} // namespace report
