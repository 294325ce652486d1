// Values made from and read as text, numbers, dates and flags.
#include "Value.h"

#include "DbError.h"
#include "text/Gbk.h"

#include <QRegularExpression>
#include <charconv>
#include <cmath>
#include <cstring>

namespace db {

Value Value::fromBytes(const QByteArray &gbk)
{
    Value v;
    v.kind = Text;
    v.text = gbk;
    return v;
}

Value Value::fromString(const QString &s)
{
    return fromBytes(gbk::encode(s));
}

Value Value::fromNumber(double n)
{
    Value v;
    v.kind = Number;
    v.number = n;
    return v;
}

Value Value::fromDate(const QDate &d)
{
    if (!d.isValid())
        return {};
    Value v;
    v.kind = Date;
    v.date = d;
    return v;
}

Value Value::fromBool(bool b)
{
    Value v;
    v.kind = Bool;
    v.flag = b;
    return v;
}

QString Value::toString(int maxDecimals) const
{
    switch (kind) {
    case Null:
        return {};
    case Text:
        // Keys, codes and numbers are plain ASCII: no need for the GBK table.
        for (const char c : text)
            if (uchar(c) >= 0x80)
                return gbk::decode(text);
        return QString::fromLatin1(text);
    case Number:
        return formatNumber(number, maxDecimals);
    case Date:
        return date.toString(QStringLiteral("yyyy-MM-dd"));
    case Bool:
        return flag ? QStringLiteral("T") : QStringLiteral("F");
    }
    return {};
}

QByteArray Value::toBytes(int maxDecimals) const
{
    return kind == Text ? text : toString(maxDecimals).toLatin1();
}

double Value::toNumber() const
{
    switch (kind) {
    case Null:
        return 0;
    case Number:
        return number;
    case Bool:
        return flag ? 1 : 0;
    case Date:
        return double(date.toJulianDay());
    case Text: {
        const QByteArray t = text.trimmed();
        if (t.isEmpty())
            return 0;
        bool ok = false;
        const double d = t.toDouble(&ok);
        if (!ok || !std::isfinite(d))
            throw DbError(QString::fromUtf8("“%1”不是有效的数值").arg(gbk::decode(text)));
        return d;
    }
    }
    return 0;
}

QDate parseDate(const QString &s)
{
    const QString t = s.trimmed();
    static const QRegularExpression sep(QStringLiteral("^(\\d{4})[-/.](\\d{1,2})[-/.](\\d{1,2})$"));
    static const QRegularExpression compact(QStringLiteral("^(\\d{4})(\\d{2})(\\d{2})$"));
    QRegularExpressionMatch m = sep.match(t);
    if (!m.hasMatch())
        m = compact.match(t);
    if (!m.hasMatch())
        return {};
    return QDate(m.captured(1).toInt(), m.captured(2).toInt(), m.captured(3).toInt());
}

QDate Value::toDate() const
{
    switch (kind) {
    case Null:
        return {};
    case Date:
        return date;
    case Text: {
        if (text.trimmed().isEmpty())
            return {};
        const QDate d = parseDate(gbk::decode(text));
        if (!d.isValid())
            throw DbError(QString::fromUtf8("“%1”不是有效的日期").arg(gbk::decode(text)));
        return d;
    }
    default:
        throw DbError(QString::fromUtf8("“%1”不是有效的日期").arg(toString()));
    }
}

int compareText(const QByteArray &a, const QByteArray &b)
{
    qsizetype na = a.size(), nb = b.size();
    while (na > 0 && a[na - 1] == ' ')
        --na;
    while (nb > 0 && b[nb - 1] == ' ')
        --nb;
    const int c = std::memcmp(a.constData(), b.constData(), size_t(std::min(na, nb)));
    if (c != 0)
        return c < 0 ? -1 : 1;
    return na == nb ? 0 : (na < nb ? -1 : 1);
}

namespace {
template<typename T>
int cmp(const T &a, const T &b)
{
    return a < b ? -1 : (b < a ? 1 : 0);
}
} // namespace

int compareValues(const Value &a, const Value &b)
{
    if (a.isNull() || b.isNull())
        return cmp(int(!a.isNull()), int(!b.isNull()));
    if (a.kind == Value::Text && b.kind == Value::Text)
        return compareText(a.text, b.text);
    if (a.kind == Value::Date || b.kind == Value::Date)
        return cmp(a.toDate(), b.toDate());
    return cmp(a.toNumber(), b.toNumber());
}

bool sameValue(const Value &a, const Value &b)
{
    if (a.isNull() != b.isNull())
        return false;
    return compareValues(a, b) == 0;
}

} // namespace db
