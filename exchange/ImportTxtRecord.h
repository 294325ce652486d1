#pragma once
// The second step of reading exchange text: one logical record cut into
// column values and appended to a table as one row (or, for a record with
// far too many values, several rows). Values are assigned as text; the
// table converts numbers and dates. Column 6 of the staging table named
// "KJCGtemp.dbf" (compared with case) takes today's date for an empty or
// unreadable date.
#include <QByteArray>

#include <memory>

namespace db {
class DbfFile;
class Table;
}

// The readers of the exchange: the package members' (ImportTxtRecord, and
// ImportRecordTxtRecord for the achievement records) and the code-table
// update files' (ImportCodeTxtRecord). A record two or more values too long
// ends its row's last column ten bytes early and starts a further row with
// them; one byte early for a table of oneByteTailColumns columns. The
// code-table reader takes only records of exactly one value per column.
struct TxtRecordReader
{
    int oneByteTailColumns;
    bool exactValueCount;
    // A record two or more values too long is refused rather than run on
    // into a further row.
    bool refusesRunOn = false;
    bool operator==(const TxtRecordReader &) const = default;
};

inline constexpr TxtRecordReader ImportTxtRecord{99, false};
// An achievement record begins with a one-character column: the ten bytes a
// run-on record would carry begin no record, only a row without a key.
inline constexpr TxtRecordReader ImportRecordTxtRecord{99, false, true};

// Reads the records of one file into one table: what depends on the table
// alone is worked out once, not for every record.
class TxtRecordTarget
{
public:
    TxtRecordTarget(db::Table &table, TxtRecordReader reader);
    // Appends the rows of one record to the open table's file, each built
    // in the file's format and written whole; a blank record makes none.
    // Throws ExchangeError naming the column when a value does not fit it,
    // or the counts when the reader refuses them; the row being filled is
    // then dropped, rows posted before stay.
    void read(const QByteArray &record);

private:
    [[noreturn]] void refuseValueCount(const QByteArray &record) const;

    std::shared_ptr<db::DbfFile> m_file; // the table's: rows go to it directly
    TxtRecordReader m_reader;
    int m_columns;
    int m_tailBytes;
    bool m_dateRule;
};
