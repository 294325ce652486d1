#pragma once
// What the engine learnt about a table in an earlier run (how many of its
// rows are marked deleted), kept in the user's cache folder (one small file
// per data folder, never in the data folder itself) and valid only while the
// table file is exactly as it was then (same file, size and modification
// time). Start-up packs every table; knowing that a table has
// no deleted row spares reading all of it. A missing, stale or damaged entry
// only means the rows are counted again.
#include <QByteArray>
#include <QString>

namespace db::tablestate {

// The deleted-row count recorded for the table file at `path` with this
// stamp and record count, or -1.
int deletedRows(const QString &path, const QByteArray &stamp, int recordCount);
// Records it (written to disk at once; failures are ignored).
void remember(const QString &path, const QByteArray &stamp, int recordCount, int deleted);
// The file that holds the entries of a data folder; empty without a cache folder.
QString stateFile(const QString &dataDir);

} // namespace db::tablestate
