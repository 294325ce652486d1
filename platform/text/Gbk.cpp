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

QByteArray encode(const QString &text)
{
    QStringEncoder enc("GBK");
    return enc.encode(text);
}

bool encodable(const QString &text)
{
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
    QStringDecoder dec("GBK");
    return dec.decode(QByteArrayView(data, size));
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
