#pragma once
// Reading and writing at a position of a file, whole: a short transfer goes
// on where it stopped, an interrupted one is tried again.
#include <QtGlobal>

namespace db {

// False when the disk refused (errno tells why).
bool writeFully(int fd, qint64 pos, const char *data, qint64 size);
// The bytes read: fewer only at the end of the file or on an error.
qint64 readFully(int fd, qint64 pos, char *data, qint64 size);

} // namespace db
