// Table engine over a generated large data folder: 10,000 records with every
// column filled and 100,000 rows in each child table.
#include "BenchData.h"
#include "TableSchemas.h"
#include "db/dataset/Query.h"
#include "db/dataset/Table.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <benchmark/benchmark.h>
#include <memory>

using namespace db;

namespace {

constexpr int kRecords = 10000;
constexpr int kChildRows = 100000;

struct DataFolder
{
    QTemporaryDir tmp;
    QString dir;
    DataFolder()
    {
        dir = tmp.path();
        fillBenchRecords(dir, kRecords, kBenchChildTables, kChildRows / kRecords);
    }
};

DataFolder &folder()
{
    static DataFolder f;
    return f;
}

void BM_OpenAndPackKjcg(benchmark::State &state)
{
    const QString dir = folder().dir;
    for (auto _ : state) {
        state.PauseTiming();
        // A fresh copy with 100 deleted rows each time.
        QTemporaryDir copy;
        for (const char *name : {"kjcg.DBF", "kjcg.DBT"})
            QFile::copy(QDir(dir).filePath(name), QDir(copy.path()).filePath(name));
        {
            auto f = DbfFile::open(copy.path(), "kjcg.DBF");
            for (int r = 0; r < 100; ++r)
                f->setDeleted(r * 50, true);
        }
        state.ResumeTiming();
        Table t;
        t.setDatabaseName(copy.path());
        t.setTableName("kjcg.DBF");
        t.setExclusive(true);
        t.open();
        t.pack();
        t.close();
    }
}

void BM_FullScanKjcg(benchmark::State &state)
{
    const int rows = scanEveryField(state, folder().dir, "kjcg");
    state.SetItemsProcessed(qint64(rows) * state.iterations());
}

void BM_FilterChildToRecord(benchmark::State &state)
{
    Table t;
    t.setDatabaseName(folder().dir);
    t.setTableName("cgwcr");
    t.setFilter("item_4='" + benchKey(kRecords / 2) + "' and item_dqdm='.'");
    t.setFiltered(true);
    for (auto _ : state) {
        t.open();
        benchmark::DoNotOptimize(t.recordCount());
        t.close();
    }
}

// Opens a statement over kjcg again and again.
void BM_KjcgStatement(benchmark::State &state, const char *statement)
{
    Query q;
    q.setDatabaseName(folder().dir);
    q.setSql(statement);
    for (auto _ : state) {
        q.open();
        benchmark::DoNotOptimize(q.field(0)->asString());
        q.close();
    }
}

void BM_RenumberList(benchmark::State &state)
{
    Query q;
    q.setDatabaseName(folder().dir);
    q.setSql("select * from kjcg");
    q.open();
    const int n = int(state.range(0));
    for (auto _ : state) {
        q.disableControls();
        int i = 0;
        for (q.first(); !q.eof() && i < n; q.next()) {
            q.edit();
            q.fieldByName("NO")->setAsString(QString::number(++i));
            q.post();
        }
        q.enableControls();
    }
    state.SetItemsProcessed(state.iterations() * n);
    state.SetComplexityN(n);
}

// A new persons table in dir, opened.
void openNewPersons(Table &t, const QString &dir)
{
    const TableSchema *s = tableSchema("cgwcr");
    DbfFile::create(dir, s->fileName, s->columns);
    t.setDatabaseName(dir);
    t.setTableName("cgwcr");
    t.open();
}

void appendPersons(Table &t, int n)
{
    for (int i = 0; i < n; ++i) {
        t.append();
        t.fieldByName("item_4")->setAsString(benchKey(i));
        t.fieldByName("item_dqdm")->setAsString(".");
        t.fieldByName("item_187")->setAsInteger(i);
        t.fieldByName("item_180")->setAsString(QString::fromUtf8("张三"));
        t.post();
    }
}

void BM_AppendRows(benchmark::State &state)
{
    const int n = int(state.range(0));
    for (auto _ : state) {
        state.PauseTiming();
        QTemporaryDir tmp;
        Table t;
        openNewPersons(t, tmp.path());
        state.ResumeTiming();
        appendPersons(t, n);
        state.PauseTiming();
        t.close();
        state.ResumeTiming();
    }
    state.SetItemsProcessed(state.iterations() * n);
    state.SetComplexityN(n);
}

// 100,000 rows into a new table through the dataset, as a staging load or a
// code-table update fills its scratch table: in one bulk load (range 1) and,
// as the reference, posted row by row (range 0).
void BM_LoadScratchTable(benchmark::State &state)
{
    const bool bulk = state.range(0) != 0;
    const int n = 100000;
    for (auto _ : state) {
        state.PauseTiming();
        QTemporaryDir tmp;
        Table t;
        openNewPersons(t, tmp.path());
        state.ResumeTiming();
        if (bulk)
            t.beginBulkLoad();
        appendPersons(t, n);
        if (bulk)
            t.endBulkLoad();
        state.PauseTiming();
        t.close();
        DbfFile::releaseUnused();
        state.ResumeTiming();
    }
    state.SetItemsProcessed(state.iterations() * n);
}

// The same rows written straight through the file (a copy between tables).
void BM_LoadScratchFile(benchmark::State &state)
{
    const bool bulk = state.range(0) != 0;
    const int n = 100000;
    for (auto _ : state) {
        state.PauseTiming();
        QTemporaryDir tmp;
        const TableSchema *s = tableSchema("cgwcr");
        DbfFile::create(tmp.path(), s->fileName, s->columns);
        auto f = DbfFile::open(tmp.path(), "cgwcr");
        state.ResumeTiming();
        {
            std::unique_ptr<DbfFile::BulkAppend> load(bulk ? new DbfFile::BulkAppend(*f) : nullptr);
            for (int i = 0; i < n; ++i) {
                QByteArray raw = f->blankRecord();
                f->encode(raw, 0, Value::fromString(benchKey(i)));
                f->encode(raw, 1, Value::fromString("."));
                f->encode(raw, 2, Value::fromNumber(i));
                f->encode(raw, 3, Value::fromString(QString::fromUtf8("张三")));
                f->appendRecord(raw);
            }
            if (load)
                load->finish();
        }
        state.PauseTiming();
        f.reset();
        DbfFile::releaseUnused();
        state.ResumeTiming();
    }
    state.SetItemsProcessed(state.iterations() * n);
}

} // namespace

BENCHMARK(BM_LoadScratchTable)->ArgName("bulk")->Arg(0)->Arg(1)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_LoadScratchFile)->ArgName("bulk")->Arg(0)->Arg(1)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_OpenAndPackKjcg)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_FullScanKjcg)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_FilterChildToRecord)->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(BM_KjcgStatement, ListOfCategoryAndYear,
                  "select * from kjcg where item_cglb='1' and item_4 like '2005%'")->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(BM_KjcgStatement, MaxKeyOfYear, "select max(item_4) from kjcg where item_4 like'2005%'")
    ->Unit(benchmark::kMillisecond);
BENCHMARK(BM_RenumberList)->Arg(2500)->Arg(5000)->Arg(10000)->Complexity(benchmark::oN)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_AppendRows)->Arg(2500)->Arg(5000)->Arg(10000)->Complexity(benchmark::oN)->Unit(benchmark::kMillisecond);

// Tables as the engine leaves them after each kind of write, for other
// dBASE readers to check (bench/compare_gdal.sh): bulk loaded, packed,
// memos rewritten in place and appended.
int writeSamples(const QString &dir)
{
    fillBenchTable(dir, "cgwcr", 1000, 100);
    fillBenchTable(dir, "kjcg", 200, 0);
    {
        Table t;
        t.setDatabaseName(dir);
        t.setTableName("kjcg");
        t.open();
        for (int i = 0; i < 50; ++i) {
            t.moveBy(3);
            t.edit();
            t.fieldByName("item_13")->setAsString(QString::fromUtf8("改写的备注%1").arg(i));
            t.fieldByName("item_3")->setAsString(QString::fromUtf8("改写的名称%1").arg(i));
            t.post();
        }
        t.first();
        for (int i = 0; i < 20; ++i) {
            t.moveBy(5);
            t.deleteRecord();
        }
        t.close();
        t.setExclusive(true);
        t.open();
        t.pack();
        t.close();
    }
    DbfFile::releaseUnused();
    return 0;
}

int main(int argc, char **argv)
{
    QCoreApplication app(argc, argv);
    if (argc == 3 && QByteArray(argv[1]) == "--write-samples")
        return writeSamples(QString::fromLocal8Bit(argv[2]));
    return runBenchmarks(argc, argv);
}
