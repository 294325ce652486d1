#pragma once
// Writing tables as exchange text: one line per row, CR LF line ends, GBK.
// The member files differ only in how some columns are written, so each is
// a list of column rules applied by one routine.
#include <QByteArray>
#include <QSaveFile>
#include <QString>
#include <QStringList>
#include <QVector>

namespace db {
class Dataset;
class DbfFile;
}

enum class TextMember {
    Child,  // CGWCDW, CGWCR, JDWYHMD, ZLQK and the code tables: the last column
            // unchanged, or as "1"/"0" when it is ITEM_188
    Kjcg,   // ITEM_SJDC as "0", NO empty, ITEM_CHECK and OUTCOMEB unchanged
    Unit,   // the last column between double quotes, its own quotes as they are
    Expert, // the seven data columns of unitexpert, ITEM_124_1 unchanged
};

// Which columns of a dataset, or of a table file, a member file writes,
// and how.
class MemberLayout
{
public:
    enum Rule { Quoted, Plain, Empty, Zero, Flag, Enclosed };
    struct Column
    {
        int index;
        Rule rule;
        int decimals; // a number's at most; -1 for other columns
    };

    MemberLayout(db::Dataset &dataset, TextMember member);
    // The columns of the file as a dataset over the whole table has them.
    MemberLayout(const db::DbfFile &file, TextMember member);
    // The line of the dataset's current row, without its line end.
    QByteArray line(db::Dataset &dataset) const;
    // The line of a record of the file, its bytes read from record.
    QByteArray line(const db::DbfFile &file, const char *record, int rec) const;
    int values() const { return int(m_columns.size()); }

private:
    // names: the data columns; decimals(i): those a number column keeps;
    // columnOf(name): a column by its name, throwing when there is none.
    template <typename Decimals, typename ColumnOf>
    void layOut(const QStringList &names, TextMember member, Decimals decimals, ColumnOf columnOf);
    // textOf(column): the column's value as text, valid until the next call.
    template <typename TextOf>
    QByteArray lineOf(TextOf textOf) const;

    QVector<Column> m_columns;
};

// One exchange text file being written. It appears under its name, replacing
// any file there, only when commit() succeeds; dropped unfinished otherwise.
class ExchangeTextFile
{
public:
    explicit ExchangeTextFile(const QString &path);
    void writeLine(const QByteArray &line);
    void commit();

private:
    void fail();
    QSaveFile m_file;
    QByteArray m_buffer;
};

// Every row of the dataset, from its first, one line each, into fileName.
// Leaves the dataset past its last row.
void ExportTableText(db::Dataset &dataset, const QString &fileName, TextMember member = TextMember::Child);
