#include "CodeUpdate.h"

#include "CodeTableText.h"
#include "ExchangeText.h"
#include "ExchangeTextReader.h"
#include "TableSchemas.h"
#include "UnitDM.h"
#include "archiver/Archiver.h"
#include "db/file/DbError.h"
#include "db/file/DbfFile.h"
#include "db/file/Disk.h"
#include "db/dataset/Table.h"
#include "text/Gbk.h"
#include "text/Utf8.h"
#include "ui/HandlerGuard.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <cerrno>
#include <cstdio>
#include <cstring>

namespace {

const CodeTable kCodeTables[] = {
    {"DFJHXX.ARJ", "DFJHXX.TXT", "DFJHZDXX.DBF", "更新“课题来源”下级菜单成功!", &TDM::TblDFJHZDXX, nullptr},
    {"ZTFLB.ARJ", "ZTFL.TXT", "ZTFLH.DBF", "更新“中图分类号”菜单成功!", &TDM::Tztflh2, &HasZtflh},
    {"XKFLB.ARJ", "XKFL.TXT", "XKFL.DBF", "更新“学科分类”菜单成功!", &TDM::Txkfl2, &HasXkfl},
    {"LSBWB.ARJ", "LSBW.TXT", "LSBW.DBF", "更新“隶属部委”菜单成功!", &TDM::tblLsbw, nullptr},
};

// The widest text column a dBASE table has: the rows of an update file are
// read into columns this wide first, so a value too long for the real
// column is seen instead of cut.
constexpr int kWidestText = 254;

db::Table *datasetOf(const CodeTable &t) { return DM->*t.dataset; }

// The table's file in the data folder; where there is none yet, the name it
// is created under.
QString targetPath(const CodeTable &t)
{
    const QString name = datasetOf(t)->tableName();
    const QString found = db::DbfFile::findFile(DataDir, name);
    return found.isEmpty() ? QDir(DataDir).filePath(tableSchema(name)->fileName) : found;
}

QVector<db::ColumnDef> columnsOf(const db::DbfFile &file)
{
    QVector<db::ColumnDef> out;
    for (const db::FieldDef &f : file.fields())
        out.append({QString::fromLatin1(f.name), f.type, f.length, f.decimals});
    return out;
}

// The columns the new rows must have: the present table's, or the schema's
// for a table the folder does not have.
QVector<db::ColumnDef> targetColumns(const CodeTable &t, const QString &target)
{
    if (QFileInfo::exists(target))
        return columnsOf(*db::DbfFile::open(DataDir, QFileInfo(target).fileName()));
    return tableSchema(datasetOf(t)->tableName())->columns;
}

QString describe(const db::ColumnDef &c)
{
    if (c.type == 'N' || c.type == 'F')
        return QString("%1 %2(%3,%4)").arg(c.name).arg(QChar(c.type)).arg(c.length).arg(c.decimals);
    return QString("%1 %2(%3)").arg(c.name).arg(QChar(c.type)).arg(c.length);
}

// "" when the columns agree in name (any case), type, width and decimals.
QString firstDifference(const QVector<db::ColumnDef> &chosen, const QVector<db::ColumnDef> &present)
{
    for (int i = 0; i < std::max(chosen.size(), present.size()); ++i) {
        const QString mine = i < chosen.size() ? describe(chosen[i]) : u("（没有）");
        const QString theirs = i < present.size() ? describe(present[i]) : u("（没有）");
        if (mine.compare(theirs, Qt::CaseInsensitive) != 0)
            return u("第 %1 列是 %2，原表是 %3").arg(i + 1).arg(mine, theirs);
    }
    return {};
}

// A table file made beside the table it is to replace, under a name the
// engine takes for its own temporary files (so start-up clears it away
// after a crash), with the code-page file a ready table may bring. Removed
// unless it was renamed into place.
class ScratchFile
{
public:
    ScratchFile(const QString &folder, const QString &name) : m_folder(folder), m_name("~new-" + name) { remove(); }
    ~ScratchFile() { remove(); }
    ScratchFile(const ScratchFile &) = delete;
    ScratchFile &operator=(const ScratchFile &) = delete;

    const QString &folder() const { return m_folder; }
    const QString &name() const { return m_name; }
    QString path() const { return QDir(m_folder).filePath(m_name); }
    QString codePagePath() const { return QDir(m_folder).filePath(QFileInfo(m_name).completeBaseName() + ".cpg"); }

private:
    void remove() const
    {
        QFile::remove(codePagePath());
        for (QString found; !(found = db::DbfFile::findFile(m_folder, m_name)).isEmpty();) {
            db::DbfFile::forget(found);
            if (!QFile::remove(found))
                break;
        }
    }
    QString m_folder;
    QString m_name;
};

// Reads the update file into a new table of the given columns, text columns
// at their widest.
void readTextFile(const QString &textPath, QVector<db::ColumnDef> columns, const ScratchFile &into,
                  const ReadProgress &progress)
{
    for (db::ColumnDef &c : columns)
        if (c.type == 'C')
            c.length = std::max(c.length, kWidestText);
    db::DbfFile::create(into.folder(), into.name(), columns);
    db::Table table;
    table.setDatabaseName(into.folder());
    table.setTableName(into.name());
    table.open();
    table.beginBulkLoad();
    ImportTextFile(table, textPath, ImportCodeTxtRecord, progress);
    table.endBulkLoad();
}

// A text the code table is to hold must be GBK that reads back to the same
// bytes: a table in UTF-8 may hold characters GBK has not, and one marked
// as GBK may hold bytes that are no GBK text at all. row counts from 1.
void requireGbkText(const db::DbfFile &file, int rec, int field, const db::Value &v, const QString &source, int row)
{
    if (v.kind != db::Value::Text)
        return;
    const QString text =
        file.fields()[field].type == 'C' ? file.storedText(file.record(rec), field) : gbk::decode(v.text);
    if (gbk::encodable(text) && gbk::encode(text) == v.text)
        return;
    throw ExchangeError(u("%1 的第 %2 条记录中，%3 列的值“%4”不是 GBK 文字%5")
                            .arg(source)
                            .arg(row)
                            .arg(QString::fromLatin1(file.fields()[field].name), text)
                            .arg(file.isUtf8() ? u("（该表的代码页是 UTF-8，其中有 GBK 无法表示的字符）") : QString()));
}

// Copies the rows read into a new GBK table of the real columns; a text
// longer than its column, or one of a UTF-8 table that GBK cannot hold,
// stops the copy. Returns the number of rows.
int copyRows(const ScratchFile &from, const QVector<db::ColumnDef> &columns, const ScratchFile &to,
             const QString &textName)
{
    db::DbfFile::create(to.folder(), to.name(), columns);
    const auto source = db::DbfFile::open(from.folder(), from.name());
    const auto target = db::DbfFile::open(to.folder(), to.name());
    db::DbfFile::BulkAppend bulk(*target);
    int rows = 0;
    for (int rec = 0; rec < source->recordCount(); ++rec) {
        if (source->isDeleted(rec))
            continue;
        ++rows;
        QByteArray raw = target->blankRecord();
        for (int f = 0; f < target->fieldCount(); ++f) {
            const db::Value v = source->value(rec, f);
            const db::FieldDef &def = target->fields()[f];
            requireGbkText(*source, rec, f, v, textName, rows);
            if (def.type == 'C' && v.kind == db::Value::Text && v.text.size() > def.length)
                throw ExchangeError(u("%1 的第 %2 条记录中，%3 列的值“%4”有 %5 字节，超出该列的宽度 %6 字节")
                                        .arg(textName)
                                        .arg(rows)
                                        .arg(QString::fromLatin1(def.name), v.toString())
                                        .arg(v.text.size())
                                        .arg(def.length));
            target->encode(raw, f, v);
        }
        target->appendRecord(raw);
    }
    bulk.finish();
    return rows;
}

// Copies the file byte for byte, the source opened for reading only.
void copyFile(const QString &source, const QString &target)
{
    const QString shown = QDir::toNativeSeparators(source);
    QFile in(source);
    if (!in.open(QIODevice::ReadOnly))
        throw ExchangeError(u("无法打开 %1：%2").arg(shown, in.errorString()));
    const qint64 size = in.size();
    QFile out(target);
    if (!out.open(QIODevice::WriteOnly | QIODevice::Truncate))
        throw ExchangeError(u("无法在数据目录中建立 %1：%2").arg(QFileInfo(target).fileName(), out.errorString()));
    QByteArray buffer(1 << 16, Qt::Uninitialized);
    qint64 copied = 0;
    QString problem;
    for (;;) {
        const qint64 n = in.read(buffer.data(), buffer.size());
        if (n < 0) {
            problem = in.errorString();
            break;
        }
        if (n == 0)
            break;
        const qint64 written = out.write(buffer.constData(), n);
        copied += std::max<qint64>(written, 0);
        if (written != n) {
            problem = out.errorString();
            break;
        }
    }
    if (!out.flush() && problem.isEmpty())
        problem = out.errorString();
    out.close();
    if (copied != size)
        throw ExchangeError(u("复制 %1 时只写入了 %2 字节（文件有 %3 字节）%4")
                                .arg(shown)
                                .arg(copied)
                                .arg(size)
                                .arg(problem.isEmpty() ? QString() : u("：") + problem));
}

// The copy must open as a table, have the columns of the table it replaces
// and every value must read, its texts as GBK.
void checkReadyTable(const ScratchFile &copy, const QString &shown, const QVector<db::ColumnDef> &columns)
{
    try {
        const auto file = db::DbfFile::open(copy.folder(), copy.name());
        const QString difference = firstDifference(columnsOf(*file), columns);
        if (!difference.isEmpty())
            throw ExchangeError(u("所选的表 %1 与原表的列不同：%2").arg(shown, difference));
        for (int rec = 0, row = 0; rec < file->recordCount(); ++rec) {
            if (file->isDeleted(rec))
                continue;
            ++row;
            for (int f = 0; f < file->fieldCount(); ++f)
                requireGbkText(*file, rec, f, file->value(rec, f), shown, row);
        }
    } catch (const db::DbError &e) {
        // The engine names the copy; the user knows the file chosen.
        const QString what = QString(e.message())
                                 .replace(copy.name(), shown, Qt::CaseInsensitive)
                                 .replace(QFileInfo(copy.name()).completeBaseName(), shown);
        throw ExchangeError(u("所选的文件 %1 不是可用的表：%2").arg(shown, what));
    }
}

// What a failure before the rename left.
QString unchanged(const QString &target)
{
    const QString name = QFileInfo(target).fileName();
    return QFileInfo::exists(target) ? u("原有的表 %1 没有改动。").arg(name) : u("表 %1 没有建立。").arg(name);
}

void reopen(const QList<db::Table *> &tables)
{
    for (db::Table *t : tables)
        t->open();
}

// Renames the scratch file over the table's file, which nothing may hold open.
void renameInto(const QString &scratch, const QString &target)
{
    const QString name = QFileInfo(target).fileName();
    if (db::DbfFile::isOpen(target))
        throw ExchangeError(u("表 %1 正在使用中，无法替换。").arg(name) + unchanged(target));
    db::DbfFile::forget(target);
    db::DbfFile::forget(scratch);
    // Its rows on disk before it takes the name, so a power cut leaves the old table or the new one whole.
    if (!db::disk::putInPlace(scratch, target)) {
        const QString reason = db::disk::failureReason(errno);
        throw ExchangeError(u("无法用新表替换 %1：%2。").arg(name, reason) + unchanged(target));
    }
}

// Renames the scratch file over the table's file. The data module's tables
// on that file are closed meanwhile, so none of them keeps reading the old
// one, and opened again on the new. A classification the folder did not
// have is opened as well, so its pickers work from now on.
void putInPlace(const CodeTable &t, const QString &scratch, const QString &target)
{
    const QString base = QFileInfo(target).completeBaseName();
    const QString dataDir = QFileInfo(DataDir).absoluteFilePath();
    QList<db::Table *> closed;
    for (db::Table *table : DM->findChildren<db::Table *>()) {
        if (table->active() && QFileInfo(table->tableName()).completeBaseName().compare(base, Qt::CaseInsensitive) == 0
            && QFileInfo(table->databaseName()).absoluteFilePath() == dataDir) {
            table->close();
            closed << table;
        }
    }
    try {
        renameInto(scratch, target);
    } catch (...) {
        try {
            reopen(closed);
        } catch (const std::exception &) {
            // The failure that brought us here is the one to report.
        }
        throw;
    }
    reopen(closed);
    if (t.present && !*t.present) {
        *t.present = true;
        db::Table *dataset = datasetOf(t);
        dataset->setDatabaseName(DataDir);
        dataset->open();
        DM->Table1->setDatabaseName(DataDir);
    }
}

// Runs the steps before the rename; a failure there changed nothing.
template <typename Steps>
void beforeReplacing(const QString &target, Steps steps)
{
    try {
        steps();
    } catch (const std::exception &e) {
        throw ExchangeError(ui::errorText(e) + '\n' + unchanged(target), ui::errorDetails(e));
    }
}

// An update without rows would leave the pickers with nothing to offer.
void requireRows(int rows, const QString &source)
{
    if (rows == 0)
        throw ExchangeError(u("%1 中没有任何记录，不能用来更新。").arg(source));
}

// The ready table's code-page file, copied beside the copy of the table, so
// that the engine reads the copy in the table's own code page. False when
// the table has none.
bool copyCodePage(const QString &readyPath, const ScratchFile &copy)
{
    const QFileInfo ready(readyPath);
    const QString cpg = db::DbfFile::findFile(ready.absolutePath(), ready.completeBaseName() + ".cpg");
    if (cpg.isEmpty())
        return false;
    copyFile(cpg, copy.codePagePath());
    return true;
}

// The language-driver byte of a table file marks it as ours: GBK (0x4D,
// 0x7A) or unmarked.
bool markedAsGbk(const QString &path)
{
    QFile f(path);
    if (!f.open(QIODevice::ReadOnly) || !f.seek(29))
        return false;
    char mark = 0;
    return f.getChar(&mark) && QByteArray("\x00\x4D\x7A\x57", 4).contains(mark);
}

InstallTable installer(const QString &target, const InstallTable &install)
{
    if (install)
        return install;
    return [target](const QString &scratch) { renameInto(scratch, target); };
}

} // namespace

std::span<const CodeTable> codeTables()
{
    return kCodeTables;
}

bool isUpdateArchiveName(const CodeTable &t, const QString &chosen)
{
    return chosen.trimmed().toUpper().endsWith(QString::fromLatin1(t.archive));
}

bool isReadyTableName(const CodeTable &t, const QString &chosen)
{
    return QFileInfo(chosen).fileName().compare(QString::fromLatin1(t.readyFile), Qt::CaseInsensitive) == 0;
}

int replaceFromText(const QString &target, const QVector<db::ColumnDef> &columns, const QString &textPath,
                    const ReadProgress &progress, const InstallTable &install)
{
    const QString folder = QFileInfo(target).absolutePath();
    ScratchFile read(folder, "read-" + QFileInfo(target).fileName());
    ScratchFile made(folder, QFileInfo(target).fileName());
    int rows = 0;
    beforeReplacing(target, [&] {
        readTextFile(textPath, columns, read, progress);
        rows = copyRows(read, columns, made, QFileInfo(textPath).fileName());
        requireRows(rows, QFileInfo(textPath).fileName());
    });
    installer(target, install)(made.path());
    return rows;
}

int replaceFromReadyTable(const QString &target, const QVector<db::ColumnDef> &columns, const QString &readyPath,
                          const InstallTable &install)
{
    const QString folder = QFileInfo(target).absolutePath();
    const QString shown = QFileInfo(readyPath).fileName();
    ScratchFile copy(folder, QFileInfo(target).fileName());
    ScratchFile rebuilt(folder, "gbk-" + QFileInfo(target).fileName());
    const ScratchFile *made = &copy;
    int rows = 0;
    beforeReplacing(target, [&] {
        copyFile(readyPath, copy.path());
        const bool codePageNamed = copyCodePage(readyPath, copy);
        checkReadyTable(copy, shown, columns);
        // Only GBK is installed: a table that names another code page is
        // written anew, its texts read in that code page.
        if (codePageNamed || !markedAsGbk(copy.path())) {
            rows = copyRows(copy, columns, rebuilt, shown);
            made = &rebuilt;
        } else {
            const auto file = db::DbfFile::open(folder, copy.name());
            rows = file->recordCount() - file->deletedCount();
        }
        db::DbfFile::forget(copy.path());
        requireRows(rows, shown);
    });
    installer(target, install)(made->path());
    return rows;
}

int updateFromArchive(const CodeTable &t, const QString &archivePath, const ReadProgress &progress)
{
    const QString target = targetPath(t);
    const QString member = QString::fromLatin1(t.member);
    beforeReplacing(target, [&] {
        if (!archiver::extractMembers(archivePath, {member}).isEmpty())
            throw ExchangeError(u("压缩包 %1 中没有文件 %2").arg(QFileInfo(archivePath).fileName(), member));
    });
    return replaceFromText(target, targetColumns(t, target), QFileInfo(archivePath).dir().filePath(member), progress,
                           [&](const QString &scratch) { putInPlace(t, scratch, target); });
}

void updateFromReadyTable(const CodeTable &t, const QString &readyPath)
{
    const QString target = targetPath(t);
    replaceFromReadyTable(target, targetColumns(t, target), readyPath,
                          [&](const QString &scratch) { putInPlace(t, scratch, target); });
}
