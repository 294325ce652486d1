// What the engine learnt of a table, kept in the user's cache folder and checked before use.
#include "TableState.h"


#include <QCryptographicHash>
#include <QDir>
#include <QStandardPaths>
#include <QFile>
#include <QFileInfo>
#include <QHash>
#include <QtEndian>
#include <algorithm>
#include <ctime>
#include <cstring>
#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <optional>
#include <vector>
#include <unistd.h>

namespace db::tablestate {

namespace {

struct Entry
{
    QByteArray stamp;
    int recordCount = 0;
    int deleted = 0;
    QByteArray memoFile; // the memo file measured, and its live memo bytes
    qint64 liveMemo = -1;
};

using Folder = QHash<QString, Entry>; // file name → entry

// Never destroyed: tables still open when the process ends remember what
// they know from their destructors, after other statics are gone.
QHash<QString, Folder> &folders()
{
    static auto *all = new QHash<QString, Folder>;
    return *all;
}

Folder &folderOf(const QString &dir)
{
    auto &all = folders();
    auto it = all.find(dir);
    if (it != all.end())
        return *it;
    Folder f;
    QFile file(stateFile(dir));
    if (file.open(QIODevice::ReadOnly)) {
        // name \t stamp \t records \t deleted [\t memo file \t live memo bytes]
        for (const QByteArray &line : file.readAll().split('\n')) {
            const QList<QByteArray> parts = line.split('\t');
            bool ok1 = false, ok2 = false, ok3 = true;
            Entry e;
            if (parts.size() != 4 && parts.size() != 6)
                continue;
            e.stamp = parts[1];
            e.recordCount = parts[2].toInt(&ok1);
            e.deleted = parts[3].toInt(&ok2);
            if (parts.size() == 6) {
                e.memoFile = parts[4];
                e.liveMemo = parts[5].toLongLong(&ok3);
            }
            if (ok1 && ok2 && ok3 && e.deleted >= 0 && e.deleted <= e.recordCount)
                f.insert(QString::fromUtf8(parts[0]), e);
        }
    }
    return *all.insert(dir, f);
}

// Folders come and go (copies, tests); the entries of the least recently
// written ones are dropped. Other processes may prune at the same time: a
// file that vanished meanwhile is simply passed over.
void prune(const QString &cacheDir)
{
    constexpr size_t kKept = 256;
    const QByteArray dirName = QFile::encodeName(cacheDir);
    DIR *d = ::opendir(dirName.constData());
    if (!d)
        return;
    std::vector<std::pair<qint64, QByteArray>> files; // modification time, path
    while (const dirent *e = ::readdir(d)) {
        const QByteArray path = dirName + '/' + e->d_name;
        struct stat st;
        if (e->d_name[0] != '.' && ::stat(path.constData(), &st) == 0 && S_ISREG(st.st_mode))
            files.emplace_back(qint64(st.st_mtime), path);
    }
    ::closedir(d);
    if (files.size() <= kKept)
        return;
    std::sort(files.begin(), files.end(), [](const auto &a, const auto &b) { return a.first > b.first; });
    for (size_t i = kKept; i < files.size(); ++i)
        ::unlink(files[i].second.constData());
}

// Written beside and renamed over, so a reader sees the old or the new.
void writeCacheFile(const QString &path, const QByteArray &bytes)
{
    if (path.isEmpty() || !QDir().mkpath(QFileInfo(path).absolutePath()))
        return;
    if (!QFileInfo::exists(path))
        prune(QFileInfo(path).absolutePath());
    const QByteArray target = QFile::encodeName(path);
    const QByteArray temp = target + ".new" + QByteArray::number(qint64(::getpid()));
    const int fd = ::open(temp.constData(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0644);
    if (fd < 0)
        return;
    qint64 done = 0;
    while (done < bytes.size()) {
        const ssize_t n = ::write(fd, bytes.constData() + done, size_t(bytes.size() - done));
        if (n <= 0)
            break;
        done += n;
    }
    ::close(fd);
    if (done != bytes.size() || ::rename(temp.constData(), target.constData()) != 0)
        ::unlink(temp.constData());
}

void save(const QString &dir, const Folder &f)
{
    QByteArray text;
    for (auto it = f.constBegin(); it != f.constEnd(); ++it) {
        text += it.key().toUtf8() + '\t' + it->stamp + '\t' + QByteArray::number(it->recordCount) + '\t'
              + QByteArray::number(it->deleted);
        if (it->liveMemo >= 0)
            text += '\t' + it->memoFile + '\t' + QByteArray::number(it->liveMemo);
        text += '\n';
    }
    writeCacheFile(stateFile(dir), text);
}

// --- key indexes -------------------------------------------------------------

constexpr char kIndexMagic[4] = {'C', 'V', 'K', 'F'};

// A checksum of eight bytes at a time, enough to tell a damaged or cut file.
quint64 checksum(const char *p, qint64 n)
{
    quint64 h = 0xcbf29ce484222325ull ^ quint64(n);
    qint64 i = 0;
    for (; i + 8 <= n; i += 8) {
        quint64 w;
        std::memcpy(&w, p + i, 8);
        h = (h ^ w) * 0x100000001b3ull;
        h ^= h >> 29;
    }
    for (; i < n; ++i)
        h = (h ^ uchar(p[i])) * 0x100000001b3ull;
    return h;
}

QString indexFile(const QString &path, const QByteArray &index)
{
    const QString folderState = stateFile(QFileInfo(path).absolutePath());
    if (folderState.isEmpty())
        return {};
    const QByteArray id = QCryptographicHash::hash(QFileInfo(path).absoluteFilePath().toUtf8() + '\n' + index,
                                                   QCryptographicHash::Sha1).toHex();
    return QFileInfo(folderState).absolutePath() + QLatin1Char('/') + QString::fromLatin1(id) + QStringLiteral(".idx");
}

void putPart(QByteArray &out, const QByteArray &part)
{
    char n[4];
    qToLittleEndian(quint32(part.size()), n);
    out.append(n, 4);
    out.append(part);
}

// The next length-prefixed part at pos, or nothing when it runs past the end.
std::optional<QByteArray> takePart(const QByteArray &in, qint64 &pos, qint64 end)
{
    if (end - pos < 4)
        return std::nullopt;
    const qint64 n = qFromLittleEndian<quint32>(in.constData() + pos);
    if (n > end - pos - 4)
        return std::nullopt;
    QByteArray part = in.mid(pos + 4, n);
    pos += 4 + n;
    return part;
}

} // namespace

QString stateFile(const QString &dataDir)
{
    const QString cache = QStandardPaths::writableLocation(QStandardPaths::GenericCacheLocation);
    if (cache.isEmpty())
        return {};
    const QByteArray id = QCryptographicHash::hash(QFileInfo(dataDir).absoluteFilePath().toUtf8(),
                                                   QCryptographicHash::Sha1).toHex();
    return cache + QStringLiteral("/corvane/tables/") + QString::fromLatin1(id);
}

int deletedRows(const QString &path, const QByteArray &stamp, int recordCount)
{
    const QFileInfo info(path);
    const Folder &f = folderOf(info.absolutePath());
    const auto it = f.constFind(info.fileName());
    if (it == f.constEnd() || it->stamp != stamp || it->recordCount != recordCount)
        return -1;
    return it->deleted;
}

void remember(const QString &path, const QByteArray &stamp, int recordCount, int deleted)
{
    if (stamp.isEmpty() || deleted < 0)
        return;
    const QFileInfo info(path);
    Folder &f = folderOf(info.absolutePath());
    Entry &e = f[info.fileName()];
    if (e.stamp == stamp && e.recordCount == recordCount && e.deleted == deleted)
        return;
    e.stamp = stamp;
    e.recordCount = recordCount;
    e.deleted = deleted;
    save(info.absolutePath(), f);
}

qint64 liveMemoBytes(const QString &path, const QByteArray &memoFile)
{
    const QFileInfo info(path);
    const Folder &f = folderOf(info.absolutePath());
    const auto it = f.constFind(info.fileName());
    return it == f.constEnd() || memoFile.isEmpty() || it->memoFile != memoFile ? -1 : it->liveMemo;
}

void rememberLiveMemoBytes(const QString &path, const QByteArray &memoFile, qint64 bytes)
{
    if (memoFile.isEmpty() || memoFile.contains('\t') || bytes < 0)
        return;
    const QFileInfo info(path);
    Folder &f = folderOf(info.absolutePath());
    Entry &e = f[info.fileName()];
    if (e.memoFile == memoFile && e.liveMemo == bytes)
        return;
    e.memoFile = memoFile;
    e.liveMemo = bytes;
    save(info.absolutePath(), f);
}

QByteArray keyIndexImage(const QString &path, const QByteArray &stamp, const QByteArray &index)
{
    const QString file = indexFile(path, index);
    QFile f(file);
    if (file.isEmpty() || !f.open(QIODevice::ReadOnly))
        return {};
    const QByteArray in = f.readAll();
    const qint64 end = in.size() - 8;
    if (end < 4 || std::memcmp(in.constData(), kIndexMagic, 4) != 0
        || qFromLittleEndian<quint64>(in.constData() + end) != checksum(in.constData(), end))
        return {};
    qint64 pos = 4;
    const auto storedStamp = takePart(in, pos, end);
    const auto storedIndex = takePart(in, pos, end);
    const auto storedPath = takePart(in, pos, end);
    auto image = takePart(in, pos, end);
    if (!image || pos != end || *storedStamp != stamp || *storedIndex != index
        || *storedPath != QFileInfo(path).absoluteFilePath().toUtf8())
        return {};
    return *image;
}

void rememberKeyIndex(const QString &path, const QByteArray &stamp, const QByteArray &index, const QByteArray &image)
{
    if (stamp.isEmpty())
        return;
    QByteArray out(kIndexMagic, 4);
    putPart(out, stamp);
    putPart(out, index);
    putPart(out, QFileInfo(path).absoluteFilePath().toUtf8());
    putPart(out, image);
    char sum[8];
    qToLittleEndian(checksum(out.constData(), out.size()), sum);
    out.append(sum, 8);
    writeCacheFile(indexFile(path, index), out);
}

namespace {

std::function<qint64()> &clock()
{
    static std::function<qint64()> c;
    return c;
}

} // namespace

qint64 wallClock()
{
    if (clock())
        return clock()();
    timespec now;
    ::clock_gettime(CLOCK_REALTIME, &now);
    return qint64(now.tv_sec) * 1000000000 + now.tv_nsec;
}

std::function<qint64()> setWallClock(std::function<qint64()> c)
{
    std::swap(clock(), c);
    return c;
}

} // namespace db::tablestate
