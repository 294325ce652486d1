#pragma once
// Texts for PDF as glyph runs: each line shaped once per painting, and runs
// that follow one another in one font drawn as one.
#include "Layout.h"

#include <QFont>
#include <QGlyphRun>
#include <QHash>
#include <QList>
#include <QRawFont>

class QPaintDevice;
class QPainter;

namespace report {

// A line as QPainter::drawText lays out one it does not wrap, its top left
// corner at 0,0.
struct ShapedLine
{
    QList<QGlyphRun> runs; // left to right, as drawText draws them
    qreal advance = 0;     // what aligning it right or centred goes by
    qreal height = 0;      // ascent and descent, unrounded: what drawText centres
};

// Where a shaped line's top left corner goes as drawText sets it in r,
// vertically centred and aligned by hAlign.
QPointF lineOrigin(const QRectF &r, int hAlign, const ShapedLine &line);

// The fonts of a painting and its lines, shaped once: a form repeats its
// captions, dates and numbers on every page and every row. Texts are set
// at the layout's resolution on a device of deviceDpi.
class LineShapes
{
public:
    LineShapes(const QPaintDevice *device, qreal deviceDpi);

    const QFont &font(const FontStyle &style);
    const ShapedLine &line(const FontStyle &style, const QString &text);
    qsizetype size() const { return m_lines.size(); }

private:
    const QPaintDevice *m_device;
    qreal m_deviceDpi;
    QHash<FontStyle, QFont> m_fonts;
    QHash<std::pair<FontStyle, QString>, ShapedLine> m_lines;
};

// Runs that follow one another in the same font (face and size) joined into
// one: the PDF engine writes a text object, and the graphics state around
// it, for every run it is given. The order stays as drawn, as a PDF numbers
// its fonts and their glyphs as they are first used.
class GlyphQueue
{
public:
    void add(const QPointF &origin, const QGlyphRun &run);
    // Draws what is queued and empties the queue.
    void draw(QPainter &painter);

private:
    struct Queued
    {
        QRawFont font;
        QList<quint32> glyphs;
        QList<QPointF> positions;
    };
    QList<Queued> m_queued;
};

} // namespace report
