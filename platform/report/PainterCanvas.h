#pragma once
// The page canvas of a QPainter: the screen, a picture, a printer.
#include "GlyphRuns.h"
#include "PageCanvas.h"

#include <QMap>

class QPainter;

namespace report {

class PainterCanvas : public PageCanvas
{
public:
    // On a device of dpi dots per inch, the paper's top left corner at the
    // painter's origin.
    PainterCanvas(QPainter &painter, qreal dpi);

    qreal dotsPerMm() const override { return m_scale; }
    void beginPage(const QSizeF &mm) override;
    void endPage() override;
    void text(const QRectF &r, int hAlign, const QString &text, const FontStyle &style) override;
    void clip(const QRectF &box) override;
    void unclip() override;
    void lines(qreal pen, const QList<QLineF> &lines) override;
    void rects(qreal pen, const QList<QRectF> &rects) override;

private:
    void setPen(qreal width);

    QPainter &m_p;
    qreal m_scale; // device dots per mm
    // Only into PDF (a printer's job), which takes glyph runs as it takes
    // drawText's; a preview records them as outlines, and images keep
    // drawText's own look.
    bool m_shapeOnce;
    LineShapes m_shapes;
    GlyphQueue m_queued;
};

} // namespace report
