// The engine's changes on disk, made here and shown to whoever records them.
#include "Disk.h"

#include "DbError.h"
#include "FileIo.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <fcntl.h>
#include <unistd.h>

namespace db {

namespace {

std::function<void(const char *)> &faultHook()
{
    static std::function<void(const char *)> hook;
    return hook;
}

} // namespace

void setFaultHook(std::function<void(const char *)> hook)
{
    faultHook() = std::move(hook);
}

void faultPoint(const char *what)
{
    if (faultHook())
        faultHook()(what);
}

namespace disk {

namespace {

std::function<void(const Event &)> &recorder()
{
    static std::function<void(const Event &)> r;
    return r;
}

QByteArray nameOf(const QString &path)
{
    return QFile::encodeName(path);
}

void record(Change change, const QString &path, qint64 offset = 0, QByteArray bytes = {}, const QString &target = {})
{
    if (!recorder())
        return;
    const auto absolute = [](const QString &p) { return p.isEmpty() ? p : QDir::cleanPath(QFileInfo(p).absoluteFilePath()); };
    recorder()({change, absolute(path), absolute(target), offset, std::move(bytes)});
}

// Closes a descriptor without losing the errno of what failed before.
void closeKeepingError(int fd)
{
    const int error = errno;
    ::close(fd);
    errno = error;
}

// Removes a file made for a change that failed; false, errno telling why it failed.
bool removeKeepingError(const QString &path)
{
    const int error = errno;
    remove(path);
    errno = error;
    return false;
}

} // namespace

void setRecorder(std::function<void(const Event &)> r)
{
    recorder() = std::move(r);
}

int create(const QString &path, bool exclusive)
{
    if (!exclusive && !remove(path))
        return -1;
    const int fd = ::open(nameOf(path).constData(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0644);
    if (fd >= 0)
        record(Change::Create, path);
    return fd;
}

bool write(int fd, const QString &path, qint64 pos, const char *data, qint64 size)
{
    if (!writeFully(fd, pos, data, size))
        return false;
    if (recorder())
        record(Change::Write, path, pos, QByteArray(data, size));
    return true;
}

bool truncate(int fd, const QString &path, qint64 size)
{
    if (::ftruncate(fd, off_t(size)) != 0)
        return false;
    record(Change::Truncate, path, size);
    return true;
}

bool sync(int fd, const QString &path)
{
    if (::fdatasync(fd) != 0)
        return false;
    record(Change::Sync, path);
    return true;
}

bool rename(const QString &from, const QString &to, bool replace)
{
    const int done = replace ? ::rename(nameOf(from).constData(), nameOf(to).constData())
                             : ::renameat2(AT_FDCWD, nameOf(from).constData(), AT_FDCWD, nameOf(to).constData(),
                                           RENAME_NOREPLACE);
    if (done != 0)
        return false;
    record(Change::Rename, from, 0, {}, to);
    return true;
}

bool remove(const QString &path)
{
    if (::unlink(nameOf(path).constData()) != 0)
        return errno == ENOENT;
    record(Change::Remove, path);
    return true;
}

bool syncFolder(const QString &folder)
{
    const int fd = ::open(nameOf(folder).constData(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (fd < 0)
        return false;
    faultPoint("sync");
    const bool synced = ::fsync(fd) == 0;
    closeKeepingError(fd);
    if (synced)
        record(Change::SyncFolder, folder);
    return synced;
}

bool putInPlace(const QString &scratch, const QString &target)
{
    const auto removeScratch = [&] { return removeKeepingError(scratch); };
    try {
        faultPoint("sync");
        // Any descriptor of a file syncs what was written through another.
        const int fd = ::open(nameOf(scratch).constData(), O_RDONLY | O_CLOEXEC);
        if (fd < 0)
            return removeScratch();
        const bool synced = sync(fd, scratch);
        closeKeepingError(fd);
        if (!synced)
            return removeScratch();
        faultPoint("rename");
        if (!rename(scratch, target))
            return removeScratch();
    } catch (...) {
        removeScratch();
        throw;
    }
    try {
        syncFolder(QFileInfo(target).absolutePath());
    } catch (const DbError &) {
        // An injected failure of the folder's sync: the name is in place.
    }
    return true;
}

bool writeWhole(const QString &path, const QByteArray &bytes)
{
    const QString scratch = QFileInfo(path).absolutePath() + QStringLiteral("/~new-") + QFileInfo(path).fileName();
    const int fd = create(scratch);
    if (fd < 0)
        return false;
    const bool written = write(fd, scratch, 0, bytes.constData(), bytes.size());
    closeKeepingError(fd);
    if (!written)
        return removeKeepingError(scratch);
    return putInPlace(scratch, path);
}

bool isDiskFull(int error)
{
    return error == ENOSPC || error == EDQUOT;
}

QString failureReason(int error)
{
    if (isDiskFull(error))
        return QString::fromUtf8("磁盘已满");
    return QString::fromLocal8Bit(std::strerror(error));
}

} // namespace disk
} // namespace db
