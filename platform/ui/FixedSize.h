#pragma once
// Windows laid out for one size: no resizing by the user, a layout or code,
// and no maximizing or full screen.
class QWidget;

namespace ui {

void fixWindowSize(QWidget *window, int width, int height);

} // namespace ui
