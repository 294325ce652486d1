#include "PdfCanvas.h"

#include "TextFit.h"

#include <QCoreApplication>
#include <QFontMetricsF>
#include <QGuiApplication>
#include <QImage>
#include <QThread>

#include <atomic>
#include <cmath>
#include <mutex>

namespace report {

namespace {

QImage deviceAt(qreal dpi)
{
    QImage img(1, 1, QImage::Format_Mono);
    img.setDotsPerMeterX(qRound(dpi / 0.0254));
    img.setDotsPerMeterY(qRound(dpi / 0.0254));
    return img;
}

constexpr qreal kPointsPerUnit = 72 / kLayoutDpi;
// Layout units a glyph may sit off drawText's place: far below a printer's dot.
constexpr qreal kSlack = 0.05;

std::atomic<int> g_fontsChanged{0};

// Counts the changes of the installed faces: a line shaped before one may
// be set in another face now, the face it is measured in.
int fontsChanged()
{
    static std::once_flag watching;
    if (auto *app = qobject_cast<QGuiApplication *>(QCoreApplication::instance()))
        std::call_once(watching, [app] {
            QObject::connect(app, &QGuiApplication::fontDatabaseChanged, app, [] { ++g_fontsChanged; });
        });
    return g_fontsChanged.load();
}

} // namespace

// Lines shaped for every PDF a thread writes: a form's captions are the
// same in every copy, and shaping is most of what a page's text costs.
// Renewed between documents when it grows past kMaxLines, or faces were
// installed or removed since.
struct PdfCanvas::SharedShapes
{
    static constexpr qsizetype kMaxLines = 20000;
    int fonts = fontsChanged();
    QImage device = deviceAt(PdfCanvas::kDpi); // only tells the fonts its resolution
    LineShapes shapes{&device, PdfCanvas::kDpi};
};

namespace {

thread_local std::shared_ptr<PdfCanvas::SharedShapes> t_shapes;

// Fonts outliving the application would be freed after their engines.
void dropShapes()
{
    t_shapes.reset();
}

// A canvas keeps the one it began with, should the thread's be renewed.
std::shared_ptr<PdfCanvas::SharedShapes> sharedShapes()
{
    if (!t_shapes || t_shapes->shapes.size() > PdfCanvas::SharedShapes::kMaxLines
        || t_shapes->fonts != fontsChanged()) {
        const QCoreApplication *app = QCoreApplication::instance();
        if (!t_shapes && app && app->thread() == QThread::currentThread())
            qAddPostRoutine(dropShapes);
        t_shapes = std::make_shared<PdfCanvas::SharedShapes>();
    }
    return t_shapes;
}

} // namespace

PdfCanvas::PdfCanvas(QIODevice &out)
    : m_doc(out), m_shared(sharedShapes()), m_device(&m_shared->device), m_shapes(m_shared->shapes),
      m_resources(m_doc.reserve())
{
}

PdfCanvas::~PdfCanvas() = default;

void PdfCanvas::num(double v)
{
    PdfDocument::number(m_content, v);
    m_content += ' ';
}

void PdfCanvas::beginPage(const QSizeF &mm)
{
    // Whole points, as a printer's page sizes are (A4 is 595 by 842).
    m_size = QSizeF(qRound(mm.width() * 72 / 25.4), qRound(mm.height() * 72 / 25.4));
    m_content.clear();
    m_inText = false;
    m_pen = -1;
    // Layout units, y down, from the paper's top left corner; Qt's pen of
    // square caps and bevelled corners.
    m_content += "q ";
    num(kPointsPerUnit);
    m_content += "0 0 ";
    num(-kPointsPerUnit);
    m_content += "0 ";
    num(m_size.height());
    m_content += "cm 2 J 2 j 0 g 0 G\n";
}

void PdfCanvas::endPage()
{
    endText();
    m_content += "Q\n";
    m_doc.page(m_size, m_content, m_resources);
}

void PdfCanvas::endText()
{
    if (m_inText)
        m_content += "ET\n";
    m_inText = false;
}

void PdfCanvas::text(const QRectF &r, int hAlign, const QString &text, const FontStyle &style)
{
    if (text.isEmpty())
        return;
    // A break inside a line stays a blank here, as texts are broken into
    // their lines before they get here.
    QString line = text;
    line.replace(QChar::LineSeparator, QLatin1Char(' ')).replace(QChar::ParagraphSeparator, QLatin1Char(' '));
    const ShapedLine &s = m_shapes.line(style, line);
    const QPointF origin = lineOrigin(r, hAlign, s);
    for (const QGlyphRun &run : s.runs)
        glyphs(origin, run, style.stretch, line);
    if (style.underline) {
        const QFontMetricsF fm(m_shapes.font(style), m_device);
        const qreal y = origin.y() + fm.ascent() + fm.underlinePos();
        endText();
        num(origin.x());
        num(y - fm.lineWidth() / 2);
        num(s.advance);
        num(fm.lineWidth());
        m_content += "re f\n";
    }
}

// Each run's glyphs in one array of codes, moved where drawText put them: a
// TJ array's numbers move the next glyph by thousandths of the font's size.
void PdfCanvas::glyphs(const QPointF &origin, const QGlyphRun &run, int stretch, const QString &text)
{
    m_codes.clear();
    m_fonts.codes(run, stretch, text, m_codes);
    const QList<QPointF> positions = run.positions();
    const qreal size = run.rawFont().pixelSize();
    if (!m_inText) {
        m_content += "BT\n";
        m_inText = true;
    }
    static const char kHex[] = "0123456789ABCDEF";
    qsizetype i = 0;
    while (i < m_codes.size()) {
        const int font = m_codes[i].font;
        const QPointF start = origin + positions[i];
        const qreal baseline = positions[i].y();
        m_content += "/F";
        PdfDocument::integer(m_content, font);
        m_content += " 1 Tf ";
        num(size);
        m_content += "0 0 ";
        num(-size);
        num(start.x());
        num(start.y());
        m_content += "Tm[<";
        // Where the font's advances put the next glyph, in ems from start: a
        // shift as small as a glyph's advance rounded at its size is let pass.
        qreal pen = 0;
        const qreal slack = kSlack / size;
        for (; i < m_codes.size() && m_codes[i].font == font && positions[i].y() == baseline; ++i) {
            const qreal at = (origin.x() + positions[i].x() - start.x()) / size;
            if (std::abs(pen - at) > slack) {
                const double move = std::round((pen - at) * 1e4) / 10; // thousandths of an em
                m_content += "> ";
                PdfDocument::number(m_content, move);
                m_content += " <";
                pen -= move / 1000;
            }
            const uchar code = m_codes[i].code;
            m_content += kHex[code >> 4];
            m_content += kHex[code & 15];
            pen += m_codes[i].width / 1000.0;
        }
        m_content += ">]TJ\n";
    }
}

void PdfCanvas::clip(const QRectF &box)
{
    endText();
    m_content += "q ";
    num(box.x());
    num(box.y());
    num(box.width());
    num(box.height());
    m_content += "re W n\n";
}

void PdfCanvas::unclip()
{
    endText();
    m_content += "Q\n";
    m_pen = -1;
}

void PdfCanvas::setPen(qreal width)
{
    endText();
    if (width == m_pen)
        return;
    num(width);
    m_content += "w\n";
    m_pen = width;
}

void PdfCanvas::lines(qreal pen, const QList<QLineF> &lines)
{
    setPen(pen);
    for (const QLineF &l : lines) {
        num(l.x1());
        num(l.y1());
        m_content += "m ";
        num(l.x2());
        num(l.y2());
        m_content += "l\n";
    }
    m_content += "S\n";
}

void PdfCanvas::rects(qreal pen, const QList<QRectF> &rects)
{
    setPen(pen);
    for (const QRectF &r : rects) {
        num(r.x());
        num(r.y());
        num(r.width());
        num(r.height());
        m_content += "re\n";
    }
    m_content += "S\n";
}

bool PdfCanvas::finish(const QString &title, const QString &creator)
{
    endText();
    m_doc.object(m_resources, "<</Font<<" + m_fonts.write(m_doc) + ">>/ProcSet[/PDF/Text]>>");
    return m_doc.finish(title, creator);
}

} // namespace report
