// The program's own PDF writer: glyphs where a printer's job sets them,
// copied as the characters drawn, fonts of at most 256 glyphs, and a file
// that is whole or not there.
#include "PdfReading.h"
#include "TempDir.h"

#include "report/PagePainter.h"
#include "report/PdfCanvas.h"
#include "report/PdfFonts.h"
#include "report/TextFit.h"

#include <QBuffer>
#include <QFontDatabase>
#include <QGlyphRun>
#include <QtEndian>
#include <QPrinter>
#include <QTextLayout>
#include <QtTest>

#include <csignal>
#include <sys/resource.h>

using namespace report;

namespace {

QString u(const char *s) { return QString::fromUtf8(s); }

PageItem textItem(const QString &text, QRectF rect, qreal size = 10.5)
{
    PageItem item;
    item.rect = rect;
    item.font.size = size;
    item.lines = QStringList{text};
    item.lineHeight = lineHeight(item.font, size);
    item.hAlign = Qt::AlignLeft;
    item.vAlign = Qt::AlignTop;
    return item;
}

// Every line of the page, in order: what copying the whole page gives.
QString pageText(const Page &page)
{
    QString all;
    for (const PageItem &item : page.items)
        all += item.lines.join(QString());
    return all;
}

// What copying the PDF gives: its glyphs as they are read, line by line
// from the left (a line's runs are drawn a font at a time).
QString shownText(const OwnPdf &pdf)
{
    QList<ShownGlyph> read = pdf.glyphs;
    std::stable_sort(read.begin(), read.end(), [](const ShownGlyph &a, const ShownGlyph &b) {
        return std::tuple(a.page, qRound(a.y), a.x) < std::tuple(b.page, qRound(b.y), b.x);
    });
    QString all;
    for (const ShownGlyph &g : read)
        all += g.text;
    return all;
}

// A device that takes limit bytes, then fails as a full disk does.
class FullDevice : public QBuffer
{
public:
    explicit FullDevice(qint64 limit) : m_limit(limit) {}

protected:
    qint64 writeData(const char *data, qint64 len) override
    {
        if (size() + len > m_limit)
            return -1;
        return QBuffer::writeData(data, len);
    }

private:
    qint64 m_limit;
};

// The font file of font's tables, as a font is loaded from it; with
// changed, one table replaced.
QByteArray sfnt(const QRawFont &font, const QHash<QByteArray, QByteArray> &changed = {})
{
    QList<std::pair<QByteArray, QByteArray>> tables;
    for (const char *tag : {"CFF ", "OS/2", "cmap", "cvt ", "fpgm", "glyf", "head", "hhea", "hmtx", "loca", "maxp",
                            "name", "post", "prep"}) {
        const QByteArray data = changed.value(tag, font.fontTable(tag));
        if (!data.isEmpty())
            tables.append({tag, data});
    }
    QByteArray out(12 + 16 * tables.size(), '\0');
    qToBigEndian<quint32>(font.fontTable("glyf").isEmpty() ? 0x4F54544F : 0x00010000, out.data());
    qToBigEndian<quint16>(quint16(tables.size()), out.data() + 4);
    for (qsizetype i = 0; i < tables.size(); ++i) {
        char *entry = out.data() + 12 + 16 * i;
        memcpy(entry, tables[i].first.constData(), 4);
        qToBigEndian<quint32>(quint32(out.size()), entry + 8);
        qToBigEndian<quint32>(quint32(tables[i].second.size()), entry + 12);
        out += tables[i].second;
        out += QByteArray((4 - out.size() % 4) % 4, '\0');
    }
    return out;
}

// A name table naming the face family, Regular.
QByteArray nameTable(const QString &family)
{
    const QString names[][2] = {{"1", family}, {"2", "Regular"}, {"4", family}, {"6", QString(family).remove(' ')}};
    QByteArray table(6 + 12 * 4, '\0'), strings;
    qToBigEndian<quint16>(4, table.data() + 2);
    qToBigEndian<quint16>(quint16(table.size()), table.data() + 4);
    for (int i = 0; i < 4; ++i) {
        QByteArray utf16;
        for (const QChar c : names[i][1])
            utf16 += char(c.unicode() >> 8), utf16 += char(c.unicode() & 0xFF);
        const quint16 record[] = {3, 1, 0x409, quint16(names[i][0].toInt()), quint16(utf16.size()), quint16(strings.size())};
        for (int k = 0; k < 6; ++k)
            qToBigEndian<quint16>(record[k], table.data() + 6 + 12 * i + 2 * k);
        strings += utf16;
    }
    return table + strings;
}

} // namespace

class TestPdfWriter : public QObject
{
    Q_OBJECT

private slots:
    void glyphsSitWhereAPrinterSetsThemAndCopyAsTheirCharacters();
    void aFaceOfManyGlyphsSpreadsOverFontsOf256();
    void aFailedWriteLeavesNoFile();
    void aGlyphComesFromItsOwnFontFile();
    void aFaceInstalledWhileRunningSetsTheLinesMeasuredInIt();
    void aGlyphIsAsWideAsItsFaceSetsIt();
};

void TestPdfWriter::glyphsSitWhereAPrinterSetsThemAndCopyAsTheirCharacters()
{
    // Every alignment, Chinese beside Latin (kerned pairs too), characters
    // whose glyphs other characters share, bold, underlined, narrowed and
    // small letters, a text on two pages, one too long for its box.
    const struct { const char *text; int hAlign; qreal size; bool bold; bool underline; int stretch; } texts[] = {
        {"成果名称: 科技成果 2005-01", Qt::AlignLeft, 10.5, false, false, 100},
        {"批准文号：国统函[2006] 52 号", Qt::AlignRight, 10.5, false, false, 100},
        {"有效期截止时间：2008年 11月 第一", Qt::AlignHCenter, 9, true, false, 100},
        {"本成果针对高温高压环境研制了纳米复合涂层材料", Qt::AlignHCenter, 7.5, false, false, 70},
        {"AVAWAY Tofu ffi 12.5 万元", Qt::AlignLeft, 12, true, true, 100},
        {"第一完成单位  ", Qt::AlignRight, 10.5, false, false, 100},
    };
    QVector<Page> pages(2);
    qreal top = 20;
    for (const auto &t : texts) {
        PageItem item = textItem(u(t.text), QRectF(20, top, 60, 8), t.size);
        item.font.bold = t.bold;
        item.font.underline = t.underline;
        item.font.stretch = t.stretch;
        item.lines << item.lines[0];
        item.hAlign = t.hAlign;
        item.overflows = t.stretch < 100;
        pages[0].items << item;
        top += 15;
    }
    pages[1].items << pages[0].items[0] << pages[0].items[3];
    TempDir dir;
    QVERIFY(writePdf(dir.file("own.pdf"), pages, "own"));
    QPrinter job(QPrinter::HighResolution);
    job.setOutputFormat(QPrinter::PdfFormat);
    job.setOutputFileName(dir.file("job.pdf"));
    QVERIFY(paintPages(job, {pages[0]}));

    const OwnPdf own = readOwnPdf(dir.file("own.pdf"));
    QVERIFY2(own.error.isEmpty(), qPrintable(own.error));
    QCOMPARE(own.pages, 2);
    // Copied, the pages give the characters drawn, not look-alikes that
    // share their glyphs (文 is not the radical ⽂).
    const QString shown = shownText(own), drawn = pageText(pages[0]) + pageText(pages[1]);
    for (qsizetype i = 0; i < std::max(shown.size(), drawn.size()); ++i)
        QVERIFY2(shown.mid(i, 1) == drawn.mid(i, 1), qPrintable(QString("at %1: %2 for %3 in %4").arg(i).arg(shown.mid(i - 5, 10), drawn.mid(i, 1), drawn.mid(i - 5, 10))));

    // Where the printer's job puts each glyph of the first page, one of ours
    // sits, and a glyph of ours is always the same glyph of the job's.
    const QList<PdfGlyph> printed = pdfGlyphs(dir.file("job.pdf"));
    QList<ShownGlyph> first;
    for (const ShownGlyph &g : own.glyphs)
        if (g.page == 0)
            first.append(g);
    QVERIFY(printed.size() > 150);
    QCOMPARE(first.size(), printed.size());
    QList<bool> taken(first.size());
    QHash<std::pair<int, int>, QByteArray> same;
    for (const PdfGlyph &p : printed) {
        qsizetype match = -1;
        for (qsizetype i = 0; i < first.size() && match < 0; ++i)
            if (!taken[i] && qAbs(first[i].x - p.x) < 0.1 && qAbs(first[i].y + p.y) < 0.1)
                match = i;
        QVERIFY2(match >= 0, qPrintable(QString("nothing of ours at %1,%2").arg(p.x).arg(-p.y)));
        taken[match] = true;
        const QByteArray glyph = p.font.split(' ').first() + p.glyph;
        const auto code = std::pair(first[match].font, first[match].code);
        QVERIFY2(same.value(code, glyph) == glyph, qPrintable(QString("%1 at %2,%3").arg(first[match].text).arg(p.x).arg(-p.y)));
        same.insert(code, glyph);
    }
}

void TestPdfWriter::aFaceOfManyGlyphsSpreadsOverFontsOf256()
{
    // 600 ideographs, each once: more than two Type 3 fonts hold.
    Page page;
    for (int row = 0; row < 20; ++row) {
        QString line;
        for (int i = 0; i < 30; ++i)
            line += QChar(0x4E00 + (row * 30 + i) * 3);
        page.items << textItem(line, QRectF(10, 10 + row * 8, 190, 8), 9);
    }
    TempDir dir;
    QVERIFY(writePdf(dir.file("many.pdf"), {page, page}, "many"));
    const OwnPdf pdf = readOwnPdf(dir.file("many.pdf"));
    QVERIFY2(pdf.error.isEmpty(), qPrintable(pdf.error));
    QCOMPARE(pdf.fontSizes, (QList<int>{256, 256, 88}));
    QCOMPARE(shownText(pdf), pageText(page) + pageText(page));
    // The second page shows the first page's glyphs again, not new ones.
    for (qsizetype i = 0; i < 600; ++i)
        QCOMPARE(std::pair(pdf.glyphs[i + 600].font, pdf.glyphs[i + 600].code),
                 std::pair(pdf.glyphs[i].font, pdf.glyphs[i].code));
}

void TestPdfWriter::aFailedWriteLeavesNoFile()
{
    Page page;
    for (int row = 0; row < 20; ++row)
        page.items << textItem(u("本成果针对高温高压环境研制了纳米复合涂层材料") + QString::number(row),
                               QRectF(10, 10 + row * 8, 190, 8));

    // The writer tells a device that stopped taking bytes, wherever it stopped.
    auto write = [&](QIODevice &out) {
        PdfCanvas canvas(out);
        canvas.beginPage(page.size);
        canvas.text(QRectF(0, 0, 1000, 100), Qt::AlignLeft, u("科技成果"), FontStyle());
        canvas.endPage();
        return canvas.finish("t", "c");
    };
    QBuffer whole;
    whole.open(QIODevice::WriteOnly);
    QVERIFY(write(whole));
    for (const qint64 limit : {qint64(0), whole.size() / 3, whole.size() - 1}) {
        FullDevice full(limit);
        full.open(QIODevice::WriteOnly);
        QVERIFY2(!write(full), qPrintable(QString::number(limit)));
    }

    // A disk that fills up while the file is written: no file, whole or half.
    TempDir dir;
    std::signal(SIGXFSZ, SIG_IGN);
    rlimit saved;
    getrlimit(RLIMIT_FSIZE, &saved);
    rlimit small = saved;
    small.rlim_cur = 3000;
    setrlimit(RLIMIT_FSIZE, &small);
    const bool written = writePdf(dir.file("full.pdf"), {page, page, page}, "full");
    setrlimit(RLIMIT_FSIZE, &saved);
    QVERIFY(!written);
    QCOMPARE(QDir(dir.path()).entryList(QDir::Files | QDir::Hidden), QStringList());

    // Nor is a file there already written over.
    QFile old(dir.file("old.pdf"));
    QVERIFY(old.open(QIODevice::WriteOnly));
    old.write("kept");
    old.close();
    QVERIFY(!writePdf(dir.file("old.pdf"), {page}, "old"));
    QCOMPARE(QDir(dir.path()).entryList(QDir::Files | QDir::Hidden), QStringList{"old.pdf"});
    QCOMPARE(QFileInfo(dir.file("old.pdf")).size(), 4);
    // Nor one beside it whose name only looks like a file being written.
    QFile beside(dir.file("new.pdf.part"));
    QVERIFY(beside.open(QIODevice::WriteOnly));
    beside.write("kept");
    beside.close();
    QVERIFY(writePdf(dir.file("new.pdf"), {page}, "new"));
    QVERIFY(readOwnPdf(dir.file("new.pdf")).error.isEmpty());
    QCOMPARE(QFileInfo(dir.file("new.pdf.part")).size(), 4);
    QCOMPARE(QDir(dir.path()).entryList(QDir::Files | QDir::Hidden), (QStringList{"new.pdf", "new.pdf.part", "old.pdf"}));
}

void TestPdfWriter::aGlyphComesFromItsOwnFontFile()
{
    // Two versions of one face, the same names, the letter A wider in the
    // newer: each document takes A as its own file draws it.
    const QRawFont installed = QRawFont::fromFont(QFont("DejaVu Sans"));
    QVERIFY(installed.isValid());
    const quint32 a = installed.glyphIndexesForString("A").value(0);
    QByteArray head = installed.fontTable("head"), hmtx = installed.fontTable("hmtx");
    QVERIFY(a > 0 && head.size() >= 36 && hmtx.size() >= qsizetype(a) * 4 + 4);
    const quint16 unitsPerEm = qFromBigEndian<quint16>(head.constData() + 18);
    const quint16 advance = qFromBigEndian<quint16>(hmtx.constData() + a * 4);
    const QRawFont older(sfnt(installed), 12);
    qToBigEndian<quint16>(quint16(advance + unitsPerEm / 10), hmtx.data() + a * 4);
    qToBigEndian<quint32>(qFromBigEndian<quint32>(head.constData() + 32) + 86400, head.data() + 32); // modified a day later
    const QRawFont newer(sfnt(installed, {{"hmtx", hmtx}, {"head", head}}), 12);
    QVERIFY(older.isValid() && newer.isValid());
    QCOMPARE(newer.familyName(), older.familyName());
    QCOMPARE(newer.styleName(), older.styleName());

    auto widthOfA = [&](const QRawFont &font) {
        QGlyphRun run;
        run.setRawFont(font);
        run.setGlyphIndexes({a});
        run.setPositions({QPointF()});
        PdfFonts fonts;
        QList<PdfFonts::Code> codes;
        fonts.codes(run, 100, "A", codes);
        return codes.value(0).width;
    };
    const int em = PdfFonts::kEm;
    QCOMPARE(widthOfA(older), qRound(advance * em / double(unitsPerEm)));
    QCOMPARE(widthOfA(newer), qRound((advance + unitsPerEm / 10) * em / double(unitsPerEm)));
}

void TestPdfWriter::aFaceInstalledWhileRunningSetsTheLinesMeasuredInIt()
{
    // Texts are measured in the face their family names once it is there:
    // the PDF sets them in it too, not as it set them before.
    const QString family = "Corvane Later Face";
    auto gap = [&](const QString &file) {
        Page page;
        page.items << textItem("AA", QRectF(20, 20, 60, 8), 12);
        page.items[0].font.family = family;
        // Where the second A goes as measured (the face kerns the pair).
        const FontStyle &style = page.items[0].font;
        const qreal measured = (textWidth("AA", style, 12) - textWidth("A", style, 12)) * kLayoutPerMm;
        if (!writePdf(file, {page}, "later"))
            return std::pair(-1.0, measured);
        const OwnPdf pdf = readOwnPdf(file);
        return pdf.glyphs.size() == 2 ? std::pair(pdf.glyphs[1].x - pdf.glyphs[0].x, measured) : std::pair(-1.0, measured);
    };
    TempDir dir;
    const auto before = gap(dir.file("before.pdf"));
    QVERIFY2(qAbs(before.first - before.second) < 0.5, qPrintable(QString("%1 for %2").arg(before.first).arg(before.second)));

    const QRawFont installed = QRawFont::fromFont(QFont("DejaVu Sans"));
    const quint32 a = installed.glyphIndexesForString("A").value(0);
    QByteArray hmtx = installed.fontTable("hmtx");
    QVERIFY(a > 0 && hmtx.size() >= qsizetype(a) * 4 + 4);
    qToBigEndian<quint16>(quint16(qFromBigEndian<quint16>(hmtx.constData() + a * 4) * 3 / 2), hmtx.data() + a * 4);
    const int id = QFontDatabase::addApplicationFontFromData(sfnt(installed, {{"name", nameTable(family)}, {"hmtx", hmtx}}));
    QVERIFY(id >= 0);
    const auto after = gap(dir.file("after.pdf"));
    QFontDatabase::removeApplicationFont(id);
    QVERIFY2(after.second > before.second + 10, qPrintable(QString::number(after.second)));
    QVERIFY2(qAbs(after.first - after.second) < 0.5, qPrintable(QString("%1 for %2").arg(after.first).arg(after.second)));
}

void TestPdfWriter::aGlyphIsAsWideAsItsFaceSetsIt()
{
    // Narrowed, a face's glyphs are narrower than its tables give them.
    for (const QString family : {u("宋体"), QString("DejaVu Sans")}) {
        for (const int stretch : {100, 83, 70, 50}) {
            FontStyle style;
            style.family = family;
            style.stretch = stretch;
            QTextLayout layout(u("科技成果 AVA 12.5"), makeFont(style, 12));
            layout.beginLayout();
            layout.createLine();
            layout.endLayout();
            PdfFonts fonts;
            for (const QGlyphRun &run : layout.glyphRuns()) {
                QList<PdfFonts::Code> codes;
                fonts.codes(run, stretch, layout.text(), codes);
                QRawFont em = run.rawFont();
                em.setPixelSize(PdfFonts::kEm);
                const QList<QPointF> advances = em.advancesForGlyphIndexes(run.glyphIndexes());
                for (qsizetype i = 0; i < codes.size(); ++i)
                    QVERIFY2(qAbs(codes[i].width - advances[i].x()) <= 1,
                             qPrintable(QString("%1 at %2%: %3 for %4").arg(family).arg(stretch).arg(codes[i].width).arg(advances[i].x())));
            }
        }
    }
}

QTEST_MAIN(TestPdfWriter)
#include "tst_pdfwriter.moc"
