#pragma once
// Small routines every entry window uses to move values between a record and
// its controls, and the text forms in which coded values are shown and
// stored:
//   code item    "code  name" (dictionary), "code  (name)" (province, ministry)
//   blank item   " " stands for no value
//   choice codes "3" (radio panel) or "05;07;" (check-box panel, at most two)
//   period       "2003.01   至2004.12"
//   keywords     "a;b;c"
// Positions and lengths count GBK bytes, as the stored fields do.
#include <QString>
#include <functional>

class QComboBox;
class QLineEdit;
class QWidget;

namespace db {
class Dataset;
class Query;
class Table;
} // namespace db

// The warning box: caption "Corvane", exclamation icon, OK.
void ShowWarning(const QString &text);
// The steps that follow an operation stored for good (the list reloaded and
// renumbered): an error of the engine there is told as what it is, beside
// what is done (done + "，但随后出错：" + the error), never as the
// operation's own failure.
void AfterStored(const QString &done, const std::function<void()> &steps);
// The question before unsaved changes are dropped (by default
// "记录已经更改,是否保存？") under "请注意！", with 是 and 否, the note on a
// line of its own below it when one is given. True when the caller may go
// on: 是 and save() stored them, or 否. Escape or the box's close button,
// like a save that failed, keeps everything as it is.
bool SettleChanges(const std::function<bool()> &save, const QString &question = {}, const QString &note = {});

// "yyyy.mm.dd" to "yyyy-mm-dd", taking the characters by position.
QString FormatDotDate(const QString &text);
QString TabToBlank(const QString &text);

// Unchecks every plain check box and radio button of the form.
void ClearChecks(QWidget *form);

// The year list: the distinct four-digit year prefixes of the query's first
// column in row order; the current year, unselected, when there is none.
void FillYearCombo(db::Dataset *query, QComboBox *combo);
// The non-null values of fieldName in row order, duplicates included.
void FillComboDistinct(db::Dataset *dataset, QComboBox *combo, const QString &fieldName);
// "code  (name)" for every row of the whole table; the blank item last when noBlank is 0.
void FillComboCodeName(db::Table *table, QComboBox *combo, const QString &codeField,
                       const QString &nameField, int noBlank);
// The dictionary items of one field, leaving out the old "**" values.
void FillComboFromDict(db::Table *dict, const QString &fieldCode, QComboBox *combo, int noBlank);
// As FillComboFromDict, old "**" values included (the query builder).
void FillQueryValueCombo(db::Table *dict, const QString &fieldCode, QComboBox *combo, int noBlank);
// The code of a coded list's chosen item: its first chars characters,
// trimmed; empty when nothing is chosen.
QString ComboCode(const QComboBox *combo, int chars);
// Selects the last item whose code equals code; no match keeps the selection.
void SelectComboByCode(const QString &code, QComboBox *combo);

// "a;b;c" into three edits; anything after a third ";" is dropped.
void SplitToEdits(const QString &text, QLineEdit *edit1, QLineEdit *edit2, QLineEdit *edit3);
// A period text into its four edits; today's year and month when it is too short.
void ParseDateRange(const QString &text, QLineEdit *startYear, QLineEdit *startMonth,
                    QLineEdit *endYear, QLineEdit *endMonth);
// Puts a text into a QLineEdit, showing its start, or a QComboBox (a
// drop-down list selects it, adding it when it is not listed).
void SetControlText(QWidget *control, const QString &text);
// "code  name" of a classification code into a QLineEdit or QComboBox; empty when unknown.
void ShowCodeName(db::Table *table, const QString &code, QWidget *control);

// Choice panels: boxes named ..._<code> lying directly on the panel named panelName.
void CheckByCode(QWidget *form, const QString &panelName, const QString &code, int codeWidth);
// Checks the codes of a choice-codes text (at most the first two).
void CheckByCodeList(QWidget *form, const QString &panelName, const QString &value, int codeWidth);
// The choice codes of a panel. More than two checked: tells the user and
// abandons the action silently.
QString CodesFromChecks(QWidget *form, const QString &panelName, int codeWidth, const QString &itemName);

// A failed check: warns with message and abandons the action silently.
[[noreturn]] void Refuse(const QString &message);
// The trimmed text; when empty, warns with message and abandons the action silently.
QString RequireText(const QString &text, const QString &message);

void ReopenQuery(db::Query *query, const QString &sql);

// Every single quote doubled, for a text inside a quoted SQL literal.
QString QuoteSql(const QString &text);
// The value as a quoted literal of a statement or filter.
QString SqlLiteral(const QString &value);
