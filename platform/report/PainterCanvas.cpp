#include "PainterCanvas.h"

#include "TextFit.h"

#include <QPaintEngine>
#include <QPainter>

namespace report {

PainterCanvas::PainterCanvas(QPainter &p, qreal dpi)
    : m_p(p), m_scale(dpi / 25.4),
      m_shapeOnce(p.paintEngine() && p.paintEngine()->type() == QPaintEngine::Pdf),
      m_shapes(p.device(), p.device() ? p.device()->logicalDpiY() : dpi)
{
}

void PainterCanvas::beginPage(const QSizeF &)
{
    m_p.save();
    m_p.setRenderHint(QPainter::Antialiasing);
    m_p.setRenderHint(QPainter::TextAntialiasing);
    m_p.setBrush(Qt::NoBrush);
    m_p.scale(m_scale / kLayoutPerMm, m_scale / kLayoutPerMm);
    m_p.setPen(Qt::black);
}

void PainterCanvas::endPage()
{
    m_queued.draw(m_p);
    m_p.restore();
}

void PainterCanvas::text(const QRectF &r, int hAlign, const QString &text, const FontStyle &style)
{
    if (text.isEmpty())
        return;
    // Underlines and breaks inside the line only drawText sets right.
    if (m_shapeOnce && !style.underline && !text.contains(QChar::LineSeparator)
        && !text.contains(QChar::ParagraphSeparator)) {
        const ShapedLine &s = m_shapes.line(style, text);
        const QPointF origin = lineOrigin(r, hAlign, s);
        for (const QGlyphRun &run : s.runs)
            m_queued.add(origin, run);
        return;
    }
    m_queued.draw(m_p);
    m_p.setFont(m_shapes.font(style));
    m_p.drawText(r, hAlign | Qt::AlignVCenter | Qt::TextDontClip, text);
}

void PainterCanvas::clip(const QRectF &box)
{
    m_queued.draw(m_p);
    m_p.setClipRect(box);
}

void PainterCanvas::unclip()
{
    m_queued.draw(m_p);
    m_p.setClipping(false);
}

void PainterCanvas::setPen(qreal width)
{
    m_queued.draw(m_p);
    QPen pen(Qt::black);
    pen.setWidthF(width);
    m_p.setPen(pen);
}

void PainterCanvas::lines(qreal pen, const QList<QLineF> &lines)
{
    setPen(pen);
    m_p.drawLines(lines);
}

void PainterCanvas::rects(qreal pen, const QList<QRectF> &rects)
{
    setPen(pen);
    m_p.drawRects(rects);
}

} // namespace report
