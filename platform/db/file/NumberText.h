#pragma once
// Numbers as text. A number is a double, which keeps 15 significant digits
// for certain: every text the program writes of a number and every number
// column it stores holds at most those, in plain decimals (never an
// exponent), so a value reads back as it was written.
#include <QByteArray>
#include <QByteArrayView>
#include <QString>
#include <optional>

namespace db {

constexpr int kSignificantDigits = 15;

// Plain decimal text of v rounded to 15 significant digits and, when
// maxDecimals is given, to that many decimals; no trailing zeros, no point
// when whole, "0" for zero.
QString formatNumber(double v, int maxDecimals = -1);
// The same for a number given as plain decimal text (see
// plainNumberColumnText), without reading it as a double; none for any
// other text.
std::optional<QByteArray> formatPlainNumber(QByteArrayView text, int maxDecimals = -1);

// The text of v for a number column of the given width and decimals, right
// aligned: as many of the decimals as fit (rounded), never fewer integer
// digits than v has. None when the integer part itself does not fit.
std::optional<QByteArray> numberColumnText(double v, int width, int decimals);
// The same for a number given as plain decimal text (an optional minus,
// digits with an optional point, at most 15 significant digits), without
// reading it as a double; none for any other text and for one that does
// not fit.
std::optional<QByteArray> plainNumberColumnText(QByteArrayView text, int width, int decimals);
// The largest and smallest values such a column holds, as text.
QString largestColumnNumber(int width);
QString smallestColumnNumber(int width);
// How many integer digits a positive value in a column of this width keeps.
int columnIntegerDigits(int width);

} // namespace db
