#pragma once
// Date pickers with a drop-down calendar that show any stored date as it is:
// their range is every date a date field can hold that the picker can
// display (years 100 to 9999), so no stored date is moved into a narrower
// range on loading and written back changed.
//
// A date typed into a DatePicker is taken as the user typed it (DateEntry),
// whole or section by section, with or without separators; when typing ends
// (the picker is left, Enter, a key that moves in it, or the form reads
// it), the date typed is the picker's date, or the user is told why it was
// not taken and the picker keeps its date.
#include "DateEntry.h"

#include <QDate>
#include <QDateEdit>
#include <QString>
#include <functional>
#include <optional>

namespace ui {

QDate earliestPickerDate();
QDate latestPickerDate();

void setUpDatePicker(QDateEdit *picker, const QString &displayFormat);

class DatePicker : public QDateEdit
{
    Q_OBJECT

public:
    explicit DatePicker(QWidget *parent = nullptr);

    bool isTyping() const { return m_entry.has_value(); }
    // Ends the typing: false when what was typed was refused (the user has
    // been told, the picker shows the date it kept).
    bool finishTyping();
    // The date once typing has ended; a refused entry abandons the action
    // silently, its message shown.
    QDate enteredDate();
    // What a date typed empty means (the picker's date is then left as it
    // is); without one an empty entry is refused.
    void setOnCleared(std::function<void()> cleared) { m_cleared = std::move(cleared); }

    // Starts a typing that replaces the whole date, as Ctrl+A would.
    void selectWhole();

protected:
    void keyPressEvent(QKeyEvent *e) override;
    void inputMethodEvent(QInputMethodEvent *e) override;
    void focusOutEvent(QFocusEvent *e) override;
    void mousePressEvent(QMouseEvent *e) override;
    bool focusNextPrevChild(bool next) override;
    bool eventFilter(QObject *watched, QEvent *e) override;

public:
    void stepBy(int steps) override;

private:
    // An entry begins anew when the whole text is selected or no date is
    // shown, else at the section at the cursor, over the date shown.
    void beginEntry();
    // False when the character finished an entry that was refused.
    bool type(QChar c);
    // A paste is one entry: digits running on past a whole date are no
    // date, not a day typed over it.
    void paste(const QString &text);
    void erase();
    void showEntry();
    bool wholeSelected() const;
    bool showsNoDate() const;
    // An entry whose text the program replaced (a date set) is gone.
    void dropReplacedEntry();
    // Why a finished entry is not taken; empty when it is.
    QString refusal(const DateEntry &entry) const;
    // Shows kept and tells the user why what was entered is not taken.
    void refuse(const QString &why, const QDate &kept);

    std::optional<DateEntry> m_entry;
    QString m_shown; // the entry's text as last put into the edit
    std::function<void()> m_cleared;
};

} // namespace ui
