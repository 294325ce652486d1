#pragma once
// Every change the engine makes on disk passes through here: a new file, a
// write, a truncation, a sync, a rename, a removal, a sync of a folder. A
// test can see each one with what it wrote (and so rebuild what a power cut
// would leave), and inject failures at the fault points.
#include <QByteArray>
#include <QString>
#include <functional>

namespace db {

// A seam for crash tests: called before every write, sync, truncation and
// removal the engine makes on disk, with what it is about to do. A hook may
// throw (an injected failure) or end the process.
void setFaultHook(std::function<void(const char *what)> hook);
void faultPoint(const char *what);

namespace disk {

enum class Change { Create, Write, Truncate, Sync, Rename, Remove, SyncFolder };

struct Event
{
    Change change = Change::Write;
    QString path;      // absolute; the folder of a folder sync
    QString target;    // where a rename took the file
    qint64 offset = 0; // where a write began; the size a truncation left
    QByteArray bytes;  // what a write wrote
};

// Sees every change that was made, just after it was made.
void setRecorder(std::function<void(const Event &)> recorder);

// Each returns false (or -1) when the disk refuses, errno telling why.
// A new empty file open for writing; one of that name is removed first,
// unless `exclusive`, when it makes the call fail with EEXIST.
int create(const QString &path, bool exclusive = false);
bool write(int fd, const QString &path, qint64 pos, const char *data, qint64 size);
bool truncate(int fd, const QString &path, qint64 size);
// The file's data and size reach the disk.
bool sync(int fd, const QString &path);
// Never over a file of that name unless `replace` (EEXIST then).
bool rename(const QString &from, const QString &to, bool replace = true);
// True as well when there was nothing to remove.
bool remove(const QString &path);
// Names made, changed or removed in the folder reach the disk.
bool syncFolder(const QString &folder);

// A file written whole under `scratch` takes the name `target`: its bytes
// are synced before the rename and the folder after it, so that a power cut
// leaves under that name the old file or the whole new one. True once the
// rename is made (a folder that then refuses its sync is passed over, as
// the name is in place); a failure before removes the scratch file.
bool putInPlace(const QString &scratch, const QString &target);
// Writes a new file of these bytes beside `path` and puts it in place.
bool writeWhole(const QString &path, const QByteArray &bytes);

// Why a call failed, for a message: a full disk said so plainly.
QString failureReason(int error);
bool isDiskFull(int error);

} // namespace disk
} // namespace db
