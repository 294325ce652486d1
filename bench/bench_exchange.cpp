// Exchange text beside a full scan of the same table, in one run: KJCG.TXT
// of 10,000 records with memos and CGWCR.TXT of 100,000 persons, written
// from the table and read back into a fresh staging table.
#include "BenchData.h"
#include "ExchangeTextReader.h"
#include "ExchangeTextWriter.h"
#include "TableSchemas.h"
#include "db/dataset/Table.h"

#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QTemporaryDir>
#include <benchmark/benchmark.h>

using namespace db;

namespace {

struct Member
{
    const char *table, *staging, *file;
    TextMember member;
};

const Member kKjcg{"kjcg", "KJCGtemp.dbf", "KJCG.TXT", TextMember::Kjcg};
const Member kCgwcr{"cgwcr", "CGWCRtemp.dbf", "CGWCR.TXT", TextMember::Child};

struct DataFolder
{
    QTemporaryDir tmp;
    QString dir;
    DataFolder()
    {
        dir = tmp.path();
        fillBenchRecords(dir, 10000, {"cgwcr"});
        for (const Member *m : {&kKjcg, &kCgwcr})
            writeBenchText(dir, m->table, path(m->file), m->member);
    }
    QString path(const QString &name) const { return QDir(dir).filePath(name); }
};

DataFolder &folder()
{
    static DataFolder f;
    return f;
}

void scan(benchmark::State &state, const Member &m)
{
    Table t;
    t.setDatabaseName(folder().dir);
    t.setTableName(m.table);
    int rows = 0;
    keepReference(state, QString("scan_") + m.table, timedLoop(state, [&] {
        t.open();
        benchmark::DoNotOptimize(readEveryField(t));
        rows = t.recordCount();
        t.close();
    }));
    state.counters["rows"] = rows;
}

void write(benchmark::State &state, const Member &m)
{
    Table t;
    t.setDatabaseName(folder().dir);
    t.setTableName(m.table);
    const QString out = folder().path(QString("out-") + m.file);
    besideReference(state, QString("scan_") + m.table, timedLoop(state, [&] {
        t.open();
        ExportTableText(t, out, m.member);
        t.close();
    }));
    state.counters["bytes"] = QFile(out).size();
}

void read(benchmark::State &state, const Member &m)
{
    const QString dir = folder().dir;
    double seconds = 0;
    for (auto _ : state) {
        state.PauseTiming();
        for (const char *ext : {".dbf", ".dbt"}) {
            const QString file = QDir(dir).filePath(QString(m.staging).replace(".dbf", ext));
            DbfFile::forget(file);
            QFile::remove(file);
        }
        DbfFile::create(dir, m.staging, tableSchema(m.table)->columns);
        Table staging;
        staging.setDatabaseName(dir);
        staging.setTableName(m.staging);
        staging.open();
        state.ResumeTiming();
        QElapsedTimer clock;
        clock.start();
        const int rows = ImportTextFile(staging, folder().path(m.file));
        seconds += clock.nsecsElapsed() / 1e9;
        state.counters["rows"] = rows;
        state.PauseTiming();
        staging.close();
        state.ResumeTiming();
    }
    besideReference(state, QString("scan_") + m.table, seconds / double(state.iterations()));
}

} // namespace

BENCHMARK_CAPTURE(scan, Kjcg10k, kKjcg)->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(write, Kjcg10k, kKjcg)->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(read, Kjcg10k, kKjcg)->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(scan, Cgwcr100k, kCgwcr)->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(write, Cgwcr100k, kCgwcr)->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(read, Cgwcr100k, kCgwcr)->Unit(benchmark::kMillisecond);

BENCHMARK_MAIN();
