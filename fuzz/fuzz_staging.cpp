// A package's member files, as the import reads them after unpacking, staged
// on top of a package already staged (whose keys the input may repeat). The
// input holds sections, each opened by a line "%%STEM%%" naming a member
// (KJCG, CGWCDW, CGWCR, JDWYHMD, ZLQK, UNIT); a member without one is
// missing. A refused package must leave every staging file as it was; an
// accepted one keeps the rows staged before, adds as many records as it
// reports, and none of its rows shares a key and region with those before.
// fuzz-libraries: corvane_exchange
#include "DataFolder.h"
#include "ExchangeText.h"
#include "ExportPackage.h"
#include "ImportPackage.h"
#include "TableSchemas.h"
#include "UnitDM.h"
#include "db/file/DbfFile.h"
#include "db/journal/Journal.h"
#include "text/Gbk.h"
#include "ui/Clock.h"

#include <QDir>
#include <QFile>
#include <QSet>
#include <QTemporaryDir>
#include <cstdint>
#include <cstdlib>

namespace {

using Files = QMap<QString, QByteArray>;
using Key = std::pair<QByteArray, QByteArray>;

constexpr int kKeyed = 5; // the records and their four child tables

QString stagingFile(int member)
{
    return PackageMemberStems().at(member) + QStringLiteral("temp.dbf");
}

Files stagingFiles()
{
    Files files;
    for (const QFileInfo &f : QDir(DataDir).entryInfoList({"*temp.*"}, QDir::Files)) {
        QFile file(f.absoluteFilePath());
        file.open(QIODevice::ReadOnly);
        files.insert(f.fileName(), file.readAll());
    }
    return files;
}

void restore(const Files &files)
{
    // The journal's finished operations name the files as staged: they go
    // before the files are put back behind the engine's back.
    db::Transaction::checkpoint();
    db::DbfFile::releaseUnused();
    for (const QFileInfo &f : QDir(DataDir).entryInfoList({"*temp.*"}, QDir::Files)) {
        db::DbfFile::forget(f.absoluteFilePath());
        QFile::remove(f.absoluteFilePath());
    }
    for (auto it = files.begin(); it != files.end(); ++it) {
        QFile file(QDir(DataDir).filePath(it.key()));
        if (!file.open(QIODevice::WriteOnly) || file.write(it.value()) != it.value().size())
            std::abort();
    }
}

struct Rows
{
    int count = 0; // deleted ones included
    int live = 0;
    QSet<Key> keys;
    QByteArray records; // the bytes of every record, in order
};

Rows rowsOf(int member, int from = 0)
{
    const auto file = db::DbfFile::open(DataDir, stagingFile(member));
    Rows rows;
    const int key = file->fieldIndex("item_4"), region = file->fieldIndex("item_dqdm");
    rows.count = file->recordCount();
    for (int rec = from; rec < file->recordCount(); ++rec) {
        rows.records.append(file->record(rec), file->recordLength());
        if (file->isDeleted(rec))
            continue;
        ++rows.live;
        if (key >= 0 && region >= 0)
            rows.keys.insert({file->textBytes(file->record(rec), key).trimmed(),
                              file->textBytes(file->record(rec), region).trimmed()});
    }
    return rows;
}

Files membersOf(const QByteArray &input)
{
    Files members;
    QList<std::pair<qsizetype, int>> starts; // where each section's marker begins
    for (int m = 0; m < kStagedMembers; ++m) {
        const QByteArray mark = "%%" + PackageMemberStems().at(m).toLatin1() + "%%\n";
        if (const qsizetype at = input.indexOf(mark); at >= 0)
            starts.append({at, m});
    }
    std::sort(starts.begin(), starts.end());
    for (int i = 0; i < starts.size(); ++i) {
        const auto [at, m] = starts[i];
        const qsizetype from = at + PackageMemberStems().at(m).size() + 5;
        const qsizetype to = i + 1 < starts.size() ? starts[i + 1].first : input.size();
        members.insert(PackageMembers().at(m), input.mid(from, std::max<qsizetype>(0, to - from)));
    }
    return members;
}

QByteArray line(const QList<QByteArray> &values, int columns)
{
    QList<QByteArray> all = values;
    while (all.size() < columns)
        all << QByteArray();
    return all.join('\t') + "\r\n";
}

// A data folder with one package staged: the base every input starts from.
struct Base
{
    QTemporaryDir dir;
    Files files;
    Rows before[kStagedMembers];

    Base()
    {
        ui::setClock([] { return QDateTime(QDate(2008, 3, 4), QTime(9, 0)); });
        DataDir = dir.path();
        prepareDataFolder(DataDir);
        QList<QByteArray> record;
        for (const db::ColumnDef &c : tableSchema("kjcg")->columns) {
            const QString name = c.name.toUpper();
            record << (name == "ITEM_4"      ? QByteArray("2005000001")
                       : name == "ITEM_DQDM" ? QByteArray(".")
                       : name == "ITEM_CGLB" ? QByteArray("1")
                       : name == "ITEM_3"    ? gbk::encode(QString::fromUtf8("已暂存的成果"))
                                             : QByteArray());
        }
        const UnpackedPackage staged(Files{
            {"KJCG.TXT", record.join('\t') + "\r\n"},
            {"CGWCR.TXT", line({"2005000001", ".", "1", gbk::encode(QString::fromUtf8("甲"))}, 11)
                              + line({"2005000009", ".", "1", "orphan"}, 11)},
            {"ZLQK.TXT", line({"2005000001", ".", "1", "ZL01"}, 7)},
        });
        StagePackage(staged);
        db::DbfFile::releaseUnused();
        files = stagingFiles();
        for (int m = 0; m < kStagedMembers; ++m)
            before[m] = rowsOf(m);
        db::DbfFile::releaseUnused();
    }
};

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    static Base base;
    const Files members = membersOf(QByteArray(reinterpret_cast<const char *>(data), qsizetype(size)));
    int reported = -1;
    try {
        const UnpackedPackage package(members);
        reported = StagePackage(package);
    } catch (const ExchangeError &) {
        db::DbfFile::releaseUnused();
        if (stagingFiles() != base.files)
            std::abort(); // a refused package changed the staging tables
        return 0;
    }
    QSet<Key> arriving;
    for (int m = 0; m < kStagedMembers; ++m) {
        const Rows now = rowsOf(m);
        const Rows &was = base.before[m];
        if (!now.records.startsWith(was.records))
            std::abort(); // rows staged before were changed
        if (m == 0 && now.live != was.live + reported)
            std::abort(); // more or fewer records than reported
        if (m < kKeyed) {
            arriving.unite(rowsOf(m, was.count).keys);
        }
    }
    for (int m = 0; m < kKeyed; ++m)
        if (base.before[m].keys.intersects(arriving))
            std::abort(); // a new row took the key and region of one staged before
    restore(base.files);
    return 0;
}
