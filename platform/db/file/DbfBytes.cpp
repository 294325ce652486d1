// The date of the last change that a table header carries.
#include "DbfBytes.h"

#include <QDate>
#include <QDateTime>

namespace db::dbf {

// The day changes rarely; asking the time zone for it on every append does not pay.
void stampDate(char *header)
{
    static qint64 checkedAt = 0;
    static QDate today;
    const qint64 now = QDateTime::currentSecsSinceEpoch();
    if (!today.isValid() || now != checkedAt) {
        today = QDate::currentDate();
        checkedAt = now;
    }
    header[1] = char(today.year() - 1900);
    header[2] = char(today.month());
    header[3] = char(today.day());
}

} // namespace db::dbf
