#pragma once
// A completing person's coded values and the checks a value passes before
// it is stored, whether typed in the person dialog or in the list's grid.
#include "ui/DBGrid.h"

#include <QDate>
#include <QHash>
#include <QString>
#include <QVector>

// The names the list shows for the stored codes of a coded column
// (ITEM_181, ITEM_183, ITEM_184, ITEM_188), by trimmed code; none for
// another column.
const QHash<QString, QString> &PersonCodeNames(const QString &field);
// What the list's grid offers for a coded column, "code name" each; nothing
// for another column.
QVector<ui::PickItem> PersonPickList(const QString &field);

// "YYYY.MM" as the first day of that month; no date for any other text.
QDate BirthMonthDate(const QString &text);

// The checks of a value of the column, as the person dialog makes them: the
// message and the silent abort when it may not be stored. The name and the
// codes of sex, title and education are required, the 序号 is a whole
// number, a birth month is "YYYY.MM" or nothing.
void CheckPersonValue(const QString &field, const QString &value);
