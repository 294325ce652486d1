#include "ScratchFolder.h"

#include <QDir>
#include <QFileInfo>
#include <QRegularExpression>
#include <QSet>

namespace {

// The scratch folders this process has made and not yet removed.
QSet<QString> &inUse()
{
    static QSet<QString> paths;
    return paths;
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
    if (m_dir.isValid())
        inUse().insert(QFileInfo(m_dir.path()).absoluteFilePath());
}

ScratchFolder::~ScratchFolder()
{
    if (m_dir.isValid())
        inUse().remove(QFileInfo(m_dir.path()).absoluteFilePath());
}

void ScratchFolder::removeLeftovers(const QString &parent, const QString &kind)
{
    // QTemporaryDir puts six letters and digits in place of the Xs.
    const QRegularExpression own(QStringLiteral("^") + QRegularExpression::escape(kind) + QStringLiteral("-[A-Za-z0-9]{6}$"));
    const QDir dir(parent);
    for (const QFileInfo &entry : dir.entryInfoList(QDir::Dirs | QDir::NoDotAndDotDot | QDir::Hidden | QDir::NoSymLinks)) {
        if (!own.match(entry.fileName()).hasMatch() || inUse().contains(entry.absoluteFilePath()))
            continue;
        QDir(entry.absoluteFilePath()).removeRecursively();
    }
}
