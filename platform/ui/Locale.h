#pragma once
// The program speaks Chinese (China): calendars, date pickers and Qt's
// standard dialogs (file choosers, print preview) take their words and
// first day of the week from this locale, whatever the system's is.
class QCoreApplication;

namespace ui {

// Sets the default locale and installs Qt's own Chinese translations once.
// Windows created afterwards follow it.
void useChineseLocale();

} // namespace ui
