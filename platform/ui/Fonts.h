#pragma once
#include <QString>

namespace ui {

// Window layouts name the Song typeface "宋体"; it is mapped once to the
// installed Song/Ming CJK font so Chinese text looks as designed.
void mapSongTypeface();
// The installed family "宋体" is drawn in; empty when none of the Song/Ming
// fonts the program knows is installed.
QString songFamily();

} // namespace ui
