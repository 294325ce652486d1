#include "TextFit.h"

#include <QFontMetricsF>
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
constexpr qreal kLineSpacing = 1.3; // em; forms are set close
constexpr qreal kSlack = 0.01;      // mm of rounding allowed when comparing

QPaintDevice *measureDevice()
{
    static QImage device = [] {
        QImage img(1, 1, QImage::Format_Mono);
        img.setDotsPerMeterX(qRound(kMeasureDpi / 0.0254));
        img.setDotsPerMeterY(qRound(kMeasureDpi / 0.0254));
        return img;
    }();
    return &device;
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
    return QFontMetricsF(makeFont(style, size), measureDevice()).horizontalAdvance(text) * kMmPerPx;
}

QStringList wrapText(const QString &text, const FontStyle &style, qreal size, qreal width)
{
    const QFont font = makeFont(style, size);
    const qreal widthPx = width / kMmPerPx;
    QTextOption option;
    option.setWrapMode(QTextOption::WrapAtWordBoundaryOrAnywhere);
    QStringList out;
    for (const QString &para : paragraphs(text)) {
        if (para.isEmpty()) {
            out << QString();
            continue;
        }
        QTextLayout layout(para, font, measureDevice());
        layout.setTextOption(option);
        layout.beginLayout();
        for (QTextLine line = layout.createLine(); line.isValid(); line = layout.createLine()) {
            line.setLineWidth(widthPx);
            QString piece = para.mid(line.textStart(), line.textLength());
            while (piece.endsWith(QLatin1Char(' ')))
                piece.chop(1);
            out << piece;
        }
        layout.endLayout();
    }
    return out;
}

FittedText fitText(const QString &text, const FontStyle &style, const QSizeF &box)
{
    FittedText out;
    if (text.isEmpty()) {
        out.size = style.size;
        out.lineHeight = lineHeight(style, style.size);
        return out;
    }
    const bool whole = keptWhole(text);
    for (qreal size = style.size;; size -= 0.5) {
        out.size = size;
        out.lineHeight = lineHeight(style, size);
        const bool last = size - 0.5 < qMin(kMinSize, style.size);
        if (whole) {
            out.lines = QStringList{text};
            const qreal width = textWidth(text, style, size);
            if (width <= box.width() + kSlack)
                return out;
            if (last) {
                // Narrower letters rather than a broken number.
                FontStyle narrow = style;
                narrow.stretch = std::max(kMinStretch, int(100 * box.width() / width));
                while (narrow.stretch > kMinStretch && textWidth(text, narrow, size) > box.width() + kSlack)
                    --narrow.stretch;
                out.stretch = narrow.stretch;
                return out;
            }
            continue;
        }
        if (!text.contains(QLatin1Char('\n')) && !text.contains(QLatin1Char('\r'))
            && textWidth(text, style, size) <= box.width() + kSlack) {
            out.lines = QStringList{text};
        } else {
            out.lines = wrapText(text, style, size, box.width());
        }
        // One line always shows at the font's size, however low the box.
        if (out.lines.size() == 1 || out.lines.size() * out.lineHeight <= box.height() + kSlack || last)
            return out;
    }
}

FittedText flowText(const QString &text, const FontStyle &style, qreal width)
{
    FittedText out;
    out.size = style.size;
    out.lineHeight = lineHeight(style, style.size);
    if (!text.isEmpty())
        out.lines = wrapText(text, style, style.size, width);
    return out;
}

} // namespace report
