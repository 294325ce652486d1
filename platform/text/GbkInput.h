#pragma once
// Long-text editors take only what GBK can store: a typed, pasted or
// dropped character that GBK lacks never reaches the text, as the byte-limit
// validator keeps it out of a one-line edit; nor does a control character
// other than TAB, CR and LF. Either tells the user which characters it left
// out.
#include <QStringList>
#include <QValidator>

class QLineEdit;
class QObject;
class QPlainTextEdit;

namespace gbk {

// Limits an edit by GBK bytes and keeps out characters GBK cannot store.
// What arrives beyond the limit is cut off at a character boundary, the
// newest input first (it ends at the cursor): a typed character at the limit
// is refused, a pasted text keeps what fits.
class ByteLimitValidator : public QValidator
{
public:
    explicit ByteLimitValidator(int maxBytes, QObject *parent = nullptr);
    State validate(QString &input, int &pos) const override;
    int maxBytes() const { return m_maxBytes; }

private:
    friend void setTextWhole(QLineEdit *edit, const QString &text);
    int m_maxBytes;
    bool m_whole = false;
};

// Puts a text the program holds (a stored value, a computed sum) into an
// edit whole, past the edit's byte limit: the limit is for what the user
// enters, and a save must never store a value the window cut.
void setTextWhole(QLineEdit *edit, const QString &text);

void acceptOnlyGbk(QPlainTextEdit *memo);
// An edit without a byte limit of its own (its text is checked elsewhere).
void acceptOnlyGbk(QLineEdit *edit);

// Tells the user, once the input under way is done, the characters GBK
// cannot store that were left out of what was typed or pasted into editor;
// those of one paste in one message.
void tellLeftOut(QObject *editor, const QStringList &characters);

} // namespace gbk
