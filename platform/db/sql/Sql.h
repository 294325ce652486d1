#pragma once
// Local SQL over the dBASE files of one directory: the statements the program
// builds (select, insert, update, delete) and the filter texts of tables.
#include "db/file/DbfFile.h"
#include "db/file/Value.h"

#include <QHash>
#include <QString>
#include <QStringList>
#include <QVector>
#include <memory>
#include <optional>

namespace db::sql {

// Named parameters (":item_4"), keyed by lower-case name without the colon.
class Params
{
public:
    void set(const QString &name, const Value &v) { m_values.insert(name.toLower(), v); }
    bool has(const QString &name) const { return m_values.contains(name.toLower()); }
    Value get(const QString &name) const { return m_values.value(name.toLower()); }
    void clear() { m_values.clear(); }
    // Forgets every value but those of the parameters the statement names.
    void keepNamedIn(const QString &statement);
    bool isEmpty() const { return m_values.isEmpty(); }

private:
    QHash<QString, Value> m_values;
};

// A where-clause or filter text bound to the columns of one table.
class Condition
{
public:
    Condition();
    ~Condition();
    Condition(Condition &&) noexcept;
    Condition &operator=(Condition &&) noexcept;

    // Throws SqlSyntaxError for a text that does not parse and DbError for an
    // unknown column or a missing parameter. An empty text matches every row.
    static Condition compile(const QString &text, const DbfFile &file, const Params &params = {});
    bool matches(const DbfFile &file, const char *record) const;
    bool matches(const DbfFile &file, int rec) const { return matches(file, file.record(rec)); }
    // The records that can match, found through the key index; nothing when
    // every record must be tested.
    std::optional<QVector<int>> candidates(const DbfFile &file) const;
    bool isEmpty() const;

    struct Node;

private:
    std::unique_ptr<Node> m_root;
};

struct ResultColumn
{
    QString name;
    char type = 'C';
    int length = 0;
    int decimals = 0;
    int sourceField = -1; // field of the table it shows; -1 when computed
};

struct SelectResult
{
    std::shared_ptr<DbfFile> file; // the table selected from
    // Live: rows are records of `file` (no distinct, no aggregate), so they
    // can be edited and posted; otherwise `values` holds computed rows.
    bool live = false;
    QVector<int> rows; // live: record numbers in result order
    bool allRecords = false; // live: rows are every record 0..n-1 in file order
    // live: the result column whose bytes (trailing blanks removed) the rows
    // are ordered by, when they are sorted by one text column; -1 otherwise.
    int orderedColumn = -1;
    QVector<ResultColumn> columns;
    QVector<QVector<Value>> values;
};

// True when the statement is a select (it is opened, not executed).
bool returnsRows(const QString &text);
// Names of the parameters the text uses, in order of first appearance.
QStringList parameterNames(const QString &text);
SelectResult select(const QString &dir, const QString &text, const Params &params = {});
// insert, update or delete; returns the number of rows affected.
int execute(const QString &dir, const QString &text, const Params &params = {});

} // namespace db::sql
