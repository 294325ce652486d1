#pragma once
// Date pickers with a drop-down calendar that show any stored date as it is:
// their range is every date a date field can hold that the picker can
// display (years 100 to 9999), so no stored date is moved into a narrower
// range on loading and written back changed.
#include <QDate>
#include <QString>

class QDateEdit;

namespace ui {

QDate earliestPickerDate();
QDate latestPickerDate();

void setUpDatePicker(QDateEdit *picker, const QString &displayFormat);

} // namespace ui
