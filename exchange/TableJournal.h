#pragma once
// Changes to table files that are taken back together when a step of the
// import fails half-way: rows appended and rows marked deleted. The tables
// know nothing of it; datasets over them see the rows come and go as after
// any other write.
#include <QString>
#include <QVector>
#include <memory>

namespace db {
class DbfFile;
}

class TableJournal
{
public:
    TableJournal() = default;
    TableJournal(const TableJournal &) = delete;
    TableJournal &operator=(const TableJournal &) = delete;

    // Rows appended to the file from now on belong to this journal.
    void watchAppends(const std::shared_ptr<db::DbfFile> &file);
    // Marks the record deleted, to be restored by undo().
    void deleteRecord(const std::shared_ptr<db::DbfFile> &file, int rec);
    // Takes every change back, the latest first. Returns an empty text, or
    // what could not be taken back.
    QString undo();
    // Keeps the changes: the journal forgets them.
    void commit();

private:
    struct Appends
    {
        std::shared_ptr<db::DbfFile> file;
        int before;
    };
    struct Deletion
    {
        std::shared_ptr<db::DbfFile> file;
        int rec;
    };
    QVector<Appends> m_appends;
    QVector<Deletion> m_deletions;
};

// The live records of a staging or child table whose ITEM_4 and ITEM_DQDM
// hold key and region (trailing blanks aside), ascending, through the key
// index.
QVector<int> RecordsOfKey(const db::DbfFile &file, const QString &key, const QString &region);
