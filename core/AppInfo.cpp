#include "AppInfo.h"

QString applicationTitle()
{
    return QString::fromUtf8("Corvane－【TavrinV4.0】");
}

QString mainWindowCaption()
{
    return QString::fromUtf8("Corvane【TavrinV4.0】");
}
