#include "ExchangeText.h"

#include <algorithm>

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

bool NeedsQuotes(QByteArrayView value)
{
    if (value.startsWith('"'))
        return true;
    return std::any_of(value.begin(), value.end(), [](char c) { return c == '\t' || c == '\r' || c == '\n'; });
}

QByteArray QuoteField(const QByteArray &value)
{
    QByteArray out;
    AppendQuoted(out, value);
    return out;
}

void AppendQuoted(QByteArray &out, QByteArrayView value)
{
    if (!NeedsQuotes(value))
        out.append(value);
    else
        out.append('"').append(DoubleQuotes(value.toByteArray())).append('"');
}

QByteArrayView TrimmedView(QByteArrayView text)
{
    while (!text.isEmpty() && uchar(text.front()) <= 0x20)
        text = text.sliced(1);
    while (!text.isEmpty() && uchar(text.back()) <= 0x20)
        text.chop(1);
    return text;
}

QByteArray TrimBytes(const QByteArray &text)
{
    const QByteArrayView kept = TrimmedView(text);
    return kept.size() == text.size() ? text : kept.toByteArray();
}

QByteArray Unquoted(QByteArrayView token)
{
    return token.size() < 2 ? QByteArray() : UndoubleQuotes(token.sliced(1, token.size() - 2).toByteArray());
}

bool RecordValues::next()
{
    if (m_to >= m_record.size())
        return false;
    const auto tabFrom = [&](qsizetype from) {
        const qsizetype tab = m_record.indexOf('\t', from);
        return tab < 0 ? m_record.size() : tab;
    };
    m_first = m_to < 0;
    m_from = m_to + 1;
    m_to = tabFrom(m_from);
    if (m_first)
        return true;
    qsizetype lead = m_from;
    while (lead < m_record.size() && m_record[lead] == '"')
        ++lead;
    if ((lead - m_from) % 2 == 1) {
        // A quoted value runs on over TABs until its quotes pair up.
        qsizetype quotes = m_record.sliced(m_from, m_to - m_from).count('"');
        while (quotes % 2 == 1 && m_to < m_record.size()) {
            const qsizetype next = tabFrom(m_to + 1);
            quotes += m_record.sliced(m_to + 1, next - m_to - 1).count('"');
            m_to = next;
        }
    }
    return true;
}

QByteArray RecordValues::value() const
{
    const QByteArrayView token = m_record.sliced(m_from, m_to - m_from);
    return m_first || !token.startsWith('"') ? token.toByteArray() : Unquoted(token);
}

QList<QByteArray> SplitRecord(const QByteArray &record)
{
    QList<QByteArray> values;
    for (RecordValues v(record); v.next();)
        values.append(v.value());
    return values;
}
