#pragma once
// Line breaks of long texts. Stored memos and exchange packages carry CR LF,
// as other programs reading the tables expect; the editors hold bare LF.
#include <QString>

namespace text {

// Every CR LF, lone CR and lone LF as CR LF.
QString withCrLf(const QString &text);
// Every CR LF and lone CR as LF.
QString withLf(const QString &text);

} // namespace text
