#include "PdfFonts.h"

#include "PdfDocument.h"

#include <QCoreApplication>
#include <QGlyphRun>
#include <QMutex>
#include <QPainterPath>
#include <QRect>

#include <algorithm>
#include <cmath>

namespace report {

namespace {

QByteArray glyphProcedure(const QPainterPath &path, int advance);

// The advances a face's tables give its glyphs, in 1/kEm: read once, where
// asking the font engine loads each glyph. font is at kEm pixels.
class HorizontalMetrics
{
public:
    HorizontalMetrics() = default;
    explicit HorizontalMetrics(const QRawFont &font)
    {
        const QByteArray hhea = font.fontTable("hhea");
        const QByteArray hmtx = font.fontTable("hmtx");
        const qreal unitsPerEm = font.unitsPerEm();
        if (hhea.size() < 36 || unitsPerEm <= 0)
            return;
        const auto u16 = [](const QByteArray &t, qsizetype at) {
            return quint16((uchar(t[at]) << 8) | uchar(t[at + 1]));
        };
        const int count = u16(hhea, 34); // numberOfHMetrics
        if (count == 0 || hmtx.size() < qsizetype(count) * 4)
            return;
        // A face narrowed by the engine (a stretch its file lacks) sets every
        // glyph narrower than its table says, by whole percents.
        qreal scale = PdfFonts::kEm / unitsPerEm;
        for (quint32 i = 0; i < quint32(count); ++i) {
            if (const int units = u16(hmtx, qsizetype(i) * 4)) {
                const qreal set = font.advancesForGlyphIndexes(QList<quint32>{i}).value(0).x();
                if (set > 0)
                    scale *= std::round(set / (units * scale) * 100) / 100;
                break;
            }
        }
        m_advances.reserve(count);
        for (int i = 0; i < count; ++i)
            m_advances.append(int(std::lround(u16(hmtx, qsizetype(i) * 4) * scale)));
    }
    bool known() const { return !m_advances.isEmpty(); }
    // Glyphs past the table share its last advance.
    int advance(quint32 glyph) const { return m_advances[std::min<qsizetype>(glyph, m_advances.size() - 1)]; }

private:
    QList<int> m_advances;
};

// A glyph as the document shows it, the same in every document.
struct StoredGlyph
{
    int width = 0;    // advance in 1/kEm
    QRect box;        // in glyph space, y up
    QByteArray proc;  // its procedure, compressed when packed
    bool packed = false;
};

// The glyphs of every face shown so far: a program that prints once prints
// again, and a glyph's outline costs more than all else a page shows of it.
class GlyphStore
{
public:
    static GlyphStore &instance()
    {
        static GlyphStore store;
        return store;
    }

    StoredGlyph glyph(const QString &face, const QRawFont &font, quint32 index)
    {
        QMutexLocker lock(&m_mutex);
        if (m_faces.isEmpty())
            qAddPostRoutine([] { instance().clear(); });
        Face &f = m_faces[face];
        auto it = f.glyphs.constFind(index);
        if (it != f.glyphs.constEnd())
            return *it;
        if (!f.outlines.isValid()) {
            f.outlines = font;
            f.outlines.setPixelSize(PdfFonts::kEm);
            f.metrics = HorizontalMetrics(f.outlines);
        }
        StoredGlyph g;
        g.width = f.metrics.known()
            ? f.metrics.advance(index)
            : int(std::lround(f.outlines.advancesForGlyphIndexes(QList<quint32>{index}).value(0).x()));
        const QPainterPath path = f.outlines.pathForGlyph(index);
        const QRectF box = path.boundingRect();
        g.box = QRect(QPoint(int(std::floor(box.left())), int(std::floor(-box.bottom()))),
                      QPoint(int(std::ceil(box.right())), int(std::ceil(-box.top()))));
        const QByteArray proc = glyphProcedure(path, g.width);
        g.packed = PdfDocument::deflate(proc, g.proc, PdfDocument::Small);
        if (!g.packed)
            g.proc = proc;
        return *f.glyphs.insert(index, g);
    }

    // Fonts outliving the application would be freed after their engines.
    void clear()
    {
        QMutexLocker lock(&m_mutex);
        m_faces.clear();
    }

private:
    struct Face
    {
        QRawFont outlines; // at kEm pixels
        HorizontalMetrics metrics;
        QHash<quint32, StoredGlyph> glyphs;
    };
    QMutex m_mutex;
    QHash<QString, Face> m_faces;
};

} // namespace

struct PdfFonts::Face
{
    QString name;                // the face in the glyph store
    QHash<quint32, int> numbers; // glyph index → its number in the face, in order met
    QList<quint32> glyphs;       // by number
    QList<StoredGlyph> shapes;   // by number
    QList<QString> chars;        // by number: what copying the glyph gives
    QList<int> fonts;            // the document's font of each kGlyphsPerFont numbers
};

PdfFonts::PdfFonts() = default;
PdfFonts::~PdfFonts() = default;

PdfFonts::Face &PdfFonts::face(const QRawFont &font, int stretch)
{
    const auto key = std::pair(font, stretch);
    if (Face *f = m_byRun.value(key))
        return *f;
    // The same face at another size shares the glyphs; a narrowed one has
    // narrowed outlines. Another file of the same names (another version,
    // another build) numbers its glyphs its own way: its header, with the
    // file's checksum and dates, tells it apart.
    const QString name = font.familyName() + QLatin1Char('/') + font.styleName() + QLatin1Char('/')
        + QString::number(font.weight()) + QLatin1Char('/') + QString::number(int(font.style())) + QLatin1Char('/')
        + QString::number(stretch) + QLatin1Char('/') + QLatin1String(font.fontTable("head").toHex());
    Face *f = m_byName.value(name);
    if (!f) {
        m_faces.push_back(std::make_unique<Face>());
        f = m_faces.back().get();
        f->name = name;
        m_byName.insert(name, f);
    }
    m_byRun.insert(key, f);
    return *f;
}

namespace {

// What each glyph of a run shows of text: the character that maps to it,
// met in order, or for a glyph of several characters (a ligature) those
// between its neighbours'.
QList<QString> shownChars(const QRawFont &font, const QList<quint32> &glyphs, const QString &text)
{
    QList<qsizetype> from, to; // each character's place in text
    QList<quint32> mapped;
    for (qsizetype i = 0; i < text.size(); ++i) {
        const qsizetype len = text[i].isHighSurrogate() && i + 1 < text.size() ? 2 : 1;
        from.append(i);
        to.append(i + len);
        mapped.append(font.glyphIndexesForString(text.mid(i, len)).value(0));
        i += len - 1;
    }
    QList<qsizetype> at(glyphs.size(), -1); // each glyph's character
    qsizetype next = 0;
    for (qsizetype g = 0; g < glyphs.size(); ++g) {
        for (qsizetype c = next; c < mapped.size(); ++c) {
            if (mapped[c] == glyphs[g]) {
                at[g] = c;
                next = c + 1;
                break;
            }
        }
    }
    QList<QString> out(glyphs.size());
    for (qsizetype g = 0; g < glyphs.size(); ++g) {
        if (at[g] >= 0) {
            out[g] = text.mid(from[at[g]], to[at[g]] - from[at[g]]);
            continue;
        }
        const qsizetype before = g > 0 ? at[g - 1] : -1;
        const qsizetype after = g + 1 < glyphs.size() ? at[g + 1] : (before >= 0 ? mapped.size() : -1);
        if ((g == 0 || before >= 0) && after > before + 1) {
            const qsizetype start = before >= 0 ? to[before] : 0;
            out[g] = text.mid(start, (after < mapped.size() ? from[after] : text.size()) - start);
        }
    }
    return out;
}

} // namespace

void PdfFonts::codes(const QGlyphRun &run, int stretch, const QString &text, QList<Code> &out)
{
    const QRawFont font = run.rawFont();
    Face &f = face(font, stretch);
    const QList<quint32> glyphs = run.glyphIndexes();
    QList<QString> shown; // made only when a new glyph is met
    for (qsizetype i = 0; i < glyphs.size(); ++i) {
        const quint32 glyph = glyphs[i];
        int n = f.numbers.value(glyph, -1);
        if (n < 0) {
            if (shown.isEmpty())
                shown = shownChars(font, glyphs, text);
            n = int(f.glyphs.size());
            f.numbers.insert(glyph, n);
            f.glyphs.append(glyph);
            f.shapes.append(GlyphStore::instance().glyph(f.name, font, glyph));
            f.chars.append(glyph ? shown[i] : QString()); // the missing glyph stands for any character
            if (n % kGlyphsPerFont == 0) {
                f.fonts.append(int(m_fonts.size()));
                m_fonts.append({&f, n});
            }
        }
        out.append({f.fonts[n / kGlyphsPerFont], uchar(n % kGlyphsPerFont), f.shapes[n].width});
    }
}

namespace {

// The outline in glyph space: y up, filled by the nonzero rule as a face's
// contours are drawn.
QByteArray glyphProcedure(const QPainterPath &path, int advance)
{
    QByteArray out;
    out.reserve(32 + path.elementCount() * 10);
    PdfDocument::integer(out, advance);
    out += " 0 d0\n";
    auto point = [&](const QPainterPath::Element &e) {
        PdfDocument::integer(out, std::lround(e.x));
        out += ' ';
        PdfDocument::integer(out, -std::lround(e.y));
        out += ' ';
    };
    bool open = false;
    for (int i = 0; i < path.elementCount(); ++i) {
        const QPainterPath::Element &e = path.elementAt(i);
        switch (e.type) {
        case QPainterPath::MoveToElement:
            if (open)
                out += "h ";
            point(e);
            out += "m\n";
            open = true;
            break;
        case QPainterPath::LineToElement:
            point(e);
            out += "l\n";
            break;
        case QPainterPath::CurveToElement:
            if (i + 2 >= path.elementCount())
                return out + "n\n"; // a broken path draws nothing
            point(e);
            point(path.elementAt(i + 1));
            point(path.elementAt(i + 2));
            out += "c\n";
            i += 2;
            break;
        case QPainterPath::CurveToDataElement:
            break;
        }
    }
    if (open)
        out += "h f\n";
    return out;
}

void hex(QByteArray &out, uint v, int digits)
{
    static const char kHex[] = "0123456789ABCDEF";
    for (int shift = (digits - 1) * 4; shift >= 0; shift -= 4)
        out += kHex[(v >> shift) & 15];
}

// Codes to the characters they show, for copying and searching.
QByteArray toUnicode(const QList<QString> &chars)
{
    QByteArray map = "/CIDInit/ProcSet findresource begin\n12 dict begin\nbegincmap\n"
                     "/CIDSystemInfo<</Registry(Adobe)/Ordering(UCS)/Supplement 0>>def\n"
                     "/CMapName/Adobe-Identity-UCS def\n/CMapType 2 def\n"
                     "1 begincodespacerange\n<00><FF>\nendcodespacerange\n";
    QList<int> mapped;
    for (int i = 0; i < chars.size(); ++i)
        if (!chars[i].isEmpty())
            mapped.append(i);
    for (qsizetype from = 0; from < mapped.size(); from += 100) { // at most 100 a block
        const qsizetype n = std::min<qsizetype>(100, mapped.size() - from);
        PdfDocument::integer(map, n);
        map += " beginbfchar\n";
        for (qsizetype k = from; k < from + n; ++k) {
            map += '<';
            hex(map, uint(mapped[k]), 2);
            map += "><";
            for (const QChar c : chars[mapped[k]])
                hex(map, c.unicode(), 4);
            map += ">\n";
        }
        map += "endbfchar\n";
    }
    return map + "endcmap\nCMapName currentdict/CMap defineresource pop\nend\nend\n";
}

} // namespace

void PdfFonts::writeFont(PdfDocument &doc, const Face &face, int first, int id)
{
    const int count = int(std::min<qsizetype>(kGlyphsPerFont, face.glyphs.size() - first));
    QByteArray procs = "/CharProcs<<", names = "/Encoding<</Type/Encoding/Differences[0", widths = "/Widths[";
    QRect box;
    for (int i = first; i < first + count; ++i) {
        const StoredGlyph &g = face.shapes[i];
        box |= g.box;
        const int proc = doc.reserve();
        if (g.packed)
            doc.packedStream(proc, QByteArray(), g.proc);
        else
            doc.stream(proc, QByteArray(), g.proc);
        QByteArray name = "/g";
        PdfDocument::integer(name, face.glyphs[i]);
        names += name;
        procs += name + ' ';
        PdfDocument::reference(procs, proc);
        PdfDocument::integer(widths, g.width);
        widths += ' ';
    }
    const int unicode = doc.reserve();
    doc.stream(unicode, QByteArray(), toUnicode(face.chars.mid(first, count)));
    QByteArray font = "<</Type/Font/Subtype/Type3/FontBBox[";
    for (const int v : {box.left(), box.top(), box.right(), box.bottom()}) {
        PdfDocument::integer(font, v);
        font += ' ';
    }
    font += "]/FontMatrix[0.001 0 0 0.001 0 0]" + procs + ">>" + names + "]>>/FirstChar 0/LastChar ";
    PdfDocument::integer(font, count - 1);
    font += widths + "]/ToUnicode ";
    PdfDocument::reference(font, unicode);
    font += "/Resources<<>>>>";
    doc.object(id, font);
}

QByteArray PdfFonts::write(PdfDocument &doc)
{
    QByteArray resources;
    for (int i = 0; i < m_fonts.size(); ++i) {
        const int id = doc.reserve();
        writeFont(doc, *m_fonts[i].first, m_fonts[i].second, id);
        resources += "/F";
        PdfDocument::integer(resources, i);
        resources += ' ';
        PdfDocument::reference(resources, id);
    }
    return resources;
}

} // namespace report
