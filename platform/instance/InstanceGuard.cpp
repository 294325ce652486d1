#include "InstanceGuard.h"

#include <QCryptographicHash>
#include <QDir>
#include <QFile>
#include <QFileInfo>

#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

namespace instance {

namespace {

int openLockFile(const QByteArray &path)
{
    // Close-on-exec: a child such as the archiver must not carry the lock on
    // after we end.
    int fd;
    do {
        fd = ::open(path.constData(), O_RDWR | O_CREAT | O_CLOEXEC, 0666);
    } while (fd < 0 && errno == EINTR);
    // Another user's lock file in a shared folder may not open for writing;
    // flock works on a read-only descriptor too.
    if (fd < 0 && errno == EACCES) {
        do {
            fd = ::open(path.constData(), O_RDONLY | O_CLOEXEC);
        } while (fd < 0 && errno == EINTR);
    }
    return fd;
}

} // namespace

InstanceGuard::~InstanceGuard()
{
    release();
}

QString InstanceGuard::lockFilePath(const QString &name)
{
    const QByteArray hash = QCryptographicHash::hash(name.toUtf8(), QCryptographicHash::Sha256).toHex();
    const QString file = QStringLiteral("corvane-instance-%1.lock").arg(QString::fromLatin1(hash.left(32)));
    // The session's runtime folder is the user's alone; without one the lock
    // goes to the shared temp folder under the user's id.
    const QString runtime = qEnvironmentVariable("XDG_RUNTIME_DIR");
    if (!runtime.isEmpty() && QFileInfo(runtime).isDir())
        return QDir(runtime).filePath(file);
    return QDir(QDir::tempPath()).filePath(QStringLiteral("%1-%2").arg(::getuid()).arg(file));
}

QString InstanceGuard::folderLockPath(const QString &folder)
{
    return QDir(folder).filePath(QStringLiteral(".corvane.lock"));
}

InstanceGuard::Status InstanceGuard::acquire(const QString &name)
{
    return acquirePath(lockFilePath(name), true);
}

InstanceGuard::Status InstanceGuard::acquireFolder(const QString &folder)
{
    if (!QDir().mkpath(folder)) {
        release();
        m_error = QStringLiteral("无法建立文件夹 %1").arg(QDir::toNativeSeparators(folder));
        return Failed;
    }
    return acquirePath(folderLockPath(folder), false);
}

InstanceGuard::Status InstanceGuard::acquirePath(const QString &path, bool usersOwn)
{
    if (held() && path == m_path)
        return Acquired;
    release();
    m_error.clear();

    const int fd = openLockFile(QFile::encodeName(path));
    if (fd < 0) {
        m_error = QStringLiteral("无法打开锁文件 %1：%2").arg(path, QString::fromLocal8Bit(std::strerror(errno)));
        return Failed;
    }
    // In a shared folder another user may have made the file first, and
    // could hold it to shut this user out: such a file is no lock of ours.
    struct stat st;
    if (usersOwn && (::fstat(fd, &st) != 0 || st.st_uid != ::getuid())) {
        ::close(fd);
        m_error = QStringLiteral("锁文件 %1 不属于当前用户").arg(path);
        return Failed;
    }
    // flock, not fcntl locks: flock belongs to the open file, so two guards in
    // one process exclude each other as two processes do.
    int rc;
    do {
        rc = ::flock(fd, LOCK_EX | LOCK_NB);
    } while (rc != 0 && errno == EINTR);
    if (rc != 0) {
        const int error = errno;
        ::close(fd);
        if (error == EWOULDBLOCK)
            return HeldElsewhere;
        m_error = QStringLiteral("无法锁定锁文件 %1：%2").arg(path, QString::fromLocal8Bit(std::strerror(error)));
        return Failed;
    }
    m_fd = fd;
    m_path = path;
    return Acquired;
}

void InstanceGuard::release()
{
    if (m_fd < 0)
        return;
    // The file stays: removing it would let a newcomer lock a fresh file
    // while someone else still holds the old one.
    ::close(m_fd);
    m_fd = -1;
    m_path.clear();
}

} // namespace instance
