#include "ImportPackage.h"

#include "ExchangeText.h"
#include "ExchangeTextReader.h"
#include "ExportPackage.h"
#include "RecordRoutines.h"
#include "UnitDM.h"
#include "archiver/Archiver.h"
#include "db/file/DbfFile.h"
#include "db/journal/Journal.h"
#include "db/dataset/Table.h"
#include "text/Gbk.h"
#include "text/Utf8.h"
#include "ui/HandlerGuard.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QSet>

#include <memory>
#include <vector>

namespace {

QString memberFile(int member)
{
    return PackageMembers().at(member);
}

QString stagingName(int member)
{
    return PackageMemberStems().at(member) + QStringLiteral("temp.dbf");
}

// The staging tables keyed by ITEM_4 and ITEM_DQDM: the records and their
// four child tables (not UNIT).
constexpr int kKeyedMembers = 5;

std::unique_ptr<db::Table> openTable(const QString &dir, const QString &name)
{
    auto t = std::make_unique<db::Table>();
    t->setDatabaseName(dir);
    t->setTableName(name);
    t->open();
    return t;
}

using Key = std::pair<QString, QString>; // trimmed ITEM_4, ITEM_DQDM

// Reads the keys of a staging table.
class KeyReader
{
public:
    explicit KeyReader(const db::DbfFile &file)
        : m_file(file), m_key(file.fieldIndex("item_4")), m_region(file.fieldIndex("item_dqdm"))
    {
    }
    Key operator()(int rec) const
    {
        const char *r = m_file.record(rec);
        return {gbk::trim(m_file.storedText(r, m_key)), gbk::trim(m_file.storedText(r, m_region))};
    }
    // The keys of the live records from `from` up to `to`.
    QSet<Key> of(int from, int to) const
    {
        QSet<Key> keys;
        for (int rec = from; rec < to; ++rec)
            if (!m_file.isDeleted(rec))
                keys.insert((*this)(rec));
        return keys;
    }

private:
    const db::DbfFile &m_file;
    int m_key, m_region;
};

// A region code that no staged or incoming row uses with this ITEM_4.
QString freeRegion(const QString &key, const QSet<Key> &taken)
{
    static const QString digits = QStringLiteral("0123456789ABCDEFGHIJKLMNOPQRSTUVWXYZ");
    for (const QChar a : digits)
        for (const QChar b : digits)
            if (const QString region = QStringLiteral("#") + a + b; !taken.contains({key, region}))
                return region;
    throw ExchangeError(u("成果编号 %1 的记录重复太多，无法再导入。").arg(key));
}

// The staging tables keyed by ITEM_4 and ITEM_DQDM, and the rows each held
// before the package: those from there on are the package's.
struct StagedFiles
{
    std::shared_ptr<db::DbfFile> file[kKeyedMembers];
    int before[kKeyedMembers];
};

// The region each incoming key already staged (as a record or by child
// rows) moves to, so that two packages never share child rows.
QHash<Key, QString> collidingKeys(const StagedFiles &staging)
{
    QSet<Key> staged, arriving;
    for (int m = 0; m < kKeyedMembers; ++m)
        staged.unite(KeyReader(*staging.file[m]).of(0, staging.before[m]));
    if (staged.isEmpty())
        return {}; // the package is the first staged: nothing to collide with
    for (int m = 0; m < kKeyedMembers; ++m)
        arriving.unite(KeyReader(*staging.file[m]).of(staging.before[m], staging.file[m]->recordCount()));
    QHash<Key, QString> moved;
    QSet<Key> taken = staged;
    taken.unite(arriving);
    for (const Key &k : arriving) {
        if (!staged.contains(k))
            continue;
        const QString region = freeRegion(k.first, taken);
        taken.insert({k.first, region});
        moved.insert(k, region);
    }
    return moved;
}

// The package's rows of those keys take their new region.
void moveCollidingKeys(const StagedFiles &staging)
{
    const QHash<Key, QString> moved = collidingKeys(staging);
    if (moved.isEmpty())
        return;
    for (int m = 0; m < kKeyedMembers; ++m) {
        db::DbfFile &file = *staging.file[m];
        const KeyReader keyOf(file);
        const int region = file.fieldIndex("item_dqdm");
        for (int rec = staging.before[m]; rec < file.recordCount(); ++rec) {
            const auto to = moved.constFind(keyOf(rec));
            if (file.isDeleted(rec) || to == moved.constEnd())
                continue;
            QByteArray raw(file.record(rec), file.recordLength());
            file.encode(raw, region, db::Value::fromString(*to));
            file.writeRecord(rec, raw);
        }
    }
}

// Records whose key is not one this program makes would be stored where
// no list shows them, and two records of one key and region would both
// take the child rows of that key: a package with either is damaged.
void requireRecordKeys(const db::DbfFile &records, int from, const QString &member)
{
    const KeyReader keyOf(records);
    QSet<Key> seen;
    for (int rec = from, number = 1; rec < records.recordCount(); ++rec) {
        if (records.isDeleted(rec))
            continue;
        const Key key = keyOf(rec);
        if (!IsRecordKey(key.first))
            throw ExchangeError(u("文件 %1 第 %2 条记录的成果编号“%3”不是十位数字（年份和六位序号），导入包可能已损坏。")
                                    .arg(member)
                                    .arg(number)
                                    .arg(key.first));
        if (seen.contains(key))
            throw ExchangeError(u("文件 %1 第 %2 条记录的成果编号 %3（地区代码“%4”）与前面的记录重复，导入包可能已损坏。")
                                    .arg(member)
                                    .arg(number)
                                    .arg(key.first, key.second));
        seen.insert(key);
        ++number;
    }
}

} // namespace

const QStringList &PackageMemberStems()
{
    static const QStringList stems = [] {
        QStringList names = PackageMembers();
        for (QString &name : names)
            name.chop(4); // ".TXT"
        return names;
    }();
    return stems;
}

UnpackedPackage::UnpackedPackage(const QString &packagePath)
{
    if (!m_dir.isValid())
        throw ExchangeError(u("无法建立临时文件夹：%1").arg(m_dir.errorString()));
    // The archiver works beside the archive: on a copy in a folder of our
    // own, so nothing lands beside the user's package.
    const QString copy = QDir(m_dir.path()).filePath(QFileInfo(packagePath).fileName());
    if (!QFile::copy(packagePath, copy))
        throw ExchangeError(u("无法读取导入包 %1。").arg(QDir::toNativeSeparators(packagePath)));
    QStringList wanted;
    for (int m = 0; m < kStagedMembers; ++m)
        wanted << memberFile(m);
    m_missing = archiver::extractMembers(copy, wanted);
    QFile::remove(copy);
    requireRecords();
}

UnpackedPackage::UnpackedPackage(const QMap<QString, QByteArray> &members)
{
    if (!m_dir.isValid())
        throw ExchangeError(u("无法建立临时文件夹：%1").arg(m_dir.errorString()));
    for (int m = 0; m < kStagedMembers; ++m) {
        const auto found = members.constFind(memberFile(m));
        if (found == members.constEnd()) {
            m_missing << memberFile(m);
            continue;
        }
        QFile file(QDir(m_dir.path()).filePath(memberFile(m)));
        if (!file.open(QIODevice::WriteOnly) || file.write(*found) != found->size())
            throw ExchangeError(u("无法写入文件 %1：%2").arg(memberFile(m), file.errorString()));
    }
    requireRecords();
}

void UnpackedPackage::requireRecords() const
{
    if (m_missing.contains(memberFile(0)))
        throw ExchangeError(u("导入包中没有科技成果主表 %1，不能导入。").arg(memberFile(0)));
}

QString UnpackedPackage::memberPath(int member) const
{
    const QString name = memberFile(member);
    return m_missing.contains(name) ? QString() : QDir(m_dir.path()).filePath(name);
}

int UnpackedPackage::memberCount() const
{
    return kStagedMembers - int(m_missing.size());
}

int StagePackage(const UnpackedPackage &package, const StagingProgress &progress)
{
    // The work: reading the members, counted by their bytes.
    qint64 bytes = 0;
    for (int m = 0; m < kStagedMembers; ++m)
        if (const QString path = package.memberPath(m); !path.isEmpty())
            bytes += QFileInfo(path).size();
    qint64 done = 0;

    // Each member is read straight into its staging table. The package goes
    // into staging whole or not at all, after a crash too: a member that
    // does not read takes the others back with it.
    db::Transaction transaction(DataDir);
    int records = 0;
    try {
        StagedFiles staging;
        for (int m = 0; m < kStagedMembers; ++m) {
            const std::shared_ptr<db::DbfFile> file = db::DbfFile::open(DataDir, stagingName(m));
            if (m < kKeyedMembers) {
                staging.file[m] = file;
                staging.before[m] = file->recordCount();
            }
            const QString path = package.memberPath(m);
            if (path.isEmpty())
                continue;
            if (progress.memberStarts)
                progress.memberStarts(m);
            const std::unique_ptr<db::Table> table = openTable(DataDir, stagingName(m));
            const auto advance = [&](qint64 at, qint64) {
                if (progress.advance)
                    progress.advance(done + at, bytes);
            };
            const int read = ImportTextFile(*table, path, m == 0 ? ImportRecordTxtRecord : ImportTxtRecord, advance, true);
            done += QFileInfo(path).size();
            if (m == 0) {
                requireRecordKeys(*file, staging.before[0], memberFile(0));
                records = read;
            }
        }
        moveCollidingKeys(staging);
        transaction.commit();
    } catch (const std::exception &e) {
        const QString undo = transaction.rollback();
        if (undo.isEmpty())
            throw;
        throw ExchangeError(u("%1；未能撤销：%2").arg(ui::errorText(e), undo));
    }
    if (progress.advance)
        progress.advance(bytes, bytes);
    return records;
}

void EmptyStagingTables()
{
    db::Table *t = DM->T_temp_in;
    for (const int m : {4, 3, 2, 1, 0}) {
        t->close();
        t->setFilter(QString());
        t->setFiltered(false);
        t->setTableName(stagingName(m));
        t->open();
        t->truncate();
    }
}
