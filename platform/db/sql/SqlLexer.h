#pragma once
// Tokens of the local SQL. Keywords are plain identifiers here; the parser
// tells them apart (case-insensitively).
#include <QString>
#include <QVector>

namespace db::sql {

struct Token
{
    enum Kind { End, Ident, QuotedIdent, String, Number, Param, Symbol };

    Kind kind = End;
    // Ident/QuotedIdent: the name; String: the text without quotes ('' made
    // one quote); Number: as written; Param: the name without the colon;
    // Symbol: ( ) , * = < > <= >= <> ; . + -  ("!=" is given as "<>").
    QString text;
    int pos = 0; // offset in the statement text

    bool isSymbol(const char *s) const { return kind == Symbol && text == QLatin1String(s); }
    bool isWord(const char *w) const
    {
        return kind == Ident && text.compare(QLatin1String(w), Qt::CaseInsensitive) == 0;
    }
};

class Lexer
{
public:
    explicit Lexer(const QString &text) : m_text(text) {}
    // Throws SqlSyntaxError for an unterminated quote or a stray character.
    Token next();

private:
    QString m_text;
    int m_pos = 0;
};

// Every token of the text, the End token last.
QVector<Token> tokenize(const QString &text);

// Throws SqlSyntaxError: "what" at offset pos of text, with line, column
// and the text found there.
[[noreturn]] void syntaxError(const QString &text, int pos, const QString &what);

} // namespace db::sql
