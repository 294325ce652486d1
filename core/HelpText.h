#pragma once
#include <QString>

class QDialog;
class QPlainTextEdit;
class QAbstractButton;

// The data-entry rules shown by the help windows ("help_yy", "help_rj").
QString helpText(const QString &name);
// Fills a help window's memo and lets its button close it.
void setUpHelpWindow(QDialog *window, QPlainTextEdit *memo, QAbstractButton *back, const QString &textName);
