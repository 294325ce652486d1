#pragma once
// The patents of an achievement record: rows of zlqk under the record's key
// (ITEM_4 with ITEM_DQDM), reached through DM->tblzlqk filtered to that key.
// Every routine here works on the rows the filter lets through, so rows of
// another record or region are never touched.
#include <QString>

namespace db {
class Dataset;
class Transaction;
} // namespace db

// Filters DM->tblzlqk to the record with this key and opens it.
void OpenPatentRows(const QString &key, const QString &region);
// The same for the record on the dataset's current row.
void OpenPatentRowsOf(db::Dataset *record);

// Status codes of PATENT_ST that the record counts.
struct PatentCounts
{
    int applied = 0; // "1"
    int granted = 0; // "2"
};
PatentCounts CountPatents();

// Numbers the listed rows 1..n in ITEM_NO, in the table's order, and goes
// to the first (a failed write leaves the old numbers).
void RenumberPatents();
// Declares to the transaction the deletion of the record's patents, so that
// the journal takes them in one flush rather than one per row.
void KeepPatentDeletionsOf(db::Transaction &transaction, db::Dataset *record);
// Deletes every patent of the record on the dataset's current row.
void DeletePatentRowsOf(db::Dataset *record);
