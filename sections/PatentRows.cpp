#include "PatentRows.h"

#include "ListSection.h"
#include "RecordRoutines.h"
#include "UnitDM.h"
#include "db/file/DbfFile.h"
#include "db/journal/Journal.h"
#include "db/dataset/Table.h"

void OpenPatentRows(const QString &key, const QString &region)
{
    openFiltered(DM->tblzlqk, keyFilter(key, region));
}

void OpenPatentRowsOf(db::Dataset *record)
{
    OpenPatentRows(trimmedField(record, "ITEM_4"), trimmedField(record, "ITEM_DQDM"));
}

PatentCounts CountPatents()
{
    PatentCounts counts;
    db::Table *patents = DM->tblzlqk;
    for (patents->first(); !patents->eof(); patents->next()) {
        const QString status = trimmedField(patents, "PATENT_ST");
        if (status == QLatin1String("1"))
            ++counts.applied;
        else if (status == QLatin1String("2"))
            ++counts.granted;
    }
    return counts;
}

void RenumberPatents()
{
    RenumberRows(DM->tblzlqk, "item_no");
    DM->tblzlqk->first();
}

void KeepPatentDeletionsOf(db::Transaction &transaction, db::Dataset *record)
{
    if (!transaction.journaling())
        return;
    const auto file = db::DbfFile::open(DataDir, DM->tblzlqk->tableName());
    const QVector<int> rows = RecordsOfKey(*file, trimmedField(record, "ITEM_4"), trimmedField(record, "ITEM_DQDM"));
    transaction.keepRows(*file, rows, 0, 1); // the deletion mark
}

void DeletePatentRowsOf(db::Dataset *record)
{
    db::Transaction transaction(DataDir);
    KeepPatentDeletionsOf(transaction, record);
    OpenPatentRowsOf(record);
    db::Table *patents = DM->tblzlqk;
    for (patents->first(); !patents->isEmpty();)
        patents->deleteRecord();
    transaction.commit();
}
