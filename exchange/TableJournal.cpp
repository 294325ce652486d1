#include "TableJournal.h"

#include "db/DbfFile.h"
#include "text/Gbk.h"
#include "ui/HandlerGuard.h"

#include <functional>

void TableJournal::watchAppends(const std::shared_ptr<db::DbfFile> &file)
{
    for (const Appends &a : m_appends)
        if (a.file == file)
            return;
    m_appends.append({file, file->recordCount()});
}

void TableJournal::deleteRecord(const std::shared_ptr<db::DbfFile> &file, int rec)
{
    if (file->isDeleted(rec))
        return;
    file->setDeleted(rec, true);
    m_deletions.append({file, rec});
}

QString TableJournal::undo()
{
    QString failed;
    const auto attempt = [&](const std::function<void()> &step) {
        try {
            step();
        } catch (const std::exception &e) {
            if (failed.isEmpty())
                failed = ui::errorText(e);
        }
    };
    for (auto d = m_deletions.crbegin(); d != m_deletions.crend(); ++d)
        attempt([&] { d->file->setDeleted(d->rec, false); });
    for (auto a = m_appends.crbegin(); a != m_appends.crend(); ++a)
        attempt([&] {
            for (int rec = a->before; rec < a->file->recordCount(); ++rec)
                if (!a->file->isDeleted(rec))
                    a->file->setDeleted(rec, true);
        });
    commit();
    return failed;
}

void TableJournal::commit()
{
    m_appends.clear();
    m_deletions.clear();
}

QVector<int> RecordsOfKey(const db::DbfFile &file, const QString &key, const QString &region)
{
    const int keyField = file.fieldIndex(QStringLiteral("item_4"));
    const int regionField = file.fieldIndex(QStringLiteral("item_dqdm"));
    const QByteArray regionBytes = file.fileText(gbk::encode(region));
    QVector<int> found;
    for (const int rec : file.keyRecords(keyField, file.fileText(gbk::encode(key)))) {
        if (file.isDeleted(rec))
            continue;
        if (file.textBytes(file.record(rec), regionField) == regionBytes)
            found.append(rec);
    }
    return found;
}
