#include "TextFit.h"

#include <QFontMetricsF>
#include <QHash>
#include <QImage>
#include <QTextLayout>
#include <QTextOption>

#include <algorithm>

namespace report {

namespace {

constexpr qreal kMeasureDpi = kLayoutDpi;
constexpr qreal kMmPerPx = 25.4 / kMeasureDpi;
constexpr qreal kMinSize = 5;
constexpr int kMinStretch = 50; // percent
constexpr qreal kLastResortSize = 1; // points; only a text far too long for its frame gets here
constexpr qreal kLineSpacing = 1.3; // em; forms are set close
constexpr qreal kSlack = 0.01;      // mm of rounding allowed when comparing

QPaintDevice *measuringDevice()
{
    static QImage device = [] {
        QImage img(1, 1, QImage::Format_Mono);
        img.setDotsPerMeterX(qRound(kMeasureDpi / 0.0254));
        img.setDotsPerMeterY(qRound(kMeasureDpi / 0.0254));
        return img;
    }();
    return &device;
}

QStringList wrapLines(const QString &text, const FontStyle &style, qreal size, qreal width, bool *wider);

// A style at one size, as the fonts made for it are kept under.
FontStyle atSize(const FontStyle &style, qreal size)
{
    FontStyle key = style;
    key.size = size;
    return key;
}

// The font of a style at a size with its metrics on the measuring device,
// made once: resolving a font costs more than measuring a short text.
struct MeasuringFont
{
    QFont font;
    QFontMetricsF metrics;
};

const MeasuringFont &measuringFont(const FontStyle &style, qreal size)
{
    static QHash<FontStyle, MeasuringFont> fonts;
    const FontStyle key = atSize(style, size);
    auto it = fonts.constFind(key);
    if (it == fonts.constEnd()) {
        const QFont font = makeFont(style, size);
        it = fonts.insert(key, {font, QFontMetricsF(font, measuringDevice())});
    }
    return *it;
}

QStringList paragraphs(const QString &text)
{
    QString t = text;
    t.replace(QLatin1String("\r\n"), QLatin1String("\n")).replace(QLatin1Char('\r'), QLatin1Char('\n'));
    return t.split(QLatin1Char('\n'));
}

// A number, a code or a date: one run of characters without blanks and
// without Chinese, which break between any two of them. Broken, it would
// read as two values.
bool keptWhole(const QString &text)
{
    for (const QChar c : text)
        if (c.isSpace() || c.unicode() >= 0x2E80)
            return false;
    return true;
}

} // namespace

QFont makeFont(const FontStyle &style, qreal size)
{
    QFont f(style.family);
    f.setPointSizeF(size);
    f.setBold(style.bold);
    f.setItalic(style.italic);
    f.setUnderline(style.underline);
    if (style.stretch != 100)
        f.setStretch(style.stretch);
    f.setHintingPreference(QFont::PreferNoHinting);
    return f;
}

qreal lineHeight(const FontStyle &, qreal size)
{
    return size * kLineSpacing * 25.4 / 72;
}

qreal textWidth(const QString &text, const FontStyle &style, qreal size)
{
    return measuringFont(style, size).metrics.horizontalAdvance(text) * kMmPerPx;
}

QStringList wrapText(const QString &text, const FontStyle &style, qreal size, qreal width)
{
    return wrapLines(text, style, size, width, nullptr);
}

namespace {

// wrapText, telling whether a line is still wider than width (a character
// wider than the box).
QStringList wrapLines(const QString &text, const FontStyle &style, qreal size, qreal width, bool *wider)
{
    const QFont &font = measuringFont(style, size).font;
    const qreal widthPx = width / kMmPerPx;
    QTextOption option;
    option.setWrapMode(QTextOption::WrapAtWordBoundaryOrAnywhere);
    QStringList out;
    for (const QString &para : paragraphs(text)) {
        if (para.isEmpty()) {
            out << QString();
            continue;
        }
        QTextLayout layout(para, font, measuringDevice());
        layout.setTextOption(option);
        layout.beginLayout();
        for (QTextLine line = layout.createLine(); line.isValid(); line = layout.createLine()) {
            line.setLineWidth(widthPx);
            if (wider && line.naturalTextWidth() * kMmPerPx > width + kSlack)
                *wider = true;
            QString piece = para.mid(line.textStart(), line.textLength());
            while (piece.endsWith(QLatin1Char(' ')))
                piece.chop(1);
            out << piece;
        }
        layout.endLayout();
    }
    return out;
}

} // namespace

namespace {

// Words wrapped into the box at the style's size and stretch; true when
// their lines fit its height. One line always counts as fitting: it shows
// at the font's size, however low the box.
bool wrapInto(FittedText &out, const QString &text, const FontStyle &style, qreal size, const QSizeF &box)
{
    out.size = size;
    out.stretch = style.stretch;
    out.lineHeight = lineHeight(style, size);
    bool wider = false;
    if (!text.contains(QLatin1Char('\n')) && !text.contains(QLatin1Char('\r'))
        && textWidth(text, style, size) <= box.width() + kSlack)
        out.lines = QStringList{text};
    else
        out.lines = wrapLines(text, style, size, box.width(), &wider);
    const bool fitsHeight = out.lines.size() * out.lineHeight <= box.height() + kSlack;
    out.overflows = wider || !fitsHeight;
    return out.lines.size() == 1 || fitsHeight;
}

FittedText fitNumber(const QString &text, const FontStyle &style, const QSizeF &box)
{
    FittedText out;
    out.lines = QStringList{text};
    for (qreal size = style.size;; size -= 0.5) {
        out.size = size;
        out.lineHeight = lineHeight(style, size);
        out.overflows = out.lineHeight > box.height() + kSlack;
        const qreal width = textWidth(text, style, size);
        if (width <= box.width() + kSlack)
            return out;
        if (size - 0.5 < qMin(kMinSize, style.size)) {
            // Narrower letters rather than a broken number.
            FontStyle narrow = style;
            narrow.stretch = std::max(kMinStretch, int(100 * box.width() / width));
            bool wider = true;
            while ((wider = textWidth(text, narrow, size) > box.width() + kSlack) && narrow.stretch > kMinStretch)
                --narrow.stretch;
            out.stretch = narrow.stretch;
            out.overflows = out.overflows || wider;
            return out;
        }
    }
}

// Words wrap first, then shrink to the smallest size that still reads, then
// take narrower letters and, only when even that is not enough, smaller
// ones still: a text never runs out of its frame into the next row.
FittedText fitWords(const QString &text, const FontStyle &style, const QSizeF &box)
{
    FittedText out;
    const qreal smallest = qMin(kMinSize, style.size);
    for (qreal size = style.size; size >= smallest; size -= 0.5)
        if (wrapInto(out, text, style, size, box))
            return out;
    FontStyle narrow = style;
    for (narrow.stretch = std::min(style.stretch, 100) - 5; narrow.stretch >= kMinStretch; narrow.stretch -= 5)
        if (wrapInto(out, text, narrow, smallest, box))
            return out;
    narrow.stretch = kMinStretch;
    for (qreal size = smallest - 0.5; size >= kLastResortSize; size -= 0.5)
        if (wrapInto(out, text, narrow, size, box))
            return out;
    return out;
}

} // namespace

FittedText fitText(const QString &text, const FontStyle &style, const QSizeF &box)
{
    if (text.isEmpty()) {
        FittedText out;
        out.size = style.size;
        out.stretch = style.stretch;
        out.lineHeight = lineHeight(style, style.size);
        return out;
    }
    return keptWhole(text) ? fitNumber(text, style, box) : fitWords(text, style, box);
}

FittedText flowText(const QString &text, const FontStyle &style, qreal width)
{
    FittedText out;
    out.size = style.size;
    out.lineHeight = lineHeight(style, style.size);
    if (!text.isEmpty())
        out.lines = wrapLines(text, style, style.size, width, &out.overflows);
    return out;
}

} // namespace report
