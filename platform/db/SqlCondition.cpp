#include "SqlCondition.h"

#include "../text/Gbk.h"
#include "DbError.h"
#include "SqlParser.h"

#include <charconv>
#include <cmath>
#include <cstring>
#include <optional>

// Evaluation works on the raw record bytes. Constants are converted to the
// column's type when the condition is bound, so that a scan compares bytes:
//   C   = / <> : the literal's bytes against the field, the rest of the field
//                blank (no decoding, no allocation); < > <= >= : byte order
//                with trailing blanks ignored (db::compareText).
//   N F         : the field's digits parsed in place, compared as numbers.
//   D           : yyyyMMdd bytes against the literal's yyyyMMdd.
//   L           : T/Y or F/N.
//   M           : the memo text, read and compared as text.
// Nulls: a blank C (or memo) field is the empty text, so item_x = '' and
// item_x is null both hold for it, item_x = 'a' fails and item_x <> 'a'
// holds. A blank N/F/D/L field is null: every comparison with it fails but
// <>, which holds. A null constant (NULL or a parameter without value) is
// the empty text against a C field; against other fields "= null" holds for a
// null field and "<> null" for a non-null one (so that OLD_ parameters of
// blank fields find their record). Logic is two-valued: not (n > 5) holds for
// a null n.

namespace db::sql {

namespace {

using Node = Condition::Node;
using NodePtr = std::unique_ptr<Node>;

enum class Op { Eq, Ne, Lt, Gt, Le, Ge };

Op toOp(ast::CompareOp op)
{
    switch (op) {
    case ast::CompareOp::Eq: return Op::Eq;
    case ast::CompareOp::Ne: return Op::Ne;
    case ast::CompareOp::Lt: return Op::Lt;
    case ast::CompareOp::Gt: return Op::Gt;
    case ast::CompareOp::Le: return Op::Le;
    case ast::CompareOp::Ge: return Op::Ge;
    }
    return Op::Eq;
}

// "a < b" is "b > a".
Op mirrored(Op op)
{
    switch (op) {
    case Op::Lt: return Op::Gt;
    case Op::Gt: return Op::Lt;
    case Op::Le: return Op::Ge;
    case Op::Ge: return Op::Le;
    default: return op;
    }
}

inline bool holds(Op op, int c)
{
    switch (op) {
    case Op::Eq: return c == 0;
    case Op::Ne: return c != 0;
    case Op::Lt: return c < 0;
    case Op::Gt: return c > 0;
    case Op::Le: return c <= 0;
    case Op::Ge: return c >= 0;
    }
    return false;
}

inline bool isPad(char c)
{
    return c == ' ' || c == '\0';
}

inline int trimmedLength(const char *p, int n)
{
    while (n > 0 && isPad(p[n - 1]))
        --n;
    return n;
}

inline QByteArray trimmedRight(QByteArray b)
{
    b.truncate(trimmedLength(b.constData(), int(b.size())));
    return b;
}

inline int compareBytes(const char *a, int an, const char *b, int bn)
{
    const int c = std::memcmp(a, b, size_t(std::min(an, bn)));
    if (c != 0)
        return c < 0 ? -1 : 1;
    return an == bn ? 0 : (an < bn ? -1 : 1);
}

inline int sign(double a, double b)
{
    return a < b ? -1 : (a > b ? 1 : 0);
}

Value textValue(const QByteArray &bytes)
{
    Value v;
    v.kind = Value::Text;
    v.text = bytes;
    return v;
}

// The digits of an N/F field; false for a blank (null) or unreadable field.
bool rawNumber(const char *p, int n, double &out)
{
    int b = 0;
    while (b < n && isPad(p[b]))
        ++b;
    const int e = b + trimmedLength(p + b, n - b);
    if (b == e)
        return false;
    const char *s = p + b + (p[b] == '+' ? 1 : 0);
    const auto r = std::from_chars(s, p + e, out);
    if (r.ec == std::errc() && r.ptr == p + e)
        return true;
    bool ok = false;
    out = QByteArray(p + b, e - b).toDouble(&ok);
    return ok;
}

// --- LIKE -------------------------------------------------------------------

inline int charLength(const char *s, int i, int n)
{
    return (uchar(s[i]) >= 0x81 && uchar(s[i]) <= 0xFE && i + 1 < n) ? 2 : 1;
}

// A compiled pattern: most patterns are a plain text or a prefix. With an
// escape character the character after it is literal, even % or _.
struct Pattern
{
    enum Kind { Exact, Prefix, General };
    Kind kind = Exact;
    QByteArray bytes; // Exact, Prefix: the literal text, escapes resolved
    char escape = 0;  // General only

    Pattern() = default;
    explicit Pattern(const QByteArray &pattern, char escapeChar = 0)
    {
        const QByteArray p = trimmedRight(pattern);
        const char *d = p.constData();
        const int n = int(p.size());
        QByteArray literal;
        int wild = -1;
        for (int i = 0; i < n;) {
            if (escapeChar && d[i] == escapeChar && i + 1 < n)
                ++i;
            else if (d[i] == '%' || d[i] == '_') {
                wild = i;
                break;
            }
            const int l = charLength(d, i, n);
            literal.append(d + i, l);
            i += l;
        }
        if (wild < 0) {
            kind = Exact;
            bytes = literal;
            return;
        }
        bool onlyPercent = true;
        for (int i = wild; i < n; ++i)
            onlyPercent = onlyPercent && d[i] == '%';
        kind = onlyPercent ? Prefix : General;
        bytes = onlyPercent ? literal : p;
        escape = escapeChar;
    }
    static Pattern prefix(const QByteArray &start)
    {
        Pattern p;
        p.kind = Prefix;
        p.bytes = start;
        return p;
    }

    bool matches(const char *s, int n) const
    {
        const int k = int(bytes.size());
        switch (kind) {
        case Exact:
            return n == k && std::memcmp(s, bytes.constData(), size_t(k)) == 0;
        case Prefix:
            return n >= k && std::memcmp(s, bytes.constData(), size_t(k)) == 0;
        case General:
            return likeMatch(s, n, bytes.constData(), k, escape);
        }
        return false;
    }
};

// --- nodes ------------------------------------------------------------------

// A code of a few letters holds too many rows for an index to pay.
constexpr int kKeyFieldFrom = 4;

struct FieldInfo
{
    int index = -1;
    char type = 'C';
    int offset = 0;
    int length = 0;
};

bool fieldIsNull(const FieldInfo &f, const DbfFile &file, const char *rec)
{
    if (f.type == 'M')
        return file.isNullField(rec, f.index);
    const char *p = rec + f.offset;
    if (f.type == 'L')
        return isPad(p[0]) || p[0] == '?';
    return trimmedLength(p, f.length) == 0;
}

// One side of a comparison evaluated per record (the general path).
struct Operand
{
    bool isField = false;
    FieldInfo field;
    Value constant;

    Value value(const DbfFile &file, const char *rec) const
    {
        if (!isField)
            return constant;
        if (field.type == 'C') {
            const char *p = rec + field.offset;
            return textValue(QByteArray(p, trimmedLength(p, field.length)));
        }
        Value v = file.decode(rec, field.index);
        if (field.type == 'M' && v.isNull())
            return textValue({});
        return v;
    }
    QByteArray text(const DbfFile &file, const char *rec) const
    {
        const Value v = value(file, rec);
        return v.isNull() ? QByteArray() : v.toBytes();
    }
};

bool compareGeneric(const Value &a, const Value &b, Op op)
{
    if (a.isNull() || b.isNull()) {
        const bool both = a.isNull() && b.isNull();
        return op == Op::Eq ? both : (op == Op::Ne ? !both : false);
    }
    return holds(op, compareValues(a, b));
}

struct ConstNode final : Node
{
    explicit ConstNode(bool v) : value(v) {}
    bool eval(const DbfFile &, const char *) const override { return value; }
    bool value;
};

struct AndNode final : Node
{
    std::vector<NodePtr> parts;
    bool eval(const DbfFile &file, const char *rec) const override
    {
        for (const NodePtr &p : parts)
            if (!p->eval(file, rec))
                return false;
        return true;
    }
    bool keyTerm(KeyTerm &term, const DbfFile &file) const override
    {
        // An equality before a prefix, and the widest key column: the
        // likeliest to tell rows apart.
        bool found = false;
        for (const NodePtr &p : parts) {
            KeyTerm t;
            if (!p->keyTerm(t, file))
                continue;
            const bool better = !found || (term.prefix && !t.prefix)
                                || (term.prefix == t.prefix && file.fields()[t.field].length > file.fields()[term.field].length);
            if (better)
                term = t;
            found = true;
        }
        return found;
    }
};

struct OrNode final : Node
{
    std::vector<NodePtr> parts;
    bool eval(const DbfFile &file, const char *rec) const override
    {
        for (const NodePtr &p : parts)
            if (p->eval(file, rec))
                return true;
        return false;
    }
};

struct NotNode final : Node
{
    explicit NotNode(NodePtr p) : part(std::move(p)) {}
    bool eval(const DbfFile &file, const char *rec) const override { return !part->eval(file, rec); }
    NodePtr part;
};

// C field = / <> text: the literal's bytes, then blanks to the field's end.
struct TextEqualNode final : Node
{
    int field, offset, length;
    QByteArray literal; // trailing blanks removed; never longer than the field
    bool negate;
    TextEqualNode(const FieldInfo &f, QByteArray lit, bool neg)
        : field(f.index), offset(f.offset), length(f.length), literal(std::move(lit)), negate(neg) {}
    bool keyTerm(KeyTerm &term, const DbfFile &) const override
    {
        if (negate || length < kKeyFieldFrom)
            return false;
        term = {field, literal, false};
        return true;
    }
    bool eval(const DbfFile &, const char *rec) const override
    {
        const char *p = rec + offset;
        const int k = int(literal.size());
        bool equal = std::memcmp(p, literal.constData(), size_t(k)) == 0;
        for (int i = k; equal && i < length; ++i)
            equal = isPad(p[i]);
        return equal != negate;
    }
};

struct TextOrderNode final : Node
{
    int offset, length;
    QByteArray literal;
    Op op;
    TextOrderNode(const FieldInfo &f, QByteArray lit, Op o)
        : offset(f.offset), length(f.length), literal(std::move(lit)), op(o) {}
    bool eval(const DbfFile &, const char *rec) const override
    {
        const char *p = rec + offset;
        return holds(op, compareBytes(p, trimmedLength(p, length), literal.constData(), int(literal.size())));
    }
};

struct NumberNode final : Node
{
    int offset, length;
    double literal;
    Op op;
    NumberNode(const FieldInfo &f, double v, Op o) : offset(f.offset), length(f.length), literal(v), op(o) {}
    bool eval(const DbfFile &, const char *rec) const override
    {
        double x;
        if (!rawNumber(rec + offset, length, x))
            return op == Op::Ne;
        return holds(op, sign(x, literal));
    }
};

struct DateNode final : Node
{
    int offset;
    char literal[8];
    Op op;
    DateNode(const FieldInfo &f, const QDate &d, Op o) : offset(f.offset), op(o)
    {
        std::memcpy(literal, d.toString(QStringLiteral("yyyyMMdd")).toLatin1().constData(), 8);
    }
    bool eval(const DbfFile &, const char *rec) const override
    {
        const char *p = rec + offset;
        if (trimmedLength(p, 8) == 0)
            return op == Op::Ne;
        const int c = std::memcmp(p, literal, 8);
        return holds(op, c < 0 ? -1 : (c > 0 ? 1 : 0));
    }
};

struct BoolNode final : Node
{
    int offset;
    bool literal;
    Op op;
    BoolNode(const FieldInfo &f, bool v, Op o) : offset(f.offset), literal(v), op(o) {}
    bool eval(const DbfFile &, const char *rec) const override
    {
        const char c = rec[offset];
        int x;
        if (c == 'T' || c == 't' || c == 'Y' || c == 'y')
            x = 1;
        else if (c == 'F' || c == 'f' || c == 'N' || c == 'n')
            x = 0;
        else
            return op == Op::Ne;
        return holds(op, x - int(literal));
    }
};

struct IsNullNode final : Node
{
    FieldInfo field;
    bool negate;
    IsNullNode(const FieldInfo &f, bool neg) : field(f), negate(neg) {}
    bool eval(const DbfFile &file, const char *rec) const override
    {
        return fieldIsNull(field, file, rec) != negate;
    }
};

struct LikeNode final : Node
{
    Operand subject;
    Pattern pattern;
    std::optional<Operand> patternOperand; // a pattern read from a column
    char escape = 0;
    bool negate = false;
    bool keyTerm(KeyTerm &term, const DbfFile &) const override
    {
        if (negate || patternOperand || !subject.isField || subject.field.type != 'C'
            || subject.field.length < kKeyFieldFrom || pattern.kind == Pattern::General || pattern.bytes.isEmpty())
            return false;
        term = {subject.field.index, pattern.bytes, pattern.kind == Pattern::Prefix};
        return true;
    }
    bool eval(const DbfFile &file, const char *rec) const override
    {
        QByteArray buffer;
        const char *s;
        int n;
        if (subject.isField && subject.field.type == 'C') {
            s = rec + subject.field.offset;
            n = trimmedLength(s, subject.field.length);
        } else {
            buffer = subject.text(file, rec);
            s = buffer.constData();
            n = trimmedLength(s, int(buffer.size()));
        }
        if (patternOperand)
            return Pattern(patternOperand->text(file, rec), escape).matches(s, n) != negate;
        return pattern.matches(s, n) != negate;
    }
};

struct GenericNode final : Node
{
    Operand left, right;
    Op op = Op::Eq;
    bool eval(const DbfFile &file, const char *rec) const override
    {
        return compareGeneric(left.value(file, rec), right.value(file, rec), op);
    }
};

// --- values -----------------------------------------------------------------

DbError conversionError(const DbfFile &file, int field, const char *kindName, const Value &v)
{
    return DbError(QString::fromUtf8("表 %1 字段 %2 是%3字段，“%4”不能作为%3")
                       .arg(file.tableName(), fieldName(file, field), QString::fromUtf8(kindName), v.toString()));
}

// A value converted to the type of a field. asWritten: a number literal as
// written, which a text column compares as text ("05" stays "05").
Value coerce(const Value &v, const QString &asWritten, const DbfFile &file, int field)
{
    if (v.isNull())
        return v;
    const char type = file.fields()[field].type;
    switch (type) {
    case 'C':
    case 'M':
        if (v.kind == Value::Text)
            return v;
        if (v.kind == Value::Number && !asWritten.isEmpty())
            return textValue(asWritten.toLatin1());
        return textValue(v.toBytes());
    case 'N':
    case 'F': {
        if (v.kind == Value::Number)
            return v;
        if (v.kind != Value::Text)
            throw conversionError(file, field, "数值", v);
        const QByteArray t = v.text.trimmed();
        if (t.isEmpty())
            return {};
        bool ok = false;
        const double d = t.toDouble(&ok);
        if (!ok || !std::isfinite(d))
            throw conversionError(file, field, "数值", v);
        return Value::fromNumber(d);
    }
    case 'D': {
        if (v.kind == Value::Date)
            return v;
        QString s;
        if (v.kind == Value::Text)
            s = gbk::decode(v.text).trimmed();
        else if (v.kind == Value::Number)
            s = asWritten.isEmpty() ? v.toString() : asWritten;
        else
            throw conversionError(file, field, "日期", v);
        if (s.isEmpty())
            return {};
        const QDate d = parseDate(s);
        if (!d.isValid())
            throw conversionError(file, field, "日期", v);
        return Value::fromDate(d);
    }
    case 'L': {
        if (v.kind == Value::Bool)
            return v;
        const QString s = v.toString().trimmed().toUpper();
        if (s.isEmpty())
            return {};
        static const QStringList yes = {"T", "Y", ".T.", "TRUE", "1"};
        static const QStringList no = {"F", "N", ".F.", "FALSE", "0"};
        if (yes.contains(s))
            return Value::fromBool(true);
        if (no.contains(s))
            return Value::fromBool(false);
        throw conversionError(file, field, "逻辑", v);
    }
    }
    return v;
}

Value parameter(const ast::Operand &op, const Params &params, const QString &context)
{
    if (!params.has(op.text))
        throw DbError(QString::fromUtf8("%1的参数 :%2 没有赋值").arg(context, op.text));
    return params.get(op.text);
}

// A constant operand as it stands (not converted to any column's type).
Value constantValue(const ast::Operand &op, const Params &params, const DbfFile &file)
{
    switch (op.kind) {
    case ast::Operand::Text:
        return Value::fromString(op.text);
    case ast::Operand::Number:
        return Value::fromNumber(op.text.toDouble());
    case ast::Operand::Param:
        return parameter(op, params, QString::fromUtf8("表 %1 ").arg(file.tableName()));
    default:
        return {};
    }
}

// The bytes a constant stands for as text (LIKE patterns).
QByteArray constantText(const ast::Operand &op, const Value &v)
{
    if (op.kind == ast::Operand::Number)
        return op.text.toLatin1();
    return v.isNull() ? QByteArray() : v.toBytes();
}

// --- binding ----------------------------------------------------------------

class Binder
{
public:
    Binder(const DbfFile &file, const Params &params, BindOptions options)
        : m_file(file), m_params(params), m_options(options) {}

    NodePtr bind(const ast::Expr &e)
    {
        switch (e.kind) {
        case ast::Expr::And:
        case ast::Expr::Or: {
            std::vector<NodePtr> parts;
            for (const auto &p : e.parts)
                parts.push_back(bind(*p));
            if (e.kind == ast::Expr::And) {
                auto n = std::make_unique<AndNode>();
                n->parts = std::move(parts);
                return n;
            }
            auto n = std::make_unique<OrNode>();
            n->parts = std::move(parts);
            return n;
        }
        case ast::Expr::Not:
            return std::make_unique<NotNode>(bind(*e.parts.front()));
        case ast::Expr::Compare:
            return compare(e.left, toOp(e.op), e.right);
        case ast::Expr::Like:
            return like(e);
        case ast::Expr::IsNull:
            if (e.left.kind != ast::Operand::Column)
                return std::make_unique<ConstNode>(constantValue(e.left, m_params, m_file).isNull() != e.negated);
            return std::make_unique<IsNullNode>(field(e.left.text), e.negated);
        case ast::Expr::In: {
            auto any = std::make_unique<OrNode>();
            for (const ast::Operand &v : e.list)
                any->parts.push_back(compare(e.left, Op::Eq, v));
            if (e.negated)
                return std::make_unique<NotNode>(std::move(any));
            return any;
        }
        }
        return std::make_unique<ConstNode>(true);
    }

private:
    FieldInfo field(const QString &name) const
    {
        FieldInfo f;
        f.index = resolveField(m_file, name);
        const FieldDef &d = m_file.fields()[f.index];
        f.type = d.type;
        f.offset = d.offset;
        f.length = d.length;
        return f;
    }

    Operand fieldOperand(const QString &name) const
    {
        Operand o;
        o.isField = true;
        o.field = field(name);
        return o;
    }

    NodePtr compare(const ast::Operand &l, Op op, const ast::Operand &r)
    {
        const ast::Operand *left = &l;
        const ast::Operand *right = &r;
        if (left->kind != ast::Operand::Column && right->kind == ast::Operand::Column) {
            std::swap(left, right);
            op = mirrored(op);
        }
        if (left->kind != ast::Operand::Column)
            return std::make_unique<ConstNode>(compareGeneric(constantValue(*left, m_params, m_file),
                                                              constantValue(*right, m_params, m_file), op));
        if (right->kind == ast::Operand::Column) {
            auto n = std::make_unique<GenericNode>();
            n->left = fieldOperand(left->text);
            n->right = fieldOperand(right->text);
            n->op = op;
            return n;
        }
        const FieldInfo f = field(left->text);
        if (m_options.filterWildcard && (op == Op::Eq || op == Op::Ne) && right->kind == ast::Operand::Text
            && right->text.endsWith(QLatin1Char('*')) && (f.type == 'C' || f.type == 'M')) {
            auto n = std::make_unique<LikeNode>();
            n->subject.isField = true;
            n->subject.field = f;
            n->pattern = Pattern::prefix(trimmedRight(m_file.fileText(gbk::encode(right->text.chopped(1)))));
            n->negate = op == Op::Ne;
            return n;
        }
        return fieldAgainst(f, op, fieldValue(*right, m_params, m_file, f.index));
    }

    // The field against a constant already converted to its type.
    NodePtr fieldAgainst(const FieldInfo &f, Op op, const Value &v)
    {
        if (v.isNull() && f.type != 'C' && f.type != 'M') {
            if (op == Op::Eq || op == Op::Ne)
                return std::make_unique<IsNullNode>(f, op == Op::Ne);
            return std::make_unique<ConstNode>(false);
        }
        switch (f.type) {
        case 'C': {
            QByteArray lit = v.isNull() ? QByteArray() : trimmedRight(m_file.fileText(v.text));
            if (op == Op::Eq || op == Op::Ne) {
                if (lit.size() > f.length)
                    return std::make_unique<ConstNode>(op == Op::Ne);
                return std::make_unique<TextEqualNode>(f, std::move(lit), op == Op::Ne);
            }
            return std::make_unique<TextOrderNode>(f, std::move(lit), op);
        }
        case 'N':
        case 'F':
            return std::make_unique<NumberNode>(f, v.number, op);
        case 'D':
            return std::make_unique<DateNode>(f, v.date, op);
        case 'L':
            return std::make_unique<BoolNode>(f, v.flag, op);
        default: {
            auto n = std::make_unique<GenericNode>();
            n->left.isField = true;
            n->left.field = f;
            n->right.constant = v.isNull() ? textValue({}) : v;
            n->op = op;
            return n;
        }
        }
    }

    NodePtr like(const ast::Expr &e)
    {
        auto n = std::make_unique<LikeNode>();
        n->negate = e.negated;
        n->escape = e.escape;
        if (e.right.kind == ast::Operand::Column) {
            n->patternOperand = fieldOperand(e.right.text);
        } else {
            const Value p = constantValue(e.right, m_params, m_file);
            if (p.isNull())
                return std::make_unique<ConstNode>(false);
            n->pattern = Pattern(m_file.fileText(constantText(e.right, p)), e.escape);
        }
        if (e.left.kind == ast::Operand::Column) {
            n->subject = fieldOperand(e.left.text);
        } else {
            n->subject.constant = constantValue(e.left, m_params, m_file);
            if (e.left.kind == ast::Operand::Number)
                n->subject.constant = textValue(e.left.text.toLatin1());
        }
        if (!n->subject.isField && !n->patternOperand)
            return std::make_unique<ConstNode>(n->eval(m_file, nullptr));
        return n;
    }

    const DbfFile &m_file;
    const Params &m_params;
    BindOptions m_options;
};

} // namespace

bool likeMatch(const char *s, int sn, const char *p, int pn, char escape)
{
    int si = 0, pi = 0;
    int starP = -1, starS = 0; // after the last '%': pattern position, subject position
    while (si < sn) {
        if (pi < pn && p[pi] == '%') {
            starP = ++pi;
            starS = si;
            continue;
        }
        if (pi < pn) {
            const bool escaped = escape && p[pi] == escape && pi + 1 < pn;
            const int at = escaped ? pi + 1 : pi; // the character to match
            const int pl = charLength(p, at, pn);
            const int sl = charLength(s, si, sn);
            if (!escaped && pl == 1 && p[at] == '_') {
                ++pi;
                si += sl;
                continue;
            }
            if (pl == sl && std::memcmp(p + at, s + si, size_t(pl)) == 0) {
                pi = at + pl;
                si += sl;
                continue;
            }
        }
        if (starP < 0)
            return false;
        // Let the last '%' take one more character and try again.
        starS += charLength(s, starS, sn);
        si = starS;
        pi = starP;
    }
    while (pi < pn && p[pi] == '%')
        ++pi;
    return pi == pn;
}

QString fieldName(const DbfFile &file, int field)
{
    return QString::fromLatin1(file.fields()[field].name);
}

int resolveField(const DbfFile &file, const QString &column)
{
    const int i = file.fieldIndex(column);
    if (i < 0)
        throw DbError(QString::fromUtf8("表 %1 中没有字段 %2").arg(file.tableName(), column.toUpper()));
    return i;
}

Value fieldValue(const ast::Operand &op, const Params &params, const DbfFile &file, int field)
{
    Value v;
    switch (op.kind) {
    case ast::Operand::Text:
        v = Value::fromString(op.text);
        break;
    case ast::Operand::Number:
        v = Value::fromNumber(op.text.toDouble());
        break;
    case ast::Operand::Param:
        v = parameter(op, params, QString::fromUtf8("表 %1 字段 %2 ").arg(file.tableName(), fieldName(file, field)));
        break;
    case ast::Operand::Null:
        break;
    case ast::Operand::Column:
        throw DbError(QString::fromUtf8("表 %1 字段 %2 的值不能是字段 %3")
                          .arg(file.tableName(), fieldName(file, field), op.text.toUpper()));
    }
    return coerce(v, op.kind == ast::Operand::Number ? op.text : QString(), file, field);
}

std::unique_ptr<Condition::Node> bindCondition(const ast::Expr *expr, const DbfFile &file, const Params &params,
                                               BindOptions options)
{
    if (!expr)
        return nullptr;
    return Binder(file, params, options).bind(*expr);
}

// --- Condition --------------------------------------------------------------

Condition::Condition() = default;
Condition::~Condition() = default;
Condition::Condition(Condition &&) noexcept = default;
Condition &Condition::operator=(Condition &&) noexcept = default;

Condition Condition::compile(const QString &text, const DbfFile &file, const Params &params)
{
    Condition c;
    const auto expr = parseCondition(text);
    BindOptions options;
    options.filterWildcard = true;
    c.m_root = bindCondition(expr.get(), file, params, options);
    return c;
}

std::optional<QVector<int>> candidateRecords(const Condition::Node *condition, const DbfFile &file)
{
    constexpr int kIndexFrom = 64; // below this a scan costs less than an index
    KeyTerm term;
    if (!condition || file.recordCount() < kIndexFrom || !condition->keyTerm(term, file))
        return std::nullopt;
    return term.prefix ? file.prefixRecords(term.field, term.key) : file.keyRecords(term.field, term.key);
}

bool Condition::matches(const DbfFile &file, const char *record) const
{
    return !m_root || m_root->eval(file, record);
}

std::optional<QVector<int>> Condition::candidates(const DbfFile &file) const
{
    return candidateRecords(m_root.get(), file);
}

bool Condition::isEmpty() const
{
    return !m_root;
}

} // namespace db::sql
