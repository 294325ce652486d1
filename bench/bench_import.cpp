// The import of a package (unpack, stage, store) of n records with ten
// persons each into a folder holding 10,000 other records with 100,000
// rows in each child table, for n = 2,500, 5,000 and 10,000, beside full
// scans of the folder's records and persons and of the package's own.
#include "BenchData.h"
#include "ExchangeTextWriter.h"
#include "Startup.h"
#include "Unit1.h"
#include "UnitDM.h"
#include "Unitin.h"
#include "archiver/Archiver.h"
#include "db/DbfFile.h"
#include "db/Table.h"
#include "ui/FileChoosers.h"
#include "ui/MessageBox.h"
#include "ui/ModalWindows.h"

#include <QApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QTemporaryDir>
#include <benchmark/benchmark.h>
#include <map>
#include <memory>

namespace {

constexpr int kOtherRecords = 10000;

// The data folder before the import, made once and copied for every run.
QString baseFolder()
{
    static QTemporaryDir dir;
    static bool made = false;
    if (!made) {
        makeBenchFolder(dir.path(), kOtherRecords);
        db::DbfFile::releaseUnused();
        made = true;
    }
    return dir.path();
}

// The records of the package and their persons as tables, and the package.
struct Package
{
    QTemporaryDir dir;
    QString path;

    explicit Package(int records)
    {
        fillBenchTable(dir.path(), "kjcg", records, 0);
        fillBenchTable(dir.path(), "cgwcr", 10 * records, records);
        for (const auto &[table, member] : {std::pair{"kjcg", TextMember::Kjcg}, {"cgwcr", TextMember::Child}}) {
            db::Table t;
            t.setDatabaseName(dir.path());
            t.setTableName(table);
            t.open();
            ExportTableText(t, QDir(dir.path()).filePath(QString(table).toUpper() + ".TXT"), member);
        }
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

void copyFolder(const QString &from, const QString &to)
{
    for (const QFileInfo &f : QDir(from).entryInfoList(QDir::Files))
        QFile::copy(f.absoluteFilePath(), QDir(to).filePath(f.fileName()));
}

int liveRows(const QString &dir, const char *table)
{
    db::Table t;
    t.setDatabaseName(dir);
    t.setTableName(table);
    t.open();
    return t.recordCount();
}

void BM_Import(benchmark::State &state)
{
    const int records = int(state.range(0));
    Package &p = package(records);
    baseFolder();
    ui::setModalHandler([](QDialog *) { return 0; });
    ui::setMessageBoxHandler([](const ui::MessageRequest &) { return ui::IDOK; });
    ui::setFileChooser([&](const ui::FileRequest &) { return p.path; });
    for (auto _ : state) {
        state.PauseTiming();
        QTemporaryDir data;
        copyFolder(baseFolder(), data.path());
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
        state.counters["store_ms"] = clock.restart();
        state.PauseTiming();
        state.counters["records"] = liveRows(data.path(), "kjcg");
        state.counters["persons"] = liveRows(data.path(), "cgwcr");
        destroyApplication();
        state.ResumeTiming();
    }
    ui::setFileChooser({});
}

// Every field of every row of the records and persons of a folder.
void scan(benchmark::State &state, const QString &dir)
{
    for (auto _ : state) {
        qint64 bytes = 0;
        for (const char *name : {"kjcg", "cgwcr"}) {
            db::Table t;
            t.setDatabaseName(dir);
            t.setTableName(name);
            t.open();
            for (t.first(); !t.eof(); t.next())
                for (int c = 0; c < t.fieldCount(); ++c)
                    bytes += t.field(c)->asString().size();
        }
        benchmark::DoNotOptimize(bytes);
    }
}

// The tables the package was written from: n records, 10n persons.
void BM_ScanPackageTables(benchmark::State &state)
{
    scan(state, package(int(state.range(0))).dir.path());
}

// The folder the package goes into: 10,000 records, 100,000 persons.
void BM_ScanFolder(benchmark::State &state)
{
    scan(state, baseFolder());
}

} // namespace

BENCHMARK(BM_ScanFolder)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_ScanPackageTables)->Arg(2500)->Arg(5000)->Arg(10000)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_Import)->Arg(2500)->Arg(5000)->Arg(10000)->Unit(benchmark::kMillisecond)->Iterations(2);

int main(int argc, char **argv)
{
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication qapp(argc, argv);
    setInstanceLockName("corvane-bench-import");
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
