#include "ExchangeTextReader.h"

#include "ExchangeText.h"
#include "RecordAssembly.h"
#include "db/DbfFile.h"
#include "db/Table.h"
#include "ui/HandlerGuard.h"

#include <QFile>
#include <QFileInfo>

namespace {

// Marks deleted the records appended to the file since it held `before`.
QString takeBack(db::Table &table, db::DbfFile &file, int before)
{
    try {
        table.cancel();
        for (int rec = before; rec < file.recordCount(); ++rec)
            if (!file.isDeleted(rec))
                file.setDeleted(rec, true);
        table.refresh();
    } catch (const std::exception &e) {
        return QString::fromUtf8("；已读入的行未能撤销：%1").arg(ui::errorText(e));
    }
    return {};
}

} // namespace

int ImportTextFile(db::Table &table, const QString &path, TxtRecordReader readRecord,
                   const std::function<void()> &afterLine)
{
    const QString name = QFileInfo(path).fileName();
    QFile text(path);
    if (!text.open(QIODevice::ReadOnly))
        throw ExchangeError(QString::fromUtf8("无法打开文件 %1：%2").arg(name, text.errorString()));
    // The table's own file (shared with the dataset): rows appended to it
    // lie beyond its record count at the start.
    const std::shared_ptr<db::DbfFile> file = db::DbfFile::open(table.databaseName(), table.tableName());
    const int before = file->recordCount();

    RecordAssembler records(text);
    records.setAfterLine(afterLine);
    table.disableControls();
    try {
        QByteArray record;
        while (records.next(record))
            readRecord(table, record);
    } catch (const std::exception &e) {
        const QString undo = takeBack(table, *file, before);
        table.enableControls();
        throw ExchangeError(QString::fromUtf8("读取文件 %1 第 %2 行时出错：%3%4")
                                .arg(name)
                                .arg(records.firstLine())
                                .arg(ui::errorText(e), undo));
    }
    table.enableControls();
    return file->recordCount() - before;
}
