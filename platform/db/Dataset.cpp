#include "Dataset.h"

#include "Journal.h"

#include "DbError.h"
#include "text/Gbk.h"

#include <cstring>
#include <numeric>

namespace db {

void Dataset::IndexList::materialize()
{
    if (!m_all)
        return;
    m_list.resize(m_count);
    std::iota(m_list.begin(), m_list.end(), 0);
    m_all = false;
}

void Dataset::IndexList::append(int v)
{
    if (m_all && v == m_count) {
        ++m_count;
        return;
    }
    materialize();
    m_list.append(v);
}

void Dataset::IndexList::remove(int i)
{
    materialize();
    m_list.remove(i);
}

Dataset::Row Dataset::RowStore::at(int i) const
{
    if (!plain())
        return m_rows[i];
    Row r;
    r.rec = i;
    return r;
}

void Dataset::RowStore::materialize()
{
    if (!plain() || m_plain == 0)
        return;
    m_rows.resize(m_plain);
    for (int i = 0; i < m_plain; ++i)
        m_rows[i].rec = i;
    m_plain = 0;
}

Dataset::Row &Dataset::RowStore::operator[](int i)
{
    materialize();
    return m_rows[i];
}

void Dataset::RowStore::append(const Row &r)
{
    if (plain() && r.rec == m_plain && r.computed < 0 && r.status == Row::Unmodified && !r.cache && !r.original) {
        ++m_plain;
        return;
    }
    materialize();
    m_rows.append(r);
}

Dataset::Dataset(QObject *parent) : QObject(parent) {}

Dataset::~Dataset() = default;

void Dataset::setDatabaseName(const QString &dir)
{
    if (active())
        close();
    m_dir = dir;
}

QString Dataset::tableLabel() const
{
    if (m_file)
        return m_file->tableName();
    return objectName().isEmpty() ? QStringLiteral("dataset") : objectName();
}

void Dataset::checkActive() const
{
    if (!active())
        throw DbError(QString::fromUtf8("数据集 %1 未打开").arg(tableLabel()));
}

void Dataset::open()
{
    if (active())
        return;
    m_baseRows.clear();
    m_values.clear();
    m_deleted.clear();
    m_columns.clear();
    m_sortedColumn = -1;
    try {
        openRows();
        m_dataColumns = m_columns.size();
        for (const LookupDef &l : m_lookups) {
            Column c;
            c.name = l.name;
            c.type = 'C';
            m_columns.append(c);
        }
        resetFields();
        m_filter.reset();
        if (m_filtered && !m_filterText.trimmed().isEmpty()) {
            if (!m_file)
                throw DbError(QString::fromUtf8("数据集 %1 不能设置过滤条件").arg(tableLabel()));
            m_filter = std::make_unique<sql::Condition>(sql::Condition::compile(m_filterText, *m_file));
        }
        relistRows();
    } catch (...) {
        closeRows();
        m_file.reset();
        m_baseRows.clear();
        m_values.clear();
        m_columns.clear();
        m_fields.clear();
        m_fieldIndex.clear();
        throw;
    }
    m_fileGeneration = m_file ? m_file->generation() : 0;
    m_sortedGeneration = m_fileGeneration;
    m_state = Browse;
    m_changes.clear();
    rebuildView(-1);
    m_bof = true;
    m_eof = m_view.isEmpty();
    notifyReset();
    if (!controlsDisabled())
        emit stateChanged(m_state);
}

int Dataset::sortedColumn() const
{
    // A write to the file by anyone may have changed a sorted value.
    if (!active() || (m_file && m_file->generation() != m_sortedGeneration))
        return -1;
    return m_sortedColumn;
}

void Dataset::close()
{
    if (!active())
        return;
    m_changes.clear();
    m_state = Inactive;
    m_sortedColumn = -1;
    closeRows();
    m_file.reset();
    m_baseRows.clear();
    m_values.clear();
    m_view.clear();
    m_deleted.clear();
    m_filter.reset();
    m_current = -1;
    m_eof = m_bof = true;
    notifyReset();
    if (!controlsDisabled())
        emit stateChanged(m_state);
}

void Dataset::refresh()
{
    checkActive();
    checkBrowseMode();
    const Bookmark b = bookmark();
    const int row = m_current;
    disableControls();
    try {
        close();
        open();
    } catch (...) {
        enableControls();
        throw;
    }
    if (!gotoBookmark(b) && row >= 0 && !m_view.isEmpty())
        setCurrent(std::min(row, rowCount() - 1));
    enableControls();
}

void Dataset::setFilter(const QString &text)
{
    if (text == m_filterText)
        return;
    m_filterText = text;
    if (active() && m_filtered)
        refresh();
}

void Dataset::setFiltered(bool on)
{
    if (on == m_filtered)
        return;
    m_filtered = on;
    if (active())
        refresh();
}

void Dataset::resetFields()
{
    m_fields.clear();
    m_fieldIndex.clear();
    for (int i = 0; i < m_columns.size(); ++i) {
        m_fields.push_back(std::make_unique<Field>(this, i));
        const QString key = m_columns[i].name.toLower();
        if (!m_fieldIndex.contains(key))
            m_fieldIndex.insert(key, i);
    }
}

bool Dataset::rowMatchesFilter(const Row &row) const
{
    if (!m_filter || row.rec < 0 || row.status != Row::Unmodified)
        return true;
    return m_filter->matches(*m_file, row.rec);
}

void Dataset::rebuildView(int keepRec)
{
    const int n = m_baseRows.size();
    if (m_baseRows.plain() && (!m_filter || n == 0)) {
        // Every record, none removed: the view is all of them.
        m_view.setAll(n);
        m_current = keepRec >= 0 && keepRec < n ? keepRec : (n ? 0 : -1);
        return;
    }
    m_view.clear();
    m_view.reserve(n);
    int current = -1;
    for (int i = 0; i < n; ++i) {
        const Row r = m_baseRows.at(i);
        if (r.rec == kGone || !rowMatchesFilter(r))
            continue;
        if (keepRec >= 0 && r.rec == keepRec)
            current = m_view.size();
        m_view.append(i);
    }
    if (current < 0)
        current = m_view.isEmpty() ? -1 : 0;
    m_current = current;
}

void Dataset::syncWithFile()
{
    if (!active() || !m_file || !followsFile() || m_file->generation() == m_fileGeneration)
        return;
    const int keep = m_current >= 0 ? baseRow(m_current).rec : -1;
    const int oldRow = m_current;
    relistRows();
    m_fileGeneration = m_file->generation();
    rebuildView(keep);
    if (keep >= 0 && (m_current < 0 || baseRow(m_current).rec != keep) && !m_view.isEmpty())
        m_current = std::min(std::max(oldRow, 0), rowCount() - 1);
    notifyReset();
}

void Dataset::notifyReset()
{
    if (controlsDisabled()) {
        m_resetPending = true;
        return;
    }
    emit layoutReset();
    emit currentChanged(m_current);
}

void Dataset::setCurrent(int row)
{
    m_current = row;
    m_bof = m_eof = false;
    if (!controlsDisabled())
        emit currentChanged(row);
}

void Dataset::disableControls()
{
    ++m_disableCount;
}

void Dataset::enableControls()
{
    if (m_disableCount == 0)
        return;
    if (--m_disableCount == 0) {
        m_resetPending = false;
        emit layoutReset();
        emit currentChanged(m_current);
    }
}

void Dataset::checkBrowseMode()
{
    checkActive();
    if (m_state == Edit || m_state == Insert)
        post();
}

void Dataset::first()
{
    checkBrowseMode();
    syncWithFile();
    m_current = m_view.isEmpty() ? -1 : 0;
    m_bof = true;
    m_eof = m_view.isEmpty();
    if (!controlsDisabled())
        emit currentChanged(m_current);
}

void Dataset::last()
{
    checkBrowseMode();
    syncWithFile();
    m_current = rowCount() - 1;
    m_eof = true;
    m_bof = m_view.isEmpty();
    if (!controlsDisabled())
        emit currentChanged(m_current);
}

void Dataset::next()
{
    moveBy(1);
}

void Dataset::prior()
{
    moveBy(-1);
}

void Dataset::moveBy(int n)
{
    checkBrowseMode();
    syncWithFile();
    if (m_view.isEmpty()) {
        m_bof = m_eof = true;
        return;
    }
    const int target = m_current + n;
    if (target >= rowCount()) {
        m_current = rowCount() - 1;
        m_eof = true;
        m_bof = false;
    } else if (target < 0) {
        m_current = 0;
        m_bof = true;
        m_eof = false;
    } else {
        m_current = target;
        m_bof = m_eof = false;
    }
    if (n != 0 && !controlsDisabled())
        emit currentChanged(m_current);
}

int Dataset::recNo() const
{
    if (!active() || m_state == Insert)
        return 0;
    return m_current + 1;
}

bool Dataset::locate(const QString &fieldName, const QString &value, bool partialKey, bool caseInsensitive)
{
    checkBrowseMode();
    syncWithFile();
    const int col = fieldByName(fieldName)->index();
    const Qt::CaseSensitivity cs = caseInsensitive ? Qt::CaseInsensitive : Qt::CaseSensitive;
    const QString wanted = gbk::trimRight(value);
    for (int r = 0; r < rowCount(); ++r) {
        const QString s = gbk::trimRight(rowValue(r, col).toString());
        if (partialKey ? s.startsWith(wanted, cs) : s.compare(wanted, cs) == 0) {
            setCurrent(r);
            return true;
        }
    }
    return false;
}

Dataset::Bookmark Dataset::bookmark() const
{
    if (!active() || m_current < 0 || m_state == Insert)
        return {};
    const Row &r = baseRow(m_current);
    return {r.rec >= 0 ? r.rec : (r.computed >= 0 ? (1 << 30) + r.computed : -1)};
}

void Dataset::keepRows(Transaction &transaction, const QList<int> &rows, const QString &field) const
{
    if (!m_file || !active())
        return;
    QVector<int> recs;
    for (const int row : rows)
        if (row >= 0 && row < rowCount() && baseRow(row).rec >= 0)
            recs.append(baseRow(row).rec);
    if (field.isEmpty()) {
        transaction.keepRows(*m_file, recs);
        return;
    }
    const int index = m_file->fieldIndex(field);
    if (index < 0)
        throw DbError(QString::fromUtf8("表 %1 没有字段 %2").arg(m_file->tableName(), field));
    const FieldDef &f = m_file->fields()[index];
    transaction.keepRows(*m_file, recs, f.offset, f.length);
}

bool Dataset::gotoBookmark(const Bookmark &b)
{
    if (!b.valid() || !active())
        return false;
    checkBrowseMode();
    syncWithFile();
    for (int i = 0; i < rowCount(); ++i) {
        const Row &r = baseRow(i);
        const int key = r.rec >= 0 ? r.rec : (r.computed >= 0 ? (1 << 30) + r.computed : -1);
        if (key == b.rec) {
            setCurrent(i);
            return true;
        }
    }
    return false;
}

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

void Dataset::addLookupField(const LookupDef &def)
{
    m_lookups.append(def);
    if (active())
        refresh();
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
    if (rec == m_bufferedRec && generation == m_bufferedGeneration)
        return m_recordBuffer.constData();
    const bool next = m_lastRec >= 0 && rec >= m_lastRec && rec - m_lastRec <= 8;
    m_lastRec = rec;
    m_bufferedRec = -1;
    if (next) {
        m_walkFrom = m_walkFrom < 0 ? rec : m_file->releaseBehind(m_walkFrom, rec);
        return m_file->record(rec);
    }
    m_walkFrom = -1;
    const char *p = m_file->readRecord(rec, m_recordBuffer);
    if (p == m_recordBuffer.constData()) {
        m_bufferedRec = rec;
        m_bufferedGeneration = generation;
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

Value Dataset::lookupValue(const QString &keyField, const Value &key, const QString &resultField) const
{
    if (key.isNull())
        return {};
    const auto k = m_fieldIndex.constFind(keyField.toLower());
    const auto res = m_fieldIndex.constFind(resultField.toLower());
    if (k == m_fieldIndex.constEnd() || res == m_fieldIndex.constEnd())
        return {};
    for (int r = 0; r < rowCount(); ++r)
        if (sameValue(rowValue(r, *k), key))
            return rowValue(r, *res);
    return {};
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

Value Dataset::normalise(int col, const Value &v) const
{
    const Column &c = m_columns[col];
    if (!m_file || c.sourceField < 0)
        return v;
    if (c.type == 'M') {
        const QByteArray b = v.toBytes();
        // Refused here, where the row is known, rather than at post.
        m_file->checkMemoText(c.sourceField, b, m_state == Insert || m_current < 0 ? m_file->recordCount()
                                                                                   : baseRow(m_current).rec);
        return b.isEmpty() ? Value() : Value::fromBytes(b);
    }
    // Through the file's own format, so a value reads back as it will be
    // stored and a value that cannot be stored fails here, not at post.
    if (m_scratch.size() != m_file->recordLength())
        m_scratch = m_file->blankRecord();
    m_file->encode(m_scratch, c.sourceField, v);
    // Kept, so that post copies the bytes instead of encoding again.
    const FieldDef &f = m_file->fields()[c.sourceField];
    if (m_encoded.size() < m_columns.size())
        m_encoded.resize(m_columns.size());
    QByteArray &encoded = m_encoded[col];
    encoded.resize(f.length);
    std::memcpy(encoded.data(), m_scratch.constData() + f.offset, size_t(f.length));
    if (c.type == 'C' && v.kind == Value::Text && !m_file->isUtf8()) {
        // A text stored as it came reads back as itself.
        qsizetype n = f.length;
        const char *p = encoded.constData();
        while (n > 0 && (p[n - 1] == ' ' || p[n - 1] == '\0'))
            --n;
        if (n > 0 && n == v.text.size() && std::memcmp(p, v.text.constData(), size_t(n)) == 0)
            return v;
    }
    return m_file->decode(m_scratch.constData(), c.sourceField);
}

// The changed fields into a record: the bytes normalise made, memos
// written now.
void Dataset::putChanges(QByteArray &raw)
{
    for (int col : m_changes.columns()) {
        const int field = m_columns[col].sourceField;
        const FieldDef &f = m_file->fields()[field];
        const QByteArray &bytes = col < m_encoded.size() ? m_encoded[col] : QByteArray();
        if (f.type != 'M' && bytes.size() == f.length)
            std::memcpy(raw.data() + f.offset, bytes.constData(), size_t(f.length));
        else
            m_file->encode(raw, field, m_changes.at(col));
    }
}

// Whether the record holds every change already (memos are not compared).
bool Dataset::changesStored(const char *record) const
{
    for (int col : m_changes.columns()) {
        const FieldDef &f = m_file->fields()[m_columns[col].sourceField];
        const QByteArray &bytes = col < m_encoded.size() ? m_encoded[col] : QByteArray();
        if (f.type == 'M' || bytes.size() != f.length
            || std::memcmp(bytes.constData(), record + f.offset, size_t(f.length)) != 0)
            return false;
    }
    return true;
}

void Dataset::Changes::insert(int col, const Value &v)
{
    if (col >= m_has.size()) {
        m_has.resize(col + 1);
        m_values.resize(col + 1);
    }
    if (!m_has[col]) {
        m_has[col] = true;
        m_set.append(col);
    }
    m_values[col] = v;
}

void Dataset::Changes::remove(int col)
{
    if (!contains(col))
        return;
    m_has[col] = false;
    m_values[col] = Value();
    m_set.removeOne(col);
}

void Dataset::Changes::clear()
{
    for (int col : std::as_const(m_set)) {
        m_has[col] = false;
        m_values[col] = Value();
    }
    m_set.clear();
}

void Dataset::setCurrentValue(int col, const Value &v)
{
    if (m_state != Edit && m_state != Insert)
        throw DbError(QString::fromUtf8("数据集 %1 不在编辑状态").arg(tableLabel()));
    if (col >= m_dataColumns)
        throw DbError(QString::fromUtf8("字段 %1 只能显示，不能修改").arg(m_columns[col].name));
    if (m_state == Insert && v.isNull() && m_file) {
        // A new row's fields start empty: nothing to keep (a bulk load sets
        // every column, most of them often empty).
        m_changes.remove(col);
        return;
    }
    m_changes.insert(col, normalise(col, v));
}

void Dataset::edit()
{
    checkActive();
    if (m_state == Edit || m_state == Insert)
        return;
    syncWithFile();
    if (m_view.isEmpty()) {
        append();
        return;
    }
    if (!writable() && !m_cached)
        throw DbError(QString::fromUtf8("数据集 %1 是只读的").arg(tableLabel()));
    m_changes.clear();
    m_state = Edit;
    if (!controlsDisabled())
        emit stateChanged(m_state);
}

void Dataset::append()
{
    checkBrowseMode();
    if (!writable() && !m_cached)
        throw DbError(QString::fromUtf8("数据集 %1 是只读的").arg(tableLabel()));
    syncWithFile();
    m_changes.clear();
    m_beforeInsert = m_current;
    m_state = Insert;
    m_eof = m_bof = false;
    if (!controlsDisabled())
        emit stateChanged(m_state);
}

void Dataset::removeFromView(int row)
{
    m_view.remove(row);
    if (!controlsDisabled())
        emit rowRemoved(row);
    if (m_view.isEmpty()) {
        m_current = -1;
        m_eof = m_bof = true;
    } else if (row >= rowCount()) {
        m_current = rowCount() - 1;
        m_eof = true;
    } else {
        m_current = row;
    }
}

void Dataset::post()
{
    checkActive();
    if (m_state != Edit && m_state != Insert)
        return;
    if (m_state == Edit) {
        const int base = m_view[m_current];
        if (m_changes.contains(m_sortedColumn))
            m_sortedColumn = -1;
        if (m_cached) {
            Row &r = m_baseRows[base];
            auto values = std::make_shared<QVector<Value>>(rowValues(m_current));
            if (r.status == Row::Unmodified) {
                r.original = std::make_shared<QVector<Value>>(storedValues(r));
                r.status = Row::Modified;
            }
            r.cache = values;
        } else if (!m_changes.isEmpty()) {
            const int rec = m_baseRows.at(base).rec;
            // The bytes stay put while the changes go in (memos are
            // written to the memo file, the table file is not touched).
            // A row left as it was is not written (nor looked at in the
            // mapping, see recordBytes).
            const char *current = recordBytes(rec);
            if (!changesStored(current)) {
                QByteArray raw(current, m_file->recordLength());
                putChanges(raw);
                if (std::memcmp(raw.constData(), current, size_t(raw.size())) != 0)
                    m_file->writeRecord(rec, raw);
            }
            if (followsFile())
                m_fileGeneration = m_file->generation();
        }
        m_changes.clear();
        m_state = Browse;
        const int row = m_current;
        if (!rowMatchesFilter(m_baseRows.at(base))) {
            // The row leaves a filtered view; the cursor goes to the next.
            removeFromView(row);
            if (!controlsDisabled())
                emit currentChanged(m_current);
        } else if (!controlsDisabled()) {
            emit rowUpdated(row);
        }
    } else {
        m_sortedColumn = -1; // the new row comes last
        Row r;
        if (m_cached) {
            QVector<Value> values(m_dataColumns);
            for (int col : m_changes.columns())
                values[col] = m_changes.at(col);
            r.status = Row::Inserted;
            r.cache = std::make_shared<QVector<Value>>(values);
        } else {
            QByteArray raw = m_file->blankRecord();
            putChanges(raw);
            r.rec = m_file->appendRecord(raw);
            if (followsFile())
                m_fileGeneration = m_file->generation();
        }
        m_changes.clear();
        m_state = Browse;
        m_baseRows.append(r);
        if (rowMatchesFilter(r)) {
            m_view.append(m_baseRows.size() - 1);
            m_current = rowCount() - 1;
            if (!controlsDisabled())
                emit rowInserted(m_current);
        } else {
            m_current = std::min(std::max(m_beforeInsert, 0), rowCount() - 1);
        }
        m_bof = m_eof = false;
        if (!controlsDisabled())
            emit currentChanged(m_current);
    }
    if (!controlsDisabled())
        emit stateChanged(m_state);
}

void Dataset::cancel()
{
    if (m_state != Edit && m_state != Insert)
        return;
    if (m_state == Insert)
        m_current = m_view.isEmpty() ? -1 : std::min(std::max(m_beforeInsert, 0), rowCount() - 1);
    m_changes.clear();
    m_state = Browse;
    m_eof = m_bof = m_view.isEmpty();
    if (!controlsDisabled()) {
        emit stateChanged(m_state);
        emit currentChanged(m_current);
    }
}

void Dataset::deleteRecord()
{
    checkActive();
    if (m_state == Insert) {
        cancel();
        return;
    }
    if (m_state == Edit)
        cancel();
    syncWithFile();
    if (m_view.isEmpty())
        throw DbError(QString::fromUtf8("数据集 %1 中没有可删除的记录").arg(tableLabel()));
    Row &r = m_baseRows[m_view[m_current]];
    if (m_cached) {
        if (r.status == Row::Unmodified)
            r.original = std::make_shared<QVector<Value>>(storedValues(r));
        if (r.status != Row::Inserted)
            m_deleted.append(r);
    } else {
        if (!writable())
            throw DbError(QString::fromUtf8("数据集 %1 是只读的").arg(tableLabel()));
        m_file->setDeleted(r.rec, true);
        if (followsFile())
            m_fileGeneration = m_file->generation();
    }
    r.rec = kGone;
    r.cache.reset();
    removeFromView(m_current);
    if (!controlsDisabled())
        emit currentChanged(m_current);
}

void Dataset::setCachedUpdates(bool on)
{
    if (on == m_cached)
        return;
    if (active() && updatesPending())
        throw DbError(QString::fromUtf8("数据集 %1 还有未提交的修改").arg(tableLabel()));
    m_cached = on;
}

bool Dataset::updatesPending() const
{
    if (!m_deleted.isEmpty())
        return true;
    for (const Row &r : m_baseRows.kept())
        if (r.rec != kGone && r.status != Row::Unmodified)
            return true;
    return false;
}

void Dataset::cancelUpdates()
{
    if (!active())
        return;
    if (m_state == Edit || m_state == Insert)
        cancel();
    m_deleted.clear();
    for (Row &r : m_baseRows.kept()) {
        r.status = Row::Unmodified;
        r.cache.reset();
        r.original.reset();
    }
    refresh();
}

} // namespace db
