#include "LocalPersons.h"

#include "SharedRoutines.h"
#include "UnitDM.h"
#include "db/file/DbError.h"
#include "db/file/DbfFile.h"
#include "db/journal/Journal.h"
#include "text/Gbk.h"

#include <algorithm>

namespace {

QString personName(const db::Value &name)
{
    return gbk::trim(name.toString());
}

} // namespace

void CopyPersonColumns(db::Dataset *to, db::Dataset *from, int row)
{
    for (int i = 0; i < to->fieldCount(); ++i) {
        db::Field *target = to->field(i);
        if (target->isLookup())
            continue;
        if (db::Field *source = from->findField(target->fieldName()); source && !source->isLookup())
            target->setValue(from->rowValue(row, source->index()));
    }
}

void UpsertLocalPerson(db::Dataset *person)
{
    const QString name = personName(person->fieldByName("item_180")->value());
    db::Table *local = DM->TblwcrNew;
    local->setFilter("item_180 =" + SqlLiteral(name));
    local->setFiltered(true);
    if (!local->active())
        local->open();
    // The filter takes a name ending in "*" as the start of names: only the
    // rows of exactly this name count.
    QList<db::Dataset::Bookmark> same;
    for (local->first(); !local->eof(); local->next())
        if (personName(local->fieldByName("item_180")->value()) == name)
            same << local->bookmark();
    if (same.size() > 1)
        return;
    if (same.isEmpty()) {
        local->append();
    } else {
        local->gotoBookmark(same.first());
        local->edit();
    }
    try {
        CopyPersonColumns(local, person, person->currentRow());
        local->post();
    } catch (...) {
        local->cancel();
        throw;
    }
}

void LocalPersonList::openList()
{
    if (m_file)
        return;
    m_file = db::DbfFile::open(DataDir, QStringLiteral("cgwcrNew.dbf"));
    m_name = m_file->fieldIndex("item_180");
}

void LocalPersonList::useSource(const db::DbfFile &persons)
{
    if (m_source == &persons)
        return;
    m_source = &persons;
    m_sourceColumns.clear();
    for (const db::FieldDef &f : m_file->fields())
        m_sourceColumns.append(persons.fieldIndex(QString::fromLatin1(f.name)));
    m_sourceName = persons.fieldIndex("item_180");
    const QVector<db::FieldDef> &mine = m_file->fields(), &theirs = persons.fields();
    m_sameLayout = persons.recordLength() == m_file->recordLength() && persons.isUtf8() == m_file->isUtf8()
                   && std::equal(mine.begin(), mine.end(), theirs.begin(), theirs.end(),
                                 [](const db::FieldDef &a, const db::FieldDef &b) {
                                     return a.type != 'M' && a.name.compare(b.name, Qt::CaseInsensitive) == 0
                                         && a.type == b.type && a.length == b.length && a.decimals == b.decimals
                                         && a.offset == b.offset;
                                 });
}

QVector<int> LocalPersonList::rowsOfName(const db::DbfFile &persons, int rec) const
{
    const QString name = personName(persons.value(rec, m_sourceName));
    // The index ignores trailing blanks only: the name must match whole.
    QVector<int> same;
    for (const int row : m_file->keyRecords(m_name, m_file->fileText(gbk::encode(name))))
        if (!m_file->isDeleted(row) && personName(m_file->value(row, m_name)) == name)
            same.append(row);
    return same;
}

void LocalPersonList::upsert(const db::DbfFile &persons, const QVector<int> &recs)
{
    if (recs.isEmpty())
        return;
    openList();
    useSource(persons);
    db::DbfFile::BulkAppend added(*m_file);
    for (const int rec : recs)
        upsertOne(persons, rec);
    added.finish();
}

void LocalPersonList::keepRows(db::Transaction &transaction, const db::DbfFile &persons, const QVector<int> &recs)
{
    try {
        openList();
    } catch (const db::DbError &) {
        return; // the first person taken in reports it, where the user expects it
    }
    useSource(persons);
    QVector<int> rows;
    for (const int rec : recs)
        if (const QVector<int> same = rowsOfName(persons, rec); same.size() == 1)
            rows += same;
    transaction.keepRows(*m_file, rows);
}

void LocalPersonList::upsertOne(const db::DbfFile &persons, int rec)
{
    const QVector<int> same = rowsOfName(persons, rec);
    if (same.size() > 1)
        return;
    QByteArray raw;
    if (m_sameLayout) {
        // Every column taken: the person's record as it is.
        raw = QByteArray(persons.record(rec), persons.recordLength());
        raw[0] = ' ';
    } else {
        raw = same.isEmpty() ? m_file->blankRecord() : QByteArray(m_file->record(same.first()), m_file->recordLength());
        for (int c = 0; c < m_sourceColumns.size(); ++c)
            if (m_sourceColumns[c] >= 0)
                m_file->encode(raw, c, persons.value(rec, m_sourceColumns[c]));
    }
    if (same.isEmpty())
        m_file->appendRecord(raw);
    else
        m_file->writeRecord(same.first(), raw);
}
