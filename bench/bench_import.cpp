// The import of a package of n records with ten rows a record in each of
// the four child tables (n = 10,000 and 40,000, the years interleaved):
// unpacked, staged and stored into a fresh data folder through the import
// window, beside GDAL's converter writing the same five tables, from the
// CSVs it made of them, as dBASE tables, in the same run. Every figure is
// CPU time of the process and of its children (the archiver, the
// converter), the median of three runs. A full scan of the package's tables
// is the reference where GDAL is missing. At 40,000 each figure also stands
// beside its own at 10,000 (linear: 4).
#include "BenchData.h"
#include "ExchangeTextWriter.h"
#include "GdalReference.h"
#include "Startup.h"
#include "Unit1.h"
#include "Unitin.h"
#include "archiver/Archiver.h"
#include "db/file/DbfFile.h"
#include "db/dataset/Table.h"
#include "ui/FileChoosers.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <benchmark/benchmark.h>
#include <map>
#include <memory>
#include <vector>

namespace {

constexpr int kRuns = 3;
const QStringList kTables = {"kjcg", "cgwcdw", "cgwcr", "jdwyhmd", "zlqk"};

// The package's records as tables, the package made of them, and the CSVs
// GDAL makes of those tables.
struct Package
{
    int records;
    QTemporaryDir dir;
    QTemporaryDir csv;
    QString path;

    explicit Package(int n) : records(n)
    {
        fillBenchRecords(dir.path(), n, kBenchChildTables, 10);
        for (const QString &table : kTables)
            writeBenchText(dir.path(), table, QDir(dir.path()).filePath(table.toUpper() + ".TXT"),
                           table == "kjcg" ? TextMember::Kjcg : TextMember::Child);
        for (const char *empty : {"UNIT.TXT", "EXPERT.TXT"})
            QFile(QDir(dir.path()).filePath(empty)).open(QIODevice::WriteOnly);
        path = QDir(dir.path()).filePath("cgsbqy.arj");
        archiver::addFiles(path, {"KJCG.TXT", "CGWCDW.TXT", "CGWCR.TXT", "JDWYHMD.TXT", "ZLQK.TXT", "UNIT.TXT",
                                  "EXPERT.TXT"});
        if (gdalInstalled())
            gdalTablesToCsv(dir.path(), kTables, csv.path());
        db::DbfFile::releaseUnused();
    }
};

// One size at a time.
Package &package(int records)
{
    static std::unique_ptr<Package> current;
    if (!current || current->records != records) {
        current.reset();
        current = std::make_unique<Package>(records);
    }
    return *current;
}

// A new data folder with the own unit registered, made once.
QString freshFolder()
{
    static QTemporaryDir dir;
    static const bool made = (makeBenchFolder(dir.path(), 0), db::DbfFile::releaseUnused(), true);
    Q_UNUSED(made);
    return dir.path();
}

int liveRows(const QString &dir, const QString &table)
{
    db::Table t;
    t.setDatabaseName(dir);
    t.setTableName(table);
    t.open();
    return t.recordCount();
}

double median(std::vector<double> v)
{
    std::sort(v.begin(), v.end());
    return v.empty() ? 0 : v[v.size() / 2];
}

void BM_ScanPackageTables(benchmark::State &state)
{
    const int records = int(state.range(0));
    Package &p = package(records);
    keepReference(state, sized("scan", records), medianCpu(state, kRuns, [&] {
        benchmark::DoNotOptimize(readEveryTable(p.dir.path(), kTables));
        db::DbfFile::releaseUnused();
    }));
}

void BM_GdalFromCsv(benchmark::State &state)
{
    const int records = int(state.range(0));
    Package &p = package(records);
    if (skippedWithoutGdal(state))
        return;
    std::unique_ptr<QTemporaryDir> out;
    keepReference(state, sized("gdal", records),
                  medianCpu(
                      state, kRuns, [&] { gdalCsvToDbase(p.csv.path(), kTables, out->path()); },
                      [&] { out = std::make_unique<QTemporaryDir>(); }));
}

void BM_Import(benchmark::State &state)
{
    const int records = int(state.range(0));
    Package &p = package(records);
    answerDialogs();
    ui::setFileChooser([&](const ui::FileRequest &) { return p.path; });
    std::unique_ptr<QTemporaryDir> data;
    bool started = false;
    const auto finish = [&] {
        if (!started)
            return;
        state.counters["records"] = liveRows(data->path(), "kjcg");
        state.counters["child_rows"] = liveRows(data->path(), "cgwcr") + liveRows(data->path(), "cgwcdw")
                                       + liveRows(data->path(), "jdwyhmd") + liveRows(data->path(), "zlqk");
        destroyApplication();
        db::DbfFile::releaseUnused();
        started = false;
    };
    std::map<const char *, std::vector<double>> parts;
    const auto part = [&](const char *name, const std::function<void()> &step) {
        const double before = cpuSeconds();
        step();
        parts[name].push_back(cpuSeconds() - before);
    };
    const double seconds = medianCpu(
        state, kRuns,
        [&] {
            part("unpack_ms", [] { Formin->Button1Click(); });
            part("stage_ms", [] { Formin->Button3Click(); });
            part("store_ms", [] { Formin->Button6Click(); });
        },
        [&] {
            finish();
            data = std::make_unique<QTemporaryDir>();
            copyBenchFolder(freshFolder(), data->path());
            createApplication(data->path());
            started = true;
            Formin->FormShow();
        });
    finish();
    ui::setFileChooser({});
    for (const auto &[name, runs] : parts)
        state.counters[name] = median(runs) * 1000;

    besideExchangeReferences(state, "import", records, seconds);
}

} // namespace

int main(int argc, char **argv)
{
    // Size by size, so that one package is made at a time.
    for (const int records : {10000, 40000})
        for (const auto &[name, run] : std::initializer_list<std::pair<const char *, void (*)(benchmark::State &)>>{
                 {"BM_ScanPackageTables", BM_ScanPackageTables},
                 {"BM_GdalFromCsv", BM_GdalFromCsv},
                 {"BM_Import", BM_Import}})
            benchmark::RegisterBenchmark(name, run)
                ->Arg(records)
                ->Iterations(1)
                ->UseManualTime()
                ->Unit(benchmark::kMillisecond);
    return runWindowBenchmarks(argc, argv, [] { setInstanceLockName("corvane-bench-import"); });
}
