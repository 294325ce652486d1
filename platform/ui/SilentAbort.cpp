#include "SilentAbort.h"

namespace ui {

void abortAction()
{
    throw SilentAbort();
}

} // namespace ui
