#include "Clock.h"

namespace ui {

namespace {

Clock &installedClock()
{
    static Clock clock;
    return clock;
}

} // namespace

QDateTime now()
{
    const Clock clock = installedClock();
    return clock ? clock() : QDateTime::currentDateTime();
}

QDate today()
{
    return now().date();
}

Clock setClock(Clock clock)
{
    std::swap(clock, installedClock());
    return clock;
}

} // namespace ui
