#pragma once
// Measuring and breaking texts for the page model. Everything is measured at
// one fixed high resolution, so a layout breaks its lines the same way for
// the screen, the printer and PDF.
#include "Layout.h"

#include <QFont>
#include <QSizeF>
#include <QStringList>

namespace report {

// The resolution texts are measured and broken at; the painter sets them at it too.
constexpr qreal kLayoutDpi = 1200;
constexpr qreal kLayoutPerMm = kLayoutDpi / 25.4;

struct FittedText
{
    QStringList lines;
    qreal size = 0;       // points; below the layout's when shrunk to fit
    int stretch = 100;    // percent; below 100 when squeezed to fit
    qreal lineHeight = 0; // mm
    bool overflows = false; // a line wider, or the lines taller, than the box, even so
};

// The font a FontStyle names at the given size in points.
QFont makeFont(const FontStyle &style, qreal size);

// Line height in mm of the font at its size.
qreal lineHeight(const FontStyle &style, qreal size);
// Width in mm of one line of text.
qreal textWidth(const QString &text, const FontStyle &style, qreal size);

// The text broken into lines no wider than width (mm): at its line breaks,
// then between words or, for Chinese, between characters.
QStringList wrapText(const QString &text, const FontStyle &style, qreal size, qreal width);

// The text in the box: one line when it fits, else wrapped, and when the
// lines are too many for the box the font shrinks to 5 points; still too
// many, the letters are narrowed (to half their width) and, as a last
// resort, set smaller still, so words never run out of their box.
// A text without blanks and without Chinese (a number, a code, a date) is
// never wrapped: it shrinks to fit the box's width, and when it is still too
// wide at the smallest size its letters are narrowed.
FittedText fitText(const QString &text, const FontStyle &style, const QSizeF &box);
// The text wrapped at the font's own size, as many lines as it takes.
FittedText flowText(const QString &text, const FontStyle &style, qreal width);

} // namespace report
