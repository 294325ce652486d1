// A query's rows from its statement, statements without rows, and cached updates applied.
#include "Query.h"

#include "db/file/DbError.h"

namespace db {

Query::Query(QObject *parent) : Dataset(parent) {}

void Query::setSql(const QString &text)
{
    if (active())
        close();
    m_sql = text;
    // A parameter keeps its value only where the new statement names it
    // too (the same statement set again, or another reading of the same
    // rows): a shared query object lends nothing else to the next statement.
    m_params.keepNamedIn(text);
    m_rowsAffected = 0;
}

void Query::addSql(const QString &line)
{
    setSql(m_sql.isEmpty() ? line : m_sql + '\n' + line);
}

void Query::openRows()
{
    if (!sql::returnsRows(m_sql))
        throw DbError(QString::fromUtf8("语句不返回记录，不能打开：%1").arg(m_sql.simplified()));
    sql::SelectResult res = sql::select(m_dir, m_sql, m_params);
    m_file = res.file;
    m_live = res.live;
    for (const sql::ResultColumn &rc : res.columns) {
        Column c;
        c.name = rc.name;
        c.type = rc.type;
        c.length = rc.length;
        c.decimals = rc.decimals;
        c.sourceField = m_live ? rc.sourceField : -1;
        m_columns.append(c);
    }
    m_sortedColumn = m_live ? res.orderedColumn : -1;
    if (m_live && res.allRecords) {
        m_baseRows.setPlainRecords(int(res.rows.size()));
    } else if (m_live) {
        m_baseRows.reserve(res.rows.size());
        for (int rec : res.rows) {
            Row r;
            r.rec = rec;
            m_baseRows.append(r);
        }
    } else {
        m_values = std::move(res.values);
        for (int i = 0; i < m_values.size(); ++i) {
            Row r;
            r.computed = i;
            m_baseRows.append(r);
        }
    }
}

int Query::execSql()
{
    if (active())
        close();
    if (sql::returnsRows(m_sql)) {
        m_rowsAffected = 0;
        sql::select(m_dir, m_sql, m_params);
        return 0;
    }
    m_rowsAffected = sql::execute(m_dir, m_sql, m_params);
    return m_rowsAffected;
}

void Query::applyRow(const QString &statement, const Row &row, const QString &kind)
{
    if (statement.trimmed().isEmpty())
        throw DbError(QString::fromUtf8("数据集 %1 没有%2语句").arg(tableLabel(), kind));
    sql::Params p;
    for (int c = 0; c < m_dataColumns; ++c) {
        const QString name = m_columns[c].name;
        const Value old = row.original ? row.original->value(c) : storedValue(row, c);
        p.set(QStringLiteral("OLD_") + name, old);
        p.set(name, row.cache ? row.cache->value(c) : old);
    }
    if (sql::execute(m_dir, statement, p) == 0)
        throw DbError(QString::fromUtf8("%1失败：表 %2 中找不到原来的记录").arg(kind, tableLabel()));
}

void Query::applyUpdates()
{
    checkActive();
    if (m_state == Edit || m_state == Insert)
        post();
    while (!m_deleted.isEmpty()) {
        applyRow(m_update.deleteSql, m_deleted.first(), QString::fromUtf8("删除"));
        m_deleted.removeFirst();
    }
    for (Row &r : m_baseRows.kept()) {
        if (r.rec == kGone || r.status == Row::Unmodified)
            continue;
        if (r.status == Row::Modified)
            applyRow(m_update.modifySql, r, QString::fromUtf8("修改"));
        else
            applyRow(m_update.insertSql, r, QString::fromUtf8("新增"));
        // Written: the row now reads from the file again after the refresh.
        r.status = Row::Unmodified;
    }
    const int row = m_current;
    refresh();
    if (row >= 0 && rowCount() > 0)
        setCurrent(std::min(row, rowCount() - 1));
}

} // namespace db
