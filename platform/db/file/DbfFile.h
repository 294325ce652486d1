#pragma once
// A dBASE table file (.dbf) with its memo file (.dbt), shared by every
// dataset of the process that has it open. The records are mapped from the
// file, not read whole, so opening a table costs the same whatever its size.
// Every change is written through to the file at once: the record in place,
// then the header when the row count changes, so a crash loses at most one
// row. Bulk loads (see BulkAppend) write many rows and the header once.
#include "WriteWatch.h"
#include "Value.h"

#include <QByteArray>
#include <QHash>
#include <QString>
#include <QVector>
#include <functional>
#include <map>
#include <memory>

namespace db {

class KeyIndex;
class MemoFile;

struct FieldDef
{
    QByteArray name; // as stored in the file
    char type = 'C'; // C N F D M L
    int length = 0;  // bytes in the record
    int decimals = 0;
    int offset = 0; // from the start of the record (the deletion flag is byte 0)
};

// A column of a table to be created.
struct ColumnDef
{
    QString name;
    char type = 'C';
    int length = 0;
    int decimals = 0;
};

class DbfFile : public std::enable_shared_from_this<DbfFile>
{
public:
    ~DbfFile();
    DbfFile(const DbfFile &) = delete;
    DbfFile &operator=(const DbfFile &) = delete;

    // The file named `name` in `dir`, found without regard to letter case
    // (".dbf" is added when the name has no extension). Returns the object
    // already open in this process when there is one. Throws DbError when the
    // file is missing, unreadable or not a sound dBASE table, or when an
    // exclusive open meets another user of the file.
    static std::shared_ptr<DbfFile> open(const QString &dir, const QString &name, bool exclusive = false);
    // Path of the existing file matching `name` in `dir` (any case), or an
    // empty string.
    static QString findFile(const QString &dir, const QString &name);
    // Writes a new empty table (and its empty memo file when a column is a
    // memo). Throws when the file exists or cannot be written.
    static void create(const QString &dir, const QString &name, const QVector<ColumnDef> &columns);
    // True when a dataset of this process has the file open.
    static bool isOpen(const QString &path);
    // Forgets the tables no dataset uses (they are kept loaded otherwise).
    static void releaseUnused();
    // Forgets an unused table whose file is about to be replaced.
    static void forget(const QString &path);
    // True for the names of the engine's own temporary files (a packed copy
    // not yet renamed, a table being filled, a save in progress), which a
    // crash may leave beside the tables.
    static bool isLeftoverName(const QString &fileName);
    // Finishes the packs of tables with their memo files that a crash or a
    // refused rename left committed but not in place (see pack): the new
    // memo file and then the new table take their names. Before anything
    // removes leftovers. Throws DbError when the disk refuses.
    static void finishReplacements(const QString &dir);
    // Memo files smaller than this are never compacted (for tests).
    static void setMemoCompactionFloor(qint64 bytes);

    const QString &path() const { return m_path; }
    const QString &folder() const { return m_folder; }
    QString tableName() const; // base name without extension
    const QVector<FieldDef> &fields() const { return m_fields; }
    int fieldCount() const { return m_fields.size(); }
    int fieldIndex(const QString &name) const; // case-insensitive; -1 when absent
    int recordLength() const { return m_recordLength; }
    int recordCount() const { return m_recordCount; } // deleted rows included
    bool hasMemo() const { return m_memo != nullptr; }
    // Rows marked deleted (counted on first use, then kept up to date).
    int deletedCount() const;
    // Texts are GBK unless a .cpg file beside the table names UTF-8. A table
    // marked with another code page opens; its texts beyond ASCII fail to
    // read or write with an error naming the code page.
    bool isUtf8() const { return m_utf8; }

    // Raw record bytes (deletion flag first), valid until the next change.
    const char *record(int rec) const;
    bool isDeleted(int rec) const { return record(rec)[0] == '*'; }
    // The same bytes read from the file into `buffer` instead, for a look at
    // scattered records: touching a mapped record maps the pages around it
    // as well, which a pass over a few records spread over a large table
    // would leave resident.
    const char *readRecord(int rec, QByteArray &buffer) const;
    // True when these records lie so far apart that readRecord serves them
    // better than the mapping.
    bool sparse(const QVector<int> &records) const;
    // For a pass that reads records in ascending order through the mapping,
    // from record `from` on and now at `rec`: once it has moved a few MiB
    // on, the pages behind `rec` are given back (they stay in the system's
    // file cache) and `rec` is returned as the new start, else `from`. Rows
    // spread through a large table then leave no more than that resident,
    // where the pages mapped around each one would add up to the table.
    int releaseBehind(int from, int rec) const;
    const char *fieldData(int rec, int field) const { return record(rec) + m_fields[field].offset; }

    // A field's value; a failure names table, row and column.
    Value value(int rec, int field) const;
    // The same from the bytes of record `rec` read elsewhere (readRecord).
    Value value(const char *record, int rec, int field) const;
    Value decode(const char *record, int field) const;
    // Raw bytes of a text field with trailing blanks removed (fast path for
    // comparisons and key scans), in the file's own code page.
    QByteArray textBytes(const char *record, int field) const;
    // A field's value as the text Value::toBytes(maxDecimals) makes of it,
    // for exports of many rows: a view of the record's own bytes for a
    // text, else of scratch, which holds it until the next call.
    QByteArrayView valueText(const char *record, int rec, int field, int maxDecimals, QByteArray &scratch) const;
    // A text field as stored, decoded from the file's code page.
    QString storedText(const char *record, int field) const;
    // GBK bytes as this file stores them (literals compared with raw bytes).
    QByteArray fileText(const QByteArray &gbk) const;
    bool isNullField(const char *record, int field) const;

    // The records (deleted ones included, ascending) whose text field holds
    // exactly `key` (trailing blanks ignored; `key` in the file's code page),
    // or whose text starts with `prefix`; and all records in the order of the
    // field's bytes (records of equal texts ascending). The index behind them
    // is read from the cache of an earlier run when it holds one for the file
    // as it is, or built on first use, and kept up to date by every write of
    // this process; a change from outside makes the file load anew.
    QVector<int> keyRecords(int field, const QByteArray &key) const;
    QVector<int> prefixRecords(int field, const QByteArray &prefix) const;
    QVector<int> recordsInKeyOrder(int field, bool descending) const;
    // The largest key starting with prefix among the live records whose key
    // accept takes; empty when there is none.
    QByteArray largestKey(int field, const QByteArray &prefix, const std::function<bool(QByteArrayView)> &accept) const;

    // A record of blanks (every field null).
    QByteArray blankRecord() const;
    // Stores v into a record buffer in the field's format. A memo value is
    // written to the memo file at once and its block number put in the buffer;
    // a memo whose text is unchanged keeps its blocks, one that fits its
    // present blocks is rewritten there. Throws when the value does not fit (a
    // number wider than the column, a text that is not a date).
    void encode(QByteArray &record, int field, const Value &v);
    // The same for a text value given by its bytes (GBK), for loads that
    // read every value as text: a text or number column of the table takes
    // them without making a value of them.
    void encodeText(QByteArray &record, int field, QByteArrayView text);
    // Throws when the memo file cannot hold text as the memo `field` of
    // record `rec` (-1 when not known): a dBASE III memo ends at its first
    // 0x1A, so a text holding one would read back cut.
    void checkMemoText(int field, const QByteArray &text, int rec) const;

    // Writes through to the file; throw DbError on any failure.
    void writeRecord(int rec, const QByteArray &record);
    int appendRecord(const QByteArray &record); // returns the new record number
    void setDeleted(int rec, bool deleted);
    // Removes deleted rows: a new file is written once beside the old one and
    // replaces it only when complete. A table without deleted rows is left
    // untouched. Needs an exclusive open. A memo file of a few MB holding
    // more than twice the memos the rows point to is rewritten with those
    // alone, and the table with it: the two are written beside the old ones
    // and replaced as a pair, so a crash leaves the old pair or the new one.
    void pack();
    // Empties a scratch table down to its header, and its memo file to its
    // header block: each is written anew beside the old one and renamed over
    // it, so a crash leaves the full or the empty file, never a half. Costs
    // the same however many rows the table held.
    void truncate();

    // For the rollback journal: the file as it is on disk now (pending rows
    // and memos written first).
    TableImage diskImage();
    // Writes what is pending and syncs the table and memo files.
    void syncToDisk();
    // Reads the files again after they were put back from a journal.
    void reloadFromDisk();
    // Takes back the rows from `count` on (rows added since then).
    void truncateRows(int count);

    bool exclusive() const { return m_exclusive; }
    // Changes with every write and every load, so that views of the table
    // know to recompute. Unique in the process: no two files, nor two loads
    // of one file, ever share a number, so a value remembered with it can
    // never be taken for another table's.
    quint64 generation() const { return m_generation; }
    // Changes only when record numbers stop naming the same rows: a file
    // read anew by this process, packed or emptied. Unique in the process.
    quint64 identity() const { return m_identity; }

    QByteArray readMemo(quint32 block) const;
    quint32 writeMemo(const QByteArray &text);

    // While one is alive, appended rows are collected and written in large
    // pieces, and the header once at the end. For tables being filled under
    // a scratch name (staging, code tables, copies): a crash in the middle
    // leaves a table whose header still counts the rows before the load.
    class BulkAppend
    {
    public:
        explicit BulkAppend(DbfFile &file);
        ~BulkAppend(); // writes what is left; errors surface at finish()
        void finish(); // writes what is left and the header; throws DbError
        // Gives the load up: the rows appended since it began are taken back
        // and the file is left as it was before (memos written for them stay
        // as unused blocks of the memo file).
        void abandon();
        BulkAppend(const BulkAppend &) = delete;
        BulkAppend &operator=(const BulkAppend &) = delete;

    private:
        DbfFile *m_file;
        int m_start;
    };

private:
    DbfFile() = default;
    // Header, records and writes (DbfFile.cpp).
    void load();
    void loadMemo();
    void checkWritable() const;
    void writeAt(qint64 pos, const char *data, qint64 size);
    void writeHeader();
    void flushPending();
    [[noreturn]] void fail(const QString &what) const;
    // Re-reads the header when another program shrank or grew the file
    // while the table was in use.
    void followOutsideSize();
    quint32 writeMemoAt(const QByteArray &text, quint32 at, qint64 blocksInPlace);
    void flushMemo();
    void writeMemoHeader();
    QByteArrayView keyOf(const char *record, int field) const;
    void indexRecord(int rec, const char *oldRecord, const char *newRecord);
    // The mapping and the stamps of the files (DbfMapping.cpp).
    void map(qint64 length);
    void unmap();
    void ensureMapped(qint64 end);
    qint64 fileSize() const;
    QByteArray diskStamp(bool *settled = nullptr) const;
    QByteArray openStamp() const;
    bool stampSettled() const;
    void releaseScannedPages() const;
    // Field values and the code page (DbfFieldValues.cpp).
    void readCodePage();
    QByteArray memoText(const char *record, int field) const;
    quint32 memoBlock(const char *record, int field) const;
    // Bulk loads (DbfBulkAppend.cpp).
    void endBulk();
    void dropAppended(int start);
    // Pack and truncate (DbfMaintenance.cpp).
    void reopenReplaced(int rows);
    // The header of a copy of the table holding `rows` rows.
    QByteArray packedHeader(int rows) const;
    // Calls visit(rec, record) for every record in order, the pages behind
    // given back as it goes.
    template <typename Visit>
    void scanRecords(Visit &&visit) const
    {
        int from = 0;
        for (int rec = 0; rec < m_recordCount; ++rec) {
            visit(rec, record(rec));
            from = releaseBehind(from, rec);
        }
        releaseScannedPages();
    }
    // Memo compaction (DbfCompaction.cpp).
    bool memoWantsCompaction();
    qint64 liveMemoBytes(qint64 fileSize);
    void packWithMemo();
    QByteArray memoFileId() const;
    static void finishReplacement(const QString &tablePath);
    // Key lookups (DbfKeys.cpp).
    QByteArray indexName(int field) const;
    KeyIndex &keyIndex(int field) const;

    QString m_path;
    QString m_folder;
    int m_fd = -1;
    bool m_readOnly = false;
    const char *m_map = nullptr;
    qint64 m_mapLength = 0;
    int m_guardSlot = -1;
    QByteArray m_header;
    QVector<FieldDef> m_fields;
    int m_headerLength = 0;
    int m_recordLength = 0;
    int m_recordCount = 0;
    mutable int m_deleted = -1; // unknown until counted
    bool m_utf8 = false;
    QString m_foreignCodePage; // named by the table, neither GBK nor UTF-8
    void checkCodePage(const QByteArray &text, int field) const;
    bool m_exclusive = false;
    // The files open are no longer the table's: a pack with the memo file was
    // committed and could not be finished. Nothing is written; an open reads
    // the table anew.
    bool m_stale = false;
    quint64 m_generation = 0;
    quint64 m_identity = 0;
    void bumpGeneration();
    QByteArray m_stamp; // size and time of the files after our last write

    // Bulk appends: rows from m_flushed on are in m_pending, not yet on disk.
    int m_bulk = 0;
    int m_flushed = 0;
    QByteArray m_pending;

    struct IndexSlot
    {
        std::unique_ptr<KeyIndex> index;
        QByteArray cachedStamp; // the stamp under which the cache holds this index
    };
    mutable std::map<int, IndexSlot> m_indexes; // by field

    std::unique_ptr<MemoFile> m_memo;
};

} // namespace db
