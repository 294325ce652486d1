#include "RecordRoutines.h"

#include "SharedRoutines.h"
#include "UnitDM.h"
#include "db/file/DbError.h"
#include "db/journal/Journal.h"
#include "db/dataset/Table.h"
#include "text/Gbk.h"

#include <algorithm>

const QString kLocalRegion = QStringLiteral(".");

namespace {

// What a record of a category keeps: the fields of the other category go, and
// an evaluation form survives only when the category's code list has it.
struct CategoryRule
{
    QStringList clearedFields;
    QStringList keptEvaluationForms;
};

const CategoryRule &ruleFor(const QString &category)
{
    static const CategoryRule applied{{"ITEM_210", "ITEM_200"}, {"1", "2", "3", "5", "7", "9"}};
    static const CategoryRule others{
        {"ITEM_123", "ITEM_124_1", "ITEM_16", "ITEM_33", "ITEM_32", "ITEM_32_1", "ITEM_125_1"},
        {"2", "4", "6", "9"}};
    return category == "1" ? applied : others;
}

QList<db::Table *> childTables()
{
    return {DM->TblCgwcdw, DM->tblzlqk, DM->Tbljdwyhmd, DM->TblCgwcr};
}

// kjcg and its child tables, as files.
QList<std::shared_ptr<db::DbfFile>> recordFiles()
{
    QList<std::shared_ptr<db::DbfFile>> files{db::DbfFile::open(DataDir, QStringLiteral("kjcg.DBF"))};
    for (db::Table *t : childTables())
        files << db::DbfFile::open(DataDir, t->tableName());
    return files;
}

} // namespace

QString keyFilter(const QString &key, const QString &region)
{
    return "item_4=" + SqlLiteral(key) + " and item_dqdm=" + SqlLiteral(region);
}

QString trimmedField(db::Dataset *dataset, const char *name)
{
    return gbk::trim(dataset->fieldByName(name)->asString());
}

void openFiltered(db::Table *table, const QString &filter)
{
    table->close();
    table->setFilter(filter);
    table->setFiltered(true);
    table->open();
}

bool allDigits(const QString &text)
{
    return std::all_of(text.begin(), text.end(), [](QChar c) { return c >= u'0' && c <= u'9'; });
}

bool IsAcceptedYear(const QString &text)
{
    return !text.isEmpty() && allDigits(text) && text.toInt() >= 1900 && text.toInt() <= 2050;
}

bool IsRecordKey(const QString &key)
{
    return key.size() == 10 && allDigits(key);
}

qlonglong LargestKeyOfYear(const QString &year)
{
    // Only ten-digit keys count: a stray key of another form must neither
    // stop the numbering nor make it start again at "000001".
    const auto tenDigits = [](QByteArrayView key) {
        return key.size() == 10 && std::all_of(key.begin(), key.end(), [](char c) { return c >= '0' && c <= '9'; });
    };
    qlonglong largest = -1;
    for (const auto &file : recordFiles()) {
        const QByteArray key = file->largestKey(file->fieldIndex(QStringLiteral("item_4")), year.toLatin1(), tenDigits);
        if (!key.isEmpty())
            largest = std::max(largest, key.toLongLong());
    }
    return largest;
}

QString NextRecordKey(const QString &year)
{
    const qlonglong largest = LargestKeyOfYear(year);
    return largest < 0 ? year + "000001" : QString::number(largest + 1);
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

void KeepRecordRows(db::Transaction &transaction, const QString &key, const QString &region, RecordChange change)
{
    if (!transaction.journaling())
        return;
    const QList<std::shared_ptr<db::DbfFile>> files = recordFiles();
    for (const auto &file : files) {
        const QVector<int> rows = RecordsOfKey(*file, key, region);
        if (change == RecordChange::Deletion) {
            transaction.keepRows(*file, rows, 0, 1); // the deletion mark
        } else if (file == files.first()) {
            transaction.keepRows(*file, rows);
        } else {
            const db::FieldDef &k = file->fields()[file->fieldIndex("item_4")];
            const db::FieldDef &r = file->fields()[file->fieldIndex("item_dqdm")];
            const int begin = std::min(k.offset, r.offset);
            transaction.keepRows(*file, rows, begin, std::max(k.offset + k.length, r.offset + r.length) - begin);
        }
    }
}

void ClearFieldsOfOtherCategory(db::Dataset *record, const QString &category)
{
    const CategoryRule &rule = ruleFor(category);
    for (const QString &field : rule.clearedFields)
        record->fieldByName(field)->clear();
    db::Field *form = record->fieldByName("ITEM_21");
    if (!rule.keptEvaluationForms.contains(gbk::trim(form->asString())))
        form->clear();
}

void MoveChildRows(const QString &oldKey, const QString &oldRegion, const QString &newKey)
{
    if (newKey == oldKey && oldRegion == kLocalRegion)
        return;
    db::Transaction transaction(DataDir);
    for (db::Table *table : childTables()) {
        openFiltered(table, keyFilter(oldKey, oldRegion));
        // Each posted row leaves the filtered view; the cursor moves on.
        for (table->first(); !table->eof();) {
            table->edit();
            table->fieldByName("item_4")->setAsString(newKey);
            table->fieldByName("item_dqdm")->setAsString(kLocalRegion);
            table->post();
        }
    }
    transaction.commit();
}

void DeleteChildRows(const QString &key, const QString &region)
{
    db::Transaction transaction(DataDir);
    for (db::Table *table : childTables()) {
        openFiltered(table, keyFilter(key, region));
        for (table->first(); !table->isEmpty();)
            table->deleteRecord();
    }
    transaction.commit();
}

bool LocateRecord(db::Dataset *dataset, const QString &key, const QString &region)
{
    for (dataset->first(); !dataset->eof(); dataset->next())
        if (trimmedField(dataset, "item_4") == key && trimmedField(dataset, "item_dqdm") == region)
            return true;
    dataset->first();
    return false;
}

namespace {

bool holdsNumber(const db::Value &value, int number)
{
    try {
        return !value.isNull() && value.toNumber() == number;
    } catch (const db::DbError &) {
        return false;
    }
}

} // namespace

void RenumberRows(db::Dataset *rows, const QString &sequenceField)
{
    db::Transaction transaction(rows->databaseName().isEmpty() ? DataDir : rows->databaseName());
    // Most rows keep their place from the last time: only the others (an
    // unreadable number among them) are written, their numbers journaled
    // at once.
    const int column = rows->fieldByName(sequenceField)->index();
    QList<int> moving;
    for (int row = 0; row < rows->rowCount(); ++row)
        if (!holdsNumber(rows->rowValue(row, column), row + 1))
            moving.append(row);
    if (moving.isEmpty())
        return;
    rows->keepRows(transaction, moving, sequenceField);
    QVector<std::pair<db::Dataset::Bookmark, db::Value>> written;
    rows->disableControls();
    try {
        db::Field *sequence = rows->fieldByName(sequenceField);
        int place = 0;
        for (rows->first(); !rows->eof(); rows->next()) {
            if (holdsNumber(sequence->value(), ++place))
                continue;
            const db::Value old = sequence->value();
            rows->edit();
            sequence->setAsInteger(place);
            rows->post();
            written.append({rows->bookmark(), old});
        }
    } catch (...) {
        rows->cancel();
        for (const auto &[row, old] : written) {
            try {
                rows->gotoBookmark(row);
                rows->edit();
                rows->fieldByName(sequenceField)->setValue(old);
                rows->post();
            } catch (...) {
                rows->cancel(); // the first error is the one to report
            }
        }
        rows->enableControls();
        throw;
    }
    rows->enableControls();
    transaction.commit();
}
