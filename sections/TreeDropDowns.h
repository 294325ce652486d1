#pragma once
// The narrow drop-downs beside code edits: they list nothing and only open
// the classification picker for their slot, on a click, F4, Space or
// Alt+Down; the wheel and other keys change nothing.
#include "TreeRequests.h"

#include <functional>

// Watches every drop-down of owner's slots found under form; open runs
// (inside the handler guard) with the slot of the drop-down asked.
void watchTreeDropDowns(QWidget *form, TreeOwner owner, std::function<void(int)> open);
