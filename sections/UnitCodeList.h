#pragma once
// The unit profile's classification code lists: up to ten codes of one
// classification, shown one per edit as "code  name" and stored as
// "code ;code ;…".
#include <QString>
#include <QStringList>

namespace db {
class Table;
}

// One row of ten code edits and the column it is stored in.
struct UnitCodeRow
{
    const char *column;     // "item_124_2"
    const char *editPrefix; // "edt_124_2_": edits prefix + 1 … prefix + 10
    const char *panel;      // the panel holding the edits
    const char *label;      // what the window calls the row
    int firstSlot;          // picker slot of edit 1
    bool disciplines;       // xkfl (disciplines) rather than gxjs (high-tech fields)
};

// The four rows, in the order they are loaded and stored.
extern const UnitCodeRow kUnitCodeRows[4];
constexpr int kUnitCodeEdits = 10;

// The stored entry of one edit: its code (the trimmed text up to its first
// blank, or all of it when the name was left out), one blank and ";".
// Empty for an empty edit.
QString unitCodeEntry(const QString &editText);
// The stored list of a row of edits, in their order.
QString unitCodeList(const QStringList &editTexts);
// The codes of a stored list, in order; empty entries carry nothing and are
// left out.
QStringList unitCodes(const QString &stored);
// What an edit shows for a code: "code  name" from the classification table,
// or the code alone when the table does not hold it (or is missing), so the
// code is kept by the next save.
QString unitCodeText(db::Table *classification, const QString &code);
