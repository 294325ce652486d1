#pragma once

namespace ui {

// Window layouts name the Song typeface "宋体"; it is mapped once to the
// installed Song/Ming CJK font so Chinese text looks as designed.
void mapSongTypeface();

} // namespace ui
