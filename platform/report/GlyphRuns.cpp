#include "GlyphRuns.h"

#include "TextFit.h"

#include <QPainter>
#include <QTextLayout>

#include <algorithm>

namespace report {

QPointF lineOrigin(const QRectF &r, int hAlign, const ShapedLine &line)
{
    qreal x = r.left();
    if (hAlign & Qt::AlignRight)
        x += r.width() - line.advance;
    else if (hAlign & Qt::AlignHCenter)
        x += (r.width() - line.advance) / 2;
    return QPointF(x, r.top() + (r.height() - line.height) / 2);
}

LineShapes::LineShapes(const QPaintDevice *device, qreal deviceDpi) : m_device(device), m_deviceDpi(deviceDpi) {}

const QFont &LineShapes::font(const FontStyle &style)
{
    auto it = m_fonts.constFind(style);
    if (it == m_fonts.constEnd())
        it = m_fonts.insert(style, makeFont(style, style.size * kLayoutDpi / m_deviceDpi));
    return *it;
}

const ShapedLine &LineShapes::line(const FontStyle &style, const QString &text)
{
    const auto key = std::pair(style, text);
    auto it = m_lines.constFind(key);
    if (it != m_lines.constEnd())
        return *it;
    QTextLayout layout(text, font(style), m_device);
    QTextOption option;
    option.setFlags(QTextOption::IncludeTrailingSpaces);
    layout.setTextOption(option);
    layout.beginLayout();
    QTextLine line = layout.createLine();
    line.setLineWidth(0x01000000); // drawText's width for a line it does not wrap
    line.setPosition(QPointF(0, 0));
    layout.endLayout();
    // The layout gives a font's runs together; drawText draws them left to right.
    QList<QGlyphRun> runs = layout.glyphRuns();
    std::sort(runs.begin(), runs.end(), [](const QGlyphRun &a, const QGlyphRun &b) {
        return a.positions().value(0).x() < b.positions().value(0).x();
    });
    return *m_lines.insert(key, ShapedLine{runs, line.horizontalAdvance(), line.ascent() + line.descent()});
}

void GlyphQueue::add(const QPointF &origin, const QGlyphRun &run)
{
    const QRawFont font = run.rawFont();
    if (m_queued.isEmpty() || m_queued.last().font != font)
        m_queued.append(Queued{font, {}, {}});
    Queued &q = m_queued.last();
    q.glyphs += run.glyphIndexes();
    for (const QPointF &p : run.positions())
        q.positions.append(origin + p);
}

void GlyphQueue::draw(QPainter &painter)
{
    for (const Queued &q : std::as_const(m_queued)) {
        QGlyphRun run;
        run.setRawFont(q.font);
        run.setGlyphIndexes(q.glyphs);
        run.setPositions(q.positions);
        painter.drawGlyphRun(QPointF(), run);
    }
    m_queued.clear();
}

} // namespace report
