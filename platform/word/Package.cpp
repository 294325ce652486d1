#include "Package.h"

#include "WordError.h"

#include <QBuffer>
#include <QDateTime>
#include <QDir>
#include <QFile>

#include <quazip/quazip.h>
#include <quazip/quazipfile.h>
#include <quazip/quazipnewinfo.h>

namespace word {

namespace {

// A document part larger than this is no document of ours: refuse it
// rather than fill the memory with a packed bomb.
constexpr qint64 kPartLimit = 64 * 1024 * 1024;

Package readZip(QuaZip &zip, const QString &what)
{
    const QString unreadable = QString::fromUtf8("文件 %1 不是可读的Word文档").arg(what);
    if (!zip.open(QuaZip::mdUnzip))
        throw WordError(unreadable);
    Package package;
    for (bool more = zip.goToFirstFile(); more; more = zip.goToNextFile()) {
        QuaZipFileInfo64 info;
        if (!zip.getCurrentFileInfo(&info))
            throw WordError(unreadable);
        if (info.name.endsWith(QLatin1Char('/')))
            continue;
        if (qint64(info.uncompressedSize) > kPartLimit)
            throw WordError(unreadable);
        QuaZipFile file(&zip);
        if (!file.open(QIODevice::ReadOnly))
            throw WordError(unreadable);
        const QByteArray bytes = file.read(kPartLimit + 1);
        file.close(); // checks the part's checksum
        if (bytes.size() > kPartLimit || file.getZipError() != UNZ_OK)
            throw WordError(unreadable);
        package.setPart(info.name, bytes);
    }
    if (zip.getZipError() != UNZ_OK)
        throw WordError(unreadable);
    return package;
}

} // namespace

Package Package::read(const QString &path)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        throw WordError(QString::fromUtf8("无法读取文件 %1").arg(QDir::toNativeSeparators(path)));
    QuaZip zip(&file);
    return readZip(zip, QDir::toNativeSeparators(path));
}

Package Package::fromBytes(const QByteArray &bytes, const QString &what)
{
    QByteArray copy = bytes;
    QBuffer buffer(&copy);
    QuaZip zip(&buffer);
    return readZip(zip, what);
}

QByteArray Package::toBytes() const
{
    QByteArray out;
    QBuffer buffer(&out);
    QuaZip zip(&buffer);
    const QString failed = QString::fromUtf8("无法生成Word文档");
    if (!zip.open(QuaZip::mdCreate))
        throw WordError(failed);
    const QDateTime stamp(QDate(2006, 1, 1), QTime(0, 0));
    for (const auto &[name, bytes] : m_parts) {
        QuaZipNewInfo info(name);
        info.dateTime = stamp;
        QuaZipFile file(&zip);
        if (!file.open(QIODevice::WriteOnly, info) || file.write(bytes) != bytes.size())
            throw WordError(failed);
        file.close();
        if (file.getZipError() != ZIP_OK)
            throw WordError(failed);
    }
    zip.close();
    if (zip.getZipError() != ZIP_OK)
        throw WordError(failed);
    return out;
}

bool Package::contains(const QString &name) const
{
    for (const auto &p : m_parts)
        if (p.first == name)
            return true;
    return false;
}

QByteArray Package::part(const QString &name) const
{
    for (const auto &p : m_parts)
        if (p.first == name)
            return p.second;
    return {};
}

void Package::setPart(const QString &name, const QByteArray &bytes)
{
    for (auto &p : m_parts)
        if (p.first == name) {
            p.second = bytes;
            return;
        }
    m_parts.append({name, bytes});
}

QStringList Package::names() const
{
    QStringList out;
    for (const auto &p : m_parts)
        out << p.first;
    return out;
}

} // namespace word
