// Reading a package member of 200 MB as the import does (the check of its
// bytes, then record assembly into a fresh staging twin), beside the full
// scan of a table of the same size, in one run: a member of one record and
// blank lines, and a member of real records (KJCG.TXT written from the
// table, repeated to the size).
#include "BenchData.h"
#include "ExchangeTextReader.h"
#include "RecordAssembly.h"
#include "TableSchemas.h"
#include "db/file/DbfFile.h"
#include "db/dataset/Table.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QTemporaryDir>
#include <benchmark/benchmark.h>

using namespace db;

namespace {

constexpr qint64 kMemberBytes = 200ll << 20;

struct Folder
{
    QTemporaryDir tmp;
    QString dir = tmp.path();
    QString path(const QString &name) const { return QDir(dir).filePath(name); }

    Folder()
    {
        // Records until the table file holds 200 MB.
        const int recordLength = [] {
            int n = 1;
            for (const ColumnDef &c : tableSchema("kjcg")->columns)
                n += c.length;
            return n;
        }();
        fillBenchRecords(dir, int(kMemberBytes / recordLength) + 1, {});
        writeBenchText(dir, "kjcg", path("ONE.TXT"), TextMember::Kjcg);

        // Whole records of the table's text, over again, to the size.
        QFile real(path("RECORDS.TXT"));
        real.open(QIODevice::WriteOnly);
        QByteArray first;
        while (real.size() < kMemberBytes) {
            QFile records(path("ONE.TXT"));
            records.open(QIODevice::ReadOnly);
            RecordAssembler assembler(records);
            for (QByteArray record; real.size() < kMemberBytes && assembler.next(record);) {
                if (first.isEmpty())
                    first = record + "\r\n";
                real.write(record + "\r\n");
            }
        }
        real.close();

        QFile blank(path("BLANK.TXT"));
        blank.open(QIODevice::WriteOnly);
        blank.write(first);
        const QByteArray lines = QByteArray("\r\n").repeated(1 << 20);
        while (blank.size() < kMemberBytes)
            blank.write(lines);
    }
};

Folder &folder()
{
    static Folder f;
    return f;
}

void scanTable(benchmark::State &state)
{
    state.counters["rows"] = scanEveryField(state, folder().dir, "kjcg");
    state.counters["MB"] = double(QFileInfo(DbfFile::findFile(folder().dir, "kjcg.dbf")).size()) / (1 << 20);
}

void readMember(benchmark::State &state, const char *file)
{
    const QString dir = folder().dir;
    const QString staging = QDir(dir).filePath("KJCGtemp.dbf");
    int rows = 0;
    for (auto _ : state) {
        state.PauseTiming();
        for (const char *ext : {".dbf", ".dbt"}) {
            const QString f = QDir(dir).filePath(QString("KJCGtemp") + ext);
            DbfFile::forget(f);
            QFile::remove(f);
        }
        DbfFile::create(dir, "KJCGtemp.dbf", tableSchema("kjcg")->columns);
        Table twin;
        twin.setDatabaseName(dir);
        twin.setTableName("KJCGtemp.dbf");
        twin.open();
        state.ResumeTiming();
        twin.beginBulkLoad();
        rows = ImportTextFile(twin, folder().path(file), ImportTxtRecord, [](qint64, qint64) {}, true);
        twin.endBulkLoad();
        state.PauseTiming();
        twin.close();
        state.ResumeTiming();
    }
    state.counters["MB"] = double(QFileInfo(folder().path(file)).size()) / (1 << 20);
    state.counters["rows"] = rows;
}

} // namespace

BENCHMARK(scanTable)->Unit(benchmark::kMillisecond)->Iterations(3);
BENCHMARK_CAPTURE(readMember, BlankLines, "BLANK.TXT")->Unit(benchmark::kMillisecond)->Iterations(3);
BENCHMARK_CAPTURE(readMember, Records, "RECORDS.TXT")->Unit(benchmark::kMillisecond)->Iterations(2);

BENCHMARK_MAIN();
