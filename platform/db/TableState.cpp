#include "TableState.h"

#include <QCryptographicHash>
#include <QDir>
#include <QStandardPaths>
#include <QFile>
#include <QFileInfo>
#include <QHash>
#include <algorithm>
#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <vector>
#include <unistd.h>

namespace db::tablestate {

namespace {

struct Entry
{
    QByteArray stamp;
    int recordCount = 0;
    int deleted = 0;
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
        // name \t stamp \t records \t deleted
        for (const QByteArray &line : file.readAll().split('\n')) {
            const QList<QByteArray> parts = line.split('\t');
            bool ok1 = false, ok2 = false;
            Entry e;
            if (parts.size() != 4)
                continue;
            e.stamp = parts[1];
            e.recordCount = parts[2].toInt(&ok1);
            e.deleted = parts[3].toInt(&ok2);
            if (ok1 && ok2 && e.deleted >= 0 && e.deleted <= e.recordCount)
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
    constexpr size_t kKept = 64;
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

void save(const QString &dir, const Folder &f)
{
    QByteArray text;
    for (auto it = f.constBegin(); it != f.constEnd(); ++it)
        text += it.key().toUtf8() + '\t' + it->stamp + '\t' + QByteArray::number(it->recordCount) + '\t'
              + QByteArray::number(it->deleted) + '\n';
    const QString path = stateFile(dir);
    if (path.isEmpty() || !QDir().mkpath(QFileInfo(path).absolutePath()))
        return;
    if (!QFileInfo::exists(path))
        prune(QFileInfo(path).absolutePath());
    // Written beside and renamed over, so a reader sees the old or the new.
    const QByteArray target = QFile::encodeName(path);
    const QByteArray temp = target + ".new" + QByteArray::number(qint64(::getpid()));
    const int fd = ::open(temp.constData(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0644);
    if (fd < 0)
        return;
    const bool written = ::write(fd, text.constData(), size_t(text.size())) == text.size();
    ::close(fd);
    if (!written || ::rename(temp.constData(), target.constData()) != 0)
        ::unlink(temp.constData());
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
    e = {stamp, recordCount, deleted};
    save(info.absolutePath(), f);
}

} // namespace db::tablestate
