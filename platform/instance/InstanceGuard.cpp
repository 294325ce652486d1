#include "InstanceGuard.h"

#include <QCryptographicHash>
#include <QDir>
#include <QFile>

#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <sys/file.h>
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
    // In a shared temp folder another user's file cannot be opened for
    // writing (or re-created); flock works on a read-only descriptor too.
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
    return QDir(QDir::tempPath()).filePath(QStringLiteral("corvane-instance-%1.lock").arg(QString::fromLatin1(hash.left(32))));
}

InstanceGuard::Status InstanceGuard::acquire(const QString &name)
{
    if (held() && name == m_name)
        return Acquired;
    release();
    m_error.clear();

    const QString path = lockFilePath(name);
    const int fd = openLockFile(QFile::encodeName(path));
    if (fd < 0) {
        m_error = QStringLiteral("无法打开锁文件 %1：%2").arg(path, QString::fromLocal8Bit(std::strerror(errno)));
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
    m_name = name;
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
    m_name.clear();
}

} // namespace instance
