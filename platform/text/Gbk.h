#pragma once
// GBK (code page 936) text: every stored text, and every length or limit the
// program works with, is counted in GBK bytes, not in UTF-16 units.
#include <QByteArray>
#include <QString>
#include <QStringList>
#include <QValidator>

class QLineEdit;

namespace gbk {

QByteArray encode(const QString &text);
// True when every character of text has a GBK form (no '?' substitution).
bool encodable(const QString &text);
QString decode(const QByteArray &bytes);
QString decode(const char *data, qsizetype size);

int byteLength(const QString &text);

// The length of the longest prefix of bytes that holds at most n bytes and
// does not end in the middle of a double-byte character.
qsizetype safeCut(QByteArrayView bytes, qsizetype n);
QByteArray cutBytes(const QByteArray &bytes, qsizetype n);
QString cutToBytes(const QString &text, qsizetype n);

// Blanks and control characters at both ends removed.
QString trim(const QString &text);
QString trimLeft(const QString &text);
QString trimRight(const QString &text);

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

// Characters of text that GBK cannot store, each once, in order of first
// appearance; a character outside the basic plane counts as one.
QStringList unencodableCharacters(const QString &text);
// text without the characters GBK cannot store; pos (when given) follows
// the characters removed before it.
QString withoutUnencodable(const QString &text, int *pos = nullptr);

} // namespace gbk
