#include "ExportPackage.h"

#include "ExchangeText.h"
#include "ExchangeTextWriter.h"
#include "MemberCheck.h"
#include "UnitDM.h"
#include "archiver/Archiver.h"
#include "db/dataset/Dataset.h"
#include "db/dataset/Query.h"
#include "db/dataset/Table.h"
#include "db/file/DbError.h"
#include "db/file/DbfFile.h"
#include "db/journal/Journal.h"
#include "files/ScratchFolder.h"
#include "text/Utf8.h"

#include <QDir>
#include <QFile>
#include <QMap>
#include <cerrno>
#include <cstdio>
#include <cstring>

namespace {

struct ChildMember
{
    const char *file;
    const char *table;
};

const ChildMember kChildren[] = {
    {"CGWCDW.TXT", "cgwcdw"}, {"CGWCR.TXT", "cgwcr"}, {"JDWYHMD.TXT", "jdwyhmd"}, {"ZLQK.TXT", "zlqk"}};

int columnOf(db::Dataset &dataset, const char *name)
{
    return dataset.fieldByName(QLatin1String(name))->index();
}

// The record key of a row: ITEM_4 and ITEM_DQDM as stored, trimmed.
class KeyColumns
{
public:
    explicit KeyColumns(db::Dataset &dataset)
        : m_item4(columnOf(dataset, "ITEM_4")), m_region(columnOf(dataset, "ITEM_DQDM"))
    {
    }
    QByteArray key(const db::Dataset &dataset, int row) const
    {
        return TrimBytes(dataset.rowValue(row, m_item4).toBytes()) + '\t'
               + TrimBytes(dataset.rowValue(row, m_region).toBytes());
    }
    // What a member of these rows must read back as.
    MemberRecords expected(int values, const QVector<QByteArray> &keys) const
    {
        return {int(keys.size()), values, keys, m_item4, m_region};
    }

private:
    int m_item4, m_region;
};

// The rows of dataset, from its first, that take accepts, one line each.
// Returns the number of values of each line.
template <typename Take>
int writeRows(db::Dataset &dataset, const QString &path, TextMember member, Take take)
{
    ExchangeTextFile file(path);
    const MemberLayout layout(dataset, member);
    for (dataset.first(); !dataset.eof(); dataset.next())
        if (take(dataset.currentRow()))
            file.writeLine(layout.line(dataset));
    file.commit();
    return layout.values();
}

// The records recs of a table file, in that order, one line each. Returns
// the number of values of each line.
int writeRecords(const db::DbfFile &file, const QVector<int> &recs, const QString &path, TextMember member)
{
    ExchangeTextFile text(path);
    const MemberLayout layout(file, member);
    // Through the mapping, giving back the pages passed, unless the records
    // lie far apart.
    const bool scattered = file.sparse(recs);
    QByteArray buffer;
    int walk = -1;
    for (const int rec : recs) {
        if (!scattered)
            walk = walk < 0 ? rec : file.releaseBehind(walk, rec);
        text.writeLine(layout.line(file, scattered ? file.readRecord(rec, buffer) : file.record(rec), rec));
    }
    text.commit();
    return layout.values();
}

// Other windows read the unit tables at their current row.
void writeWholeTable(db::Dataset &table, const QString &path, TextMember member)
{
    const db::Dataset::Bookmark place = table.bookmark();
    const int values = writeRows(table, path, member, [](int) { return true; });
    if (!table.gotoBookmark(place))
        table.first();
    CheckMember(path, {table.rowCount(), values, {}, -1, -1});
}

// Members are written and packed here, inside the export folder, so that
// the finished package moves into place with a rename. It goes when done;
// one a crash left is removed by the next export into the same folder.
class ExportFolder
{
public:
    explicit ExportFolder(const QString &folder) : m_dir(folder, QStringLiteral("corvane-export"))
    {
        if (!m_dir.isValid())
            throw ExchangeError(u("无法在文件夹 %1 中写入：%2").arg(QDir::toNativeSeparators(folder), m_dir.errorString()));
    }
    QString path() const { return m_dir.path(); }

private:
    ScratchFolder m_dir;
};

// A package that arj itself finds sound and that holds every member.
void checkPackage(const QString &package)
{
    archiver::runArj(QFileInfo(package).absolutePath(), {QStringLiteral("t"), QStringLiteral("-y"),
                                                         QStringLiteral("./") + PackageName()});
    const QStringList stored = archiver::memberNames(package);
    for (const QString &member : PackageMembers())
        if (!stored.contains(member, Qt::CaseInsensitive))
            throw archiver::ArchiverError(u("压缩文件 %1 中缺少 %2，导出没有完成。").arg(PackageName(), member));
}

// Sets ITEM_SJDC of the rows in marks (view position → value), all of them
// or, after a crash, none.
void applyMarks(db::Dataset &records, const QMap<int, QString> &marks)
{
    const QString markField = QStringLiteral("ITEM_SJDC");
    db::Transaction transaction(records.databaseName());
    records.keepRows(transaction, marks.keys(), markField);
    db::Field *mark = records.fieldByName(markField);
    for (records.first(); !records.eof(); records.next()) {
        const auto it = marks.constFind(records.currentRow());
        if (it == marks.constEnd() || mark->asString() == *it)
            continue;
        records.edit();
        mark->setAsString(*it);
        try {
            records.post();
        } catch (...) {
            records.cancel();
            throw;
        }
    }
    transaction.commit();
}

void replaceFile(const QString &source, const QString &target)
{
    if (std::rename(QFile::encodeName(source).constData(), QFile::encodeName(target).constData()) != 0)
        throw ExchangeError(u("无法建立文件 %1：%2")
                                .arg(QDir::toNativeSeparators(target), QString::fromLocal8Bit(std::strerror(errno))));
}

} // namespace

QString PackageName()
{
    return QStringLiteral("cgsbqy.arj");
}

QStringList PackageMembers()
{
    QStringList members{QStringLiteral("KJCG.TXT")};
    for (const ChildMember &c : kChildren)
        members << QString::fromLatin1(c.file);
    return members << QStringLiteral("UNIT.TXT") << QStringLiteral("EXPERT.TXT");
}

void ClearExportMarks(db::Dataset &records)
{
    QMap<int, QString> cleared;
    for (int row = 0; row < records.rowCount(); ++row)
        cleared.insert(row, QStringLiteral("0"));
    applyMarks(records, cleared);
}

void WritePackageMembers(db::Dataset &records, const QList<int> &rows, const QString &folder)
{
    const QDir dir(folder);
    const KeyColumns recordKey(records);
    QVector<bool> chosen(records.rowCount());
    for (int row : rows)
        if (row >= 0 && row < chosen.size())
            chosen[row] = true;
    QVector<QByteArray> chosenKeys; // in table order, as written
    for (int row = 0; row < chosen.size(); ++row)
        if (chosen[row])
            chosenKeys.append(recordKey.key(records, row));

    // Every member is read back before anything is packed: a package never
    // leaves with rows that are not the ones its records hold.
    const QString kjcg = dir.filePath(QStringLiteral("KJCG.TXT"));
    const int kjcgValues = writeRows(records, kjcg, TextMember::Kjcg, [&](int row) { return chosen[row]; });
    CheckMember(kjcg, recordKey.expected(kjcgValues, chosenKeys));

    // The child rows of the chosen records, found through each table's
    // index of ITEM_4 and written in table order.
    for (const ChildMember &c : kChildren) {
        const std::shared_ptr<db::DbfFile> file = db::DbfFile::open(records.databaseName(), QLatin1String(c.table));
        const ChildRows children = FindChildRows(*file, chosenKeys);
        const QString path = dir.filePath(QString::fromLatin1(c.file));
        const int values = writeRecords(*file, children.records, path, TextMember::Child);
        CheckMember(path, {int(children.records.size()), values, children.keys, file->fieldIndex("ITEM_4"),
                           file->fieldIndex("ITEM_DQDM")});
    }
    writeWholeTable(*DM->Tblunit, dir.filePath(QStringLiteral("UNIT.TXT")), TextMember::Unit);
    writeWholeTable(*DM->Tblexpert, dir.filePath(QStringLiteral("EXPERT.TXT")), TextMember::Expert);
}

QString ExportPackage(db::Dataset &records, const QList<int> &rows, const QString &folder)
{
    // Tables an operation left half changed go nowhere before a restart.
    db::checkTablesWhole(records.databaseName().isEmpty() ? DataDir : records.databaseName());
    const QString target = QDir(folder).filePath(PackageName());
    const ExportFolder work(folder);
    WritePackageMembers(records, rows, work.path());
    const QString package = QDir(work.path()).filePath(PackageName());
    archiver::addFiles(package, PackageMembers());
    checkPackage(package);

    // The package first: a crash before the marks leaves records packed and
    // not marked, which the next export sends again.
    replaceFile(package, target);
    QMap<int, QString> exported;
    for (int row : rows)
        if (row >= 0 && row < records.rowCount())
            exported.insert(row, QStringLiteral("1"));
    try {
        applyMarks(records, exported);
    } catch (const db::DbError &e) {
        throw ExchangeError(u("已打包到 %1，但没能记下哪些项目已导出：%2")
                                .arg(QDir::toNativeSeparators(target), e.message()));
    }
    return target;
}
