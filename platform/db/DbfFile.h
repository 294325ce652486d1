#pragma once
// A dBASE table file (.dbf) with its memo file (.dbt), shared by every
// dataset of the process that has it open. The records live in memory; every
// change is written through to the file at once: the record in place, then
// the header when the row count changes, so a crash loses at most one row.
#include "Value.h"

#include <QByteArray>
#include <QFile>
#include <QString>
#include <QVector>
#include <memory>

namespace db {

struct FieldDef
{
    QByteArray name; // as stored in the file
    char type = 'C'; // C N F D M L
    int length = 0;  // bytes in the record
    int decimals = 0;
    int offset = 0; // from the start of the record (the deletion flag is byte 0)
};

// A column of a table to be created.
struct ColumnSpec
{
    QString name;
    char type = 'C';
    int length = 0;
    int decimals = 0;
};

class DbfFile
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
    static void create(const QString &dir, const QString &name, const QVector<ColumnSpec> &columns);
    // True when a dataset of this process has the file open.
    static bool isOpen(const QString &path);
    // Forgets the tables no dataset uses (they are kept loaded otherwise).
    static void releaseUnused();
    // Forgets an unused table whose file is about to be replaced.
    static void forget(const QString &path);

    const QString &path() const { return m_path; }
    QString tableName() const; // base name without extension
    const QVector<FieldDef> &fields() const { return m_fields; }
    int fieldCount() const { return m_fields.size(); }
    int fieldIndex(const QString &name) const; // case-insensitive; -1 when absent
    int recordLength() const { return m_recordLength; }
    int recordCount() const { return m_recordCount; } // deleted rows included
    bool hasMemo() const { return m_memo != nullptr; }

    // Raw record bytes (deletion flag first), valid until the next change.
    const char *record(int rec) const;
    bool isDeleted(int rec) const { return record(rec)[0] == '*'; }
    const char *fieldData(int rec, int field) const { return record(rec) + m_fields[field].offset; }

    Value value(int rec, int field) const { return decode(record(rec), field); }
    Value decode(const char *record, int field) const;
    // Raw bytes of a text field with trailing blanks removed (fast path for
    // comparisons and key scans).
    QByteArray textBytes(const char *record, int field) const;
    bool isNullField(const char *record, int field) const;

    // A record of blanks (every field null).
    QByteArray blankRecord() const;
    // Stores v into a record buffer in the field's format. A memo value is
    // written to the memo file at once and its block number put in the buffer.
    // Throws when the value does not fit (a number wider than the column, a
    // text that is not a date).
    void encode(QByteArray &record, int field, const Value &v);

    // Writes through to the file; throw DbError on any failure.
    void writeRecord(int rec, const QByteArray &record);
    int appendRecord(const QByteArray &record); // returns the new record number
    void setDeleted(int rec, bool deleted);
    // Removes deleted rows: a new file is written beside the old one and
    // replaces it only when complete. Needs an exclusive open.
    void pack();

    bool exclusive() const { return m_exclusive; }
    // Changes with every write, so
    // that views of the table know to recompute.
    quint64 generation() const { return m_generation; }

    QByteArray readMemo(quint32 block) const;
    quint32 writeMemo(const QByteArray &text);

private:
    DbfFile() = default;
    void load();
    void loadMemo();
    void writeHeader();
    void fail(const QString &what) const;
    QByteArray diskStamp() const;
    QByteArray openStamp() const;

    QString m_path;
    QFile m_file;
    QByteArray m_data; // header + records, as on disk
    QVector<FieldDef> m_fields;
    int m_headerLength = 0;
    int m_recordLength = 0;
    int m_recordCount = 0;
    bool m_exclusive = false;
    quint64 m_generation = 0;
    QByteArray m_stamp; // size and time of the files after our last write

    struct Memo;
    std::unique_ptr<Memo> m_memo;
    friend class DbfRegistry;
};

} // namespace db
