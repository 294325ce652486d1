#include "ImportTxtRecord.h"

#include "ExchangeText.h"
#include "db/DbError.h"
#include "db/DbfFile.h"
#include "db/Table.h"
#include "ui/Clock.h"

#include <algorithm>

namespace {

constexpr int kDateColumn = 5; // column 6, ITEM_121 of the staging record

int leadingQuotes(const QByteArray &token)
{
    int n = 0;
    while (n < token.size() && token[n] == '"')
        ++n;
    return n;
}

// The token less its first and last character, pairs of quotes made one.
QByteArray unquoted(const QByteArray &token)
{
    return token.size() < 2 ? QByteArray() : UndoubleQuotes(token.mid(1, token.size() - 2));
}

// The record text still to be cut, as a position in it.
struct Cursor
{
    const QByteArray &text;
    qsizetype pos = 0;

    bool usedUp() const { return pos >= text.size(); }
    bool holdsTab() const { return text.indexOf('\t', pos) >= 0; }
    // Up to the next TAB, or all that is left.
    QByteArray take()
    {
        const qsizetype tab = text.indexOf('\t', pos);
        const qsizetype end = tab < 0 ? text.size() : tab;
        QByteArray token = text.mid(pos, end - pos);
        pos = tab < 0 ? text.size() : tab + 1;
        return token;
    }
    QByteArray rest() const { return text.mid(pos); }
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
    void set(int column, const QByteArray &value)
    {
        if (value.isEmpty())
            return;
        try {
            if (m_file.fields()[column].type == 'M') {
                // Refused here, where the row is known, rather than at post.
                m_file.checkMemoText(column, value, m_file.recordCount());
                m_memos.append({column, db::Value::fromBytes(value)});
            } else {
                m_file.encode(m_raw, column, db::Value::fromBytes(value));
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
    // further pieces of the record).
    QByteArray middleValue(int column, Cursor &line)
    {
        QByteArray token = line.take();
        if (leadingQuotes(token) % 2 == 1) {
            while (CountQuotes(token) % 2 == 1 && !line.usedUp())
                token += '\t' + line.take();
            return unquoted(token);
        }
        if (m_dateRule && column == kDateColumn && !db::parseDate(QString::fromLatin1(token)).isValid())
            token = ui::today().toString(QStringLiteral("yyyy-MM-dd")).toLatin1();
        return token.startsWith('"') ? unquoted(token) : token;
    }

private:
    db::DbfFile &m_file;
    bool m_dateRule;
    QByteArray m_raw;
    QVector<std::pair<int, db::Value>> m_memos;
};

int dataColumns(db::Table &table)
{
    int n = 0;
    while (n < table.fieldCount() && !table.field(n)->isLookup())
        ++n;
    return n;
}

int quotesIn(const QByteArray &text, qsizetype from, qsizetype to)
{
    return int(std::count(text.constData() + from, text.constData() + to, '"'));
}

// The number of values of a record as the writer separates them: TABs
// inside a quoted value do not count.
int countValues(const QByteArray &record)
{
    if (TrimBytes(record).isEmpty())
        return 0;
    qsizetype tab = record.indexOf('\t');
    if (tab < 0)
        return 1;
    int values = 1; // the first value is never quoted
    for (qsizetype pos = tab + 1;; pos = tab + 1) {
        ++values;
        tab = record.indexOf('\t', pos);
        qsizetype lead = pos;
        while (lead < record.size() && record[lead] == '"')
            ++lead;
        if ((lead - pos) % 2 == 1) {
            // A quoted value runs on over TABs until its quotes pair up.
            int quotes = quotesIn(record, pos, tab < 0 ? record.size() : tab);
            while (quotes % 2 == 1 && tab >= 0) {
                const qsizetype next = record.indexOf('\t', tab + 1);
                quotes += quotesIn(record, tab + 1, next < 0 ? record.size() : next);
                tab = next;
            }
        }
        if (tab < 0)
            return values;
    }
}

} // namespace

TxtRecordTarget::TxtRecordTarget(db::Table &table, TxtRecordReader reader)
    : m_file(db::DbfFile::open(table.databaseName(), table.tableName())), m_reader(reader),
      m_columns(dataColumns(table)),
      m_tailBytes(m_columns == reader.oneByteTailColumns ? 1 : 10),
      m_dateRule(table.tableName() == QLatin1String("KJCGtemp.dbf"))
{
}

void TxtRecordTarget::read(const QByteArray &record)
{
    Cursor line{record};
    if (line.restIsBlank())
        return;
    if (m_reader.exactValueCount) {
        if (const int values = countValues(record); values != m_columns)
            throw ExchangeError(QString::fromUtf8("这一行有 %1 个值，表有 %2 列").arg(values).arg(m_columns));
    }
    const int n = m_columns;
    RowFiller row(*m_file, m_dateRule);
    bool firstRow = true;
    QByteArray carried; // first column of a further row cut from the last one
    bool carry = false;
    while (carry || !line.restIsBlank()) {
        row.begin();
        QByteArray first;
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
        const QByteArray last = line.rest();
        if (line.holdsTab())
            line.take();
        if (!line.holdsTab()) {
            row.set(n - 1, TrimBytes(line.rest()));
            line.pos = record.size();
        } else {
            // Two or more values beyond the columns: the old writers' records
            // ran on, and the tail of the last value begins the next row.
            const qsizetype cut = std::max<qsizetype>(0, last.size() - m_tailBytes);
            row.set(n - 1, TrimBytes(last.left(cut)));
            carried = TrimBytes(last.mid(cut));
            carry = true;
        }
        row.post();
    }
}
