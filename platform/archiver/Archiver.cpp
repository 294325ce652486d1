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

// A failed run of arj on an archive it reads, in the user's words: its
// exit status tells a file that is no ARJ archive (9) from a damaged or
// truncated one (2, 3).
ArchiverError unreadable(const QString &archivePath, const ArchiverError &e)
{
    const QString name = QFileInfo(archivePath).fileName();
    QString cause;
    if (QFileInfo(archivePath).size() == 0)
        cause = QString::fromUtf8("文件 %1 是空的（0 字节），不是 ARJ 压缩文件。");
    else if (e.exitCode() == 9)
        cause = QString::fromUtf8("文件 %1 不是 ARJ 压缩文件。");
    else if (e.exitCode() == 2 || e.exitCode() == 3)
        cause = QString::fromUtf8("压缩文件 %1 已损坏（不完整或数据出错），无法解开。");
    else if (e.exitCode() == 5)
        cause = QString::fromUtf8("磁盘已满，压缩文件 %1 无法解开。");
    else
        return e;
    return ArchiverError(cause.arg(name), e.details(), e.exitCode());
}

// The verbose listing names every member on a line of its own: "001) name".
const QRegularExpression &listedMember()
{
    static const QRegularExpression entry(QStringLiteral("^\\d{3,}\\) (.*)$"), QRegularExpression::MultilineOption);
    return entry;
}

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
    // Method 2 packs in half the time of the default to within a few tenths
    // of a percent of its size, and unpacks with the same decoder as the
    // default, so every arj that reads one reads the other.
    QStringList arguments{QStringLiteral("a"), QStringLiteral("-y"), QStringLiteral("-i"), QStringLiteral("-e"),
                          QStringLiteral("-m2")};
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
    QString listing;
    try {
        listing = runArj(folderOf(archivePath), {QStringLiteral("v"), QStringLiteral("-y"),
                                                 inFolder(QFileInfo(archivePath).fileName())});
    } catch (const ArchiverError &e) {
        // An archive without members: arj lists none and warns (status 1).
        if (e.exitCode() == 1 && !listedMember().match(e.details()).hasMatch())
            return {};
        throw unreadable(archivePath, e);
    }
    QStringList names;
    for (auto it = listedMember().globalMatch(listing); it.hasNext();) {
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
    const QStringList members = memberNames(archivePath);
    if (members.isEmpty())
        return names;
    QSet<QString> seen;
    for (const QString &member : members) {
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
    try {
        runArj(folder, {QStringLiteral("e"), QStringLiteral("-y"), QStringLiteral("-i"),
                        inFolder(QFileInfo(archivePath).fileName()), work.relative()});
    } catch (const ArchiverError &e) {
        throw unreadable(archivePath, e);
    }
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
