// The local SQL's tokens parsed into statements and conditions.
#include "SqlParser.h"

#include "db/file/DbError.h"
#include "SqlLexer.h"

#include <initializer_list>

// Grammar (keywords in any case):
//   statement := select | insert | update | delete  [';']
//   select    := SELECT [DISTINCT|ALL] ('*' | item {',' item}) FROM table
//                [WHERE expr] [ORDER BY order {',' order}]
//   item      := column [[AS] alias] | agg '(' ('*' | column) ')' [[AS] alias]
//   agg       := COUNT | MIN | MAX | SUM | AVG        (count(*) only for count)
//   order     := (column | position) [ASC | DESC]
//   insert    := INSERT INTO table ['(' column {',' column} ')'] VALUES '(' value {',' value} ')'
//   update    := UPDATE table SET column '=' value {',' column '=' value} [WHERE expr]
//   delete    := DELETE FROM table [WHERE expr]
//   table     := name ['.' extension] | "quoted name"
//   expr      := and {OR and};  and := not {AND not};  not := NOT not | predicate
//   predicate := '(' expr ')' | operand op operand | operand [NOT] LIKE operand [ESCAPE 'c']
//              | operand IS [NOT] NULL | operand [NOT] IN '(' value {',' value} ')'
//   operand   := column | value;   value := 'text' | [+|-] number | :param | NULL

namespace db::sql {

namespace {

const std::initializer_list<const char *> kReserved = {
    "select", "from", "where", "and", "or", "not", "like", "is", "null", "in", "order", "by",
    "asc", "desc", "distinct", "all", "as", "insert", "into", "values", "update", "set",
    "delete", "group", "having", "union", "join", "on", "between"};

bool isReserved(const QString &word)
{
    for (const char *r : kReserved)
        if (word.compare(QLatin1String(r), Qt::CaseInsensitive) == 0)
            return true;
    return false;
}

ast::Aggregate aggregateOf(const QString &word)
{
    using A = ast::Aggregate;
    static const std::pair<const char *, A> names[] = {
        {"count", A::Count}, {"min", A::Min}, {"max", A::Max}, {"sum", A::Sum}, {"avg", A::Avg}};
    for (const auto &[name, a] : names)
        if (word.compare(QLatin1String(name), Qt::CaseInsensitive) == 0)
            return a;
    return A::None;
}

class Parser
{
public:
    explicit Parser(const QString &text) : m_text(text), m_tokens(tokenize(text)) {}

    ast::Statement statement()
    {
        ast::Statement st;
        if (acceptWord("select"))
            selectBody(st);
        else if (acceptWord("insert"))
            insertBody(st);
        else if (acceptWord("update"))
            updateBody(st);
        else if (acceptWord("delete"))
            deleteBody(st);
        else
            fail(QString::fromUtf8("应为 select、insert、update 或 delete"));
        acceptSymbol(";");
        expectEnd();
        return st;
    }

    std::unique_ptr<ast::Expr> conditionOnly()
    {
        if (peek().kind == Token::End)
            return nullptr;
        auto e = orExpr();
        expectEnd();
        return e;
    }

private:
    const Token &peek(int ahead = 0) const
    {
        const int i = std::min(m_at + ahead, int(m_tokens.size()) - 1);
        return m_tokens[i];
    }
    const Token &take()
    {
        const Token &t = m_tokens[m_at];
        if (t.kind != Token::End)
            ++m_at;
        return t;
    }
    bool acceptWord(const char *w)
    {
        if (!peek().isWord(w))
            return false;
        take();
        return true;
    }
    void expectWord(const char *w)
    {
        if (!acceptWord(w))
            fail(QString::fromUtf8("应为 %1").arg(QLatin1String(w)));
    }
    bool acceptSymbol(const char *s)
    {
        if (!peek().isSymbol(s))
            return false;
        take();
        return true;
    }
    void expectSymbol(const char *s, const QString &what)
    {
        if (!acceptSymbol(s))
            fail(what);
    }
    void expectEnd()
    {
        if (peek().isSymbol(")"))
            fail(QString::fromUtf8("多余的右括号"));
        if (peek().kind != Token::End)
            fail(QString::fromUtf8("语句应在此结束"));
    }
    [[noreturn]] void fail(const QString &what) const { syntaxError(m_text, peek().pos, what); }

    bool atName(int ahead = 0) const
    {
        const Token &t = peek(ahead);
        return t.kind == Token::QuotedIdent || (t.kind == Token::Ident && !isReserved(t.text));
    }
    QString name(const QString &what)
    {
        if (!atName())
            fail(what);
        return take().text;
    }
    QString column() { return name(QString::fromUtf8("应为字段名")); }

    void table(ast::Statement &st)
    {
        const bool quoted = peek().kind == Token::QuotedIdent;
        st.table = name(QString::fromUtf8("应为表名"));
        if (!quoted && peek().isSymbol(".") && peek(1).kind == Token::Ident) {
            take();
            st.table += QLatin1Char('.') + take().text;
        }
    }

    // --- select -----------------------------------------------------------
    void selectBody(ast::Statement &st)
    {
        st.kind = ast::Statement::Select;
        if (acceptWord("distinct"))
            st.distinct = true;
        else
            acceptWord("all");
        if (acceptSymbol("*")) {
            st.star = true;
        } else {
            do
                st.items.push_back(selectItem());
            while (acceptSymbol(","));
        }
        expectWord("from");
        table(st);
        if (acceptWord("where"))
            st.where = orExpr();
        if (acceptWord("order")) {
            expectWord("by");
            do
                st.order.push_back(orderItem());
            while (acceptSymbol(","));
        }
    }

    ast::SelectItem selectItem()
    {
        ast::SelectItem item;
        item.pos = peek().pos;
        const ast::Aggregate agg = peek().kind == Token::Ident ? aggregateOf(peek().text) : ast::Aggregate::None;
        if (agg != ast::Aggregate::None && peek(1).isSymbol("(")) {
            take();
            take();
            item.aggregate = agg;
            if (agg == ast::Aggregate::Count && acceptSymbol("*"))
                item.countAll = true;
            else
                item.column = column();
            expectSymbol(")", QString::fromUtf8("应为右括号"));
        } else if (peek().isSymbol("*")) {
            fail(QString::fromUtf8("* 不能与其他列一起选择"));
        } else {
            item.column = column();
        }
        if (acceptWord("as"))
            item.alias = name(QString::fromUtf8("as 后应为列名"));
        else if (atName())
            item.alias = take().text;
        return item;
    }

    ast::OrderItem orderItem()
    {
        ast::OrderItem o;
        o.pos = peek().pos;
        if (peek().kind == Token::Number) {
            bool ok = false;
            o.position = peek().text.toInt(&ok);
            if (!ok || o.position < 1)
                fail(QString::fromUtf8("列号应为正整数"));
            take();
        } else {
            o.column = column();
        }
        if (acceptWord("desc"))
            o.descending = true;
        else
            acceptWord("asc");
        return o;
    }

    // --- insert, update, delete ------------------------------------------
    void insertBody(ast::Statement &st)
    {
        st.kind = ast::Statement::Insert;
        expectWord("into");
        table(st);
        if (acceptSymbol("(")) {
            do
                st.columns.append(column());
            while (acceptSymbol(","));
            expectSymbol(")", QString::fromUtf8("字段表应以右括号结束"));
        }
        expectWord("values");
        expectSymbol("(", QString::fromUtf8("values 后应为左括号"));
        do
            st.values.push_back(value());
        while (acceptSymbol(","));
        expectSymbol(")", QString::fromUtf8("值表应以右括号结束"));
    }

    void updateBody(ast::Statement &st)
    {
        st.kind = ast::Statement::Update;
        table(st);
        expectWord("set");
        do {
            st.columns.append(column());
            expectSymbol("=", QString::fromUtf8("字段名后应为 ="));
            st.values.push_back(value());
        } while (acceptSymbol(","));
        if (acceptWord("where"))
            st.where = orExpr();
    }

    void deleteBody(ast::Statement &st)
    {
        st.kind = ast::Statement::Delete;
        expectWord("from");
        table(st);
        if (acceptWord("where"))
            st.where = orExpr();
    }

    // --- expressions ------------------------------------------------------
    std::unique_ptr<ast::Expr> junction(ast::Expr::Kind kind, const char *word,
                                        std::unique_ptr<ast::Expr> (Parser::*part)())
    {
        const int pos = peek().pos;
        auto first = (this->*part)();
        if (!peek().isWord(word))
            return first;
        auto e = std::make_unique<ast::Expr>();
        e->kind = kind;
        e->pos = pos;
        e->parts.push_back(std::move(first));
        while (acceptWord(word))
            e->parts.push_back((this->*part)());
        return e;
    }
    std::unique_ptr<ast::Expr> orExpr() { return junction(ast::Expr::Or, "or", &Parser::andExpr); }
    std::unique_ptr<ast::Expr> andExpr() { return junction(ast::Expr::And, "and", &Parser::notExpr); }

    // Nesting ("(" and "not") is limited, so that no statement or filter can
    // run the recursive descent (or the evaluation after it) out of stack.
    struct Nesting
    {
        explicit Nesting(Parser &p) : parser(p)
        {
            if (++parser.m_depth > kMaxDepth)
                parser.fail(QString::fromUtf8("括号或 not 嵌套超过 %1 层").arg(kMaxDepth));
        }
        ~Nesting() { --parser.m_depth; }
        Parser &parser;
    };
    static constexpr int kMaxDepth = 200;

    std::unique_ptr<ast::Expr> notExpr()
    {
        if (!peek().isWord("not"))
            return predicate();
        Nesting nesting(*this);
        auto e = std::make_unique<ast::Expr>();
        e->kind = ast::Expr::Not;
        e->pos = take().pos;
        e->parts.push_back(notExpr());
        return e;
    }

    std::unique_ptr<ast::Expr> predicate()
    {
        if (peek().isSymbol("(")) {
            Nesting nesting(*this);
            const int open = take().pos;
            auto inner = orExpr();
            if (!acceptSymbol(")"))
                syntaxError(m_text, peek().kind == Token::End ? open : peek().pos,
                            peek().kind == Token::End ? QString::fromUtf8("左括号没有对应的右括号")
                                                      : QString::fromUtf8("应为右括号"));
            return inner;
        }
        auto e = std::make_unique<ast::Expr>();
        e->pos = peek().pos;
        e->left = operand();

        if (peek().isWord("not") && (peek(1).isWord("like") || peek(1).isWord("in"))) {
            take();
            e->negated = true;
        }
        if (acceptWord("like")) {
            e->kind = ast::Expr::Like;
            e->right = operand();
            if (acceptWord("escape")) {
                // One plain character, so that it can never be half of a
                // double-byte character.
                const Token &t = peek();
                const QChar c = t.text.size() == 1 ? t.text[0] : QChar();
                if (t.kind != Token::String || c.unicode() < 0x21 || c.unicode() > 0x7E || c == QLatin1Char('%')
                    || c == QLatin1Char('_'))
                    fail(QString::fromUtf8("escape 后应为一个引号中的字符（不能是 %、_ 或空格）"));
                take();
                e->escape = char(c.unicode());
            }
            return e;
        }
        if (acceptWord("in")) {
            e->kind = ast::Expr::In;
            expectSymbol("(", QString::fromUtf8("in 后应为左括号"));
            do
                e->list.push_back(value());
            while (acceptSymbol(","));
            expectSymbol(")", QString::fromUtf8("in 的值表应以右括号结束"));
            return e;
        }
        if (e->negated)
            fail(QString::fromUtf8("not 后应为 like 或 in"));
        if (acceptWord("is")) {
            e->kind = ast::Expr::IsNull;
            e->negated = acceptWord("not");
            expectWord("null");
            return e;
        }

        static const std::pair<const char *, ast::CompareOp> ops[] = {
            {"=", ast::CompareOp::Eq}, {"<>", ast::CompareOp::Ne}, {"<", ast::CompareOp::Lt},
            {">", ast::CompareOp::Gt}, {"<=", ast::CompareOp::Le}, {">=", ast::CompareOp::Ge}};
        for (const auto &[sym, op] : ops)
            if (acceptSymbol(sym)) {
                e->kind = ast::Expr::Compare;
                e->op = op;
                e->right = operand();
                return e;
            }
        fail(QString::fromUtf8("应为比较运算符（=、<>、<、>、<=、>=）、like、in 或 is"));
    }

    ast::Operand operand()
    {
        if (atName()) {
            ast::Operand o;
            o.kind = ast::Operand::Column;
            o.pos = peek().pos;
            o.text = take().text;
            return o;
        }
        return value();
    }

    ast::Operand value()
    {
        ast::Operand o;
        o.pos = peek().pos;
        const Token &t = peek();
        if (t.kind == Token::String) {
            o.kind = ast::Operand::Text;
            o.text = take().text;
        } else if (t.kind == Token::Number) {
            o.kind = ast::Operand::Number;
            o.text = take().text;
        } else if ((t.isSymbol("-") || t.isSymbol("+")) && peek(1).kind == Token::Number) {
            const QString sign = take().text;
            o.kind = ast::Operand::Number;
            o.text = (sign == QLatin1String("-") ? sign : QString()) + take().text;
        } else if (t.kind == Token::Param) {
            o.kind = ast::Operand::Param;
            o.text = take().text;
        } else if (t.isWord("null")) {
            take();
            o.kind = ast::Operand::Null;
        } else {
            fail(QString::fromUtf8("应为字段名、常量或参数"));
        }
        return o;
    }

    QString m_text;
    QVector<Token> m_tokens;
    int m_at = 0;
    int m_depth = 0;
};

} // namespace

ast::Statement parseStatement(const QString &text)
{
    return Parser(text).statement();
}

std::unique_ptr<ast::Expr> parseCondition(const QString &text)
{
    return Parser(text).conditionOnly();
}

} // namespace db::sql
