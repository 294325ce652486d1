#pragma once
// Behaviour the section forms give some of their edits.
#include <QList>
#include <QString>

class QAbstractButton;
class QLineEdit;
class QPlainTextEdit;

// Only digits (and "." where allowed) can be typed; keys without text pass,
// pasted text is taken as it is.
void makeDigitEdit(QLineEdit *edit, bool allowDot = false);

// Amounts in 万元: only digits (and "." where allowed) can be typed; any
// other text that reaches the edit is reported and replaced by "0".
void makeMoneyEdit(QLineEdit *edit, bool allowDot);
// The check run on every change of a money edit: a text that is no amount
// (a sign, an exponent, "inf" would pass as numbers) is reported and zeroed.
void checkMoneyText(QLineEdit *edit);

// A memo holding only blanks is emptied when clicked, so typing starts at the top.
void emptyBlankMemoOnClick(QPlainTextEdit *memo);
// An amount as a user types it: digits with at most one point, blanks
// around allowed. Signs and exponents are no amounts of money.
bool isAmountText(const QString &text);
// The shortest text of an amount: no trailing zeros, no point when whole,
// never an exponent.
QString amountText(double amount);

// One amount of a sum and the name its warning gives it.
struct AmountTerm
{
    QLineEdit *edit;
    QString prefix;
};
// The sum of the terms' amounts, a blank one counting 0. A text that is no
// amount is reported (prefix, the text, then the reset notice) and replaced
// by "0" before it is added.
double checkedSum(const QList<AmountTerm> &terms);

// Unchecks the other check boxes lying beside sender, except those in keep,
// when sender is checked: a panel where one box at a time is chosen.
void uncheckOtherBoxes(QAbstractButton *sender, const QList<QAbstractButton *> &keep = {});
