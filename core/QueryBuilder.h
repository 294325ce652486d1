#pragma once
// The query builder's statement, without a window: comparisons of a record
// field with a value, joined by the user with and, or, not and parentheses
// into a condition, and run over the records of one category and year.
// Values always go in as quoted literals, so a value can never change the
// structure of the condition, and the condition can never reach past its own
// parentheses into the category and year.
#include <QString>
#include <QStringList>

namespace db {
class Dataset;
}

// The contains operator of the operator list; the others are SQL's own.
extern const QString kContainsOperator;

// " column like '%value%'" for the contains operator (%, _ and the escape
// character of value stand for themselves), otherwise " column op'value'".
QString QueryComparison(const QString &column, const QString &op, const QString &value);

// Why value cannot be compared by op with a field of this dBASE type ('N',
// 'F' number, 'D' date): a message naming fieldName. Empty when it can; an
// empty value stands for an empty field.
QString QueryValueProblem(const QString &fieldName, char type, const QString &op, const QString &value);

// The code of a classification text "code  name"; a bare code as it stands.
QString ClassificationCode(const QString &text);

// False when a ")" closes before its "(" opens; parentheses inside quoted
// values do not count. Unbalanced counts are the engine's to find.
bool QueryParenthesesInOrder(const QString &condition);

// The condition must be a whole expression by itself: throws the engine's
// syntax error otherwise.
void CheckQueryCondition(const QString &condition);

// The list statement narrowed by condition: the records of the category
// (index of the category list) and year as the plain list has them.
QStringList QueryStatement(const QString &condition, int categoryIndex, const QString &yearText);

// Goes to the row of the field list's item index in the query field table:
// rows without a name are not listed, so they are not counted. False when
// there is no such row.
bool LocateQueryField(db::Dataset *fields, int listIndex);
