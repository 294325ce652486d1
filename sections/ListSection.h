#pragma once
// The list sections of a record (cooperating units, evaluation committee,
// completing persons): each lists the record's rows of one child table
// through a query of the data module, ordered by a sequence field that holds
// the rows' places 1..n. What differs between them is data, kept in one table.
#include "RecordRoutines.h"

#include <QString>
#include <QStringList>

class TDM;
namespace db {
class DataSource;
class Dataset;
class Query;
class Table;
} // namespace db

struct ListSectionDef
{
    QString section;         // the main window's section ("05")
    QString title;           // window title, dialog captions and the section button's caption
    QStringList lines;       // lists the record's rows (parameters item_4 and item_dqdm)
    QStringList rereadLines; // lists them again after a store or delete
    QString sequenceField;   // the rows' places 1..n
    db::Query *TDM::*query;
    db::DataSource *TDM::*source;
    QString leaveQuestion;    // asked when a row dialog is left with changes
    QString emptyListWarning; // leaving the list is refused with it while the list has no row
    bool lockOnClose;         // the main window's navigation lock is evaluated when the list closes
    // A list over a table whose filter chooses the rows (the unit's discipline
    // leaders, a record's patents) instead of a record's rows through the
    // query: it is never read again, and a store does not renumber it.
    db::Table *TDM::*table = nullptr;

    db::Query *rows() const; // null for a list over a table
    db::Dataset *list() const; // the table or the query
    db::DataSource *dataSource() const;
    // "新增－－【title】" and "修改－－【title】": the row dialog's mode is its caption.
    QString addCaption() const;
    QString modifyCaption() const;
};

// The list section of a main-window section ("05", "07", "08").
const ListSectionDef &listSection(const QString &section);

// Lists the rows of the record with this key in the section's query.
void OpenChildRows(const ListSectionDef &def, const QString &key, const QString &region);
// Lists the same record's rows again (the reread lines, the same key).
void RereadChildRows(const ListSectionDef &def);
// The key the section's list was opened with: {ITEM_4, ITEM_DQDM}.
QStringList ChildRowsKey(const ListSectionDef &def);

// Lists the record's rows again and numbers them 1..n in that order.
void RereadAndRenumber(const ListSectionDef &def);
// Numbers the list's rows 1..n: a record's rows are listed again first, a
// table's are numbered in its order.
void RenumberList(const ListSectionDef &def);

// The plain message box: the application's title as caption, no icon, OK.
void ShowMessage(const QString &text);
// A sequence number as typed: a whole number, blanks around it allowed.
bool IsSequenceNumber(const QString &text);
// The checks of a typed sequence number: an empty one (emptyWarning, or
// silently when it is empty), then one that is no whole number; each a
// message and the silent abort.
void CheckSequenceText(const QString &text, const QString &emptyWarning = {});
