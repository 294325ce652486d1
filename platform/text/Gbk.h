#pragma once
// GBK (code page 936) text: every stored text, and every length or limit the
// program works with, is counted in GBK bytes, not in UTF-16 units.
#include <QByteArray>
#include <QString>
#include <QStringList>


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

// Characters of text that GBK cannot store, each once, in order of first
// appearance; a character outside the basic plane counts as one.
QStringList unencodableCharacters(const QString &text);
// text without the characters GBK cannot store; pos (when given) follows
// the characters removed before it.
QString withoutUnencodable(const QString &text, int *pos = nullptr);

} // namespace gbk
