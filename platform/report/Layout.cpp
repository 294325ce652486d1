#include "Layout.h"

namespace report {

const Band *Layout::band(Band::Kind kind) const
{
    for (const Band &b : bands)
        if (b.kind == kind)
            return &b;
    return nullptr;
}

} // namespace report
