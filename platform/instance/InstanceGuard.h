#pragma once
// Tells whether another copy of the program runs: a named lock held for the
// life of the process. The kernel drops it when the holder ends in any way,
// crash included, so a dead copy never keeps the next one out.
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

    // Never waits. Acquiring again under the same name keeps the lock held;
    // under another name the first lock is released.
    Status acquire(const QString &name);
    void release();
    bool held() const { return m_fd >= 0; }
    QString errorString() const { return m_error; }

    // The lock file for a name. Names may hold any characters (the program's
    // title has Chinese and full-width ones), so the file is named by a hash.
    static QString lockFilePath(const QString &name);

private:
    int m_fd = -1;
    QString m_name;
    QString m_error;
};

} // namespace instance
