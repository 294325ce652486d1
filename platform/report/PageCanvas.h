#pragma once
// What the page walk draws on: the painter's device, or a PDF of our own.
// Every coordinate is in layout units from the paper's top left corner.
#include "Layout.h"

#include <QLineF>
#include <QList>
#include <QRectF>

namespace report {

class PageCanvas
{
public:
    virtual ~PageCanvas() = default;

    // Device dots per mm: no rule is drawn thinner than one.
    virtual qreal dotsPerMm() const = 0;
    virtual void beginPage(const QSizeF &mm) = 0;
    virtual void endPage() = 0;
    // One line of text in r, vertically centred, aligned by hAlign.
    virtual void text(const QRectF &r, int hAlign, const QString &text, const FontStyle &style) = 0;
    // Drawing is cut to box until unclip().
    virtual void clip(const QRectF &box) = 0;
    virtual void unclip() = 0;
    // Black strokes of pen width with square caps.
    virtual void lines(qreal pen, const QList<QLineF> &lines) = 0;
    virtual void rects(qreal pen, const QList<QRectF> &rects) = 0;
};

} // namespace report
