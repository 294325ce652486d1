// Statements of the local SQL run against the table files: select, insert, update, delete.
#include "db/file/DbError.h"
#include "Sql.h"
#include "SqlCondition.h"
#include "SqlLexer.h"
#include "SqlParser.h"

#include <QSet>
#include <cstring>
#include <algorithm>
#include <numeric>

// Statements over one table of a directory.
//
// select: rows are the non-deleted records that satisfy the where clause, in
// physical order or stably sorted by the order by columns (nulls and blank
// texts first when ascending, last when descending). Plain columns or '*'
// without distinct or an aggregate give a live result: record numbers, with
// columns mapped to their fields. Distinct and aggregates give computed rows;
// distinct keeps the first row (in result order) of each set of equal values.
//
// Result column names: a plain column is named as stored in the file
// ("ITEM_4"); an aggregate is named "<FUNCTION> OF
// <COLUMN>": "MAX OF ITEM_4", "COUNT OF *"; "as alias" (or a bare alias)
// replaces either. min/max keep the column's type and size; count is N(10);
// sum is N(20) with the column's decimals; avg is N(20,4). Aggregates skip
// null (blank) values; over no rows count gives 0 and the others null. An
// aggregate and a plain column cannot be selected together (no group by).
//
// insert/update/delete: every column, value and parameter is checked and
// every value converted and encoded before the first write, so a statement
// that fails writes nothing. Memo texts are written last, just before the
// records that point to them.

namespace db::sql {

namespace {

struct OutColumn
{
    ast::Aggregate aggregate = ast::Aggregate::None;
    bool countAll = false;
    int field = -1;
    QString alias;
    ResultColumn result;
};

const char *aggregateName(ast::Aggregate a)
{
    switch (a) {
    case ast::Aggregate::Count: return "COUNT";
    case ast::Aggregate::Min: return "MIN";
    case ast::Aggregate::Max: return "MAX";
    case ast::Aggregate::Sum: return "SUM";
    case ast::Aggregate::Avg: return "AVG";
    case ast::Aggregate::None: break;
    }
    return "";
}

ResultColumn fieldColumn(const DbfFile &file, int field)
{
    const FieldDef &d = file.fields()[field];
    ResultColumn c;
    c.name = fieldName(file, field);
    c.type = d.type;
    c.length = d.length;
    c.decimals = d.decimals;
    c.sourceField = field;
    return c;
}

OutColumn outColumn(const DbfFile &file, const ast::SelectItem &item)
{
    OutColumn c;
    c.aggregate = item.aggregate;
    c.countAll = item.countAll;
    c.alias = item.alias;
    if (!item.countAll)
        c.field = resolveField(file, item.column);
    if (item.aggregate == ast::Aggregate::None) {
        c.result = fieldColumn(file, c.field);
    } else {
        const QString of = item.countAll ? QStringLiteral("*") : fieldName(file, c.field);
        c.result.name = QStringLiteral("%1 OF %2").arg(QLatin1String(aggregateName(item.aggregate)), of);
        c.result.type = 'N';
        switch (item.aggregate) {
        case ast::Aggregate::Count:
            c.result.length = 10;
            break;
        case ast::Aggregate::Min:
        case ast::Aggregate::Max: {
            const FieldDef &d = file.fields()[c.field];
            c.result.type = d.type;
            c.result.length = d.length;
            c.result.decimals = d.decimals;
            break;
        }
        case ast::Aggregate::Sum:
        case ast::Aggregate::Avg: {
            const FieldDef &d = file.fields()[c.field];
            if (d.type != 'N' && d.type != 'F')
                throw DbError(QString::fromUtf8("表 %1 字段 %2 不是数值字段，不能用 %3")
                                  .arg(file.tableName(), fieldName(file, c.field),
                                       QLatin1String(aggregateName(item.aggregate))));
            c.result.length = 20;
            c.result.decimals = item.aggregate == ast::Aggregate::Sum ? d.decimals : 4;
            break;
        }
        case ast::Aggregate::None:
            break;
        }
    }
    if (!item.alias.isEmpty())
        c.result.name = item.alias;
    return c;
}

QVector<int> matchingRows(const DbfFile &file, const Condition::Node *condition)
{
    QVector<int> rows;
    QByteArray buffer;
    bool scattered = false;
    int walk = -1;
    const auto take = [&](int r) {
        if (!scattered)
            walk = walk < 0 ? r : file.releaseBehind(walk, r);
        const char *rec = scattered ? file.readRecord(r, buffer) : file.record(r);
        if (rec[0] != '*' && (!condition || condition->eval(file, rec)))
            rows.append(r);
    };
    if (const auto candidates = candidateRecords(condition, file)) {
        scattered = file.sparse(*candidates);
        for (int r : *candidates)
            take(r);
        return rows;
    }
    const int n = file.recordCount();
    if (!condition && file.deletedCount() == 0) {
        rows.resize(n);
        std::iota(rows.begin(), rows.end(), 0);
        return rows;
    }
    for (int r = 0; r < n; ++r)
        take(r);
    return rows;
}

struct SortKey
{
    int field;
    bool descending;
};

// Below this a table's rows are sorted faster than its index is built.
constexpr int kIndexedSortFrom = 1024;

// One text column: its bytes order the rows. True when sortRows orders by
// the bytes of that column (trailing blanks removed).
bool sortedByBytes(const DbfFile &file, const QVector<SortKey> &keys)
{
    return keys.size() == 1 && file.fields()[keys[0].field].type == 'C' && !file.isUtf8();
}

void sortRows(const DbfFile &file, QVector<int> &rows, const QVector<SortKey> &keys)
{
    if (keys.isEmpty() || rows.size() < 2)
        return;
    const FieldDef &first = file.fields()[keys[0].field];
    if (sortedByBytes(file, keys) && rows.size() == file.recordCount() - file.deletedCount()
        && file.recordCount() >= kIndexedSortFrom) {
        // Every live record: the key index holds their order (the same
        // order: bytes, then ascending records), without reading them.
        QVector<int> ordered = file.recordsInKeyOrder(keys[0].field, keys[0].descending);
        if (file.deletedCount() > 0)
            ordered.removeIf([&](int rec) { return file.isDeleted(rec); });
        if (ordered.size() == rows.size()) {
            rows = std::move(ordered);
            return;
        }
    }
    if (sortedByBytes(file, keys)) {
        // One text column: its bytes in the mapped records compare as the
        // texts do (trailing blanks ignored, blank first), without copies.
        struct Key
        {
            const char *bytes;
            int length;
            int rec;
        };
        std::vector<Key> keyed;
        keyed.reserve(size_t(rows.size()));
        // A few rows of a large table: their keys are read alone (see
        // readRecord) into one buffer that stays put while they are sorted.
        const bool scattered = file.sparse(rows);
        QByteArray copies, buffer;
        if (scattered)
            copies.resize(rows.size() * first.length);
        for (qsizetype i = 0; i < rows.size(); ++i) {
            const int r = rows[i];
            const char *p = nullptr;
            if (scattered) {
                char *copy = copies.data() + i * first.length;
                std::memcpy(copy, file.readRecord(r, buffer) + first.offset, size_t(first.length));
                p = copy;
            } else {
                p = file.record(r) + first.offset;
            }
            int n = first.length;
            while (n > 0 && (p[n - 1] == ' ' || p[n - 1] == '\0'))
                --n;
            keyed.push_back({p, n, r});
        }
        const bool desc = keys[0].descending;
        std::stable_sort(keyed.begin(), keyed.end(), [desc](const Key &a, const Key &b) {
            int c = std::memcmp(a.bytes, b.bytes, size_t(std::min(a.length, b.length)));
            if (c == 0)
                c = a.length - b.length;
            return desc ? c > 0 : c < 0;
        });
        for (qsizetype i = 0; i < rows.size(); ++i)
            rows[i] = keyed[size_t(i)].rec;
        return;
    }
    const qsizetype k = keys.size();
    std::vector<Value> values(size_t(rows.size() * k));
    for (qsizetype i = 0; i < rows.size(); ++i)
        for (qsizetype j = 0; j < k; ++j)
            values[size_t(i * k + j)] = file.value(rows[i], keys[j].field);
    std::vector<int> order(size_t(rows.size()));
    std::iota(order.begin(), order.end(), 0);
    std::stable_sort(order.begin(), order.end(), [&](int a, int b) {
        for (qsizetype j = 0; j < k; ++j) {
            const int c = compareValues(values[size_t(a * k + j)], values[size_t(b * k + j)]);
            if (c != 0)
                return keys[j].descending ? c > 0 : c < 0;
        }
        return false;
    });
    QVector<int> sorted;
    sorted.reserve(rows.size());
    for (int i : order)
        sorted.append(rows[i]);
    rows = sorted;
}

QVector<Value> aggregateRow(const DbfFile &file, const QVector<int> &rows, const QVector<OutColumn> &columns)
{
    QVector<Value> out;
    for (const OutColumn &c : columns) {
        switch (c.aggregate) {
        case ast::Aggregate::Count: {
            int n = 0;
            for (int r : rows)
                n += c.countAll || !file.value(r, c.field).isNull();
            out.append(Value::fromNumber(n));
            break;
        }
        case ast::Aggregate::Min:
        case ast::Aggregate::Max: {
            const bool wantMax = c.aggregate == ast::Aggregate::Max;
            Value best;
            for (int r : rows) {
                Value v = file.value(r, c.field);
                if (v.isNull())
                    continue;
                const int cmp = best.isNull() ? 0 : compareValues(v, best);
                if (best.isNull() || (wantMax ? cmp > 0 : cmp < 0))
                    best = std::move(v);
            }
            out.append(best);
            break;
        }
        case ast::Aggregate::Sum:
        case ast::Aggregate::Avg: {
            double sum = 0;
            int n = 0;
            for (int r : rows) {
                const Value v = file.value(r, c.field);
                if (v.isNull())
                    continue;
                sum += v.number;
                ++n;
            }
            if (n == 0)
                out.append(Value());
            else
                out.append(Value::fromNumber(c.aggregate == ast::Aggregate::Sum ? sum : sum / n));
            break;
        }
        case ast::Aggregate::None:
            out.append(Value());
            break;
        }
    }
    return out;
}

// Equal values give equal keys (texts without trailing blanks, a blank text
// as null).
void appendKey(QByteArray &key, const Value &v)
{
    Value::Kind kind = v.kind;
    QByteArray payload;
    switch (v.kind) {
    case Value::Text: {
        qsizetype n = v.text.size();
        while (n > 0 && v.text[n - 1] == ' ')
            --n;
        payload = v.text.left(n);
        if (payload.isEmpty())
            kind = Value::Null;
        break;
    }
    case Value::Number: {
        const double d = v.number == 0 ? 0.0 : v.number;
        payload = QByteArray(reinterpret_cast<const char *>(&d), sizeof d);
        break;
    }
    case Value::Date: {
        const qint64 j = v.date.toJulianDay();
        payload = QByteArray(reinterpret_cast<const char *>(&j), sizeof j);
        break;
    }
    case Value::Bool:
        payload = v.flag ? "T" : "F";
        break;
    case Value::Null:
        break;
    }
    const qint32 n = qint32(payload.size());
    key.append(char(kind));
    key.append(reinterpret_cast<const char *>(&n), sizeof n);
    key.append(payload);
}

QVector<int> assignedFields(const DbfFile &file, const QStringList &columns)
{
    QVector<int> fields;
    for (const QString &c : columns) {
        const int f = resolveField(file, c);
        if (fields.contains(f))
            throw DbError(QString::fromUtf8("表 %1 字段 %2 被赋值两次").arg(file.tableName(), fieldName(file, f)));
        fields.append(f);
    }
    return fields;
}

void encodeValues(DbfFile &file, QByteArray &record, const QVector<int> &fields, const QVector<Value> &values,
                  bool memos)
{
    for (qsizetype i = 0; i < fields.size(); ++i)
        if ((file.fields()[fields[i]].type == 'M') == memos)
            file.encode(record, fields[i], values[i]);
}

int insertRow(const QString &dir, const ast::Statement &st, const Params &params)
{
    const auto file = DbfFile::open(dir, st.table);
    DbfFile &f = *file;
    QVector<int> fields;
    if (st.columns.isEmpty()) {
        for (int i = 0; i < f.fieldCount(); ++i)
            fields.append(i);
    } else {
        fields = assignedFields(f, st.columns);
    }
    if (fields.size() != qsizetype(st.values.size()))
        throw DbError(QString::fromUtf8("insert 语句给表 %1 的字段数（%2）与值的个数（%3）不同")
                          .arg(f.tableName())
                          .arg(fields.size())
                          .arg(st.values.size()));
    QVector<Value> values;
    for (qsizetype i = 0; i < fields.size(); ++i)
        values.append(fieldValue(st.values[size_t(i)], params, f, fields[i]));
    QByteArray record = f.blankRecord();
    encodeValues(f, record, fields, values, false);
    encodeValues(f, record, fields, values, true);
    f.appendRecord(record);
    return 1;
}

int updateRows(const QString &dir, const ast::Statement &st, const Params &params)
{
    const auto file = DbfFile::open(dir, st.table);
    DbfFile &f = *file;
    const QVector<int> fields = assignedFields(f, st.columns);
    QVector<Value> values;
    for (qsizetype i = 0; i < fields.size(); ++i)
        values.append(fieldValue(st.values[size_t(i)], params, f, fields[i]));
    const auto condition = bindCondition(st.where.get(), f, params);

    // Values that do not fit fail here, before anything is written.
    QByteArray probe = f.blankRecord();
    encodeValues(f, probe, fields, values, false);

    const QVector<int> rows = matchingRows(f, condition.get());
    QVector<QByteArray> records;
    records.reserve(rows.size());
    for (int r : rows) {
        QByteArray record(f.record(r), f.recordLength());
        encodeValues(f, record, fields, values, false);
        records.append(record);
    }
    for (QByteArray &record : records)
        encodeValues(f, record, fields, values, true);
    for (qsizetype i = 0; i < rows.size(); ++i)
        f.writeRecord(rows[i], records[i]);
    return int(rows.size());
}

int deleteRows(const QString &dir, const ast::Statement &st, const Params &params)
{
    const auto file = DbfFile::open(dir, st.table);
    const auto condition = bindCondition(st.where.get(), *file, params);
    const QVector<int> rows = matchingRows(*file, condition.get());
    for (int r : rows)
        file->setDeleted(r, true);
    return int(rows.size());
}

} // namespace

bool returnsRows(const QString &text)
{
    try {
        return Lexer(text).next().isWord("select");
    } catch (const DbError &) {
        return false;
    }
}

QStringList parameterNames(const QString &text)
{
    QStringList names;
    QSet<QString> seen;
    try {
        Lexer lexer(text);
        for (Token t = lexer.next(); t.kind != Token::End; t = lexer.next())
            if (t.kind == Token::Param && !seen.contains(t.text.toLower())) {
                seen.insert(t.text.toLower());
                names.append(t.text);
            }
    } catch (const DbError &) {
        // A text that does not lex fails when it runs; its names so far stand.
    }
    return names;
}

void Params::keepNamedIn(const QString &statement)
{
    if (m_values.isEmpty())
        return;
    QHash<QString, Value> kept;
    for (const QString &name : parameterNames(statement))
        if (const auto it = m_values.constFind(name.toLower()); it != m_values.constEnd())
            kept.insert(it.key(), *it);
    m_values.swap(kept);
}

SelectResult select(const QString &dir, const QString &text, const Params &params)
{
    const ast::Statement st = parseStatement(text);
    if (st.kind != ast::Statement::Select)
        throw DbError(QString::fromUtf8("只有 select 语句能打开结果集；insert、update、delete 语句应执行"));
    SelectResult result;
    result.file = DbfFile::open(dir, st.table);
    const DbfFile &f = *result.file;

    QVector<OutColumn> columns;
    if (st.star) {
        for (int i = 0; i < f.fieldCount(); ++i) {
            OutColumn c;
            c.field = i;
            c.result = fieldColumn(f, i);
            columns.append(c);
        }
    } else {
        for (const ast::SelectItem &item : st.items)
            columns.append(outColumn(f, item));
    }
    const auto isAggregate = [](const OutColumn &c) { return c.aggregate != ast::Aggregate::None; };
    const bool aggregate = std::any_of(columns.begin(), columns.end(), isAggregate);
    if (aggregate)
        for (const OutColumn &c : columns)
            if (!isAggregate(c))
                throw DbError(QString::fromUtf8("字段 %1 不能与聚合函数一起选择（不支持 group by）").arg(c.result.name));

    QVector<SortKey> keys;
    for (const ast::OrderItem &o : st.order) {
        int field = -1;
        if (o.position > 0) {
            if (o.position > columns.size())
                throw DbError(QString::fromUtf8("order by 的列号 %1 超出选择的列数 %2").arg(o.position).arg(columns.size()));
            field = columns[o.position - 1].field;
        } else {
            for (const OutColumn &c : columns)
                if (!c.alias.isEmpty() && c.alias.compare(o.column, Qt::CaseInsensitive) == 0)
                    field = c.field;
            if (field < 0)
                field = resolveField(f, o.column);
        }
        if (field >= 0)
            keys.append({field, o.descending});
    }

    const auto condition = bindCondition(st.where.get(), f, params);
    QVector<int> rows = matchingRows(f, condition.get());
    for (const OutColumn &c : columns)
        result.columns.append(c.result);

    if (aggregate) {
        result.values.append(aggregateRow(f, rows, columns));
        return result;
    }
    sortRows(f, rows, keys);
    if (!st.distinct) {
        result.live = true;
        result.allRecords = !condition && keys.isEmpty() && f.deletedCount() == 0;
        result.rows = rows;
        if (sortedByBytes(f, keys))
            for (qsizetype c = 0; c < columns.size(); ++c)
                if (columns[c].field == keys[0].field && columns[c].aggregate == ast::Aggregate::None) {
                    result.orderedColumn = int(c);
                    break;
                }
        return result;
    }
    QSet<QByteArray> seen;
    for (int r : rows) {
        QVector<Value> row;
        QByteArray key;
        for (const OutColumn &c : columns) {
            row.append(f.value(r, c.field));
            appendKey(key, row.last());
        }
        if (seen.contains(key))
            continue;
        seen.insert(key);
        result.values.append(row);
    }
    return result;
}

int execute(const QString &dir, const QString &text, const Params &params)
{
    const ast::Statement st = parseStatement(text);
    switch (st.kind) {
    case ast::Statement::Insert:
        return insertRow(dir, st, params);
    case ast::Statement::Update:
        return updateRows(dir, st, params);
    case ast::Statement::Delete:
        return deleteRows(dir, st, params);
    case ast::Statement::Select:
        break;
    }
    throw DbError(QString::fromUtf8("select 语句应打开，不能执行"));
}

} // namespace db::sql
