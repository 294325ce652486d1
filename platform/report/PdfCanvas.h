#pragma once
// The page canvas of a PDF file of our own: texts as glyphs of Type 3 fonts
// placed where drawText sets them, rules as strokes.
#include "GlyphRuns.h"
#include "PageCanvas.h"
#include "PdfDocument.h"
#include "PdfFonts.h"

#include <memory>

class QImage;

namespace report {

class PdfCanvas : public PageCanvas
{
public:
    explicit PdfCanvas(QIODevice &out);
    ~PdfCanvas() override;

    // Shapes at 1200 dpi like a high resolution printer, so texts come out as
    // they would through it.
    static constexpr qreal kDpi = 1200;

    qreal dotsPerMm() const override { return kDpi / 25.4; }
    void beginPage(const QSizeF &mm) override;
    void endPage() override;
    void text(const QRectF &r, int hAlign, const QString &text, const FontStyle &style) override;
    void clip(const QRectF &box) override;
    void unclip() override;
    void lines(qreal pen, const QList<QLineF> &lines) override;
    void rects(qreal pen, const QList<QRectF> &rects) override;

    // The fonts and the file's end; false when anything could not be written.
    bool finish(const QString &title, const QString &creator);

    struct SharedShapes; // lines shaped for every PDF a thread writes

private:
    void glyphs(const QPointF &origin, const QGlyphRun &run, int stretch, const QString &text);
    void endText();
    void setPen(qreal width);
    void num(double v);

    PdfDocument m_doc;
    PdfFonts m_fonts;
    std::shared_ptr<SharedShapes> m_shared;
    const QImage *m_device; // what texts are shaped for
    LineShapes &m_shapes;
    int m_resources;
    QSizeF m_size; // points
    QByteArray m_content;
    bool m_inText = false;
    qreal m_pen = -1; // the content's line width; -1 unknown
    QList<PdfFonts::Code> m_codes;
};

} // namespace report
