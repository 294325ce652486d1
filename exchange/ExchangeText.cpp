#include "ExchangeText.h"

ExchangeError::ExchangeError(const QString &message, const QString &details)
    : std::runtime_error(message.toStdString()), m_message(message), m_details(details)
{
}

QByteArray DoubleQuotes(const QByteArray &text)
{
    if (!text.contains('"'))
        return text;
    QByteArray out = text;
    return out.replace("\"", "\"\"");
}

int CountQuotes(const QByteArray &text)
{
    return int(text.count('"'));
}

QByteArray UndoubleQuotes(const QByteArray &text)
{
    if (!text.contains("\"\""))
        return text;
    QByteArray out;
    out.reserve(text.size());
    for (qsizetype i = 0; i < text.size(); ++i) {
        out.append(text[i]);
        if (text[i] == '"' && i + 1 < text.size() && text[i + 1] == '"')
            ++i;
    }
    return out;
}

bool NeedsQuotes(const QByteArray &value)
{
    if (value.startsWith('"'))
        return true;
    for (const char c : value)
        if (c == '\t' || c == '\r' || c == '\n')
            return true;
    return false;
}

QByteArray QuoteField(const QByteArray &value)
{
    if (!NeedsQuotes(value))
        return value;
    return '"' + DoubleQuotes(value) + '"';
}

QByteArray TrimBytes(const QByteArray &text)
{
    qsizetype begin = 0, end = text.size();
    while (begin < end && uchar(text[begin]) <= 0x20)
        ++begin;
    while (end > begin && uchar(text[end - 1]) <= 0x20)
        --end;
    return begin == 0 && end == text.size() ? text : text.mid(begin, end - begin);
}

QList<QByteArray> SplitRecord(const QByteArray &record)
{
    QList<QByteArray> values;
    qsizetype tab = record.indexOf('\t');
    values.append(record.left(tab < 0 ? record.size() : tab));
    while (tab >= 0) {
        const qsizetype from = tab + 1;
        tab = record.indexOf('\t', from);
        qsizetype lead = from;
        while (lead < record.size() && record[lead] == '"')
            ++lead;
        if ((lead - from) % 2 == 1) {
            int quotes = CountQuotes(record.mid(from, (tab < 0 ? record.size() : tab) - from));
            while (quotes % 2 == 1 && tab >= 0) {
                const qsizetype next = record.indexOf('\t', tab + 1);
                quotes += CountQuotes(record.mid(tab + 1, (next < 0 ? record.size() : next) - tab - 1));
                tab = next;
            }
        }
        const QByteArray token = record.mid(from, (tab < 0 ? record.size() : tab) - from);
        if (!token.startsWith('"'))
            values.append(token);
        else
            values.append(token.size() < 2 ? QByteArray() : UndoubleQuotes(token.mid(1, token.size() - 2)));
    }
    return values;
}
