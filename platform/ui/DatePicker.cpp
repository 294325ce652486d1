#include "DatePicker.h"

#include <QDateEdit>

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

} // namespace ui
