// The import of a package (unpack, stage, store) of n records with ten
// persons each, every record new, into a folder of n other records with
// ten rows a record in each child table, for n = 2,500, 10,000 and 40,000.
// Beside it, timed in the same run: full scans of the package's tables and
// of the folder's records and persons (the import may cost at most five
// times those), and the cost per record at 2,500 (linear: the same).
#include "BenchData.h"
#include "ExchangeTextWriter.h"
#include "Startup.h"
#include "Unit1.h"
#include "UnitDM.h"
#include "Unitin.h"
#include "archiver/Archiver.h"
#include "db/file/DbfFile.h"
#include "db/dataset/Table.h"
#include "ui/FileChoosers.h"

#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QTemporaryDir>
#include <benchmark/benchmark.h>
#include <map>
#include <memory>

namespace {

// The data folder before the import, made once per size and copied for
// every run.
QString baseFolder(int records)
{
    static std::map<int, std::unique_ptr<QTemporaryDir>> made;
    auto &dir = made[records];
    if (!dir) {
        dir = std::make_unique<QTemporaryDir>();
        makeBenchFolder(dir->path(), records);
        db::DbfFile::releaseUnused();
    }
    return dir->path();
}

// The records of the package and their persons as tables, and the package.
struct Package
{
    QTemporaryDir dir;
    QString path;

    explicit Package(int records)
    {
        // Numbered after the folder's records: new keys, titles and persons.
        BenchShape shape;
        shape.first = records;
        fillBenchRecords(dir.path(), records, {"cgwcr"}, 10, shape);
        for (const auto &[table, member] : {std::pair{"kjcg", TextMember::Kjcg}, {"cgwcr", TextMember::Child}})
            writeBenchText(dir.path(), table, QDir(dir.path()).filePath(QString(table).toUpper() + ".TXT"), member);
        for (const char *empty : {"CGWCDW.TXT", "JDWYHMD.TXT", "ZLQK.TXT", "UNIT.TXT", "EXPERT.TXT"})
            QFile(QDir(dir.path()).filePath(empty)).open(QIODevice::WriteOnly);
        path = QDir(dir.path()).filePath("cgsbqy.arj");
        archiver::addFiles(path, {"KJCG.TXT", "CGWCDW.TXT", "CGWCR.TXT", "JDWYHMD.TXT", "ZLQK.TXT", "UNIT.TXT",
                                  "EXPERT.TXT"});
    }
};

Package &package(int records)
{
    static std::map<int, std::unique_ptr<Package>> made;
    auto &p = made[records];
    if (!p)
        p = std::make_unique<Package>(records);
    return *p;
}

int liveRows(const QString &dir, const char *table)
{
    db::Table t;
    t.setDatabaseName(dir);
    t.setTableName(table);
    t.open();
    return t.recordCount();
}

// Every field of every row of the records and persons of a folder.
qint64 scan(const QString &dir)
{
    qint64 bytes = 0;
    for (const char *name : {"kjcg", "cgwcr"}) {
        db::Table t;
        t.setDatabaseName(dir);
        t.setTableName(name);
        t.open();
        bytes += readEveryField(t);
    }
    return bytes;
}

std::map<int, double> g_perRecord; // records → seconds of import per record

void BM_Import(benchmark::State &state)
{
    const int records = int(state.range(0));
    Package &p = package(records);
    const QString base = baseFolder(records);
    answerDialogs();
    ui::setFileChooser([&](const ui::FileRequest &) { return p.path; });
    double seconds = 0;
    for (auto _ : state) {
        state.PauseTiming();
        QTemporaryDir data;
        copyBenchFolder(base, data.path());
        createApplication(data.path());
        Formin->FormShow();
        state.ResumeTiming();
        QElapsedTimer clock;
        clock.start();
        Formin->Button1Click(); // unpack
        state.counters["unpack_ms"] = clock.restart();
        Formin->Button3Click(); // stage
        state.counters["stage_ms"] = clock.restart();
        Formin->Button6Click(); // store
        state.counters["store_ms"] = clock.elapsed();
        seconds += (state.counters["unpack_ms"] + state.counters["stage_ms"] + state.counters["store_ms"]) / 1000.0;
        state.PauseTiming();
        state.counters["records"] = liveRows(data.path(), "kjcg");
        state.counters["persons"] = liveRows(data.path(), "cgwcr");
        destroyApplication();
        db::DbfFile::releaseUnused();
        state.ResumeTiming();
    }
    ui::setFileChooser({});
    seconds /= double(state.iterations());

    // The references, in the same run.
    const double scanSeconds = fastestSeconds(3, [&] {
        benchmark::DoNotOptimize(scan(p.dir.path()) + scan(base));
        db::DbfFile::releaseUnused();
    });
    state.counters["scan_ms"] = scanSeconds * 1000;
    state.counters["x_scan"] = seconds / scanSeconds;
    g_perRecord[records] = seconds / records;
    if (g_perRecord.count(2500))
        state.counters["x_per_record_2500"] = g_perRecord[records] / g_perRecord[2500];
}

} // namespace

BENCHMARK(BM_Import)->Arg(2500)->Arg(10000)->Arg(40000)->Unit(benchmark::kMillisecond)->Iterations(2);

int main(int argc, char **argv)
{
    return runWindowBenchmarks(argc, argv, [] { setInstanceLockName("corvane-bench-import"); });
}
