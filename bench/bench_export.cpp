// The export of 10,000 records with 100,000 rows in each child table, beside
// a full scan of the same five tables in one run. The export is measured
// whole (members written, packed, tested, marks set, package put in place)
// and without the archiver (members written only); the archiver's share is
// the difference, and its packing and test are measured alone as well.
#include "BenchData.h"
#include "ExportPackage.h"
#include "Startup.h"
#include "Unit1.h"
#include "UnitDM.h"
#include "archiver/Archiver.h"
#include "db/dataset/Table.h"

#include <QDir>
#include <QElapsedTimer>
#include <QFileInfo>
#include <QTemporaryDir>
#include <benchmark/benchmark.h>

namespace {

constexpr int kRecords = 10000;
constexpr int kChildRows = 100000;
const char *const kTables[] = {"kjcg", "cgwcdw", "cgwcr", "jdwyhmd", "zlqk"};

struct App
{
    QTemporaryDir tmp;
    QTemporaryDir out;
    QList<int> rows;
    App()
    {
        fillBenchRecords(tmp.path(), kRecords, kBenchChildTables, kChildRows / kRecords);
        startBenchApplication(tmp.path(), "corvane-bench-export");
        DM->T_temp_out->open();
        for (int r = 0; r < DM->T_temp_out->rowCount(); ++r)
            rows << r;
    }
    ~App() { destroyApplication(); }
};

App &app()
{
    return benchApp<App>();
}

qint64 folderBytes(const QString &dir)
{
    qint64 bytes = 0;
    for (const QFileInfo &f : QDir(dir).entryInfoList(QDir::Files))
        bytes += f.size();
    return bytes;
}

void BM_FullScan(benchmark::State &state)
{
    app();
    qint64 rows = 0;
    keepReference(state, "scan", timedLoop(state, [&] {
        qint64 bytes = 0;
        rows = 0;
        for (const char *name : kTables) {
            db::Table t;
            t.setDatabaseName(DataDir);
            t.setTableName(name);
            t.open();
            bytes += readEveryField(t);
            rows += t.recordCount();
        }
        benchmark::DoNotOptimize(bytes);
    }));
    state.counters["rows"] = double(rows);
}

void BM_WriteMembers(benchmark::State &state)
{
    App &a = app();
    besideReference(state, "scan", timedLoop(state, [&] { WritePackageMembers(*DM->T_temp_out, a.rows, a.out.path()); }));
    state.counters["text_MB"] = double(folderBytes(a.out.path())) / 1e6;
}

void BM_PackAndTest(benchmark::State &state)
{
    App &a = app();
    QTemporaryDir work;
    WritePackageMembers(*DM->T_temp_out, a.rows, work.path());
    const QString package = QDir(work.path()).filePath(PackageName());
    besideReference(state, "scan", timedLoop(state, [&] {
        QFile::remove(package);
        archiver::addFiles(package, PackageMembers());
        archiver::runArj(work.path(), {"t", "-y", "./" + PackageName()});
    }));
    state.counters["package_MB"] = double(QFileInfo(package).size()) / 1e6;
}

void BM_ExportPackage(benchmark::State &state)
{
    App &a = app();
    QTemporaryDir target;
    double seconds = 0;
    for (auto _ : state) {
        state.PauseTiming();
        ClearExportMarks(*DM->T_temp_out);
        state.ResumeTiming();
        QElapsedTimer clock;
        clock.start();
        ExportPackage(*DM->T_temp_out, a.rows, target.path());
        seconds += clock.nsecsElapsed() / 1e9;
    }
    besideReference(state, "scan", seconds / double(state.iterations()));
    state.counters["records"] = a.rows.size();
}

} // namespace

BENCHMARK(BM_FullScan)->Unit(benchmark::kMillisecond)->Iterations(3);
BENCHMARK(BM_WriteMembers)->Unit(benchmark::kMillisecond)->Iterations(3);
BENCHMARK(BM_PackAndTest)->Unit(benchmark::kMillisecond)->Iterations(3);
BENCHMARK(BM_ExportPackage)->Unit(benchmark::kMillisecond)->Iterations(3);

int main(int argc, char **argv)
{
    return runWindowBenchmarks(argc, argv);
}
