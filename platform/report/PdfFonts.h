#pragma once
// The glyphs a PDF shows, as Type 3 fonts of their outlines: only the glyphs
// used, each outline taken once for all documents, whatever face the text
// was set in (Qt's own embedding of a CFF face rebuilds its whole character
// map and converts every outline, for every document).
#include <QByteArray>
#include <QHash>
#include <QList>
#include <QRawFont>
#include <QString>

#include <memory>

class QGlyphRun;

namespace report {

class PdfDocument;

class PdfFonts
{
public:
    // A Type 3 font holds 256 glyphs, as its codes are single bytes.
    static constexpr int kGlyphsPerFont = 256;
    // Glyph outlines are taken at this size: the font matrix is 1/kEm.
    static constexpr int kEm = 1000;

    struct Code
    {
        int font; // the document's font number: resource name /F<font>
        uchar code;
        int width; // advance in 1/kEm of the font's size
    };

    PdfFonts();
    ~PdfFonts();

    // The codes that show run, set in a font narrowed to stretch percent;
    // its glyphs are taken into the document's fonts as first met. text is
    // the line the run was shaped from: a glyph copied from the PDF gives
    // the character of it that the glyph shows.
    void codes(const QGlyphRun &run, int stretch, const QString &text, QList<Code> &out);

    // Every font into doc; the body of the /Font resource dictionary.
    QByteArray write(PdfDocument &doc);

private:
    struct Face;
    Face &face(const QRawFont &font, int stretch);
    void writeFont(PdfDocument &doc, const Face &face, int first, int id);

    std::vector<std::unique_ptr<Face>> m_faces;
    QHash<std::pair<QRawFont, int>, Face *> m_byRun; // by the run's font and stretch
    QHash<QString, Face *> m_byName;
    QList<std::pair<Face *, int>> m_fonts; // by font number: face and its first glyph
};

} // namespace report
