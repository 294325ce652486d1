// The export of n records with ten rows a record in each of the four child
// tables (n = 10,000 and 40,000, the years interleaved), beside GDAL's
// converter writing the same five tables as CSV, in the same run. Every
// figure is CPU time of the process and of its children (the archiver, the
// converter), the median of three runs. The export is measured whole
// (members written and read back, packed, tested, marks set, package put in
// place) and in its parts: the members alone, and packing with the
// archiver's test alone. A full scan of the five tables is the reference
// where GDAL is missing. At 40,000 each figure also stands beside its own at
// 10,000 (linear: 4).
#include "BenchData.h"
#include "ExportPackage.h"
#include "GdalReference.h"
#include "Startup.h"
#include "UnitDM.h"
#include "archiver/Archiver.h"
#include "db/dataset/Table.h"
#include "db/file/DbfFile.h"

#include <QDir>
#include <QFileInfo>
#include <QTemporaryDir>
#include <benchmark/benchmark.h>
#include <memory>

namespace {

constexpr int kRuns = 3;
const QStringList kTables = {"kjcg", "cgwcdw", "cgwcr", "jdwyhmd", "zlqk"};

// The folder of one size with the program started on it; one at a time.
struct Folder
{
    int records;
    QTemporaryDir tmp;
    QList<int> rows;
    explicit Folder(int n) : records(n)
    {
        fillBenchRecords(tmp.path(), n, kBenchChildTables, 10);
        startBenchApplication(tmp.path(), "corvane-bench-export");
        DM->T_temp_out->open();
        for (int r = 0; r < DM->T_temp_out->rowCount(); ++r)
            rows << r;
    }
    ~Folder() { destroyApplication(); }
};

Folder &folder(int records)
{
    static std::unique_ptr<Folder> current;
    if (!current)
        atBenchExit([] { current.reset(); });
    if (!current || current->records != records) {
        current.reset();
        db::DbfFile::releaseUnused();
        current = std::make_unique<Folder>(records);
    }
    return *current;
}

void BM_ScanTables(benchmark::State &state)
{
    const int records = int(state.range(0));
    Folder &f = folder(records);
    keepReference(state, sized("scan", records), medianCpu(state, kRuns, [&] {
        benchmark::DoNotOptimize(readEveryTable(f.tmp.path(), kTables));
    }));
}

void BM_GdalToCsv(benchmark::State &state)
{
    const int records = int(state.range(0));
    Folder &f = folder(records);
    if (skippedWithoutGdal(state))
        return;
    QTemporaryDir out;
    keepReference(state, sized("gdal", records),
                  medianCpu(state, kRuns, [&] { gdalTablesToCsv(f.tmp.path(), kTables, out.path()); }));
}

void BM_WriteMembers(benchmark::State &state)
{
    const int records = int(state.range(0));
    Folder &f = folder(records);
    QTemporaryDir out;
    besideExchangeReferences(state, "members", records,
                     medianCpu(state, kRuns, [&] { WritePackageMembers(*DM->T_temp_out, f.rows, out.path()); }));
}

void BM_PackAndTest(benchmark::State &state)
{
    const int records = int(state.range(0));
    Folder &f = folder(records);
    QTemporaryDir work;
    WritePackageMembers(*DM->T_temp_out, f.rows, work.path());
    const QString package = QDir(work.path()).filePath(PackageName());
    besideExchangeReferences(state, "arj", records, medianCpu(state, kRuns, [&] {
        QFile::remove(package);
        archiver::addFiles(package, PackageMembers());
        archiver::runArj(work.path(), {"t", "-y", "./" + PackageName()});
    }));
    state.counters["package_MB"] = double(QFileInfo(package).size()) / 1e6;
}

void BM_Export(benchmark::State &state)
{
    const int records = int(state.range(0));
    Folder &f = folder(records);
    QTemporaryDir target;
    besideExchangeReferences(
        state, "export", records,
        medianCpu(
            state, kRuns, [&] { ExportPackage(*DM->T_temp_out, f.rows, target.path()); },
            [&] { ClearExportMarks(*DM->T_temp_out); }));
}

} // namespace

int main(int argc, char **argv)
{
    // Size by size, so that one folder is made and started at a time.
    for (const int records : {10000, 40000})
        for (const auto &[name, run] : std::initializer_list<std::pair<const char *, void (*)(benchmark::State &)>>{
                 {"BM_ScanTables", BM_ScanTables},
                 {"BM_GdalToCsv", BM_GdalToCsv},
                 {"BM_WriteMembers", BM_WriteMembers},
                 {"BM_PackAndTest", BM_PackAndTest},
                 {"BM_Export", BM_Export}})
            benchmark::RegisterBenchmark(name, run)
                ->Arg(records)
                ->Iterations(1)
                ->UseManualTime()
                ->Unit(benchmark::kMillisecond);
    return runWindowBenchmarks(argc, argv);
}
