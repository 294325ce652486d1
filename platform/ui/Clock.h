#pragma once
// The program's clock, replaceable so tests can fix "today".
#include <QDate>
#include <QDateTime>
#include <functional>

namespace ui {

QDateTime now();
QDate today();

using Clock = std::function<QDateTime()>;

// Installs clock and returns the one it replaces; an empty clock brings back
// the system's.
Clock setClock(Clock clock);

} // namespace ui
