#include "DataFolder.h"

#include "TableSchemas.h"
#include "db/file/DbError.h"
#include "db/file/DbfFile.h"
#include "db/file/Disk.h"
#include "db/journal/Journal.h"
#include "ui/MessageBox.h"

#include <QDir>
#include <QFileInfo>

namespace {

bool isOptional(const TableSchema &s)
{
    const QString base = QFileInfo(s.fileName).completeBaseName().toLower();
    return base == "ztflh" || base == "xkfl";
}

void makeTable(const QString &dataDir, const TableSchema &s, bool newFolder)
{
    const bool present = !db::DbfFile::findFile(dataDir, s.fileName).isEmpty();
    if (s.delivered.isEmpty()) {
        if (!present)
            db::DbfFile::create(dataDir, s.fileName, s.columns);
    } else if (present || newFolder || !isOptional(s)) {
        deliverTable(dataDir, s);
    }
}

} // namespace

void removeLeftoverFiles(const QString &dataDir)
{
    QDir dir(dataDir);
    for (const QString &name : dir.entryList(QDir::Files | QDir::Hidden))
        if (db::DbfFile::isLeftoverName(name) && !db::DbfFile::isOpen(dir.filePath(name)))
            db::disk::remove(dir.filePath(name));
}

void prepareDataFolder(const QString &dataDir)
{
    if (!QDir().mkpath(dataDir))
        throw db::DbError(QString::fromUtf8("无法建立数据目录 %1").arg(QDir::toNativeSeparators(dataDir)));
    // A table packed with its memo file is put in place whole, and an
    // operation a crash cut short is taken back, before anything reads the
    // tables (or removes what looks left over); the user hears of it only
    // when that cannot be done.
    db::DbfFile::finishReplacements(dataDir);
    if (const QString problem = db::recoverJournal(dataDir); !problem.isEmpty())
        ui::messageBox(problem, QString::fromUtf8("提示"), ui::MB_OK | ui::MB_ICONWARNING);
    removeLeftoverFiles(dataDir);
    // The record table is made last: the folder counts as new until it is
    // there, so a first start cut short by a power cut is finished by the
    // next, optional tables included.
    const TableSchema *records = tableSchema("kjcg");
    const bool newFolder = db::DbfFile::findFile(dataDir, records->fileName).isEmpty();
    for (const TableSchema &s : allTableSchemas())
        if (&s != records)
            makeTable(dataDir, s, newFolder);
    makeTable(dataDir, *records, newFolder);
    deliverTemplates(dataDir);
}
