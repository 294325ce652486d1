#pragma once
// What a report run produces: pages of positioned items with their texts, in
// millimetres from the paper's top left corner. One painter draws them for
// the screen, the printer and PDF; tests read them.
#include "Layout.h"

#include <QRectF>
#include <QSizeF>
#include <QString>
#include <QStringList>
#include <QVector>

namespace report {

struct PageItem
{
    enum Kind { Text, Line, Box };

    Kind kind = Text;
    QString name;         // the layout element's name; empty for anonymous ones
    QRectF rect;          // Line: from topLeft() to bottomRight()
    QStringList lines;    // Text: as broken for its width
    FontStyle font;        // Text: the size is the one printed
    qreal lineHeight = 0; // mm
    int hAlign = 0;
    int vAlign = 0;
    int frame = 0; // FrameSide bits
    qreal pen = 0.2;
    qreal padding = 0.8; // mm between a left or right frame line and the text
    bool overflows = false; // Text: runs out of its box even set as small as it goes, so is clipped

    QString text() const { return lines.join(QLatin1Char('\n')); }
    // Where the lines go: clear of the frame's side lines.
    QRectF textRect() const { return textRectOf(rect, frame, padding); }
    static QRectF textRectOf(const QRectF &rect, int frame, qreal padding = 0.8);
};

struct Page
{
    QSizeF size{210, 297};
    QVector<PageItem> items;

    // The first item of that name; nullptr when the page has none.
    const PageItem *item(const QString &name) const;
    // Its text, lines joined by "\n"; empty when the page has no such item.
    QString text(const QString &name) const;
    // Every item of that name, in page order.
    QVector<const PageItem *> all(const QString &name) const;
};

} // namespace report
