#pragma once
// The rules of a page as few strokes: frames of neighbouring cells share
// sides and a row's lines continue one another, and every segment drawn
// costs the printer (and a PDF) the same as a long one.
#include <QLineF>
#include <QList>

namespace report {

// The same ink with square caps: segments on one horizontal or vertical
// line that touch or overlap become one; others are kept as they are.
QList<QLineF> joinRules(const QList<QLineF> &lines);

} // namespace report
