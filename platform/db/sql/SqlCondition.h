#pragma once
// Binding of parsed conditions and values to the fields of one table, shared
// by Condition (filters) and the statements of SqlExec: the nodes it builds
// are those of SqlEvaluation.
#include "Sql.h"
#include "SqlAst.h"
#include "SqlEvaluation.h"

#include <optional>

namespace db::sql {

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

} // namespace db::sql
