#include "PatentRows.h"

#include "ListSection.h"
#include "RecordRoutines.h"
#include "UnitDM.h"
#include "db/Table.h"
#include "db/Journal.h"

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

void DeletePatentRows()
{
    db::Table *patents = DM->tblzlqk;
    db::Transaction transaction(DataDir);
    for (patents->first(); !patents->isEmpty();)
        patents->deleteRecord();
    transaction.commit();
}
