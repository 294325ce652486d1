#pragma once
// Long-text editors take only what GBK can store: a typed, pasted or
// dropped character that GBK lacks never reaches the text, as the byte-limit
// validator keeps it out of a one-line edit; nor does a control character
// other than TAB, CR and LF. Either tells the user which characters it left
// out.
#include <QStringList>

class QLineEdit;
class QObject;
class QPlainTextEdit;

namespace gbk {

void acceptOnlyGbk(QPlainTextEdit *memo);
// An edit without a byte limit of its own (its text is checked elsewhere).
void acceptOnlyGbk(QLineEdit *edit);

// Tells the user, once the input under way is done, the characters GBK
// cannot store that were left out of what was typed or pasted into editor;
// those of one paste in one message.
void tellLeftOut(QObject *editor, const QStringList &characters);

} // namespace gbk
