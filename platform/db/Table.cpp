#include "Table.h"

#include "DbError.h"

namespace db {

Table::Table(QObject *parent) : Dataset(parent) {}

void Table::setTableName(const QString &name)
{
    if (active())
        close();
    m_tableName = name;
}

void Table::setExclusive(bool on)
{
    if (active())
        close();
    m_exclusive = on;
}

void Table::openRows()
{
    if (m_tableName.trimmed().isEmpty())
        throw DbError(QString::fromUtf8("没有指定表名"));
    m_file = DbfFile::open(m_dir, m_tableName, m_exclusive);
    for (int i = 0; i < m_file->fieldCount(); ++i) {
        const FieldDef &f = m_file->fields()[i];
        Column c;
        c.name = QString::fromLatin1(f.name);
        c.type = f.type;
        c.length = f.length;
        c.decimals = f.decimals;
        c.sourceField = i;
        m_columns.append(c);
    }
}

void Table::relistRows()
{
    m_baseRows.clear();
    const int n = m_file->recordCount();
    // Only the rows the filter lets through, so narrowing a large table to
    // a few rows costs a scan of the key bytes and nothing more.
    for (int rec = 0; rec < n; ++rec) {
        if (m_file->isDeleted(rec) || (m_filter && !m_filter->matches(*m_file, rec)))
            continue;
        Row r;
        r.rec = rec;
        m_baseRows.append(r);
    }
}

bool Table::pack()
{
    if (!active())
        return false;
    checkBrowseMode();
    m_file->pack();
    // Record numbers changed: list the rows again from the start.
    m_fileGeneration = m_file->generation();
    relistRows();
    rebuildView(-1);
    m_bof = true;
    m_eof = m_view.isEmpty();
    notifyReset();
    return true;
}

void Table::emptyTable()
{
    checkActive();
    disableControls();
    try {
        first();
        while (!isEmpty())
            deleteRecord();
    } catch (...) {
        enableControls();
        throw;
    }
    enableControls();
}

} // namespace db
