#pragma once
// Recursive-descent parser of the local SQL. Both functions throw
// SqlSyntaxError for a text that does not parse.
#include "SqlAst.h"

#include <QString>

namespace db::sql {

ast::Statement parseStatement(const QString &text);
// A where clause or filter text on its own; null for a blank text.
std::unique_ptr<ast::Expr> parseCondition(const QString &text);

} // namespace db::sql
