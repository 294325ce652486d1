#include "OldPackage.h"

#include "ExchangeText.h"
#include "ExportPackage.h"
#include "ImportPackage.h"
#include "archiver/Archiver.h"
#include "text/Gbk.h"
#include "files/ScratchFolder.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <cerrno>
#include <cstdio>
#include <cstring>

namespace {

constexpr int kConverted = 5; // KJCG to ZLQK; old packages have no UNIT or EXPERT

QString oldMemberName(int member, const QString &unitCode)
{
    static const char *const prefixes[kConverted] = {"KJCG", "CGDW", "CGWCR", "JDMD", "ZLQK"};
    return QString::fromLatin1(prefixes[member]) + unitCode + QStringLiteral(".TXT");
}

QString currentMemberName(int member)
{
    return PackageMembers().at(member);
}

// The name an existing package in the folder has, in any letter case.
QString existingPackageName(const QString &folder)
{
    for (const QString &name : QDir(folder).entryList(QDir::Files))
        if (name.compare(PackageName(), Qt::CaseInsensitive) == 0)
            return name;
    return PackageName();
}

} // namespace

std::optional<QString> OldPackageUnitCode(const QString &fileName)
{
    const QString trimmed = gbk::trim(fileName);
    if (trimmed.size() < 4 || trimmed.right(4).toUpper() != QLatin1String(".ARJ"))
        return std::nullopt;
    const QString base = fileName.left(fileName.size() - 4);
    const int bytes = gbk::byteLength(base);
    if (bytes < 5 || bytes > 7 || base.left(4).toUpper() != QLatin1String("CGSB"))
        return std::nullopt;
    // The code becomes part of the member names: a wildcard, a path or a
    // blank there names no unit.
    const QString code = base.mid(4);
    for (const QChar c : code)
        if (c.isSpace() || c.category() == QChar::Other_Control || QStringLiteral("*?/\\:\"<>|").contains(c))
            return std::nullopt;
    return code;
}

QString ConvertOldPackage(const QString &packagePath, const QString &unitCode)
{
    const QString folder = QFileInfo(packagePath).absolutePath();
    // Beside the package, so the finished archive moves into place in one step.
    ScratchFolder work(folder, QStringLiteral("corvane-convert"));
    if (!work.isValid())
        throw ExchangeError(QString::fromUtf8("无法在 %1 中建立临时文件夹：%2")
                                .arg(QDir::toNativeSeparators(folder), work.errorString()));
    const QString copy = QDir(work.path()).filePath(QFileInfo(packagePath).fileName());
    if (!QFile::copy(packagePath, copy))
        throw ExchangeError(QString::fromUtf8("无法读取文件 %1。").arg(QDir::toNativeSeparators(packagePath)));

    // A package of the current naming may hold the unit profile too: it
    // goes along rather than being lost from the rebuilt package.
    const QStringList profile = PackageMembers().mid(kConverted);
    QStringList wanted = profile;
    for (int m = 0; m < kConverted; ++m)
        wanted << oldMemberName(m, unitCode) << currentMemberName(m);
    const QStringList missing = archiver::extractMembers(copy, wanted);
    QFile::remove(copy);
    QStringList members;
    for (int m = 0; m < kConverted; ++m) {
        const QString current = currentMemberName(m);
        const QString old = oldMemberName(m, unitCode);
        if (!missing.contains(old)) {
            QFile::remove(QDir(work.path()).filePath(current));
            if (!QFile::rename(QDir(work.path()).filePath(old), QDir(work.path()).filePath(current)))
                throw ExchangeError(QString::fromUtf8("无法把 %1 改名为 %2。").arg(old, current));
        } else if (missing.contains(current)) {
            throw OldPackageIncomplete();
        }
        members << current;
    }
    for (const QString &name : profile)
        if (!missing.contains(name))
            members << name;
    // A package already in the folder takes the five members, its others
    // (the unit profile) kept; the archiver works on a copy of it.
    const QString target = QDir(folder).filePath(existingPackageName(folder));
    const QString built = QDir(work.path()).filePath(PackageName());
    const bool adding = QFileInfo(target).isFile();
    if (adding && !QFile::copy(target, built))
        throw ExchangeError(QString::fromUtf8("无法读取文件 %1。").arg(QDir::toNativeSeparators(target)));
    try {
        archiver::addFiles(built, members);
    } catch (const archiver::ArchiverError &e) {
        // The members were unpacked a moment ago: what arj cannot read (2,
        // 9) is the package already there.
        if (adding && (e.exitCode() == 2 || e.exitCode() == 9))
            throw archiver::ArchiverError(QString::fromUtf8("文件夹中原有的 %1 已损坏或不是 ARJ 压缩文件，没有改动；请把它移走后再改名。")
                                              .arg(QFileInfo(target).fileName()),
                                          e.details(), e.exitCode());
        throw;
    }
    if (std::rename(QFile::encodeName(built).constData(), QFile::encodeName(target).constData()) != 0)
        throw ExchangeError(QString::fromUtf8("无法建立文件 %1：%2")
                                .arg(QDir::toNativeSeparators(target), QString::fromLocal8Bit(std::strerror(errno))));
    return target;
}
