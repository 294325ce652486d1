#pragma once
// Tells whether another copy of the program runs: a lock held for the life
// of the process, either the user's own under a name or a folder's, shared
// by every user of the machine. The kernel drops it when the holder ends in
// any way, crash included, so a dead copy never keeps the next one out.
#include <QString>

namespace instance {

class InstanceGuard
{
public:
    enum Status {
        Acquired,      // this guard holds the lock
        HeldElsewhere, // another guard, here or in another process, holds it
        Failed,        // the lock could not be tried; see errorString()
    };

    InstanceGuard() = default;
    ~InstanceGuard();
    InstanceGuard(const InstanceGuard &) = delete;
    InstanceGuard &operator=(const InstanceGuard &) = delete;

    // The user's own lock of that name: another user's copy under the same
    // name does not see it. Never waits. Acquiring the same lock again keeps
    // it held; acquiring another releases the first.
    Status acquire(const QString &name);
    // The lock of a folder, whoever takes it: a file in the folder, which
    // is made when missing.
    Status acquireFolder(const QString &folder);
    void release();
    bool held() const { return m_fd >= 0; }
    QString errorString() const { return m_error; }

    // The lock file for a name, in the user's runtime folder (else the temp
    // folder, under the user's id). Names may hold
    // any characters (the program's title has Chinese and full-width ones),
    // so the file is named by a hash.
    static QString lockFilePath(const QString &name);
    // The lock file of a folder; hidden, so listings of the folder pass it by.
    static QString folderLockPath(const QString &folder);

private:
    // usersOwn: a file another user owns is refused (Failed).
    Status acquirePath(const QString &path, bool usersOwn);

    int m_fd = -1;
    QString m_path;
    QString m_error;
};

} // namespace instance
