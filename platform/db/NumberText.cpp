#include "NumberText.h"

#include <algorithm>
#include <charconv>
#include <cmath>

namespace db {

namespace {

// A number as its decimal digits: 0.digits × 10^point, without leading or
// trailing zeros (no digits for zero).
struct Decimal
{
    bool negative = false;
    QByteArray digits;
    int point = 0;

    static Decimal of(double v)
    {
        Decimal d;
        if (v == 0 || !std::isfinite(v))
            return d;
        char buf[40];
        const auto r = std::to_chars(buf, buf + sizeof buf, v, std::chars_format::scientific, kSignificantDigits - 1);
        const char *p = buf;
        d.negative = *p == '-';
        if (d.negative)
            ++p;
        for (; p < r.ptr && *p != 'e'; ++p)
            if (*p != '.')
                d.digits.append(*p);
        int exponent = 0;
        if (p < r.ptr && *++p == '+')
            ++p;
        std::from_chars(p, r.ptr, exponent);
        d.point = exponent + 1;
        d.trim();
        return d;
    }

    void trim()
    {
        while (digits.endsWith('0'))
            digits.chop(1);
        if (digits.isEmpty())
            *this = Decimal();
    }

    int integerDigits() const { return digits.isEmpty() ? 0 : std::max(point, 0); }

    // Rounded half away from zero to the given number of decimals.
    void roundTo(int decimals)
    {
        const qsizetype keep = qsizetype(point) + decimals;
        if (keep >= digits.size())
            return;
        if (keep < 0) {
            *this = Decimal();
            return;
        }
        const bool up = digits[keep] >= '5';
        digits.truncate(keep);
        if (up) {
            qsizetype i = keep - 1;
            while (i >= 0 && digits[i] == '9')
                digits[i--] = '0';
            if (i >= 0) {
                ++digits[i];
            } else {
                digits.prepend('1');
                ++point;
            }
        }
        trim();
    }

    // Fixed notation with exactly `decimals` decimals (at least the digits held).
    QByteArray text(int decimals) const
    {
        QByteArray out;
        if (negative)
            out.append('-');
        if (point <= 0)
            out.append('0');
        else
            out.append(digits.left(point)).append(QByteArray(std::max<qsizetype>(0, point - digits.size()), '0'));
        if (decimals > 0) {
            QByteArray fraction = point < 0 ? QByteArray(-point, '0') + digits : digits.mid(point);
            out.append('.').append(fraction.leftJustified(decimals, '0'));
        }
        return out;
    }

    int decimalsHeld() const { return digits.isEmpty() ? 0 : int(std::max<qsizetype>(0, digits.size() - point)); }
};

} // namespace

QString formatNumber(double v, int maxDecimals)
{
    if (!std::isfinite(v))
        return QString::number(v);
    Decimal d = Decimal::of(v);
    if (maxDecimals >= 0)
        d.roundTo(maxDecimals);
    return QString::fromLatin1(d.text(d.decimalsHeld()));
}

int columnIntegerDigits(int width)
{
    return std::min(width, kSignificantDigits);
}

QString largestColumnNumber(int width)
{
    return QString(columnIntegerDigits(width), QLatin1Char('9'));
}

QString smallestColumnNumber(int width)
{
    return QLatin1Char('-') + QString(std::min(width - 1, kSignificantDigits), QLatin1Char('9'));
}

std::optional<QByteArray> numberColumnText(double v, int width, int decimals)
{
    Decimal d = Decimal::of(v);
    d.roundTo(decimals);
    // Rounding to fewer decimals may carry into a further integer digit,
    // which leaves room for fewer decimals again: a second pass settles it.
    for (int pass = 0; pass < 2; ++pass) {
        const int sign = d.negative ? 1 : 0;
        const int integers = d.integerDigits();
        if (integers > std::min(width - sign, kSignificantDigits))
            return std::nullopt;
        const int room = width - sign - std::max(integers, 1) - 1;
        const int places = std::max(0, std::min({decimals, room, kSignificantDigits - integers}));
        Decimal r = d;
        r.roundTo(places);
        if (r.integerDigits() == integers || pass == 1) {
            if (r.integerDigits() > std::min(width - sign, kSignificantDigits))
                return std::nullopt;
            return r.text(places).rightJustified(width, ' ');
        }
        d = r;
    }
    return std::nullopt;
}

} // namespace db
