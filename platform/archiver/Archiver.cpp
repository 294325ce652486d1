#include "Archiver.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QRegularExpression>
#include <QSet>
#include "files/ScratchFolder.h"
#include <cerrno>
#include <cstdio>
#include <cstring>

namespace archiver {

namespace {

bool isPlainName(const QString &name)
{
    static const QRegularExpression unsafe(QStringLiteral("[/\\\\*?]"));
    return !name.isEmpty() && name != QLatin1String(".") && name != QLatin1String("..")
        && !name.contains(unsafe);
}

void requirePlainNames(const QStringList &names)
{
    for (const QString &n : names)
        if (!isPlainName(n))
            throw ArchiverError(QString::fromUtf8("文件名“%1”不能带路径或通配符。").arg(n));
}

// A scratch folder inside the archive's folder, so that a rename moves the
// finished file into place. Its name does not begin with a dot: arj loops
// for ever extracting into such a folder.
class WorkFolder
{
public:
    explicit WorkFolder(const QString &folder)
        : m_dir(folder, QStringLiteral("corvane-arj"))
    {
        if (!m_dir.isValid())
            throw ArchiverError(QString::fromUtf8("无法在 %1 中建立临时文件夹：%2")
                                    .arg(QDir::toNativeSeparators(folder), m_dir.errorString()));
    }
    // As the archiver, running in the archive's folder, names it.
    QString relative() const { return QStringLiteral("./") + QFileInfo(m_dir.path()).fileName() + '/'; }
    QString filePath(const QString &name) const { return m_dir.filePath(name); }
    QStringList files() const { return QDir(m_dir.path()).entryList(QDir::Files | QDir::Hidden, QDir::Name); }

private:
    ScratchFolder m_dir;
};

// Replaces target by source in one step.
void moveInto(const QString &source, const QString &target)
{
    if (std::rename(QFile::encodeName(source).constData(), QFile::encodeName(target).constData()) != 0)
        throw ArchiverError(QString::fromUtf8("无法建立文件 %1：%2")
                                .arg(QDir::toNativeSeparators(target), QString::fromLocal8Bit(std::strerror(errno))));
}

QString folderOf(const QString &archivePath) { return QFileInfo(archivePath).absolutePath(); }
// "./" keeps a name beginning with "-" or "!" from being read as a switch or a list file.
QString inFolder(const QString &name) { return QStringLiteral("./") + name; }

void requireArchive(const QString &archivePath)
{
    if (!QFileInfo(archivePath).isFile())
        throw ArchiverError(QString::fromUtf8("找不到压缩文件 %1。").arg(QDir::toNativeSeparators(archivePath)));
}

} // namespace

void addFiles(const QString &archivePath, const QStringList &fileNames)
{
    const QString folder = folderOf(archivePath);
    const QString archive = QFileInfo(archivePath).fileName();
    requirePlainNames(fileNames + QStringList{archive});
    QStringList arguments{QStringLiteral("a"), QStringLiteral("-y"), QStringLiteral("-i"), QStringLiteral("-e")};
    WorkFolder work(folder);
    arguments << work.relative() + archive;
    for (const QString &name : fileNames) {
        if (!QFileInfo(QDir(folder).filePath(name)).isFile())
            throw ArchiverError(QString::fromUtf8("要压缩的文件 %1 不存在。").arg(name));
        arguments << inFolder(name);
    }
    // The archiver adds to an existing archive: it works on a copy.
    if (QFileInfo(archivePath).exists() && !QFile::copy(archivePath, work.filePath(archive)))
        throw ArchiverError(QString::fromUtf8("无法复制压缩文件 %1。").arg(QDir::toNativeSeparators(archivePath)));
    runArj(folder, arguments);
    if (!QFileInfo(work.filePath(archive)).isFile())
        throw ArchiverError(QString::fromUtf8("压缩程序 arj 没有生成 %1。").arg(archive));
    moveInto(work.filePath(archive), archivePath);
}

QStringList memberNames(const QString &archivePath)
{
    requireArchive(archivePath);
    const QString listing = runArj(folderOf(archivePath), {QStringLiteral("v"), QStringLiteral("-y"),
                                                          inFolder(QFileInfo(archivePath).fileName())});
    // The verbose listing names every member on a line of its own: "001) name".
    static const QRegularExpression entry(QStringLiteral("^\\d{3,}\\) (.*)$"), QRegularExpression::MultilineOption);
    QStringList names;
    for (auto it = entry.globalMatch(listing); it.hasNext();) {
        QString name = it.next().captured(1);
        if (name.endsWith('\r'))
            name.chop(1);
        names << name;
    }
    return names;
}

QStringList extractMembers(const QString &archivePath, const QStringList &names)
{
    requirePlainNames(names);
    QSet<QString> seen;
    for (const QString &member : memberNames(archivePath)) {
        if (!isPlainName(member))
            throw ArchiverError(QString::fromUtf8("压缩文件 %1 中的“%2”带有路径，拒绝解压。")
                                    .arg(QFileInfo(archivePath).fileName(), member));
        // Two members of one name would leave whichever came last.
        if (const QString folded = member.toCaseFolded(); !seen.contains(folded))
            seen.insert(folded);
        else
            throw ArchiverError(QString::fromUtf8("压缩文件 %1 中有两个“%2”，不知该用哪个，拒绝解压。")
                                    .arg(QFileInfo(archivePath).fileName(), member));
    }
    const QString folder = folderOf(archivePath);
    WorkFolder work(folder);
    runArj(folder, {QStringLiteral("e"), QStringLiteral("-y"), QStringLiteral("-i"),
                    inFolder(QFileInfo(archivePath).fileName()), work.relative()});
    const QStringList extracted = work.files();
    QStringList missing;
    for (const QString &wanted : names) {
        const auto found = std::find_if(extracted.begin(), extracted.end(), [&](const QString &f) {
            return f.compare(wanted, Qt::CaseInsensitive) == 0;
        });
        if (found == extracted.end())
            missing << wanted;
        else
            moveInto(work.filePath(*found), QDir(folder).filePath(wanted));
    }
    return missing;
}

} // namespace archiver
