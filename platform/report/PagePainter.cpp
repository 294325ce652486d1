#include "PagePainter.h"

#include "GlyphRuns.h"
#include "Rules.h"
#include "TextFit.h"

#include <QFile>
#include <QFileInfo>
#include <QHash>
#include <QMap>
#include <QPageLayout>
#include <QPageSize>
#include <QPainter>
#include <QPaintEngine>
#include <QPrinter>

namespace report {

namespace {

// The painter works in the units texts were measured in: glyph advances
// then round as they did when the lines were broken, so on a coarse device
// a line is no wider than the model placed it.
constexpr qreal kLayoutScale = kLayoutDpi / 25.4; // layout units per mm

QRectF toLayout(const QRectF &mm)
{
    return QRectF(mm.left() * kLayoutScale, mm.top() * kLayoutScale, mm.width() * kLayoutScale,
                  mm.height() * kLayoutScale);
}

// What the pages of one painting share: the font made for each style and
// size, each line's shaping, and the rules and frames of a page, drawn
// together at its end (all in black, so their order among the texts does
// not matter).
class PagePainter
{
public:
    PagePainter(QPainter &p, qreal dpi)
        : m_p(p), m_scale(dpi / 25.4), m_deviceDpi(p.device() ? p.device()->logicalDpiY() : dpi),
          m_shapeOnce(p.paintEngine() && p.paintEngine()->type() == QPaintEngine::Pdf)
    {
    }

    void paint(const Page &page)
    {
        m_p.save();
        m_p.setRenderHint(QPainter::Antialiasing);
        m_p.setRenderHint(QPainter::TextAntialiasing);
        m_p.setBrush(Qt::NoBrush);
        m_p.scale(m_scale / kLayoutScale, m_scale / kLayoutScale);
        m_p.setPen(Qt::black);
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
        m_queued.draw(m_p);
        for (auto it = m_lines.begin(); it != m_lines.end(); ++it) {
            setPen(it.key());
            m_p.drawLines(joinRules(it.value()));
        }
        for (auto it = m_boxes.begin(); it != m_boxes.end(); ++it) {
            setPen(it.key());
            m_p.drawRects(it.value());
        }
        m_lines.clear();
        m_boxes.clear();
        m_p.restore();
    }

private:
    // In layout units: the item's pen, but never thinner than a dot of the device.
    qreal penWidth(const PageItem &item) const { return qMax(1.0, item.pen * m_scale) * kLayoutScale / m_scale; }

    void setPen(qreal width)
    {
        QPen pen(Qt::black);
        pen.setWidthF(width);
        m_p.setPen(pen);
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

    const QFont &fontOf(const FontStyle &style)
    {
        auto it = m_fonts.constFind(style);
        if (it == m_fonts.constEnd())
            it = m_fonts.insert(style, makeFont(style, style.size * kLayoutDpi / m_deviceDpi));
        return *it;
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
        if (clipped) {
            m_queued.draw(m_p);
            m_p.setClipRect(box.adjusted(-kLayoutScale, -kLayoutScale, kLayoutScale, kLayoutScale));
        }
        m_p.setFont(fontOf(item.font));
        for (int i = 0; i < item.lines.size(); ++i) {
            const QRectF line(box.left(), top + i * lh, box.width(), lh);
            if (!m_shapeOnce || !queueShaped(line, item, item.lines[i])) {
                m_queued.draw(m_p);
                m_p.drawText(line, item.hAlign | Qt::AlignVCenter | Qt::TextDontClip, item.lines[i]);
            }
        }
        if (clipped) {
            m_queued.draw(m_p);
            m_p.setClipping(false);
        }
    }

    // A line where QPainter::drawText sets it in its rectangle, vertically
    // centred, queued as glyph runs. False for what only drawText sets
    // right (underlines, breaks inside the line).
    bool queueShaped(const QRectF &r, const PageItem &item, const QString &text)
    {
        if (text.isEmpty())
            return true;
        if (item.font.underline || text.contains(QChar::LineSeparator) || text.contains(QChar::ParagraphSeparator))
            return false;
        const ShapedLine &s = m_shapes.line(item.font, fontOf(item.font), m_p.device(), text);
        qreal x = r.left();
        if (item.hAlign & Qt::AlignRight)
            x += r.width() - s.advance;
        else if (item.hAlign & Qt::AlignHCenter)
            x += (r.width() - s.advance) / 2;
        const QPointF origin(x, r.top() + (r.height() - s.height) / 2);
        for (const QGlyphRun &run : s.runs)
            m_queued.add(origin, run);
        return true;
    }

    QPainter &m_p;
    qreal m_scale;     // device dots per mm
    qreal m_deviceDpi; // what the device's fonts are sized for
    // Only into PDF (a file, or a printer's job), which takes glyph runs as
    // it takes drawText's; a preview records them as outlines, and images
    // keep drawText's own look.
    bool m_shapeOnce;
    QHash<FontStyle, QFont> m_fonts;
    LineShapes m_shapes;
    GlyphQueue m_queued;
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
    PagePainter(p, dpi).paint(page);
}

bool paintPages(QPrinter &printer, const QVector<Page> &pages)
{
    printer.setFullPage(true);
    if (!pages.isEmpty())
        printer.setPageLayout(a4Layout(pages.first().size));
    QPainter p;
    if (!p.begin(&printer))
        return false;
    PagePainter painter(p, printer.resolution());
    for (int i = 0; i < pages.size(); ++i) {
        if (i > 0 && !printer.newPage())
            return false;
        painter.paint(pages[i]);
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
