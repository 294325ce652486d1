#include "RowCopy.h"

#include "db/file/DbfFile.h"

#include <cstring>

RowCopier::RowCopier(const db::DbfFile &from, db::DbfFile &to) : m_from(from), m_to(to)
{
    m_sameLayout = from.fieldCount() == to.fieldCount() && from.recordLength() == to.recordLength()
                   && from.isUtf8() == to.isUtf8();
    for (int c = 0; m_sameLayout && c < to.fieldCount(); ++c) {
        const db::FieldDef &a = from.fields()[c];
        const db::FieldDef &b = to.fields()[c];
        m_sameLayout = a.type == b.type && a.length == b.length && a.decimals == b.decimals && a.offset == b.offset;
    }
    for (int c = 0; c < to.fieldCount(); ++c)
        if (to.fields()[c].type == 'M')
            m_memos.append(c);
}

void RowCopier::setValues(const QVector<std::pair<int, db::Value>> &set)
{
    m_values = m_to.blankRecord();
    m_valuesSet.clear();
    for (const auto &[column, value] : set) {
        m_to.encode(m_values, column, value);
        m_valuesSet.append(column);
    }
}

int RowCopier::append(int rec)
{
    // One buffer for every row: a store copies rows by the hundred thousand.
    if (m_sameLayout) {
        m_raw.resize(m_from.recordLength());
        std::memcpy(m_raw.data(), m_from.record(rec), size_t(m_raw.size()));
        m_raw[0] = ' ';
        for (const int c : m_memos) {
            // The source's block numbers mean nothing in the target's memo file.
            const db::FieldDef &f = m_to.fields()[c];
            std::memset(m_raw.data() + f.offset, ' ', size_t(f.length));
            m_to.encode(m_raw, c, m_from.value(rec, c));
        }
    } else {
        m_raw = m_to.blankRecord();
        const int columns = std::min(m_from.fieldCount(), m_to.fieldCount());
        for (int c = 0; c < columns; ++c)
            m_to.encode(m_raw, c, m_from.value(rec, c));
    }
    for (const int c : std::as_const(m_valuesSet)) {
        const db::FieldDef &f = m_to.fields()[c];
        std::memcpy(m_raw.data() + f.offset, m_values.constData() + f.offset, size_t(f.length));
    }
    return m_to.appendRecord(m_raw);
}
