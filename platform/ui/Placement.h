#pragma once
// Where windows appear.
class QWidget;

namespace ui {

// Puts a top-level window in the middle of the screen it is on (the primary
// screen before it is shown), inside the screen's available area.
void centreOnScreen(QWidget *window);

} // namespace ui
