#include "Gbk.h"

#include <QStringDecoder>
#include <QStringEncoder>

namespace gbk {

namespace {
bool isBlankOrControl(QChar c)
{
    return c.unicode() <= 0x20;
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
    return encoder().encode(text);
}

bool encodable(const QString &text)
{
    // A fresh converter: the error mark of a shared one outlives resetState().
    QStringEncoder enc("GBK");
    QByteArray b = enc.encode(text);
    return !enc.hasError();
}

QString decode(const QByteArray &bytes)
{
    return decode(bytes.constData(), bytes.size());
}

QString decode(const char *data, qsizetype size)
{
    bool ascii = true;
    for (qsizetype i = 0; i < size && ascii; ++i)
        ascii = static_cast<unsigned char>(data[i]) < 0x80;
    if (ascii)
        return QString::fromLatin1(data, size);
    return decoder().decode(QByteArrayView(data, size));
}

int byteLength(const QString &text)
{
    return int(encode(text).size());
}

qsizetype safeCut(const QByteArray &bytes, qsizetype n)
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

ByteLimitValidator::ByteLimitValidator(int maxBytes, QObject *parent)
    : QValidator(parent), m_maxBytes(maxBytes)
{
}

QValidator::State ByteLimitValidator::validate(QString &input, int &) const
{
    if (!encodable(input))
        return Invalid;
    return byteLength(input) <= m_maxBytes ? Acceptable : Invalid;
}

} // namespace gbk
