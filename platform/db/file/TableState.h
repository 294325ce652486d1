#pragma once
// What the engine learnt about a table in an earlier run (how many of its
// rows are marked deleted, its key indexes), kept in the user's cache folder
// (never in the data folder itself) and valid only while the table file is
// exactly as it was then (same file, size, modification and change times).
// Start-up packs every table and lists the records of a year; knowing that a
// table has no deleted row, and the order of its keys, spares reading all of
// it. A missing, stale or damaged entry only means the rows are read again.
#include <QByteArray>
#include <QString>
#include <functional>

namespace db::tablestate {

// The deleted-row count recorded for the table file at `path` with this
// stamp and record count, or -1.
int deletedRows(const QString &path, const QByteArray &stamp, int recordCount);
// Records it (written to disk at once; failures are ignored).
void remember(const QString &path, const QByteArray &stamp, int recordCount, int deleted);
// The bytes of live memos measured for the table at `path` while its memo
// file was the file `memoFile` names (device and inode), or -1. Kept across
// changes of the table: memos saved since only add to the file.
qint64 liveMemoBytes(const QString &path, const QByteArray &memoFile);
void rememberLiveMemoBytes(const QString &path, const QByteArray &memoFile, qint64 bytes);
// The file that holds the entries of a data folder; empty without a cache folder.
QString stateFile(const QString &dataDir);

// The image of a key index (KeyIndex::image) recorded for the table file at
// `path` with this stamp, for the index named `index`; empty when there is
// none, or when the entry is damaged or for another state of the file. Each
// index has a file of its own beside the folder's entries, with a checksum.
QByteArray keyIndexImage(const QString &path, const QByteArray &stamp, const QByteArray &index);
void rememberKeyIndex(const QString &path, const QByteArray &stamp, const QByteArray &index, const QByteArray &image);

// Now, in nanoseconds since the epoch: a stamp counts as settled (safe to
// remember) only some time after the file's last change, since a change
// within the file system's time resolution would leave the stamp as it was.
// Replaceable, so that a test need not wait for the file system's clock.
qint64 wallClock();
std::function<qint64()> setWallClock(std::function<qint64()> clock);

} // namespace db::tablestate
