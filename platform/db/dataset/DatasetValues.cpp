// Reading the values of a dataset's rows and fields: from the record bytes,
// a row's own values, the current row's pending changes or a lookup.
#include "Dataset.h"

#include "db/file/DbError.h"

#include <cstring>

namespace db {

Field *Dataset::field(int i)
{
    if (i < 0 || i >= fieldCount())
        throw DbError(QString::fromUtf8("数据集 %1 没有第 %2 个字段").arg(tableLabel()).arg(i + 1));
    return m_fields[size_t(i)].get();
}

Field *Dataset::findField(const QString &name)
{
    // Most callers spell the name as it is kept (lower case): no copy then.
    auto it = m_fieldIndex.constFind(name);
    if (it != m_fieldIndex.constEnd())
        return m_fields[size_t(*it)].get();
    it = m_fieldIndex.constFind(name.trimmed().toLower());
    if (it == m_fieldIndex.constEnd())
        return nullptr;
    // Kept under this spelling too, so that a loop over the rows asking
    // for "NO" makes no copy either.
    const int col = *it;
    m_fieldIndex.insert(name, col);
    return m_fields[size_t(col)].get();
}

Field *Dataset::fieldByName(const QString &name)
{
    if (Field *f = findField(name))
        return f;
    throw DbError(QString::fromUtf8("表 %1 中没有字段 %2").arg(tableLabel(), name));
}

void Dataset::setFieldLabel(const QString &fieldName, const QString &label)
{
    m_labels.insert(fieldName.toLower(), label);
}

QString Dataset::fieldLabel(int i) const
{
    const Column &c = m_columns[i];
    if (i >= m_dataColumns)
        return m_lookups[i - m_dataColumns].label;
    return m_labels.value(c.name.toLower(), c.name);
}

// A record's bytes for a look at one row. Rows visited in file order are
// read through the mapping, which gives back the pages behind a long run;
// after a jump the record is read alone: touching
// a mapped record maps the pages around it as well (whole large folios on
// some systems), and looks at a few rows spread over a large table would
// leave most of it resident.
const char *Dataset::recordBytes(int rec) const
{
    const quint64 generation = m_file->generation();
    if (rec == m_read.bufferedRec && generation == m_read.bufferedGeneration)
        return m_read.recordBuffer.constData();
    const bool next = m_read.lastRec >= 0 && rec >= m_read.lastRec && rec - m_read.lastRec <= 8;
    m_read.lastRec = rec;
    m_read.bufferedRec = -1;
    if (next) {
        m_read.walkFrom = m_read.walkFrom < 0 ? rec : m_file->releaseBehind(m_read.walkFrom, rec);
        return m_file->record(rec);
    }
    m_read.walkFrom = -1;
    const char *p = m_file->readRecord(rec, m_read.recordBuffer);
    if (p == m_read.recordBuffer.constData()) {
        m_read.bufferedRec = rec;
        m_read.bufferedGeneration = generation;
    }
    return p;
}

Value Dataset::storedValue(const Row &row, int col) const
{
    const Column &c = m_columns[col];
    if (row.rec >= 0 && c.sourceField >= 0)
        return m_file->value(recordBytes(row.rec), row.rec, c.sourceField);
    if (row.computed >= 0)
        return m_values[row.computed].value(col);
    return {};
}

Value Dataset::rowValue(int row, int col) const
{
    if (row < 0 || row >= rowCount() || col < 0 || col >= m_columns.size())
        return {};
    if (col >= m_dataColumns) {
        const LookupDef &l = m_lookups[col - m_dataColumns];
        const auto it = m_fieldIndex.constFind(l.keyField.toLower());
        if (!l.lookup || !l.lookup->active() || it == m_fieldIndex.constEnd())
            return {};
        return l.lookup->lookupValue(l.lookupKeyField, rowValue(row, *it), l.lookupResultField);
    }
    if (isCurrentRowEdited(row)) {
        if (const Value *changed = m_changes.find(col))
            return *changed;
    }
    const Row &r = baseRow(row);
    if (r.cache)
        return r.cache->value(col);
    return storedValue(r, col);
}

Dataset::StoredRow Dataset::storedRow(int row) const
{
    if (row < 0 || row >= rowCount() || !m_file || isCurrentRowEdited(row))
        return {};
    const Row &r = baseRow(row);
    if (r.cache || r.rec < 0)
        return {};
    return {m_file.get(), r.rec, recordBytes(r.rec)};
}

int Dataset::numberDecimals(int col) const
{
    if (col < 0 || col >= m_dataColumns)
        return -1;
    const Column &c = m_columns[col];
    return c.type == 'N' || c.type == 'F' ? c.decimals : -1;
}

bool Dataset::isCurrentRowEdited(int row) const
{
    return m_state == Edit && row == m_current;
}

QVector<Value> Dataset::storedValues(const Row &row) const
{
    QVector<Value> out(m_dataColumns);
    for (int c = 0; c < m_dataColumns; ++c)
        out[c] = storedValue(row, c);
    return out;
}

QVector<Value> Dataset::rowValues(int row) const
{
    QVector<Value> out(m_dataColumns);
    for (int c = 0; c < m_dataColumns; ++c)
        out[c] = rowValue(row, c);
    return out;
}

Value Dataset::currentValue(int col) const
{
    if (!active())
        return {};
    if (m_state == Insert) {
        return col < m_dataColumns ? m_changes.value(col) : Value();
    }
    if (m_current < 0)
        return {};
    return rowValue(m_current, col);
}

QString Dataset::storedText(int col) const
{
    if (!active() || m_current < 0 || m_state == Insert || col >= m_dataColumns)
        return {};
    const Row &r = baseRow(m_current);
    const int field = m_columns[col].sourceField;
    if (r.rec < 0 || field < 0)
        return {};
    return m_file->storedText(recordBytes(r.rec), field);
}

} // namespace db
