#include "DatePicker.h"

#include "MessageBox.h"
#include "SilentAbort.h"

#include <QApplication>
#include <QClipboard>
#include <QDateEdit>
#include <QInputMethodEvent>
#include <QKeyEvent>
#include <QLineEdit>
#include <QSignalBlocker>

#include <utility>

namespace ui {

QDate earliestPickerDate()
{
    return QDate(100, 1, 1);
}

QDate latestPickerDate()
{
    return QDate(9999, 12, 31);
}

void setUpDatePicker(QDateEdit *picker, const QString &displayFormat)
{
    picker->setDisplayFormat(displayFormat);
    picker->setDateRange(earliestPickerDate(), latestPickerDate());
    picker->setCalendarPopup(true);
}

namespace {

// Separators as typed, in either input mode of a Chinese keyboard.
bool isSeparator(QChar c)
{
    return QStringView(u".-/。．－／").contains(c);
}

bool isDateCharacter(QChar c)
{
    return (c.isDigit() && c.digitValue() >= 0) || isSeparator(c);
}

} // namespace

DatePicker::DatePicker(QWidget *parent) : QDateEdit(parent)
{
    lineEdit()->installEventFilter(this);
}

bool DatePicker::wholeSelected() const
{
    const QLineEdit *edit = lineEdit();
    return edit->hasSelectedText() && edit->selectedText() == edit->text();
}

bool DatePicker::showsNoDate() const
{
    return !specialValueText().isEmpty() && date() == minimumDate();
}

void DatePicker::dropReplacedEntry()
{
    if (m_entry && lineEdit()->text() != m_shown)
        m_entry.reset();
}

void DatePicker::selectWhole()
{
    dropReplacedEntry();
    lineEdit()->selectAll();
}

void DatePicker::beginEntry()
{
    dropReplacedEntry();
    if (m_entry && !wholeSelected())
        return;
    DateEntry entry(displayFormat());
    if (wholeSelected() || showsNoDate())
        entry.beginWhole();
    else
        entry.beginAt(std::max(0, currentSectionIndex()), date());
    m_entry = entry;
}

bool DatePicker::type(QChar c)
{
    beginEntry();
    if (isSeparator(c))
        m_entry->separator();
    else
        m_entry->digit(c.digitValue());
    if (!m_entry->finished()) {
        showEntry();
        return true;
    }
    // Typing on goes over the last section, as it would in any section.
    if (!finishTyping())
        return false;
    setSelectedSection(sectionAt(sectionCount() - 1));
    return true;
}

void DatePicker::paste(const QString &text)
{
    const QDate before = date();
    bool whole = false; // a date was completed
    for (const QChar c : text) {
        if (!isDateCharacter(c))
            continue;
        if (whole) {
            if (!c.isDigit())
                continue;
            refuse(QString::fromUtf8("“%1”不是正确的日期").arg(text.trimmed()), before);
            return;
        }
        if (!type(c))
            return;
        whole = !m_entry;
    }
}

void DatePicker::erase()
{
    beginEntry();
    m_entry->backspace(); // the last digit typed, or all of a section begun over
    showEntry();
}

void DatePicker::showEntry()
{
    QLineEdit *edit = lineEdit();
    m_shown = m_entry->text();
    // The picker itself would read a date out of the text at once ("2026.1"
    // as January before the second digit of the month arrives): it hears
    // nothing of it, and its validator is off while the text is set.
    const QSignalBlocker quiet(edit);
    const QValidator *validator = edit->validator();
    edit->setValidator(nullptr);
    edit->setText(m_shown);
    edit->setValidator(validator);
    // The kept digits of the section typing goes to are selected: the next
    // digit replaces them.
    if (m_entry->spanIsKept())
        edit->setSelection(m_entry->spanStart(), m_entry->spanLength());
    else
        edit->setCursorPosition(m_entry->spanStart() + m_entry->spanLength());
}

bool DatePicker::finishTyping()
{
    dropReplacedEntry();
    if (!m_entry)
        return true;
    const DateEntry entry = *std::exchange(m_entry, std::nullopt);
    const QDate kept = date();
    if (entry.isBlank() && m_cleared) {
        setDate(kept); // shows it again
        m_cleared();
        return true;
    }
    const QString why = refusal(entry);
    if (why.isEmpty()) {
        setDate(entry.date());
        return true;
    }
    refuse(why, kept);
    return false;
}

void DatePicker::refuse(const QString &why, const QDate &kept)
{
    m_entry.reset();
    setDate(kept);
    const QString shown = showsNoDate() ? QString::fromUtf8("空") : text();
    messageBox(why + QString::fromUtf8("，未被采用，日期仍为 %1。").arg(shown), QCoreApplication::applicationName(),
               MB_OK | MB_ICONEXCLAMATION);
}

QString DatePicker::refusal(const DateEntry &entry) const
{
    if (entry.isBlank())
        return QString::fromUtf8("日期不能为空");
    const QString typed = entry.text();
    if (!entry.isComplete())
        return QString::fromUtf8("“%1”不是完整的日期（日期格式：%2）").arg(typed, displayFormat().toUpper());
    const QDate d = entry.date();
    if (!d.isValid())
        return QString::fromUtf8("“%1”不是正确的日期").arg(typed);
    if (d < minimumDate() || d > maximumDate())
        return QString::fromUtf8("“%1”不在可输入的日期范围（%2 至 %3）之内")
            .arg(typed, minimumDate().toString(displayFormat()), maximumDate().toString(displayFormat()));
    return {};
}

QDate DatePicker::enteredDate()
{
    if (!finishTyping())
        abortAction();
    return date();
}

void DatePicker::keyPressEvent(QKeyEvent *e)
{
    const QString text = e->text();
    const bool plain = !(e->modifiers() & (Qt::ControlModifier | Qt::AltModifier | Qt::MetaModifier));
    if (plain && text.size() == 1 && isDateCharacter(text[0])) {
        type(text[0]);
        return;
    }
    if (e->key() == Qt::Key_Backspace || e->key() == Qt::Key_Delete) {
        erase();
        return;
    }
    if (e->matches(QKeySequence::SelectAll)) {
        selectWhole();
        return;
    }
    if (e->matches(QKeySequence::Paste)) {
        paste(QApplication::clipboard()->text());
        return;
    }
    // No other character has a place in a date.
    if (plain && !text.isEmpty() && text[0].isPrint())
        return;
    finishTyping();
    QDateEdit::keyPressEvent(e);
}

void DatePicker::inputMethodEvent(QInputMethodEvent *e)
{
    for (const QChar c : e->commitString())
        if (isDateCharacter(c))
            type(c);
    e->accept();
}

void DatePicker::focusOutEvent(QFocusEvent *e)
{
    finishTyping();
    QDateEdit::focusOutEvent(e);
}

void DatePicker::mousePressEvent(QMouseEvent *e)
{
    finishTyping();
    QDateEdit::mousePressEvent(e);
}

bool DatePicker::focusNextPrevChild(bool next)
{
    finishTyping();
    return QDateEdit::focusNextPrevChild(next);
}

void DatePicker::stepBy(int steps)
{
    finishTyping();
    QDateEdit::stepBy(steps);
}

bool DatePicker::eventFilter(QObject *watched, QEvent *e)
{
    if (watched == lineEdit() && e->type() == QEvent::MouseButtonPress)
        finishTyping();
    return QDateEdit::eventFilter(watched, e);
}

} // namespace ui
