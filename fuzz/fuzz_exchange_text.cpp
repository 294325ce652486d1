// Exchange text of any bytes read into a scratch table: record assembly,
// ImportTxtRecord (or its code-table copy) and the taking back of a file that
// fails. The first byte picks the table, the rest is the file.
// fuzz-libraries: corvane_exchange
#include "CodeTableText.h"
#include "ExchangeText.h"
#include "ExchangeTextReader.h"
#include "TableSchemas.h"
#include "db/file/DbError.h"
#include "db/dataset/Table.h"
#include "ui/Clock.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <cstdint>
#include <cstdlib>

namespace {

struct Target
{
    const char *name;
    const char *schema; // or nullptr for `columns` text columns
    int columns;
    TxtRecordReader reader;
};

const Target kTargets[] = {
    {"KJCGtemp.dbf", "kjcg", 0, ImportTxtRecord},
    {"CGWCRtemp.dbf", "cgwcr", 0, ImportTxtRecord},
    {"UNITtemp.dbf", "unit", 0, ImportTxtRecord},
    {"ZTFLH.dbf", "ztflh", 0, ImportCodeTxtRecord},
    {"wide99.dbf", nullptr, 99, ImportTxtRecord},
    {"wide98.dbf", nullptr, 98, ImportCodeTxtRecord},
    {"one.dbf", nullptr, 1, ImportTxtRecord},
    {"mixed.dbf", nullptr, 2, ImportCodeTxtRecord},
};

QVector<db::ColumnDef> columnsOf(const Target &t)
{
    if (t.schema)
        return tableSchema(t.schema)->columns;
    if (t.columns == 2)
        return {{"AMOUNT", 'N', 8, 2}, {"DAY", 'D', 8, 0}};
    QVector<db::ColumnDef> out;
    for (int c = 0; c < t.columns; ++c)
        out.append({QString("C%1").arg(c), 'C', 6, 0});
    return out;
}

struct Scratch
{
    QTemporaryDir dir;
    db::Table table;

    Scratch()
    {
        ui::setClock([] { return QDateTime(QDate(2008, 3, 4), QTime(9, 0)); });
        table.setDatabaseName(dir.path());
    }

    // The target's table, new and empty.
    db::Table &fresh(const Target &t)
    {
        table.close();
        for (const char *ext : {".dbf", ".dbt"}) {
            const QString path = dir.filePath(QString(t.name).replace(".dbf", ext));
            db::DbfFile::forget(path);
            QFile::remove(path);
        }
        db::DbfFile::create(dir.path(), t.name, columnsOf(t));
        table.setTableName(t.name);
        table.open();
        return table;
    }
};

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    static Scratch scratch;
    if (size == 0)
        return 0;
    const Target &target = kTargets[data[0] % std::size(kTargets)];
    db::Table &table = scratch.fresh(target);
    const QString path = scratch.dir.filePath("in.txt");
    QFile in(path);
    if (!in.open(QIODevice::WriteOnly) || in.write(reinterpret_cast<const char *>(data) + 1, qint64(size - 1)) != qint64(size - 1))
        std::abort();
    in.close();
    try {
        ImportTextFile(table, path, target.reader);
    } catch (const ExchangeError &) {
        // A file that fails is taken back whole.
        table.setFiltered(false);
        if (table.recordCount() != 0 || table.state() != db::Dataset::Browse)
            std::abort();
    }
    return 0;
}
