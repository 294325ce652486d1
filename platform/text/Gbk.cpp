#include "Gbk.h"

#include <QLineEdit>
#include <QStringDecoder>
#include <QStringEncoder>

#include <algorithm>
#include <vector>

namespace gbk {

namespace {
bool isBlankOrControl(QChar c)
{
    return c.unicode() <= 0x20;
}

// GBK keeps ASCII as it is: keys, codes, numbers and most keystrokes need
// no converter.
bool isAscii(const QString &text)
{
    return std::all_of(text.begin(), text.end(), [](QChar c) { return c.unicode() < 0x80; });
}
} // namespace

// Opening a converter is far dearer than converting a short text, so one of
// each is kept and reset before use (the program has one window thread).
static QStringEncoder &encoder()
{
    thread_local QStringEncoder enc("GBK");
    enc.resetState();
    return enc;
}

static QStringDecoder &decoder()
{
    thread_local QStringDecoder dec("GBK");
    dec.resetState();
    return dec;
}

QByteArray encode(const QString &text)
{
    return isAscii(text) ? text.toLatin1() : encoder().encode(text);
}

bool encodable(const QString &text)
{
    if (isAscii(text))
        return true;
    // A fresh converter: the error mark of a shared one outlives resetState().
    QStringEncoder enc("GBK");
    QByteArray b = enc.encode(text);
    return !enc.hasError();
}

QString decode(const QByteArray &bytes)
{
    return decode(bytes.constData(), bytes.size());
}

namespace {

// Every double-byte character, decoded once through the converter: reading
// a table decodes every text field, and a table lookup is many times faster
// than the converter. 0 marks a pair the table does not answer.
constexpr int kLeadFirst = 0x81, kLeadCount = 0xFE - 0x81 + 1;
constexpr int kTrailFirst = 0x40, kTrailCount = 0xFE - 0x40 + 1;

const std::vector<char16_t> &pairTable()
{
    static const std::vector<char16_t> table = [] {
        std::vector<char16_t> t(size_t(kLeadCount * kTrailCount), 0);
        QStringDecoder dec("GBK");
        for (int lead = 0; lead < kLeadCount; ++lead)
            for (int trail = 0; trail < kTrailCount; ++trail) {
                const char pair[2] = {char(kLeadFirst + lead), char(kTrailFirst + trail)};
                dec.resetState();
                const QString one = dec.decode(QByteArrayView(pair, 2));
                if (one.size() == 1 && one[0] != QChar::ReplacementCharacter)
                    t[size_t(lead * kTrailCount + trail)] = one[0].unicode();
            }
        return t;
    }();
    return table;
}

} // namespace

QString decode(const char *data, qsizetype size)
{
    const auto *u = reinterpret_cast<const unsigned char *>(data);
    qsizetype i = 0;
    while (i < size && u[i] < 0x80)
        ++i;
    if (i == size)
        return QString::fromLatin1(data, size);
    const std::vector<char16_t> &table = pairTable();
    QString out(size, Qt::Uninitialized);
    char16_t *o = reinterpret_cast<char16_t *>(out.data());
    qsizetype n = 0;
    for (i = 0; i < size; ++i) {
        if (u[i] < 0x80) {
            o[n++] = u[i];
            continue;
        }
        const int lead = u[i] - kLeadFirst, trail = i + 1 < size ? u[i + 1] - kTrailFirst : -1;
        const char16_t c = (lead >= 0 && lead < kLeadCount && trail >= 0 && trail < kTrailCount)
                               ? table[size_t(lead * kTrailCount + trail)]
                               : 0;
        if (c == 0) // anything unusual: the converter decides
            return decoder().decode(QByteArrayView(data, size));
        o[n++] = c;
        ++i;
    }
    out.truncate(n);
    return out;
}

int byteLength(const QString &text)
{
    return int(encode(text).size());
}

qsizetype safeCut(QByteArrayView bytes, qsizetype n)
{
    if (n >= bytes.size())
        return bytes.size();
    if (n <= 0)
        return 0;
    // Walk from the start: a lead byte (0x81..0xFE) always takes its trail.
    qsizetype i = 0;
    while (i < n) {
        const auto c = static_cast<unsigned char>(bytes[i]);
        const qsizetype step = (c >= 0x81 && c <= 0xFE && i + 1 < bytes.size()) ? 2 : 1;
        if (i + step > n)
            break;
        i += step;
    }
    return i;
}

QByteArray cutBytes(const QByteArray &bytes, qsizetype n)
{
    return bytes.left(safeCut(bytes, n));
}

QString cutToBytes(const QString &text, qsizetype n)
{
    QByteArray b = encode(text);
    if (b.size() <= n)
        return text;
    return decode(cutBytes(b, n));
}

QString trimLeft(const QString &text)
{
    qsizetype i = 0;
    while (i < text.size() && isBlankOrControl(text[i]))
        ++i;
    return text.mid(i);
}

QString trimRight(const QString &text)
{
    qsizetype n = text.size();
    while (n > 0 && isBlankOrControl(text[n - 1]))
        --n;
    return text.left(n);
}

QString trim(const QString &text)
{
    return trimLeft(trimRight(text));
}


namespace {

// One character: a surrogate pair counts as one.
qsizetype characterLength(const QString &text, qsizetype i)
{
    return text[i].isHighSurrogate() && i + 1 < text.size() && text[i + 1].isLowSurrogate() ? 2 : 1;
}

bool encodableCharacter(QStringView c)
{
    if (c.size() == 1 && c[0].unicode() < 0x80)
        return true;
    return encodable(c.toString());
}

} // namespace

QStringList unencodableCharacters(const QString &text)
{
    QStringList found;
    if (encodable(text))
        return found;
    for (qsizetype i = 0; i < text.size();) {
        const qsizetype n = characterLength(text, i);
        const QString c = text.mid(i, n);
        if (!encodableCharacter(c) && !found.contains(c))
            found << c;
        i += n;
    }
    return found;
}

QString withoutUnencodable(const QString &text, int *pos)
{
    if (encodable(text))
        return text;
    QString kept;
    kept.reserve(text.size());
    int newPos = pos ? *pos : 0;
    for (qsizetype i = 0; i < text.size();) {
        const qsizetype n = characterLength(text, i);
        if (encodableCharacter(QStringView(text).mid(i, n)))
            kept += QStringView(text).mid(i, n);
        else if (pos && i < *pos)
            newPos -= int(std::min<qsizetype>(n, *pos - i));
        i += n;
    }
    if (pos)
        *pos = newPos;
    return kept;
}

} // namespace gbk
