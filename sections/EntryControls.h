#pragma once
// Behaviour the section forms give some of their edits.
class QLineEdit;
class QPlainTextEdit;

// Amounts in 万元: only digits (and "." where allowed) can be typed; any
// other text that reaches the edit is reported and replaced by "0".
void makeMoneyEdit(QLineEdit *edit, bool allowDot);
// The check run on every change of a money edit.
void checkMoneyText(QLineEdit *edit);

// Years of a research period (1949 to this year) and months (1 to 12),
// checked when the edit is left.
void makeYearEdit(QLineEdit *edit);
void makeMonthEdit(QLineEdit *edit);
void checkYearEdit(QLineEdit *edit);
void checkMonthEdit(QLineEdit *edit);

// A memo holding only blanks is emptied when clicked, so typing starts at the top.
void emptyBlankMemoOnClick(QPlainTextEdit *memo);
