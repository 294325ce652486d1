#pragma once
// A date as the user types it into a picker, section by section of the
// picker's display format ("yyyy.MM.dd", "yyyy.MM"): digits fill the section
// being typed and move on when it is full; a separator ends a section begun
// and is passed over right after a full one, so "2026.11.20", "20261120" and
// "2026.5.2" all come out as the user means them.
#include <QDate>
#include <QList>
#include <QString>
#include <QStringList>

namespace ui {

class DateEntry
{
public:
    explicit DateEntry(const QString &displayFormat);

    // Everything typed anew: the whole text was selected, or there was none.
    void beginWhole();
    // Typing over one section of the shown date: it and each later one are
    // replaced when typing reaches them; those before stay.
    void beginAt(int section, const QDate &shown);

    void digit(int value);
    void separator();
    void backspace();

    // The last section is full or was ended: nothing more is typed into it.
    bool finished() const { return m_current >= m_sections.size(); }
    bool isBlank() const;
    // Every section holds digits.
    bool isComplete() const;
    // The date the sections make; invalid when incomplete or no date.
    QDate date() const;

    // As shown while typing, and the span of the section typing goes to.
    QString text() const;
    int spanStart() const;
    int spanLength() const;
    // True when that section's shown digits are still the date's, to be replaced.
    bool spanIsKept() const;

    int sectionCount() const { return int(m_sections.size()); }

private:
    struct Section
    {
        QChar letter; // y, M or d
        int length;
        QString digits;
        bool typed = false; // typed into in this entry: kept digits are gone
    };
    QList<Section> m_sections;
    QStringList m_separators; // after each section but the last
    int m_current = 0;
    bool m_advanced = false; // the current section was reached by filling the one before
};

} // namespace ui
