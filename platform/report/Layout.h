#pragma once
// A report layout as data: page, bands and the elements on them, every
// position in millimetres. Layouts are read from text files (LayoutParser).
#include <QHashFunctions>
#include <QMarginsF>
#include <QRectF>
#include <QSizeF>
#include <QString>
#include <QVector>

namespace report {

struct FontStyle
{
    QString family = QStringLiteral("宋体");
    qreal size = 10.5; // points
    bool bold = false;
    bool italic = false;
    bool underline = false;
    int stretch = 100; // width of the letters in percent; below 100 when squeezed to fit

    bool operator==(const FontStyle &o) const
    {
        return family == o.family && size == o.size && bold == o.bold && italic == o.italic
            && underline == o.underline && stretch == o.stretch;
    }
};

inline size_t qHash(const FontStyle &s, size_t seed = 0)
{
    return qHashMulti(seed, s.family, s.size, s.bold, s.italic, s.underline, s.stretch);
}

// Sides of a frame.
enum FrameSide { FrameLeft = 1, FrameTop = 2, FrameRight = 4, FrameBottom = 8, FrameAll = 15 };

struct Element
{
    enum Kind {
        Label,      // a caption that code may change
        Text,       // one field of a dataset's row
        Memo,       // a long text (a field or a caption) that grows its band and flows to the next page
        PageNumber, // its text followed by the running page number
        Line,       // from (x, y) to (x + w, y + h)
        Box,        // a rectangle
    };

    Kind kind = Label;
    QString name;     // empty for anonymous elements
    QRectF rect;      // within its band, relative to the band's top left
    QString caption;  // Label, Memo without a field, PageNumber's text
    QString field;    // Text, Memo
    QString dataset;  // empty: the band's dataset
    FontStyle font;
    int hAlign = 0;   // Qt::AlignLeft, AlignHCenter or AlignRight
    int vAlign = 0;   // Qt::AlignTop, AlignVCenter or AlignBottom
    int frame = 0;    // FrameSide bits
    qreal pen = 0.2;  // line and frame width in mm
    qreal padding = 0.8; // mm between a left or right frame line and the text
    bool enabled = true;
    bool grow = false; // follows the band's height when the band grows

    bool isText() const { return kind == Label || kind == Text || kind == Memo || kind == PageNumber; }
};

struct Band
{
    enum Kind { Title, PageHeader, ColumnHeader, Detail, Summary, PageFooter };
    Kind kind = Detail;
    qreal height = 0;
    QVector<Element> elements;
};

struct Layout
{
    QString name;
    QSizeF page{210, 297}; // A4 portrait
    QMarginsF margins{10, 10, 10, 10};
    bool firstPageHeader = false;
    bool lastPageFooter = false;
    QString dataset; // the detail band runs once per row of it; once when empty
    QVector<Band> bands;

    const Band *band(Band::Kind kind) const;
};

} // namespace report
