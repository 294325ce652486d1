#pragma once
// Long-text editors take only what GBK can store: a typed, pasted or
// dropped character that GBK lacks never reaches the text, as the byte-limit
// validator keeps it out of a one-line edit; nor does a control character
// other than TAB, CR and LF.
class QPlainTextEdit;

namespace gbk {

void acceptOnlyGbk(QPlainTextEdit *memo);

} // namespace gbk
