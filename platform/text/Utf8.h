#pragma once
// Chinese texts in the sources are UTF-8; u() makes the QString of one.
#include <QString>

inline QString u(const char *utf8)
{
    return QString::fromUtf8(utf8);
}
