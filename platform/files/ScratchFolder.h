#pragma once
// A folder for work in progress, named after what it is for ("corvane-arj"
// and six random characters) and removed with everything in it when done.
// A crash leaves it behind, so making one first removes the leftovers of
// its own kind in the same place: folders of exactly that name pattern that
// no scratch folder of this process uses; nothing else.
#include <QString>
#include <QTemporaryDir>

class ScratchFolder
{
public:
    // Throws nothing: isValid() and errorString() tell.
    ScratchFolder(const QString &parent, const QString &kind);
    ~ScratchFolder();
    ScratchFolder(const ScratchFolder &) = delete;
    ScratchFolder &operator=(const ScratchFolder &) = delete;

    bool isValid() const { return m_dir.isValid(); }
    QString errorString() const { return m_dir.errorString(); }
    QString path() const { return m_dir.path(); }
    QString filePath(const QString &name) const { return m_dir.filePath(name); }

    // Removes the leftovers of this kind in parent.
    static void removeLeftovers(const QString &parent, const QString &kind);

private:
    static QString templateAfterCleaning(const QString &parent, const QString &kind);

    QTemporaryDir m_dir;
};
