// A table's rows listed from its file (through the filter), and its maintenance.
#include "Table.h"

#include "db/file/DbError.h"

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
    QByteArray buffer;
    bool scattered = false;
    int walk = -1;
    const auto take = [&](int rec) {
        if (!scattered)
            walk = walk < 0 ? rec : m_file->releaseBehind(walk, rec);
        const char *raw = scattered ? m_file->readRecord(rec, buffer) : m_file->record(rec);
        if (raw[0] == '*' || (m_filter && !m_filter->matches(*m_file, raw)))
            return;
        Row r;
        r.rec = rec;
        m_baseRows.append(r);
    };
    // Only the rows the filter lets through: a filter on a key reads them
    // through the key index, any other a scan of the bytes it compares.
    if (const auto candidates = m_filter ? m_filter->candidates(*m_file) : std::nullopt) {
        scattered = m_file->sparse(*candidates);
        for (int rec : *candidates)
            take(rec);
        return;
    }
    const int n = m_file->recordCount();
    if (!m_filter && m_file->deletedCount() == 0) {
        m_baseRows.setPlainRecords(n);
        return;
    }
    m_baseRows.reserve(n);
    for (int rec = 0; rec < n; ++rec)
        take(rec);
}

void Table::closeRows()
{
    m_bulk.reset(); // what is left is written; errors surface in endBulkLoad
}

void Table::beginBulkLoad()
{
    checkActive();
    if (!m_bulk)
        m_bulk = std::make_unique<DbfFile::BulkAppend>(*m_file);
}

void Table::endBulkLoad()
{
    if (!m_bulk)
        return;
    checkBrowseMode();
    auto bulk = std::move(m_bulk);
    bulk->finish();
}

bool Table::pack()
{
    if (!active())
        return false;
    checkBrowseMode();
    m_file->pack();
    listAnew();
    return true;
}

void Table::truncate()
{
    checkActive();
    checkBrowseMode();
    m_file->truncate();
    listAnew();
}

// Record numbers changed: list the rows again from the start.
void Table::listAnew()
{
    m_fileGeneration = m_file->generation();
    relistRows();
    rebuildView(-1);
    m_bof = true;
    m_eof = m_view.isEmpty();
    notifyReset();
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
