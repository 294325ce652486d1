#pragma once
// The evaluation of bound conditions on a table's raw record bytes: one
// node kind per column type and operator, built by the binding
// (SqlCondition.cpp).
#include "Sql.h"

#include <QDate>
#include <charconv>
#include <cstring>
#include <optional>
#include <vector>

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

// A term that every row matching a condition satisfies and that the key
// index answers: the text of a field equal to a key, or starting with it
// (key in the file's bytes, trailing blanks removed).
struct KeyTerm
{
    int field = -1;
    QByteArray key;
    bool prefix = false;
};

// A where clause bound to a table: constants already converted to the
// column's type, so that evaluation works on the raw record bytes.
struct Condition::Node
{
    virtual ~Node() = default;
    virtual bool eval(const DbfFile &file, const char *record) const = 0;
    virtual bool keyTerm(KeyTerm &term, const DbfFile &file) const
    {
        Q_UNUSED(term);
        Q_UNUSED(file);
        return false;
    }
};

// The records that can match (ascending, deleted ones included): through the
// file's key index when the condition holds an equality or a prefix on a
// text column and the table is large enough for an index to pay; nothing
// otherwise (scan all).
std::optional<QVector<int>> candidateRecords(const Condition::Node *condition, const DbfFile &file);

// LIKE on GBK bytes: '%' any run, '_' one character (a double-byte character
// counts as one); a character after escape (when not 0) stands for itself.
bool likeMatch(const char *s, int sn, const char *p, int pn, char escape = 0);

namespace eval {

using Node = Condition::Node;
using NodePtr = std::unique_ptr<Node>;

enum class Op { Eq, Ne, Lt, Gt, Le, Ge };

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

inline Value textValue(const QByteArray &bytes)
{
    Value v;
    v.kind = Value::Text;
    v.text = bytes;
    return v;
}

// The digits of an N/F field; false for a blank (null) or unreadable field.
inline bool rawNumber(const char *p, int n, double &out)
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

inline bool fieldIsNull(const FieldInfo &f, const DbfFile &file, const char *rec)
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

inline bool compareGeneric(const Value &a, const Value &b, Op op)
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

} // namespace eval
} // namespace db::sql
