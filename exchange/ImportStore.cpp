#include "ImportStore.h"

#include "ExchangeText.h"
#include "ImportPackage.h"
#include "LocalPersons.h"
#include "RecordRoutines.h"
#include "RowCopy.h"
#include "SharedRoutines.h"
#include "UnitDM.h"
#include "db/file/DbfFile.h"
#include "db/journal/Journal.h"
#include "db/dataset/Query.h"
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

    // Appends a copy of each staged row, column by position, under the new
    // key; returns the new records. A record's rows of one table, with
    // their memos, go in one write.
    QVector<int> copy(const QVector<int> &recs, const db::Value &key)
    {
        static const db::Value local = db::Value::fromString(kLocalRegion);
        rows.setValues({{keyField, key}, {regionField, local}});
        db::DbfFile::BulkAppend write(*file);
        QVector<int> copied;
        copied.reserve(recs.size());
        for (const int rec : recs)
            copied.append(rows.append(rec));
        write.finish();
        return copied;
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
    }

    const std::shared_ptr<db::DbfFile> &staged() const { return m_staged; }
    const StoreTally &tally() const { return m_tally; }

    // Puts what the store will change into the journal at once, so that
    // the store does not flush it row by row: the staged records' deletion
    // marks, the stored records they replace with their child rows, and
    // the local list's rows of their persons.
    void keepChanges(db::Transaction &transaction, const QVector<int> &staged)
    {
        transaction.keepRows(*m_staged, staged, 0, 1);
        QVector<int> persons;
        for (const int rec : staged) {
            const QString key = textOf(*m_staged, rec, "item_4");
            const QString region = textOf(*m_staged, rec, "item_dqdm");
            persons += RecordsOfKey(*m_children[kPersons].staging, key, region);
            const int old = m_overwrite ? sameTitled(textOf(*m_staged, rec, "item_3")) : -1;
            if (old < 0)
                continue;
            const QString oldKey = textOf(*m_records.file, old, "item_4");
            const QString oldRegion = textOf(*m_records.file, old, "item_dqdm");
            transaction.keepRows(*m_records.file, {old});
            for (Target &child : m_children)
                transaction.keepRows(*child.file, RecordsOfKey(*child.file, oldKey, oldRegion));
        }
        m_localPersons.keepRows(transaction, *m_children[kPersons].staging, persons);
    }

    // Stores one staged record with its child rows and takes it out of
    // staging. A failure leaves what was written for the journal to take
    // back.
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
        const db::Value stored = db::Value::fromString(newKey);
        for (size_t i = 0; i < kChildren.size(); ++i) {
            Target &target = m_children[i];
            const QVector<int> copied = target.copy(stagedRows[i], stored);
            if (i == kPersons)
                m_localPersons.upsert(*target.file, copied);
        }
        m_records.copy({rec}, stored);
        if (old >= 0) {
            m_records.file->setDeleted(old, true);
            for (size_t i = 0; i < kChildren.size(); ++i)
                for (const int row : oldRows[i])
                    m_children[i].file->setDeleted(row, true);
        }
        // Only the staged record goes: the store walks the records, so its
        // staged child rows are never stored again.
        m_staged->setDeleted(rec, true);
        if (IsRecordKey(newKey))
            noteKey(newKey);
        ++(old >= 0 ? m_tally.overwritten : m_tally.added);
    }

private:
    void noteKey(const QString &key)
    {
        qlonglong &largest = largestOf(key.left(4));
        largest = std::max(largest, key.toLongLong());
    }

    // The year's largest key, in kjcg and the child tables, kept up to date
    // as records are stored.
    qlonglong &largestOf(const QString &year)
    {
        auto it = m_largest.find(year);
        if (it == m_largest.end())
            it = m_largest.insert(year, LargestKeyOfYear(year));
        return *it;
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

    // Whether anything but the record replaced (and its child rows) holds
    // the key: another region's record of it, or child rows of one.
    bool heldBesides(const QString &key, int replaced) const
    {
        const db::DbfFile &records = *m_records.file;
        const QString region = textOf(records, replaced, "item_dqdm");
        const int keyField = records.fieldIndex("item_4");
        for (const int rec : records.keyRecords(keyField, key.toLatin1()))
            if (rec != replaced && !records.isDeleted(rec))
                return true;
        for (const Target &child : m_children) {
            const db::DbfFile &file = *child.file;
            for (const int rec : file.keyRecords(child.keyField, key.toLatin1()))
                if (!file.isDeleted(rec) && textOf(file, rec, "item_dqdm") != region)
                    return true;
        }
        return false;
    }

    // The year's largest key plus one, where the key of the record being
    // replaced counts as free; the staged key when the year has none,
    // unless a record made here already holds it.
    QString keyFor(const QString &stagedKey, int replaced, const QString &title)
    {
        const qlonglong largest = largestOf(stagedKey.left(4));
        if (largest >= 0) {
            if (replaced >= 0) {
                const QString replacedKey = textOf(*m_records.file, replaced, "item_4");
                if (IsRecordKey(replacedKey) && replacedKey.toLongLong() == largest
                    && !heldBesides(replacedKey, replaced))
                    return replacedKey;
            }
            return QString::number(largest + 1);
        }
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
    // One journal for the pass: a crash takes the whole pass back, and the
    // user stores the package again.
    db::Transaction transaction(DataDir);
    store.keepChanges(transaction, staged);
    for (const int rec : staged) {
        db::Transaction::Savepoint record(transaction);
        try {
            store.store(rec);
        } catch (...) {
            // The record being stored goes back whole and stays staged; the
            // records stored before it stay stored.
            record.rollback();
            transaction.commit();
            throw;
        }
        if (progress)
            progress();
    }
    transaction.commit();
    return store.tally();
}
