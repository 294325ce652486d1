#pragma once
#include <QString>

// Makes sure the data folder holds every table the program expects. A
// missing table is created from its schema, and a delivered one is filled
// with its rows; the optional classification tables only in a new folder,
// since a user may have removed them on purpose. Existing files are never
// touched, and so are the Word templates (deliverTemplates), but an
// operation a crash left half done is taken back from its journal and the
// engine's leftover temporary files are removed first. Throws db::DbError
// when a table cannot be made.
void prepareDataFolder(const QString &dataDir);

// Puts every Word template the program carries into the data folder where it
// is missing; one there is kept as it is, the user may have adapted it. A
// template that cannot be written is left out and missed when it is used.
void deliverTemplates(const QString &dataDir);

// Removes what an interrupted write of the engine left beside the tables (a
// packed copy not yet renamed, a table half filled): the engine's own
// temporary names only, nothing else.
void removeLeftoverFiles(const QString &dataDir);

// The delivered rows of a table ("zdxx", "gxjs" …) as UTF-8 lines of
// tab-separated values, the first line naming the columns.
QByteArray deliveredRows(const QString &name);
