#include "ImportPackage.h"

#include "ExchangeText.h"
#include "ExchangeTextReader.h"
#include "ExportPackage.h"
#include "MemberText.h"
#include "RecordRoutines.h"
#include "RowCopy.h"
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

// A scratch twin of a staging table in the package's folder, under the
// staging table's own name (the reader's date rule goes by that name).
std::unique_ptr<db::Table> scratchTwin(const QString &folder, int member)
{
    const std::shared_ptr<db::DbfFile> staging = db::DbfFile::open(DataDir, stagingName(member));
    QVector<db::ColumnDef> columns;
    for (const db::FieldDef &f : staging->fields())
        columns.append({QString::fromLatin1(f.name), f.type, f.length, f.decimals});
    db::DbfFile::create(folder, stagingName(member), columns);
    return openTable(folder, stagingName(member));
}

using Key = std::pair<QString, QString>; // trimmed ITEM_4, ITEM_DQDM

// Reads the keys of a staging table or its scratch twin.
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
    QSet<Key> all() const
    {
        QSet<Key> keys;
        for (int rec = 0; rec < m_file.recordCount(); ++rec)
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

// The region each incoming key already staged (as a record or by child
// rows) moves to, so that two packages never share child rows.
QHash<Key, QString> collidingKeys(const QString &scratchFolder)
{
    QSet<Key> staged, arriving;
    for (int m = 0; m < kKeyedMembers; ++m) {
        staged.unite(KeyReader(*db::DbfFile::open(DataDir, stagingName(m))).all());
        arriving.unite(KeyReader(*db::DbfFile::open(scratchFolder, stagingName(m))).all());
    }
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

// Records whose key is not one this program makes would be stored where
// no list shows them, and two records of one key and region would both
// take the child rows of that key: a package with either is damaged.
void requireRecordKeys(const db::DbfFile &records, const QString &member)
{
    const KeyReader keyOf(records);
    QSet<Key> seen;
    for (int rec = 0, number = 1; rec < records.recordCount(); ++rec) {
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

// The package's rows before they are staged; the engine forgets their
// files once they are closed.
class ScratchTables : public std::vector<std::unique_ptr<db::Table>>
{
public:
    explicit ScratchTables(const QString &folder) : m_folder(folder) {}
    ~ScratchTables()
    {
        clear();
        for (const QFileInfo &file : QDir(m_folder).entryInfoList(QDir::Files))
            db::DbfFile::forget(file.absoluteFilePath());
    }

private:
    QString m_folder;
};

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
    const QString scratchFolder = QDir(package.folder()).filePath(QStringLiteral("staging"));
    if (!QDir().mkpath(scratchFolder))
        throw ExchangeError(u("无法建立临时文件夹 %1。").arg(QDir::toNativeSeparators(scratchFolder)));
    // The work: reading the members, then copying their rows, each counted
    // by the members' bytes.
    qint64 bytes = 0;
    for (int m = 0; m < kStagedMembers; ++m)
        if (const QString path = package.memberPath(m); !path.isEmpty())
            bytes += QFileInfo(path).size();
    qint64 done = 0;
    const auto advance = [&](qint64 to) {
        if (progress.advance)
            progress.advance(to, 2 * bytes);
    };

    ScratchTables incoming(scratchFolder);
    for (int m = 0; m < kStagedMembers; ++m) {
        incoming.push_back(scratchTwin(scratchFolder, m));
        const QString path = package.memberPath(m);
        if (path.isEmpty())
            continue;
        if (progress.memberStarts)
            progress.memberStarts(m);
        RequireMemberText(path);
        incoming[m]->beginBulkLoad();
        ImportTextFile(*incoming[m], path, m == 0 ? ImportRecordTxtRecord : ImportTxtRecord,
                       [&](qint64 read, qint64) { advance(done + read); });
        incoming[m]->endBulkLoad();
        done += QFileInfo(path).size();
        if (m == 0)
            requireRecordKeys(*db::DbfFile::open(scratchFolder, stagingName(0)), memberFile(0));
    }
    const QHash<Key, QString> moved = collidingKeys(scratchFolder);
    qint64 rowsToCopy = 0;
    for (int m = 0; m < kStagedMembers; ++m)
        rowsToCopy += db::DbfFile::open(scratchFolder, stagingName(m))->recordCount();
    qint64 copied = 0;

    // The package goes into staging whole or not at all, after a crash too.
    db::Transaction transaction(DataDir);
    int records = 0;
    try {
        for (int m = 0; m < kStagedMembers; ++m) {
            const auto source = db::DbfFile::open(scratchFolder, stagingName(m));
            const auto target = db::DbfFile::open(DataDir, stagingName(m));
            RowCopier rows(*source, *target);
            const KeyReader keyOf(*source);
            const int region = target->fieldIndex("item_dqdm");
            db::DbfFile::BulkAppend bulk(*target);
            for (int rec = 0; rec < source->recordCount(); ++rec) {
                if (++copied % 4096 == 0)
                    advance(bytes + bytes * copied / rowsToCopy);
                if (source->isDeleted(rec))
                    continue;
                const auto to = m < kKeyedMembers && !moved.isEmpty() ? moved.constFind(keyOf(rec)) : moved.constEnd();
                if (to == moved.constEnd())
                    rows.append(rec);
                else
                    rows.append(rec, {{region, db::Value::fromString(*to)}});
                records += m == 0;
            }
            bulk.finish();
        }
        transaction.commit();
    } catch (const std::exception &e) {
        const QString undo = transaction.rollback();
        if (dynamic_cast<const ReadCancelled *>(&e) && undo.isEmpty())
            throw;
        throw ExchangeError(u("写入暂存表时出错：%1%2")
                                .arg(ui::errorText(e), undo.isEmpty() ? QString() : u("；未能撤销：") + undo));
    }
    advance(2 * bytes);
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
