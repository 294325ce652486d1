#include "ExchangeTextReader.h"

#include "ExchangeText.h"
#include "MemberText.h"
#include "RecordAssembly.h"
#include "db/file/DbfFile.h"
#include "db/dataset/Table.h"
#include "ui/HandlerGuard.h"

#include <QFile>
#include <QFileInfo>

int ImportTextFile(db::Table &table, const QString &path, TxtRecordReader reader, const ReadProgress &progress,
                   bool memberText)
{
    const QString name = QFileInfo(path).fileName();
    QFile text(path);
    if (!text.open(QIODevice::ReadOnly))
        throw ExchangeError(QString::fromUtf8("无法打开文件 %1：%2").arg(name, text.errorString()));
    // The table's own file (shared with the dataset): the rows are appended
    // as one load, written in large pieces with the header once at the end,
    // and taken back whole when the file fails to read.
    const std::shared_ptr<db::DbfFile> file = db::DbfFile::open(table.databaseName(), table.tableName());
    const int before = file->recordCount();
    db::DbfFile::BulkAppend load(*file);

    RecordAssembler records(text);
    if (progress) {
        const qint64 total = text.size();
        records.setAfterRead([&progress, total](qint64 done) { progress(done, total); });
    }
    MemberTextCheck check(name);
    if (memberText) {
        records.setOnPiece([&check](QByteArrayView piece) {
            if (piece.isEmpty())
                check.finish();
            else
                check.take(piece);
        });
    }
    table.disableControls();
    try {
        TxtRecordTarget target(table, reader);
        QByteArray record;
        while (records.next(record))
            target.read(record);
        load.finish();
    } catch (const std::exception &e) {
        QString undo;
        try {
            table.cancel();
            load.abandon();
            table.refresh();
        } catch (const std::exception &failed) {
            undo = QString::fromUtf8("；已读入的行未能撤销：%1").arg(ui::errorText(failed));
        }
        table.enableControls();
        // Both say all there is to say: no line of the records applies.
        if ((dynamic_cast<const ReadCancelled *>(&e) || dynamic_cast<const MemberTextError *>(&e)) && undo.isEmpty())
            throw;
        throw ExchangeError(QString::fromUtf8("读取文件 %1 第 %2 行时出错：%3%4")
                                .arg(name)
                                .arg(records.firstLine())
                                .arg(ui::errorText(e), undo));
    }
    // The rows went to the file: the table lists them, on the last as a post leaves it.
    const int appended = file->recordCount() - before;
    if (appended > 0)
        table.last();
    table.enableControls();
    return appended;
}
