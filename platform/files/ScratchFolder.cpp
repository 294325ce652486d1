#include "ScratchFolder.h"

#include <QDateTime>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QRegularExpression>

#include <cstring>
#include <dirent.h>
#include <fcntl.h>
#include <sys/file.h>
#include <unistd.h>

namespace {

// A folder just made may not hold its lock yet.
constexpr int kYoungSeconds = 10;

int openFolder(const QString &path)
{
    return ::open(QFile::encodeName(path).constData(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
}

} // namespace

// The leftovers go before the new folder is made, which they must not take with them.
QString ScratchFolder::templateAfterCleaning(const QString &parent, const QString &kind)
{
    removeLeftovers(parent, kind);
    return QDir(parent).filePath(kind + QStringLiteral("-XXXXXX"));
}

ScratchFolder::ScratchFolder(const QString &parent, const QString &kind) : m_dir(templateAfterCleaning(parent, kind))
{
    if (m_dir.isValid()) {
        m_lock = openFolder(m_dir.path());
        if (m_lock >= 0)
            ::flock(m_lock, LOCK_EX);
    }
}

ScratchFolder::~ScratchFolder()
{
    if (m_lock >= 0)
        ::close(m_lock);
}

void ScratchFolder::removeLeftovers(const QString &parent, const QString &kind)
{
    // QTemporaryDir puts six letters and digits in place of the Xs.
    const QRegularExpression own(QStringLiteral("^") + QRegularExpression::escape(kind) + QStringLiteral("-[A-Za-z0-9]{6}$"));
    const QDateTime young = QDateTime::currentDateTime().addSecs(-kYoungSeconds);
    // The names are compared as the folder lists them, before anything is
    // made of them: the system's temporary folder may hold many thousands
    // of other entries.
    const QByteArray prefix = QFile::encodeName(kind + QLatin1Char('-'));
    DIR *folder = ::opendir(QFile::encodeName(parent).constData());
    if (!folder)
        return;
    QStringList candidates;
    while (const dirent *e = ::readdir(folder))
        if (std::strncmp(e->d_name, prefix.constData(), size_t(prefix.size())) == 0)
            candidates << QFile::decodeName(e->d_name);
    ::closedir(folder);
    for (const QString &name : std::as_const(candidates)) {
        const QFileInfo entry(QDir(parent).filePath(name));
        if (!own.match(name).hasMatch() || !entry.isDir() || entry.isSymLink() || entry.lastModified() > young)
            continue;
        const int fd = openFolder(entry.absoluteFilePath());
        if (fd < 0)
            continue;
        // Held by a process that is still at work with it.
        if (::flock(fd, LOCK_EX | LOCK_NB) == 0)
            QDir(entry.absoluteFilePath()).removeRecursively();
        ::close(fd);
    }
}
