#pragma once
#include <QString>

struct TableSchema;

// Makes sure the data folder holds every table the program expects. A
// missing table is created from its schema, and a delivered one is filled
// with its rows; the optional classification tables only in a new folder,
// since a user may have removed them on purpose. Existing files are kept as
// they are, but a delivered table or template that a power cut left cut
// short is written again (deliverTable, deliverTemplates); an operation a
// crash left half done is taken back from its journal and the engine's
// leftover temporary files are removed first. Throws db::DbError when a
// table cannot be made.
void prepareDataFolder(const QString &dataDir);

// Writes the delivered table of `s` where it is missing, or where what
// stands under its name is what a power cut left of its delivery (rows or
// their count never written). A table holding anything else is kept.
void deliverTable(const QString &dataDir, const TableSchema &s);

// Puts every Word template the program carries into the data folder where it
// is missing or was left cut short; one there is kept as it is otherwise, the
// user may have adapted it. A template that cannot be written is left out and
// missed when it is used.
void deliverTemplates(const QString &dataDir);

// Removes what an interrupted write of the engine left beside the tables (a
// packed copy not yet renamed, a table half filled): the engine's own
// temporary names only, nothing else.
void removeLeftoverFiles(const QString &dataDir);

// The delivered rows of a table ("zdxx", "gxjs" …) as UTF-8 lines of
// tab-separated values, the first line naming the columns.
QByteArray deliveredRows(const QString &name);
