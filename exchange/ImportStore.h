#pragma once
// Storing the staged records (KJCGtemp and its four staged child tables)
// into kjcg and its child tables: under new keys, or over the stored record
// of the same title. One record is stored whole or not at all, and leaves
// staging in the same step, so a store repeated after an error never
// stores a record twice (its staged child rows stay until the store ends,
// but only records lead to child rows).
#include <QString>
#include <functional>

// The staged child rows of a staged record.
void DeleteTempChildRows(const QString &key, const QString &region);
// Every row of the four staged child tables.
void EmptyTempChildTables();

struct StoreTally
{
    int added = 0;
    int overwritten = 0;
    int untitled = 0; // staged records without a title, left staged
};

// Stores every staged record that has a title, in staging order, with its
// staged child rows, each row with ITEM_DQDM "." and the new ITEM_4: the
// year's largest key plus one, or the staged key when the year has none.
// Its persons update the local person list. With overwrite, a stored
// record of the same title (the first found) is deleted with its child
// rows once the new one is stored. progress runs after each record. An
// error ends the store: the record being stored is taken back whole and
// stays staged, the records stored before stay stored.
StoreTally StoreStagedRecords(bool overwrite, const std::function<void()> &progress = {});
