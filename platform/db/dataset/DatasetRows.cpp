// The row lists of a dataset, which hold "every record, in order" as a bare
// count until a row is taken out, moved or given a value of its own.
#include "Dataset.h"

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

} // namespace db
