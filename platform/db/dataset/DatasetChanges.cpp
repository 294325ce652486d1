// The changes to the current row, kept per column: each value brought to
// the form its column stores when it is set, then put into the record at post.
#include "Dataset.h"

#include "db/file/DbError.h"

#include <cstring>

namespace db {

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
    if (m_read.scratch.size() != m_file->recordLength())
        m_read.scratch = m_file->blankRecord();
    m_file->encode(m_read.scratch, c.sourceField, v);
    // Kept, so that post copies the bytes instead of encoding again.
    const FieldDef &f = m_file->fields()[c.sourceField];
    if (m_read.encoded.size() < m_columns.size())
        m_read.encoded.resize(m_columns.size());
    QByteArray &encoded = m_read.encoded[col];
    encoded.resize(f.length);
    std::memcpy(encoded.data(), m_read.scratch.constData() + f.offset, size_t(f.length));
    if (c.type == 'C' && v.kind == Value::Text && !m_file->isUtf8()) {
        // A text stored as it came reads back as itself.
        qsizetype n = f.length;
        const char *p = encoded.constData();
        while (n > 0 && (p[n - 1] == ' ' || p[n - 1] == '\0'))
            --n;
        if (n > 0 && n == v.text.size() && std::memcmp(p, v.text.constData(), size_t(n)) == 0)
            return v;
    }
    return m_file->decode(m_read.scratch.constData(), c.sourceField);
}

// The changed fields into a record: the bytes normalise made, memos
// written now.
void Dataset::putChanges(QByteArray &raw)
{
    for (int col : m_changes.columns()) {
        const int field = m_columns[col].sourceField;
        const FieldDef &f = m_file->fields()[field];
        const QByteArray &bytes = col < m_read.encoded.size() ? m_read.encoded[col] : QByteArray();
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
        const QByteArray &bytes = col < m_read.encoded.size() ? m_read.encoded[col] : QByteArray();
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

} // namespace db
