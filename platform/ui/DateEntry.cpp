#include "DateEntry.h"

#include <algorithm>

namespace ui {

DateEntry::DateEntry(const QString &displayFormat)
{
    QString separator;
    for (qsizetype i = 0; i < displayFormat.size();) {
        const QChar c = displayFormat[i];
        if (c != u'y' && c != u'M' && c != u'd') {
            separator += c;
            ++i;
            continue;
        }
        qsizetype end = i;
        while (end < displayFormat.size() && displayFormat[end] == c)
            ++end;
        if (!m_sections.isEmpty())
            m_separators << separator;
        separator.clear();
        m_sections.append({c, int(end - i), {}});
        i = end;
    }
}

void DateEntry::beginWhole()
{
    for (Section &s : m_sections) {
        s.digits.clear();
        s.typed = true;
    }
    m_current = 0;
    m_advanced = false;
}

void DateEntry::beginAt(int section, const QDate &shown)
{
    for (Section &s : m_sections) {
        const int value = s.letter == u'y' ? shown.year() : s.letter == u'M' ? shown.month() : shown.day();
        s.digits = QStringLiteral("%1").arg(value, s.length, 10, QLatin1Char('0'));
        s.typed = false;
    }
    m_current = std::clamp(section, 0, int(m_sections.size()) - 1);
    m_advanced = false;
}

void DateEntry::digit(int value)
{
    if (finished() || value < 0 || value > 9)
        return;
    Section &s = m_sections[m_current];
    if (!s.typed) {
        s.digits.clear();
        s.typed = true;
    }
    s.digits += QChar(u'0' + value);
    m_advanced = false;
    if (s.digits.size() >= s.length) {
        ++m_current;
        m_advanced = true;
    }
}

void DateEntry::separator()
{
    if (finished())
        return;
    const Section &s = m_sections[m_current];
    const bool begun = s.typed && !s.digits.isEmpty();
    // The separator typed after a full section: typing has passed it already.
    if (m_advanced && !begun) {
        m_advanced = false;
        return;
    }
    // Nothing begun to end in an entry typed anew.
    if (s.typed && !begun)
        return;
    ++m_current;
    m_advanced = false;
}

void DateEntry::backspace()
{
    m_advanced = false;
    if (!finished()) {
        Section &s = m_sections[m_current];
        if (!s.typed) {
            s.digits.clear();
            s.typed = true;
            return;
        }
        if (!s.digits.isEmpty()) {
            s.digits.chop(1);
            return;
        }
    }
    if (m_current == 0)
        return;
    --m_current;
    Section &back = m_sections[m_current];
    back.typed = true;
    back.digits.chop(1);
}

bool DateEntry::isBlank() const
{
    for (const Section &s : m_sections)
        if (!s.digits.isEmpty())
            return false;
    return true;
}

bool DateEntry::isComplete() const
{
    for (const Section &s : m_sections)
        if (s.digits.isEmpty())
            return false;
    return true;
}

QDate DateEntry::date() const
{
    if (!isComplete())
        return {};
    int year = 0, month = 1, day = 1;
    for (const Section &s : m_sections)
        (s.letter == u'y' ? year : s.letter == u'M' ? month : day) = s.digits.toInt();
    return QDate(year, month, day);
}

QString DateEntry::text() const
{
    // Up to the section typing goes to, and any later one still holding digits.
    int last = std::min(m_current, int(m_sections.size()) - 1);
    for (int i = last + 1; i < m_sections.size(); ++i)
        if (!m_sections[i].digits.isEmpty())
            last = i;
    QString out;
    for (int i = 0; i <= last; ++i) {
        out += m_sections[i].digits;
        if (i < last)
            out += m_separators[i];
    }
    return out;
}

int DateEntry::spanStart() const
{
    int pos = 0;
    for (int i = 0; i < std::min(m_current, int(m_sections.size())); ++i)
        pos += int(m_sections[i].digits.size() + m_separators.value(i).size());
    return std::min(pos, int(text().size()));
}

int DateEntry::spanLength() const
{
    return finished() ? 0 : int(m_sections[m_current].digits.size());
}

bool DateEntry::spanIsKept() const
{
    return !finished() && !m_sections[m_current].typed;
}

} // namespace ui
