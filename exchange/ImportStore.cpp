#include "ImportStore.h"

#include "ExchangeText.h"
#include "ImportPackage.h"
#include "LocalPersons.h"
#include "RecordRoutines.h"
#include "RowCopy.h"
#include "SharedRoutines.h"
#include "TableJournal.h"
#include "UnitDM.h"
#include "db/DbfFile.h"
#include "db/Query.h"
#include "text/Gbk.h"
#include "text/Utf8.h"
#include "ui/HandlerGuard.h"

#include <QHash>

#include <array>
#include <memory>

namespace {

struct ChildTable
{
    const char *staging;
    const char *target;
};

// In the order the children of a record are stored.
constexpr std::array<ChildTable, 4> kChildren{{{"ZLQKtemp.dbf", "zlqk.DBF"},
                                               {"CGWCRtemp.dbf", "cgwcr.DBF"},
                                               {"JDWYHMDtemp.dbf", "jdwyhmd.DBF"},
                                               {"CGWCDWtemp.dbf", "cgwcdw.DBF"}}};
constexpr size_t kPersons = 1;

// A staged child table as statements name it.
QString stagingTable(const ChildTable &c)
{
    return QString::fromLatin1(c.staging).chopped(4); // ".dbf"
}

void ExecDelete(db::Query *query, const QString &rest)
{
    query->close();
    query->setSql("delete from  " + rest);
    query->execSql();
}

std::shared_ptr<db::DbfFile> fileOf(const char *name)
{
    return db::DbfFile::open(DataDir, QString::fromLatin1(name));
}

QString textOf(const db::DbfFile &file, int rec, const char *field)
{
    return gbk::trim(file.value(rec, file.fieldIndex(QString::fromLatin1(field))).toString());
}

// One target table of the store: its file and the copier of staged rows.
struct Target
{
    std::shared_ptr<db::DbfFile> staging, file;
    RowCopier rows;
    int keyField, regionField;

    Target(const char *stagingName, const char *targetName)
        : staging(fileOf(stagingName)), file(fileOf(targetName)), rows(*staging, *file),
          keyField(file->fieldIndex("item_4")), regionField(file->fieldIndex("item_dqdm"))
    {
    }

    // Appends a copy of a staged row, column by position, under the new key.
    int copy(int rec, const QString &key)
    {
        return rows.append(rec, {{keyField, db::Value::fromString(key)},
                                 {regionField, db::Value::fromString(kLocalRegion)}});
    }
};

class RecordStore
{
public:
    explicit RecordStore(bool overwrite)
        : m_overwrite(overwrite), m_records("KJCGtemp.dbf", "kjcg.DBF"), m_staged(m_records.staging),
          m_children{Target(kChildren[0].staging, kChildren[0].target),
                     Target(kChildren[1].staging, kChildren[1].target),
                     Target(kChildren[2].staging, kChildren[2].target),
                     Target(kChildren[3].staging, kChildren[3].target)}
    {
        // The largest ten-digit key of every year, kept up to date as
        // records are stored, so each key costs no scan.
        const int keyField = m_records.file->fieldIndex("item_4");
        for (int rec = 0; rec < m_records.file->recordCount(); ++rec) {
            if (m_records.file->isDeleted(rec))
                continue;
            const db::DbfFile &file = *m_records.file;
            const QString key = QString::fromLatin1(file.textBytes(file.record(rec), keyField)).trimmed();
            if (IsRecordKey(key))
                noteKey(key);
        }
    }

    const std::shared_ptr<db::DbfFile> &staged() const { return m_staged; }
    const StoreTally &tally() const { return m_tally; }

    void store(int rec)
    {
        const QString title = textOf(*m_staged, rec, "item_3");
        if (title.isEmpty()) {
            ++m_tally.untitled;
            return;
        }
        const QString key = textOf(*m_staged, rec, "item_4");
        const QString region = textOf(*m_staged, rec, "item_dqdm");
        const int old = m_overwrite ? sameTitled(title) : -1;
        const QString newKey = keyFor(key, old, title);

        // Everything the step removes is known before anything is added.
        std::array<QVector<int>, kChildren.size()> stagedRows, oldRows;
        for (size_t i = 0; i < kChildren.size(); ++i) {
            stagedRows[i] = RecordsOfKey(*m_children[i].staging, key, region);
            if (old >= 0)
                oldRows[i] = RecordsOfKey(*m_children[i].file, textOf(*m_records.file, old, "item_4"),
                                          textOf(*m_records.file, old, "item_dqdm"));
        }

        TableJournal journal;
        try {
            for (size_t i = 0; i < kChildren.size(); ++i) {
                Target &target = m_children[i];
                journal.watchAppends(target.file);
                // A record's rows of one table go in one write; they are on
                // disk before its staged rows are deleted.
                db::DbfFile::BulkAppend rows(*target.file);
                QVector<int> copied;
                for (const int row : stagedRows[i])
                    copied.append(target.copy(row, newKey));
                rows.finish();
                if (i == kPersons)
                    m_localPersons.upsert(*target.file, copied);
            }
            journal.watchAppends(m_records.file);
            m_records.copy(rec, newKey);
            if (old >= 0) {
                journal.deleteRecord(m_records.file, old);
                for (size_t i = 0; i < kChildren.size(); ++i)
                    for (const int row : oldRows[i])
                        journal.deleteRecord(m_children[i].file, row);
            }
            // Only the staged record goes: the store walks the records, so
            // its staged child rows are never stored again.
            journal.deleteRecord(m_staged, rec);
        } catch (const std::exception &e) {
            // The local person list keeps what it took: taking a person in
            // again when the store is repeated changes nothing.
            const QString undo = journal.undo();
            if (undo.isEmpty())
                throw;
            throw ExchangeError(u("%1\n已写入的部分未能撤销：%2").arg(ui::errorText(e), undo));
        }
        journal.commit();
        if (IsRecordKey(newKey))
            noteKey(newKey);
        ++(old >= 0 ? m_tally.overwritten : m_tally.added);
    }

private:
    void noteKey(const QString &key)
    {
        qlonglong &largest = m_largest[key.left(4)];
        largest = std::max(largest, key.toLongLong());
    }

    // The first stored record of this title, -1 when there is none.
    int sameTitled(const QString &title) const
    {
        const db::DbfFile &file = *m_records.file;
        for (const int rec : file.keyRecords(file.fieldIndex("item_3"), file.fileText(gbk::encode(title))))
            if (!file.isDeleted(rec))
                return rec;
        return -1;
    }

    // The year's largest key plus one; the staged key when the year has
    // none, unless a record made here already holds it.
    QString keyFor(const QString &stagedKey, int replaced, const QString &title) const
    {
        const auto largest = m_largest.constFind(stagedKey.left(4));
        if (largest != m_largest.constEnd())
            return QString::number(*largest + 1);
        for (const int rec : RecordsOfKey(*m_records.file, stagedKey, kLocalRegion))
            if (rec != replaced)
                throw ExchangeError(u("成果管理编号 %1 已被本机的另一项成果占用，“%2”没有入库。")
                                        .arg(stagedKey, title));
        return stagedKey;
    }

    bool m_overwrite;
    Target m_records;
    std::shared_ptr<db::DbfFile> m_staged;
    std::array<Target, kChildren.size()> m_children;
    LocalPersonList m_localPersons;
    QHash<QString, qlonglong> m_largest;
    StoreTally m_tally;
};

} // namespace

void DeleteTempChildRows(const QString &key, const QString &region)
{
    for (const ChildTable &c : kChildren)
        ExecDelete(DM->tempquery, stagingTable(c) + " where item_4=" + SqlLiteral(key)
                                      + " and item_dqdm=" + SqlLiteral(region));
}

void EmptyTempChildTables()
{
    for (const ChildTable &c : kChildren)
        db::DbfFile::open(DataDir, stagingTable(c))->truncate();
}

StoreTally StoreStagedRecords(bool overwrite, const std::function<void()> &progress)
{
    RecordStore store(overwrite);
    QVector<int> staged;
    for (int rec = 0; rec < store.staged()->recordCount(); ++rec)
        if (!store.staged()->isDeleted(rec))
            staged.append(rec);
    for (const int rec : staged) {
        store.store(rec);
        if (progress)
            progress();
    }
    return store.tally();
}
