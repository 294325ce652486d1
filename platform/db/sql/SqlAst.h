#pragma once
// Parsed statements of the local SQL, before they are bound to a table.
#include <QString>
#include <QStringList>
#include <memory>
#include <vector>

namespace db::sql::ast {

enum class CompareOp { Eq, Ne, Lt, Gt, Le, Ge };

// A column, a constant or a parameter.
struct Operand
{
    enum Kind { Column, Text, Number, Param, Null };

    Kind kind = Null;
    // Column: the name; Text: the string; Number: as written (sign included);
    // Param: the name without the colon.
    QString text;
    int pos = 0;
};

struct Expr
{
    enum Kind { And, Or, Not, Compare, Like, IsNull, In };

    Kind kind = Compare;
    CompareOp op = CompareOp::Eq;
    bool negated = false;                      // not like, is not null, not in
    std::vector<std::unique_ptr<Expr>> parts;  // And/Or: two or more; Not: one
    Operand left, right;                       // Compare, Like (right is the pattern), IsNull (left)
    char escape = 0;                           // Like: the character that makes the next one literal; 0 for none
    std::vector<Operand> list;                 // In
    int pos = 0;
};

enum class Aggregate { None, Count, Min, Max, Sum, Avg };

struct SelectItem
{
    Aggregate aggregate = Aggregate::None;
    bool countAll = false; // count(*)
    QString column;
    QString alias;
    int pos = 0;
};

struct OrderItem
{
    QString column;   // empty when given by position
    int position = 0; // 1-based position in the select list
    bool descending = false;
    int pos = 0;
};

struct Statement
{
    enum Kind { Select, Insert, Update, Delete };

    Kind kind = Select;
    QString table;

    // select
    bool distinct = false;
    bool star = false;
    std::vector<SelectItem> items;
    std::vector<OrderItem> order;

    // insert (no columns: every column in field order) and update (set)
    QStringList columns;
    std::vector<Operand> values;

    std::unique_ptr<Expr> where; // select, update, delete; null: every row
};

} // namespace db::sql::ast
