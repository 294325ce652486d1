#include "LineBreaks.h"

namespace text {

QString withLf(const QString &text)
{
    if (!text.contains(QLatin1Char('\r')))
        return text;
    QString out = text;
    out.replace(QStringLiteral("\r\n"), QStringLiteral("\n"));
    out.replace(QLatin1Char('\r'), QLatin1Char('\n'));
    return out;
}

QString withCrLf(const QString &text)
{
    if (!text.contains(QLatin1Char('\n')) && !text.contains(QLatin1Char('\r')))
        return text;
    return withLf(text).replace(QLatin1Char('\n'), QStringLiteral("\r\n"));
}

} // namespace text
