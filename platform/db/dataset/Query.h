#pragma once
// A dataset on a statement of the local SQL, live over one table or computed.
#include "Dataset.h"
#include "db/sql/Sql.h"

#include <QStringList>

namespace db {

// The modify, insert and delete statements through which a query that caches
// its updates writes them. A parameter named after a column takes the row's
// new value; the same name prefixed with OLD_ its value before the change.
struct UpdateSql
{
    QString modifySql;
    QString insertSql;
    QString deleteSql;
};

// A dataset on a statement of local SQL. A select of rows of one table is
// live: its rows are edited and posted into the table.
class Query : public Dataset
{
    Q_OBJECT

public:
    explicit Query(QObject *parent = nullptr);

    // The statement as lines, joined by line breaks. Setting it closes the
    // query and forgets the values of parameters it does not name.
    void setSql(const QString &text);
    void setSql(const QStringList &lines) { setSql(lines.join('\n')); }
    void clearSql() { setSql(QString()); }
    void addSql(const QString &line);
    QString sql() const { return m_sql; }

    void setParam(const QString &name, const Value &v) { m_params.set(name, v); }
    void setParamString(const QString &name, const QString &s) { m_params.set(name, Value::fromString(s)); }
    Value param(const QString &name) const { return m_params.get(name); }
    sql::Params &params() { return m_params; }

    // Runs a statement that returns no rows; returns the rows affected.
    int execSql();
    int rowsAffected() const { return m_rowsAffected; }
    bool live() const { return m_live; }

    void setUpdateObject(const UpdateSql &statements) { m_update = statements; }
    const UpdateSql &updateObject() const { return m_update; }
    // Writes the held-back changes through the update statements, then reads
    // the rows again. On an error nothing more is applied and the changes
    // not yet written stay held.
    void applyUpdates();
    void commitUpdates() {}

protected:
    void openRows() override;
    bool writable() const override { return m_live && m_file != nullptr; }

private:
    void applyRow(const QString &statement, const Row &row, const QString &kind);

    QString m_sql;
    sql::Params m_params;
    int m_rowsAffected = 0;
    bool m_live = false;
    UpdateSql m_update;
};

} // namespace db
