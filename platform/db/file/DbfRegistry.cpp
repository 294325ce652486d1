// The registry of the tables open in this process, so that every dataset on
// a file shares one DbfFile, and the finding of table files by name.
#include "DbfFile.h"

#include "DbfBytes.h"
#include "KeyIndex.h"
#include "MapGuard.h"
#include "MemoFile.h"
#include "TableState.h"

#include <QDir>
#include <QFileInfo>
#include <QHash>
#include <QRegularExpression>

namespace db {

using namespace dbf;

namespace {

// Every table of the process, so that all datasets on one file share its
// records and see each other's changes. A table nobody uses stays loaded, so
// closing and opening it again (a new filter) costs nothing; it is loaded
// anew when the file changed on disk meanwhile.
QHash<QString, std::shared_ptr<DbfFile>> &registry()
{
    static QHash<QString, std::shared_ptr<DbfFile>> files;
    return files;
}

constexpr int kKeptUnused = 48;

} // namespace

void DbfFile::forget(const QString &path)
{
    const QString key = QFileInfo(path).absoluteFilePath();
    auto &files = registry();
    if (auto it = files.find(key); it != files.end() && it->use_count() == 1)
        files.erase(it);
}

void DbfFile::releaseUnused()
{
    auto &files = registry();
    for (auto it = files.begin(); it != files.end();)
        it = it->use_count() == 1 ? files.erase(it) : std::next(it);
}

bool DbfFile::isLeftoverName(const QString &fileName)
{
    // "~pack-" packed copies, "~new-" tables being filled, and the temporary
    // names under which a save writes a table file before it replaces it.
    static const QRegularExpression pattern(QStringLiteral("^(~pack-.+|~new-.+|.+\\.(dbf|dbt)\\.[A-Za-z0-9]{6})$"),
                                            QRegularExpression::CaseInsensitiveOption);
    return pattern.match(fileName).hasMatch();
}

QString DbfFile::findFile(const QString &dir, const QString &name)
{
    const QString wanted = stripName(name);
    const QString exact = QDir(dir).filePath(wanted);
    if (QFileInfo(exact).isFile())
        return exact;
    const QStringList entries = QDir(dir).entryList(QDir::Files | QDir::Hidden);
    for (const QString &e : entries)
        if (e.compare(wanted, Qt::CaseInsensitive) == 0)
            return QDir(dir).filePath(e);
    return {};
}

bool DbfFile::isOpen(const QString &path)
{
    const QString key = QFileInfo(path).absoluteFilePath();
    auto it = registry().find(key);
    return it != registry().end() && it->use_count() > 1;
}

std::shared_ptr<DbfFile> DbfFile::open(const QString &dir, const QString &name, bool exclusive)
{
    const QString found = findFile(dir, name);
    if (found.isEmpty())
        throw DbError(QString::fromUtf8("找不到表文件 %1（目录 %2）").arg(stripName(name), QDir::toNativeSeparators(dir)));
    const QString key = QFileInfo(found).absoluteFilePath();
    auto &files = registry();
    if (auto it = files.find(key); it != files.end()) {
        std::shared_ptr<DbfFile> existing = *it;
        if (existing.use_count() > 2) { // the registry, this copy and a user
            if (exclusive || existing->m_exclusive)
                throw DbError(QString::fromUtf8("表 %1 正在使用中，无法独占打开").arg(shortName(key)));
            existing->followOutsideSize();
            return existing;
        }
        if (existing->m_stamp == existing->diskStamp() && !mapguard::faulted(existing->m_guardSlot)
            && !existing->m_stale) {
            existing->m_exclusive = exclusive;
            return existing;
        }
        files.erase(it); // changed on disk by someone else: read it again
    }
    if (files.size() > kKeptUnused)
        releaseUnused();
    finishReplacement(key); // a pack with its memo file left half in place
    std::shared_ptr<DbfFile> f(new DbfFile);
    f->m_path = key;
    f->m_folder = QFileInfo(key).absolutePath();
    f->m_exclusive = exclusive;
    f->load();
    f->m_identity = f->m_generation;
    f->m_stamp = f->diskStamp();
    f->m_deleted = tablestate::deletedRows(key, f->m_stamp, f->m_recordCount);
    files.insert(key, f);
    return f;
}

} // namespace db
