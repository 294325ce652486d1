#pragma once
#include <QString>

// Makes sure the data folder holds every table the program expects. A
// missing table is created from its schema, and a delivered one is filled
// with its rows; the optional classification tables only in a new folder,
// since a user may have removed them on purpose. Existing files are never
// touched, but the engine's leftover temporary files are removed first.
// Throws db::DbError when a table cannot be made.
void prepareDataFolder(const QString &dataDir);

// Removes what an interrupted write of the engine left beside the tables (a
// packed copy not yet renamed, a table half filled): the engine's own
// temporary names only, nothing else.
void removeLeftoverFiles(const QString &dataDir);

// The delivered rows of a table ("zdxx", "gxjs" …) as UTF-8 lines of
// tab-separated values, the first line naming the columns.
QByteArray deliveredRows(const QString &name);
