// Numbers written as plain decimals of at most 15 significant digits, and read back.
#include "NumberText.h"

#include <algorithm>
#include <charconv>
#include <cmath>

namespace db {

namespace {

// A number as its decimal digits: 0.digits × 10^point, without leading or
// trailing zeros (no digits for zero). Kept in place: numbers are turned
// into text by the hundred thousand in exports and bulk loads.
struct Decimal
{
    bool negative = false;
    char digits[kSignificantDigits + 1] = {};
    int count = 0;
    int point = 0;

    static Decimal of(double v)
    {
        Decimal d;
        if (v == 0 || !std::isfinite(v))
            return d;
        d.negative = v < 0;
        if (std::abs(v) < 1e15 && v == std::trunc(v)) {
            // Whole numbers, the common case (counts, sequence numbers).
            const auto r = std::to_chars(d.digits, d.digits + sizeof d.digits, qint64(std::abs(v)));
            d.count = d.point = int(r.ptr - d.digits);
            d.trim();
            return d;
        }
        char buf[40];
        const auto r = std::to_chars(buf, buf + sizeof buf, std::abs(v), std::chars_format::scientific,
                                     kSignificantDigits - 1);
        const char *p = buf;
        for (; p < r.ptr && *p != 'e'; ++p)
            if (*p != '.')
                d.digits[d.count++] = *p;
        int exponent = 0;
        if (p < r.ptr && *++p == '+')
            ++p;
        std::from_chars(p, r.ptr, exponent);
        d.point = exponent + 1;
        d.trim();
        return d;
    }

    // The digits of a plain decimal text ("-12.50", "007", ".5"): an
    // optional minus, digits, an optional point and digits, no more than 15
    // significant digits and 40 characters. A double holds such a number
    // and gives back these digits, so they are taken as they stand; none
    // for any other text.
    static std::optional<Decimal> parse(QByteArrayView text)
    {
        if (text.isEmpty() || text.size() > 40)
            return std::nullopt;
        Decimal d;
        qsizetype i = 0;
        if (text[0] == '-') {
            d.negative = true;
            ++i;
        }
        bool digitSeen = false, pointSeen = false;
        int integers = 0; // digits before the point, leading zeros left out
        int leadingFractionZeros = 0;
        for (; i < text.size(); ++i) {
            const char c = text[i];
            if (c == '.' && !pointSeen) {
                pointSeen = true;
                continue;
            }
            if (c < '0' || c > '9')
                return std::nullopt;
            digitSeen = true;
            if (d.count == 0 && c == '0') {
                leadingFractionZeros += pointSeen; // zeros before the first significant digit
                continue;
            }
            if (d.count == kSignificantDigits)
                return std::nullopt;
            d.digits[d.count++] = c;
            integers += !pointSeen;
        }
        if (!digitSeen)
            return std::nullopt;
        d.point = d.count == 0 ? 0 : (integers > 0 ? integers : -leadingFractionZeros);
        d.trim(); // zero has no sign
        return d;
    }

    void trim()
    {
        while (count > 0 && digits[count - 1] == '0')
            --count;
        if (count == 0)
            *this = Decimal();
    }

    int integerDigits() const { return count == 0 ? 0 : std::max(point, 0); }
    int decimalsHeld() const { return std::max(0, count - point); }

    // Rounded half away from zero to the given number of decimals.
    void roundTo(int decimals)
    {
        const int keep = point + decimals;
        if (keep >= count)
            return;
        if (keep < 0) {
            *this = Decimal();
            return;
        }
        const bool up = digits[keep] >= '5';
        count = keep;
        if (up) {
            int i = keep - 1;
            while (i >= 0 && digits[i] == '9')
                digits[i--] = '0';
            if (i >= 0) {
                ++digits[i];
            } else {
                // All nines: 1 followed by zeros, which trim drops.
                digits[0] = '1';
                count = 1;
                ++point;
            }
        }
        trim();
    }

    // Fixed notation with exactly `decimals` decimals (at least the digits
    // held), right-aligned in `width` blanks when shorter. Written in place:
    // numbers go into text by the hundred thousand.
    QByteArray text(int decimals, int width = 0) const
    {
        const qsizetype length = (negative ? 1 : 0) + std::max(point, 1) + (decimals > 0 ? 1 + decimals : 0);
        QByteArray out(std::max<qsizetype>(length, width), ' ');
        char *p = out.data() + out.size() - length;
        if (negative)
            *p++ = '-';
        if (point <= 0) {
            *p++ = '0';
        } else {
            for (int i = 0; i < point; ++i)
                *p++ = i < count ? digits[i] : '0';
        }
        if (decimals > 0) {
            *p++ = '.';
            for (int i = point, written = 0; written < decimals; ++i, ++written)
                *p++ = i < 0 || i >= count ? '0' : digits[i];
        }
        return out;
    }
};

} // namespace

namespace {

QByteArray plainText(Decimal d, int maxDecimals)
{
    if (maxDecimals >= 0)
        d.roundTo(maxDecimals);
    return d.text(d.decimalsHeld());
}

} // namespace

QString formatNumber(double v, int maxDecimals)
{
    if (!std::isfinite(v))
        return QString::number(v);
    return QString::fromLatin1(plainText(Decimal::of(v), maxDecimals));
}

std::optional<QByteArray> formatPlainNumber(QByteArrayView text, int maxDecimals)
{
    const std::optional<Decimal> d = Decimal::parse(text);
    return d ? std::optional<QByteArray>(plainText(*d, maxDecimals)) : std::nullopt;
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

namespace {

std::optional<QByteArray> columnText(Decimal d, int width, int decimals)
{
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
            return r.text(places, width);
        }
        d = r;
    }
    return std::nullopt;
}

} // namespace

std::optional<QByteArray> numberColumnText(double v, int width, int decimals)
{
    return columnText(Decimal::of(v), width, decimals);
}

std::optional<QByteArray> plainNumberColumnText(QByteArrayView text, int width, int decimals)
{
    const std::optional<Decimal> d = Decimal::parse(text);
    return d ? columnText(*d, width, decimals) : std::nullopt;
}

} // namespace db
