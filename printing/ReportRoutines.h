#pragma once
// Routines that put a record's coded values on a report: option texts, the
// check mark "√" beside a printed option, and names looked up by code.
//
// A check label stands for one option of a choice field: its name is three
// characters ("QL_"), the field's name in upper case, one separator and the
// option code as stored (QL_ITEM_2_3, QL_ITEM_124_1_01, QL_ITEM_123_A).
#include <QString>

namespace db {
class Field;
class Table;
} // namespace db
namespace report {
class Report;
}

// The label's caption becomes the option name of value among the dictionary
// rows of fieldCode (the last matching row wins; empty when none matches).
// The dictionary's filter stays set.
void SetCodeLabel(db::Table *dict, const QString &fieldCode, const QString &value, report::Report &report,
                  const QString &label);

// Empties every label whose name holds "ITEM" after its third character:
// the check labels and the computed labels of upper-case field names.
void ClearCheckLabels(report::Report &report);

// Marks the check labels of field and code; an empty code marks nothing.
void MarkCheckLabel(report::Report &report, const QString &field, const QString &code);

// Marks the one or two codes a choice value holds ("3", "3;", "02;09;"); a
// third code is ignored.
void MarkCheckField(report::Report &report, const db::Field *field);

// The nameField text of the first row whose keyField equals value, or empty.
// The table is filtered to that row and left so.
QString LookupName(db::Table *table, const QString &keyField, const QString &nameField, const QString &value);
