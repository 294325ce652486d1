#pragma once
// Keys and child rows of achievement records, on the data module alone (the
// new-record dialog and the main window's delete use them).
#include "SharedRoutines.h"

#include <QString>
#include <QVector>

namespace db {
class Dataset;
class DbfFile;
class Table;
class Transaction;
} // namespace db

// The region code of records made here.
extern const QString kLocalRegion;

// A four-digit year within 1900 to 2050.
bool IsAcceptedYear(const QString &text);
// The next key of a year: the year's largest key plus one, or the year
// followed by "000001".
QString NextRecordKey(const QString &year);
// The year's largest ten-digit key that kjcg or a child table holds, -1 when
// there is none: child rows whose record is gone hold their key as well, and
// a new record must not take them over.
qlonglong LargestKeyOfYear(const QString &year);
// A key of ten digits.
bool IsRecordKey(const QString &key);
// Empties the fields the category does not use ("1" applied technology,
// anything else soft science or basic theory); the record is being edited.
void ClearFieldsOfOtherCategory(db::Dataset *record, const QString &category);
// Moves every child row of the old key to the new key with region ".".
void MoveChildRows(const QString &oldKey, const QString &oldRegion, const QString &newKey);
void DeleteChildRows(const QString &key, const QString &region);
// The live records of a table with ITEM_4 and ITEM_DQDM (kjcg, a child or
// staging table) that hold key and region (trailing blanks aside),
// ascending, through the key index.
QVector<int> RecordsOfKey(const db::DbfFile &file, const QString &key, const QString &region);
// Tells the transaction that a record is about to change with its child
// rows (its kjcg row and its rows of the four child tables): all of them
// deleted, or given a new key (the record's row changing as a whole, its
// child rows in ITEM_4 and ITEM_DQDM).
enum class RecordChange { Deletion, NewKey };
void KeepRecordRows(db::Transaction &transaction, const QString &key, const QString &region, RecordChange change);
// Goes to the row with this key and region; to the first row when none.
bool LocateRecord(db::Dataset *dataset, const QString &key, const QString &region);

// Writes 1, 2, … into the sequence field of every row, in the rows' order.
// When a write fails, the rows written before it get their old numbers back
// and the error is passed on.
void RenumberRows(db::Dataset *rows, const QString &sequenceField);

// The trimmed text of a field.
QString trimmedField(db::Dataset *dataset, const char *name);
// "item_4='…' and item_dqdm='…'", quotes doubled.
QString keyFilter(const QString &key, const QString &region);
// Closes the table, sets and switches on the filter, opens it.
void openFiltered(db::Table *table, const QString &filter);
bool allDigits(const QString &text);
