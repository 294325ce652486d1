// The local SQL cut into tokens, with syntax errors that name line and column.
#include "SqlLexer.h"

#include "db/file/DbError.h"

namespace db::sql {

namespace {

bool isIdentStart(QChar c)
{
    return c == QLatin1Char('_') || c.isLetter();
}

bool isIdentPart(QChar c)
{
    return c == QLatin1Char('_') || c.isLetterOrNumber();
}

bool isDigit(QChar c)
{
    return c >= QLatin1Char('0') && c <= QLatin1Char('9');
}

} // namespace

void syntaxError(const QString &text, int pos, const QString &what)
{
    int line = 1;
    int lineStart = 0;
    for (int i = 0; i < pos && i < text.size(); ++i)
        if (text[i] == QLatin1Char('\n')) {
            ++line;
            lineStart = i + 1;
        }
    QString near = text.mid(pos, 20);
    const int nl = near.indexOf(QLatin1Char('\n'));
    if (nl >= 0)
        near.truncate(nl);
    near = near.trimmed();
    const QString where = near.isEmpty() ? QString::fromUtf8("语句末尾")
                                         : QString::fromUtf8("“%1”处").arg(near);
    throw SqlSyntaxError(QString::fromUtf8("SQL 语法错误（第 %1 行第 %2 列，%3）：%4")
                             .arg(line)
                             .arg(pos - lineStart + 1)
                             .arg(where, what));
}

Token Lexer::next()
{
    const int n = int(m_text.size());
    while (m_pos < n && (m_text[m_pos].isSpace() || m_text[m_pos].unicode() < 0x20))
        ++m_pos;
    Token t;
    t.pos = m_pos;
    if (m_pos >= n)
        return t;

    const QChar c = m_text[m_pos];
    if (c == QLatin1Char('\'') || c == QLatin1Char('"')) {
        int i = m_pos + 1;
        for (;;) {
            if (i >= n)
                syntaxError(m_text, m_pos,
                            c == QLatin1Char('\'') ? QString::fromUtf8("字符串缺少结尾的单引号")
                                                   : QString::fromUtf8("名称缺少结尾的双引号"));
            if (m_text[i] == c) {
                if (i + 1 < n && m_text[i + 1] == c) {
                    t.text += c;
                    i += 2;
                    continue;
                }
                ++i;
                break;
            }
            t.text += m_text[i++];
        }
        t.kind = c == QLatin1Char('\'') ? Token::String : Token::QuotedIdent;
        m_pos = i;
        return t;
    }
    if (isDigit(c) || (c == QLatin1Char('.') && m_pos + 1 < n && isDigit(m_text[m_pos + 1]))) {
        int i = m_pos;
        while (i < n && isDigit(m_text[i]))
            ++i;
        if (i < n && m_text[i] == QLatin1Char('.')) {
            ++i;
            while (i < n && isDigit(m_text[i]))
                ++i;
        }
        if (i < n && (m_text[i] == QLatin1Char('e') || m_text[i] == QLatin1Char('E'))) {
            int j = i + 1;
            if (j < n && (m_text[j] == QLatin1Char('+') || m_text[j] == QLatin1Char('-')))
                ++j;
            if (j < n && isDigit(m_text[j])) {
                while (j < n && isDigit(m_text[j]))
                    ++j;
                i = j;
            }
        }
        t.kind = Token::Number;
        t.text = m_text.mid(m_pos, i - m_pos);
        m_pos = i;
        return t;
    }
    if (isIdentStart(c)) {
        int i = m_pos + 1;
        while (i < n && isIdentPart(m_text[i]))
            ++i;
        t.kind = Token::Ident;
        t.text = m_text.mid(m_pos, i - m_pos);
        m_pos = i;
        return t;
    }
    if (c == QLatin1Char(':')) {
        int i = m_pos + 1;
        while (i < n && isIdentPart(m_text[i]))
            ++i;
        if (i == m_pos + 1)
            syntaxError(m_text, m_pos, QString::fromUtf8("冒号后应为参数名"));
        t.kind = Token::Param;
        t.text = m_text.mid(m_pos + 1, i - m_pos - 1);
        m_pos = i;
        return t;
    }

    t.kind = Token::Symbol;
    const QString two = m_text.mid(m_pos, 2);
    if (two == QLatin1String("<=") || two == QLatin1String(">=") || two == QLatin1String("<>")
        || two == QLatin1String("!=")) {
        t.text = two == QLatin1String("!=") ? QStringLiteral("<>") : two;
        m_pos += 2;
        return t;
    }
    static const QString singles = QStringLiteral("(),*=<>;.+-");
    if (!singles.contains(c))
        syntaxError(m_text, m_pos, QString::fromUtf8("无法识别的字符“%1”").arg(c));
    t.text = c;
    ++m_pos;
    return t;
}

QVector<Token> tokenize(const QString &text)
{
    QVector<Token> tokens;
    Lexer lexer(text);
    for (;;) {
        tokens.append(lexer.next());
        if (tokens.last().kind == Token::End)
            return tokens;
    }
}

} // namespace db::sql
