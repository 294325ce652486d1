#pragma once
#include <QString>

// Titles the program shows and uses as the name of its single-instance lock.
QString applicationTitle();  // "Corvane－【TavrinV4.0】"
QString mainWindowCaption(); // "Corvane【TavrinV4.0】"
