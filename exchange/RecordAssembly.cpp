#include "RecordAssembly.h"

#include "ExchangeText.h"

#include <cstring>

namespace {

constexpr qint64 kChunk = 1 << 16;

// Where a TAB followed by a double quote begins, from `from` on; -1 when
// none. Found by its quote, which most lines do not hold.
qsizetype quoteOpening(const QByteArray &line, qsizetype from)
{
    const char *data = line.constData();
    for (qsizetype at = from + 1; at < line.size();) {
        const void *quote = std::memchr(data + at, '"', size_t(line.size() - at));
        if (!quote)
            return -1;
        at = static_cast<const char *>(quote) - data;
        if (data[at - 1] == '\t')
            return at - 1;
        ++at;
    }
    return -1;
}

} // namespace

RecordAssembler::RecordAssembler(QIODevice &device) : m_device(device) {}

// Reads more of the device into the buffer; false when nothing is left.
bool RecordAssembler::fill()
{
    if (m_pos > 0) {
        m_buffer.remove(0, m_pos);
        m_pos = 0;
    }
    const qsizetype had = m_buffer.size();
    m_buffer.resize(had + kChunk);
    const qint64 n = m_device.read(m_buffer.data() + had, kChunk);
    if (n < 0)
        throw ExchangeError(QString::fromUtf8("读取失败：%1").arg(m_device.errorString()));
    m_buffer.resize(had + n);
    m_read += n;
    if (m_onPiece)
        m_onPiece(QByteArrayView(m_buffer).sliced(had));
    if (n > 0 && m_afterRead)
        m_afterRead(m_read);
    return n > 0;
}

bool RecordAssembler::atEnd()
{
    return m_pos >= m_buffer.size() && !fill();
}

bool RecordAssembler::readLine(QByteArray &line)
{
    if (atEnd())
        return false;
    qsizetype from = m_pos;
    qsizetype lf;
    while ((lf = m_buffer.indexOf('\n', from)) < 0) {
        const qsizetype scanned = m_buffer.size() - m_pos;
        if (!fill())
            break;
        from = m_pos + scanned;
    }
    if (lf < 0) {
        line = m_buffer.mid(m_pos);
        m_lineEnd.clear();
        m_pos = m_buffer.size();
    } else {
        const bool crlf = lf > m_pos && m_buffer[lf - 1] == '\r';
        line = m_buffer.mid(m_pos, lf - m_pos - (crlf ? 1 : 0));
        m_lineEnd = crlf ? QByteArrayLiteral("\r\n") : QByteArrayLiteral("\n");
        m_pos = lf + 1;
    }
    ++m_lineNo;
    return true;
}

// Passes over whole lines of bytes up to blank, counting them, without
// making a line of each: a file of millions of blank lines reads at the
// speed of a scan. A blank line yields no row, so nothing is lost.
void RecordAssembler::skipBlankLines()
{
    qsizetype scanned = 0; // bytes of the current line known to be blank
    for (;;) {
        const char *data = m_buffer.constData();
        const qsizetype size = m_buffer.size();
        qsizetype i = m_pos + scanned;
        while (i < size && uchar(data[i]) <= 0x20) {
            if (data[i] == '\n') {
                ++m_lineNo;
                m_pos = i + 1;
            }
            ++i;
        }
        if (i < size)
            return; // the line at m_pos holds something
        scanned = size - m_pos;
        if (!fill()) {
            if (m_pos < m_buffer.size()) { // a blank last line without a line end
                ++m_lineNo;
                m_pos = m_buffer.size();
            }
            return;
        }
    }
}

bool RecordAssembler::next(QByteArray &record)
{
    skipBlankLines();
    QByteArray line;
    if (!readLine(line))
        return false;
    m_firstLine = m_lineNo;
    record = line;
    // The field text f of the algorithm matters only through its number of
    // quotes and its last character, so those are all that is kept of it.
    int quotes = 0;
    bool endsWithQuote = false;
    auto addToField = [&](qsizetype from, qsizetype to) {
        for (qsizetype i = from; i < to; ++i)
            quotes += line[i] == '"';
        if (to > from)
            endsWithQuote = line[to - 1] == '"';
    };
    qsizetype pos = 0; // the part of the line not yet scanned begins here
    for (;;) {
        const qsizetype open = quoteOpening(line, pos);
        if (open < 0)
            return true;
        pos = open + 2;
        quotes = 1;
        endsWithQuote = true;
        qsizetype close = line.indexOf("\"\t", pos);
        if (close < 0)
            addToField(pos, line.size());
        for (;;) {
            while (close < 0) {
                if (atEnd())
                    return true;
                if (quotes % 2 == 0 && endsWithQuote)
                    return true; // the value closed at the end of its line
                const QByteArray lineEnd = m_lineEnd;
                readLine(line);
                record += lineEnd;
                record += line;
                pos = 0;
                close = line.indexOf("\"\t");
                if (close < 0)
                    addToField(0, line.size());
            }
            addToField(pos, close + 2);
            pos = close + 1;
            if (quotes % 2 == 0)
                break; // closed: look for the next quoted value
            close = line.indexOf("\"\t", pos);
        }
    }
}
