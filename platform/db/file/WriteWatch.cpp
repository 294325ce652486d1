// The one watcher of the table files' writes, and the calls that reach it.
#include "WriteWatch.h"

namespace db {

namespace {
WriteWatch *g_watch = nullptr;
} // namespace

void setWriteWatch(WriteWatch *watch)
{
    g_watch = watch;
}

namespace watch {

bool covers(const DbfFile &file)
{
    return g_watch && g_watch->covers(file);
}

void beforeRowWrite(DbfFile &file, int rec, const char *oldRecord, const char *newRecord)
{
    if (g_watch)
        g_watch->beforeRowWrite(file, rec, oldRecord, newRecord);
}

void beforeGrowth(DbfFile &file)
{
    if (g_watch)
        g_watch->beforeGrowth(file);
}

void beforeReplace(DbfFile &file)
{
    if (g_watch)
        g_watch->beforeReplace(file);
}

} // namespace watch
} // namespace db
