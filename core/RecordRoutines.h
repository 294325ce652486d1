#pragma once
// Keys and child rows of achievement records, on the data module alone (the
// new-record dialog and the main window's delete use them).
#include "SharedRoutines.h"

#include <QString>

namespace db {
class Dataset;
class Table;
} // namespace db

// The region code of records made here.
extern const QString kLocalRegion;

// A four-digit year within 1900 to 2050.
bool IsAcceptedYear(const QString &text);
// The next key of a year: the year's largest key plus one, or the year
// followed by "000001". A ten-character largest key that is no number is an
// error of the engine's kind.
QString NextRecordKey(const QString &year);
// Empties the fields the category does not use ("1" applied technology,
// anything else soft science or basic theory); the record is being edited.
void ClearFieldsOfOtherCategory(db::Dataset *record, const QString &category);
// Moves every child row of the old key to the new key with region ".".
void MoveChildRows(const QString &oldKey, const QString &oldRegion, const QString &newKey);
void DeleteChildRows(const QString &key, const QString &region);
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
