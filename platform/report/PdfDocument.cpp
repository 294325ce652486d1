#include "PdfDocument.h"

#include <QIODevice>
#include <QString>

#include <cmath>
#include <zlib.h>

namespace report {

namespace {

// One zlib stream kept for every stream a thread writes: setting one up
// costs more than compressing a glyph's outline.
struct Deflater
{
    z_stream z{};
    bool ready = false;

    // Each reset clears the match table: a small one for small streams.
    Deflater(int level, int windowBits, int memLevel)
    {
        ready = deflateInit2(&z, level, Z_DEFLATED, windowBits, memLevel, Z_DEFAULT_STRATEGY) == Z_OK;
    }
    ~Deflater()
    {
        if (ready)
            deflateEnd(&z);
    }

    bool compress(const QByteArray &in, QByteArray &out)
    {
        if (!ready || deflateReset(&z) != Z_OK)
            return false;
        out.resize(qsizetype(deflateBound(&z, uLong(in.size()))));
        z.next_in = reinterpret_cast<Bytef *>(const_cast<char *>(in.constData()));
        z.avail_in = uInt(in.size());
        z.next_out = reinterpret_cast<Bytef *>(out.data());
        z.avail_out = uInt(out.size());
        if (deflate(&z, Z_FINISH) != Z_STREAM_END)
            return false;
        out.resize(qsizetype(z.total_out));
        return true;
    }
};

} // namespace

bool PdfDocument::deflate(const QByteArray &data, QByteArray &packed, Packing packing)
{
    // Small packs a glyph's outline, a few hundred bytes to a few KB.
    thread_local Deflater fast(Z_BEST_SPEED, 15, 8), small(Z_DEFAULT_COMPRESSION, 12, 5);
    return (packing == Fast ? fast : small).compress(data, packed);
}

PdfDocument::PdfDocument(QIODevice &out)
    : m_out(out), m_offsets{0}
{
    // The binary comment marks the file as binary for programs that guess.
    write(QByteArrayLiteral("%PDF-1.4\n%\xe2\xe3\xcf\xd3\n"));
    m_pageTree = reserve();
}

PdfDocument::~PdfDocument() = default;

int PdfDocument::reserve()
{
    m_offsets.append(0);
    return int(m_offsets.size() - 1);
}

void PdfDocument::write(const QByteArray &bytes)
{
    if (!m_ok)
        return;
    if (m_out.write(bytes) != bytes.size())
        m_ok = false;
    m_at += bytes.size();
}

void PdfDocument::begin(int id)
{
    m_offsets[id] = m_at;
    QByteArray head;
    integer(head, id);
    head += " 0 obj\n";
    write(head);
}

void PdfDocument::object(int id, const QByteArray &body)
{
    begin(id);
    write(body);
    write(QByteArrayLiteral("\nendobj\n"));
}

void PdfDocument::stream(int id, const QByteArray &dict, const QByteArray &data)
{
    QByteArray packed;
    if (deflate(data, packed, Fast))
        packedStream(id, dict, packed);
    else
        write(id, dict, data, false);
}

void PdfDocument::packedStream(int id, const QByteArray &dict, const QByteArray &packed)
{
    write(id, dict, packed, true);
}

void PdfDocument::write(int id, const QByteArray &dict, const QByteArray &body, bool packed)
{
    QByteArray head = "<<" + dict + "/Length ";
    integer(head, body.size());
    if (packed)
        head += "/Filter/FlateDecode";
    head += ">>\nstream\n";
    begin(id);
    write(head);
    write(body);
    write(QByteArrayLiteral("\nendstream\nendobj\n"));
}

void PdfDocument::page(const QSizeF &size, const QByteArray &content, int resources)
{
    const int contentId = reserve();
    stream(contentId, QByteArray(), content);
    const int id = reserve();
    QByteArray body = "<</Type/Page/Parent ";
    reference(body, m_pageTree);
    body += "/MediaBox[0 0 ";
    number(body, size.width());
    body += ' ';
    number(body, size.height());
    body += "]/Resources ";
    reference(body, resources);
    body += "/Contents ";
    reference(body, contentId);
    body += ">>";
    object(id, body);
    m_pages.append(id);
}

bool PdfDocument::finish(const QString &title, const QString &creator)
{
    QByteArray kids = "<</Type/Pages/Kids[";
    for (int id : std::as_const(m_pages)) {
        reference(kids, id);
        kids += ' ';
    }
    kids += "]/Count ";
    integer(kids, m_pages.size());
    kids += ">>";
    object(m_pageTree, kids);
    const int catalog = reserve();
    QByteArray cat = "<</Type/Catalog/Pages ";
    reference(cat, m_pageTree);
    cat += ">>";
    object(catalog, cat);
    const int info = reserve();
    object(info, "<</Title " + text(title) + "/Creator " + text(creator) + "/Producer " + text(creator) + ">>");

    const qint64 xref = m_at;
    QByteArray table = "xref\n0 ";
    integer(table, m_offsets.size());
    table += "\n0000000000 65535 f \n";
    for (qsizetype i = 1; i < m_offsets.size(); ++i) {
        if (m_offsets[i] == 0) {
            m_ok = false; // reserved, never written
            return false;
        }
        table += QByteArray::number(m_offsets[i]).rightJustified(10, '0') + " 00000 n \n";
    }
    table += "trailer\n<</Size ";
    integer(table, m_offsets.size());
    table += "/Root ";
    reference(table, catalog);
    table += "/Info ";
    reference(table, info);
    table += ">>\nstartxref\n";
    integer(table, xref);
    table += "\n%%EOF\n";
    write(table);
    return m_ok;
}

void PdfDocument::integer(QByteArray &out, qint64 v)
{
    char buf[24];
    char *end = buf + sizeof buf, *p = end;
    const bool negative = v < 0;
    quint64 u = negative ? quint64(-v) : quint64(v);
    do {
        *--p = char('0' + u % 10);
        u /= 10;
    } while (u);
    if (negative)
        *--p = '-';
    out.append(p, end - p);
}

void PdfDocument::reference(QByteArray &out, int id)
{
    integer(out, id);
    out += " 0 R";
}

void PdfDocument::number(QByteArray &out, double v)
{
    qint64 milli = std::llround(v * 1000);
    if (milli < 0) {
        out += '-';
        milli = -milli;
    }
    integer(out, milli / 1000);
    int frac = int(milli % 1000);
    if (!frac)
        return;
    char digits[4] = {'.', char('0' + frac / 100), char('0' + frac / 10 % 10), char('0' + frac % 10)};
    int n = 4;
    while (digits[n - 1] == '0')
        --n;
    out.append(digits, n);
}

QByteArray PdfDocument::text(const QString &s)
{
    QByteArray out = "<FEFF";
    for (const QChar c : s)
        out += QByteArray::number(c.unicode(), 16).rightJustified(4, '0');
    return out + '>';
}

} // namespace report
