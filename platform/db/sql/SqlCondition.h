#pragma once
// Binding of parsed conditions and values to the fields of one table, shared
// by Condition (filters) and the statements of SqlExec.
#include "Sql.h"
#include "SqlAst.h"

#include <optional>

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

struct BindOptions
{
    // Table filters: a quoted value ending in '*' after = or <> matches every
    // text starting with what precedes the '*' (as the table filters of the
    // system expect). Not in SQL statements.
    bool filterWildcard = false;
};

// Null for no expression (every row matches).
std::unique_ptr<Condition::Node> bindCondition(const ast::Expr *expr, const DbfFile &file,
                                               const Params &params, BindOptions options = {});

// Field index of a column of file; DbError "表 X 中没有字段 Y" when absent.
int resolveField(const DbfFile &file, const QString &column);
QString fieldName(const DbfFile &file, int field);

// The value of a constant, parameter or null operand, converted to the type
// of the given field (DbError naming table and column when it does not
// convert, or when a parameter has no value).
Value fieldValue(const ast::Operand &op, const Params &params, const DbfFile &file, int field);

// LIKE on GBK bytes: '%' any run, '_' one character (a double-byte character
// counts as one); a character after escape (when not 0) stands for itself.
bool likeMatch(const char *s, int sn, const char *p, int pn, char escape = 0);

} // namespace db::sql
