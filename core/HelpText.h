#pragma once
#include <QString>

class QPlainTextEdit;

// The data-entry rules shown by the help windows ("help_yy", "help_rj").
QString helpText(const QString &name);
// Fills a help window's memo with its rules.
void setUpHelpWindow(QPlainTextEdit *memo, const QString &textName);
