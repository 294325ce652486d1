#include "ImportTxtRecord.h"

#include "ExchangeText.h"
#include "db/dataset/Table.h"
#include "db/file/DbError.h"
#include "db/file/DbfFile.h"
#include "ui/Clock.h"

#include <algorithm>

namespace {

constexpr int kDateColumn = 5; // column 6, ITEM_121 of the staging record

int leadingQuotes(QByteArrayView token)
{
    int n = 0;
    while (n < token.size() && token[n] == '"')
        ++n;
    return n;
}

// The record text still to be cut, as a position in it. Values are views
// of the record: most go into their column as they stand.
struct Cursor
{
    const QByteArray &text;
    qsizetype pos = 0;

    bool usedUp() const { return pos >= text.size(); }
    bool holdsTab() const { return text.indexOf('\t', pos) >= 0; }
    // Up to the next TAB, or all that is left.
    QByteArrayView take()
    {
        const qsizetype tab = text.indexOf('\t', pos);
        const qsizetype end = tab < 0 ? text.size() : tab;
        const QByteArrayView token = QByteArrayView(text).sliced(pos, end - pos);
        pos = tab < 0 ? text.size() : tab + 1;
        return token;
    }
    QByteArrayView rest() const { return QByteArrayView(text).sliced(pos); }
    bool restIsBlank() const
    {
        for (qsizetype i = pos; i < text.size(); ++i)
            if (uchar(text[i]) > 0x20)
                return false;
        return true;
    }
};

// One row being filled: its record built in place, in the file's format,
// and appended whole at post, memos written then.
class RowFiller
{
public:
    RowFiller(db::DbfFile &file, bool dateRule) : m_file(file), m_dateRule(dateRule) {}

    void begin()
    {
        m_raw = m_file.blankRecord();
        m_memos.clear();
    }

    // A new row's fields start empty: an empty value leaves its column so.
    void set(int column, QByteArrayView value)
    {
        if (value.isEmpty())
            return;
        try {
            if (m_file.fields()[column].type == 'M') {
                const QByteArray text = value.toByteArray();
                // Refused here, where the row is known, rather than at post.
                m_file.checkMemoText(column, text, m_file.recordCount());
                m_memos.append({column, db::Value::fromBytes(text)});
            } else {
                m_file.encodeText(m_raw, column, value);
            }
        } catch (const db::DbError &e) {
            throw ExchangeError(QString::fromUtf8("字段 %1：%2").arg(QLatin1String(m_file.fields()[column].name), e.message()));
        }
    }

    void post()
    {
        for (const auto &[column, value] : std::as_const(m_memos))
            m_file.encode(m_raw, column, value);
        m_file.appendRecord(m_raw);
    }

    // A middle column's value from its token (the quoted value may take
    // further pieces of the record); valid until the next one.
    QByteArrayView middleValue(int column, Cursor &line)
    {
        QByteArrayView token = line.take();
        if (leadingQuotes(token) % 2 == 1) {
            m_value = token.toByteArray();
            while (CountQuotes(m_value) % 2 == 1 && !line.usedUp())
                m_value.append('\t').append(line.take());
            m_value = Unquoted(m_value);
            return m_value;
        }
        if (m_dateRule && column == kDateColumn && !db::parseDate(QString::fromLatin1(token)).isValid()) {
            m_value = ui::today().toString(QStringLiteral("yyyy-MM-dd")).toLatin1();
            return m_value;
        }
        if (token.startsWith('"')) {
            m_value = Unquoted(token);
            return m_value;
        }
        return token;
    }

private:
    db::DbfFile &m_file;
    bool m_dateRule;
    QByteArray m_raw;
    QVector<std::pair<int, db::Value>> m_memos;
    QByteArray m_value; // a value made of its token
};

int dataColumns(db::Table &table)
{
    int n = 0;
    while (n < table.fieldCount() && !table.field(n)->isLookup())
        ++n;
    return n;
}

// The number of values of a record as the writer separates them: TABs
// inside a quoted value do not count.
int countValues(const QByteArray &record)
{
    if (TrimBytes(record).isEmpty())
        return 0;
    int values = 0;
    for (RecordValues v(record); v.next();)
        ++values;
    return values;
}

} // namespace

TxtRecordTarget::TxtRecordTarget(db::Table &table, TxtRecordReader reader)
    : m_file(db::DbfFile::open(table.databaseName(), table.tableName())), m_reader(reader),
      m_columns(dataColumns(table)),
      m_tailBytes(m_columns == reader.oneByteTailColumns ? 1 : 10),
      m_dateRule(table.tableName() == QLatin1String("KJCGtemp.dbf"))
{
}

void TxtRecordTarget::refuseValueCount(const QByteArray &record) const
{
    throw ExchangeError(QString::fromUtf8("这一行有 %1 个值，表有 %2 列").arg(countValues(record)).arg(m_columns));
}

void TxtRecordTarget::read(const QByteArray &record)
{
    Cursor line{record};
    if (line.restIsBlank())
        return;
    if (m_reader.exactValueCount && countValues(record) != m_columns)
        refuseValueCount(record);
    const int n = m_columns;
    RowFiller row(*m_file, m_dateRule);
    bool firstRow = true;
    QByteArrayView carried; // first column of a further row cut from the last one
    bool carry = false;
    while (carry || !line.restIsBlank()) {
        row.begin();
        QByteArrayView first;
        if (carry) {
            first = carried;
        } else if (firstRow && line.holdsTab()) {
            first = line.take(); // never unquoted
        }
        carry = false;
        firstRow = false;
        row.set(0, first);
        for (int c = 1; c < n - 1; ++c)
            row.set(c, row.middleValue(c, line));
        const QByteArrayView last = line.rest();
        if (line.holdsTab())
            line.take();
        if (!line.holdsTab()) {
            row.set(n - 1, TrimmedView(line.rest()));
            line.pos = record.size();
        } else {
            if (m_reader.refusesRunOn)
                refuseValueCount(record); // the row being filled is never appended
            // Two or more values beyond the columns: the old writers' records
            // ran on, and the tail of the last value begins the next row.
            const qsizetype cut = std::max<qsizetype>(0, last.size() - m_tailBytes);
            row.set(n - 1, TrimmedView(last.first(cut)));
            carried = TrimmedView(last.sliced(cut));
            carry = true;
        }
        row.post();
    }
}
