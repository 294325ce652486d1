// The binding of parsed conditions to one table: columns resolved, constants
// and parameters converted to the column's type, and the evaluation nodes
// chosen for each comparison.
#include "SqlCondition.h"

#include "SqlEvaluation.h"

#include "text/Gbk.h"
#include "db/file/DbError.h"
#include "SqlParser.h"

#include <cmath>
#include <cstring>
#include <optional>

namespace db::sql {

namespace {

using namespace eval;

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

bool Condition::isEmpty() const
{
    return !m_root;
}

} // namespace db::sql
