#pragma once
// Behaviour the section forms give some of their edits.
class QLineEdit;
class QPlainTextEdit;

// Only digits can be typed; pasted text is taken as it is.
void makeDigitEdit(QLineEdit *edit);

// Amounts in 万元: only digits (and "." where allowed) can be typed; any
// other text that reaches the edit is reported and replaced by "0".
void makeMoneyEdit(QLineEdit *edit, bool allowDot);
// The check run on every change of a money edit.
void checkMoneyText(QLineEdit *edit);

// A memo holding only blanks is emptied when clicked, so typing starts at the top.
void emptyBlankMemoOnClick(QPlainTextEdit *memo);
