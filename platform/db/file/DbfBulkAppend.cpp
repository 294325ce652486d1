// Bulk loads: rows and memos collected in memory and written in large
// pieces, the header once at the end, or all of it given up.
#include "DbfFile.h"

#include "DbfBytes.h"
#include "KeyIndex.h"
#include "MemoFile.h"

namespace db {

using namespace dbf;

// Ends one bulk load; the last one writes the rows and the header. When
// that fails the load stays open, so that it can still be given up.
void DbfFile::endBulk()
{
    if (m_bulk == 1) {
        flushMemo();
        writeMemoHeader();
        flushPending();
        if (readLe32(m_header.constData() + 4) != quint32(m_recordCount))
            writeHeader();
        m_stamp = openStamp();
    }
    --m_bulk;
}

// Takes back the records from `start` on, appended by a bulk load that is
// given up. Rows still in memory are simply dropped; rows already written
// are cut off the file, whose header (not written during the load) still
// counts the rows before it. Memos written for them stay as unused blocks.
void DbfFile::dropAppended(int start)
{
    if (start >= m_recordCount)
        return;
    for (int rec = m_recordCount - 1; rec >= start; --rec) {
        const char *r = record(rec);
        if (m_deleted >= 0 && r[0] == '*')
            --m_deleted;
        if (!m_indexes.empty())
            indexRecord(rec, r, nullptr);
    }
    if (start >= m_flushed) {
        m_pending.truncate(qint64(start - m_flushed) * m_recordLength);
    } else {
        m_pending.truncate(0);
        const qint64 end = m_headerLength + qint64(start) * m_recordLength;
        // Should the cut fail, the rows beyond the count are unused bytes
        // that the next append writes over.
        if (!m_readOnly && disk::truncate(m_fd, m_path, end)) {
            const char eof = kEndOfFile;
            disk::write(m_fd, m_path, end, &eof, 1);
        }
        m_flushed = start;
        m_stamp = openStamp();
    }
    m_recordCount = start;
    bumpGeneration();
}

DbfFile::BulkAppend::BulkAppend(DbfFile &file) : m_file(&file), m_start(file.m_recordCount)
{
    ++file.m_bulk;
}

void DbfFile::BulkAppend::abandon()
{
    if (!m_file)
        return;
    m_file->dropAppended(m_start);
    DbfFile *f = m_file;
    m_file = nullptr;
    f->endBulk(); // nothing left to write
}

DbfFile::BulkAppend::~BulkAppend()
{
    if (!m_file)
        return;
    try {
        m_file->endBulk();
    } catch (const DbError &) {
        // finish() reports errors; a destructor cannot. The load ends all
        // the same, with the rows the disk took.
        --m_file->m_bulk;
    }
}

void DbfFile::BulkAppend::finish()
{
    if (!m_file)
        return;
    m_file->endBulk();
    m_file = nullptr;
}

} // namespace db
