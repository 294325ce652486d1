#include "DataFolder.h"

#include "TableSchemas.h"
#include "db/DbError.h"
#include "db/DbfFile.h"
#include "db/Journal.h"
#include "ui/MessageBox.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>

namespace {

bool isOptional(const TableSchema &s)
{
    const QString base = QFileInfo(s.fileName).completeBaseName().toLower();
    return base == "ztflh" || base == "xkfl";
}

// Fills a new table under a scratch name and gives it its real name only
// when complete, so a failure never leaves a half-filled table behind.
void createFilled(const QString &dir, const TableSchema &s)
{
    const QString scratch = "~new-" + s.fileName;
    QFile::remove(QDir(dir).filePath(scratch));
    db::DbfFile::create(dir, scratch, s.columns);
    try {
        auto file = db::DbfFile::open(dir, scratch);
        db::DbfFile::BulkAppend bulk(*file);
        const QList<QByteArray> lines = deliveredRows(s.delivered).split('\n');
        QVector<int> target;
        bool header = true;
        int lineNo = 0;
        for (QByteArray line : lines) {
            ++lineNo;
            if (line.endsWith('\r'))
                line.chop(1);
            if (line.isEmpty())
                continue;
            const QList<QByteArray> cells = line.split('\t');
            if (header) {
                for (const QByteArray &name : cells) {
                    const int f = file->fieldIndex(QString::fromUtf8(name));
                    if (f < 0)
                        throw db::DbError(QString::fromUtf8("内置数据 %1 的列 %2 不在表中").arg(s.delivered, QString::fromUtf8(name)));
                    target.append(f);
                }
                header = false;
                continue;
            }
            QByteArray raw = file->blankRecord();
            for (int i = 0; i < cells.size() && i < target.size(); ++i)
                file->encode(raw, target[i], db::Value::fromString(QString::fromUtf8(cells[i])));
            file->appendRecord(raw);
        }
        bulk.finish();
    } catch (...) {
        db::DbfFile::forget(QDir(dir).filePath(scratch));
        QFile::remove(QDir(dir).filePath(scratch));
        throw;
    }
    db::DbfFile::forget(QDir(dir).filePath(scratch));
    if (!QFile::rename(QDir(dir).filePath(scratch), QDir(dir).filePath(s.fileName))) {
        QFile::remove(QDir(dir).filePath(scratch));
        throw db::DbError(QString::fromUtf8("无法建立表文件 %1").arg(s.fileName));
    }
}

} // namespace

QByteArray deliveredRows(const QString &name)
{
    QFile f(":/data/" + name.toLower() + ".tsv");
    if (!f.open(QIODevice::ReadOnly))
        throw db::DbError(QString::fromUtf8("缺少内置数据 %1").arg(name));
    return f.readAll();
}

void removeLeftoverFiles(const QString &dataDir)
{
    QDir dir(dataDir);
    for (const QString &name : dir.entryList(QDir::Files | QDir::Hidden))
        if (db::DbfFile::isLeftoverName(name) && !db::DbfFile::isOpen(dir.filePath(name)))
            QFile::remove(dir.filePath(name));
}

void prepareDataFolder(const QString &dataDir)
{
    if (!QDir().mkpath(dataDir))
        throw db::DbError(QString::fromUtf8("无法建立数据目录 %1").arg(QDir::toNativeSeparators(dataDir)));
    // An operation a crash cut short is taken back before anything reads
    // the tables; the user hears of it only when that cannot be done.
    if (const QString problem = db::recoverJournal(dataDir); !problem.isEmpty())
        ui::messageBox(problem, QString::fromUtf8("提示"), ui::MB_OK | ui::MB_ICONWARNING);
    removeLeftoverFiles(dataDir);
    const bool newFolder = db::DbfFile::findFile(dataDir, "kjcg.DBF").isEmpty();
    for (const TableSchema &s : allTableSchemas()) {
        if (!db::DbfFile::findFile(dataDir, s.fileName).isEmpty())
            continue;
        if (isOptional(s) && !newFolder)
            continue;
        if (s.delivered.isEmpty())
            db::DbfFile::create(dataDir, s.fileName, s.columns);
        else
            createFilled(dataDir, s);
    }
    deliverTemplates(dataDir);
}

void deliverTemplates(const QString &dataDir)
{
    // The templates compiled in under ":/templates", whichever they are.
    const QDir delivered(QStringLiteral(":/templates"));
    for (const QString &name : delivered.entryList(QDir::Files)) {
        if (!db::DbfFile::findFile(dataDir, name).isEmpty())
            continue;
        // Written under a scratch name first, so no half-written template
        // ever carries the real one's name.
        const QString target = QDir(dataDir).filePath(name);
        const QString scratch = QDir(dataDir).filePath("~new-" + name);
        QFile::remove(scratch);
        if (!QFile::copy(delivered.filePath(name), scratch) || !QFile::rename(scratch, target)) {
            QFile::remove(scratch);
            continue;
        }
        // Copies of resources are read-only; the user's own file is not.
        QFile::setPermissions(target, QFile::permissions(target) | QFileDevice::WriteOwner | QFileDevice::WriteUser);
    }
}
