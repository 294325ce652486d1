#pragma once
// Tables are read through shared mappings of their files. When another
// program shortens a file that is mapped here, touching the lost part would
// end the process with SIGBUS; the guard puts a page of zeros there instead
// and notes it, so the table sees blank bytes and reloads at its next use.
#include <QtGlobal>

namespace db::mapguard {

// Watches [start, start + length); returns a slot for the calls below, or -1
// when every slot is taken (the mapping is then unguarded).
int watch(const void *start, qint64 length);
void unwatch(int slot);
// True once a fault was caught in the slot's mapping.
bool faulted(int slot);

} // namespace db::mapguard
