// Positioned reads and writes that go on after a short transfer or an interruption.
#include "FileIo.h"

#include <cerrno>
#include <unistd.h>

namespace db {

bool writeFully(int fd, qint64 pos, const char *data, qint64 size)
{
    while (size > 0) {
        const ssize_t n = ::pwrite(fd, data, size_t(size), off_t(pos));
        if (n < 0 && errno == EINTR)
            continue;
        if (n <= 0)
            return false;
        data += n;
        size -= n;
        pos += n;
    }
    return true;
}

qint64 readFully(int fd, qint64 pos, char *data, qint64 size)
{
    qint64 done = 0;
    while (done < size) {
        const ssize_t n = ::pread(fd, data + done, size_t(size - done), off_t(pos + done));
        if (n < 0 && errno == EINTR)
            continue;
        if (n <= 0)
            break;
        done += n;
    }
    return done;
}

} // namespace db
