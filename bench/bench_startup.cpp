// Start-up to the idle main window, its peak resident memory and the row
// click, over folders whose records of all years are interleaved through
// the file: a new folder; 10,000 and 40,000 records with the same 2,000
// records listed for the newest year; and 40,000 records whose newest year
// grew with the folder (8,000 listed). Ten rows a record in each child
// table. The folders are started in turn, round after round, so that a
// change of the machine's load falls on all of them alike; every figure
// is reported beside the one it is held against, from the same run.
#include "BenchData.h"
#include "Startup.h"
#include "Unit1.h"
#include "UnitDM.h"
#include "db/dataset/Query.h"

#include <QApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QFileInfo>
#include <QProcess>
#include <QTemporaryDir>
#include <atomic>
#include <benchmark/benchmark.h>
#include <map>
#include <memory>
#include <thread>
#include <unistd.h>

namespace {

struct Case
{
    const char *name;
    int records;
    int newest; // records listed at start-up
};

const Case kCases[] = {{"new", 0, 0}, {"10k", 10000, 2000}, {"40k", 40000, 2000}, {"40k_grown", 40000, 8000}};
enum { New, Small, Large, Grown };

// CORVANE_BENCH_FOLDERS keeps the generated folders between runs.
QString folder(const Case &c)
{
    const auto make = [&](const QString &dir) {
        BenchShape shape;
        shape.newest = c.newest;
        makeBenchFolder(dir, c.records, shape);
    };
    const QString keep = qEnvironmentVariable("CORVANE_BENCH_FOLDERS");
    if (!keep.isEmpty()) {
        const QString dir = keep + "/startup-" + c.name;
        if (!QFileInfo::exists(dir + "/unit.dbf")) {
            QDir(dir).removeRecursively();
            QDir().mkpath(dir);
            make(dir);
        }
        return dir;
    }
    static std::map<QString, std::unique_ptr<QTemporaryDir>> folders;
    auto &slot = folders[c.name];
    if (!slot) {
        slot = std::make_unique<QTemporaryDir>();
        make(slot->path());
    }
    return slot->path();
}

void startToIdle(const QString &dir)
{
    createApplication(dir);
    MainForm->show();
    QCoreApplication::processEvents();
}

void stop()
{
    MainForm->hide();
    destroyApplication();
}

void BM_StartupToIdle(benchmark::State &state)
{
    double seconds[std::size(kCases)] = {};
    for (const Case &c : kCases) {
        startToIdle(folder(c)); // the first start numbers the list; later ones find it numbered
        stop();
    }
    for (auto _ : state) {
        for (size_t i = 0; i < std::size(kCases); ++i) {
            QElapsedTimer timer;
            timer.start();
            startToIdle(folder(kCases[i]));
            seconds[i] += timer.nsecsElapsed() / 1e9;
            state.PauseTiming();
            stop();
            state.ResumeTiming();
        }
    }
    for (size_t i = 0; i < std::size(kCases); ++i) {
        seconds[i] /= double(state.iterations());
        state.counters[QString("ms_%1").arg(kCases[i].name).toStdString()] = seconds[i] * 1000;
    }
    state.counters["x_10k_over_new"] = seconds[Small] / seconds[New];
    state.counters["x_40k_over_10k"] = seconds[Large] / seconds[Small];
    state.counters["x_grown_over_40k"] = seconds[Grown] / seconds[Large];
    // What each listed row beyond the 2,000 adds, and a listed row's share
    // of the grown start-up.
    state.counters["us_per_added_listed_row"] =
        (seconds[Grown] - seconds[Large]) * 1e6 / (kCases[Grown].newest - kCases[Large].newest);
    state.counters["us_per_listed_row_grown"] = seconds[Grown] * 1e6 / kCases[Grown].newest;
}

// Peak resident memory of a fresh process started to the idle window, whole
// (VmHWM) and split into heap (anonymous pages) and mapped files, each at
// its own highest.
QMap<QString, double> memoryOfStart(const QString &dir)
{
    QProcess p;
    p.start(QCoreApplication::applicationFilePath(), {"--startup-memory", dir});
    p.waitForFinished(600000);
    QMap<QString, double> out;
    for (const QByteArray &line : p.readAllStandardOutput().split('\n')) {
        const QList<QByteArray> parts = line.simplified().split(' ');
        if (parts.size() >= 2 && parts[0].endsWith(':'))
            out[QString::fromLatin1(parts[0].chopped(1))] = parts[1].toDouble() / 1024.0;
    }
    return out;
}

void BM_StartupMemory(benchmark::State &state)
{
    std::map<QString, QMap<QString, double>> lowest; // of the rounds, per case
    for (auto _ : state)
        for (const Case &c : kCases) {
            const QMap<QString, double> m = memoryOfStart(folder(c));
            QMap<QString, double> &low = lowest[c.name];
            for (auto it = m.begin(); it != m.end(); ++it)
                low[it.key()] = low.contains(it.key()) ? std::min(low[it.key()], it.value()) : it.value();
        }
    for (const Case &c : kCases) {
        const QMap<QString, double> &m = lowest[c.name];
        const auto put = [&](const char *what, double v) {
            state.counters[QString("%1_%2").arg(c.name, what).toStdString()] = v;
        };
        put("peak_MiB", m.value("VmHWM"));
        put("heap_MiB", m.value("PeakAnon"));
        put("mapped_MiB", m.value("PeakFile"));
        if (c.records > 0)
            put("over_new_MiB", m.value("VmHWM") - lowest["new"].value("VmHWM"));
    }
}

void BM_RowClick(benchmark::State &state)
{
    const Case &c = kCases[state.range(0)];
    startToIdle(folder(c));
    db::Query *list = DM->Qrykjcg;
    const int rows = list->recordCount();
    int row = 0;
    for (auto _ : state) {
        if (rows > 0) {
            row = (row + 97) % rows;
            list->moveBy(row - list->currentRow());
        }
        MainForm->DBGrid1CellClick();
    }
    state.counters["list_rows"] = rows;
    state.counters["persons"] = 10.0 * c.records;
    stop();
}

// In the child: the highest anonymous and file-backed resident sizes seen
// while starting, sampled from another thread, and the kernel's peak of the
// two together.
int memoryChild(const QString &dir)
{
    const long page = sysconf(_SC_PAGESIZE) / 1024;
    std::atomic<bool> done = false;
    std::atomic<long> peakAnon = 0, peakFile = 0;
    std::thread sampler([&] {
        while (!done) {
            QFile statm("/proc/self/statm");
            long size = 0, resident = 0, shared = 0;
            if (statm.open(QIODevice::ReadOnly)
                && sscanf(statm.readAll().constData(), "%ld %ld %ld", &size, &resident, &shared) == 3) {
                peakAnon = std::max<long>(peakAnon, (resident - shared) * page);
                peakFile = std::max<long>(peakFile, shared * page);
            }
            std::this_thread::sleep_for(std::chrono::microseconds(200));
        }
    });
    startToIdle(dir);
    done = true;
    sampler.join();
    QFile status("/proc/self/status");
    status.open(QIODevice::ReadOnly);
    for (const QByteArray &line : status.readAll().split('\n'))
        if (line.startsWith("VmHWM"))
            printf("%s\n", line.constData());
    printf("PeakAnon: %ld kB\nPeakFile: %ld kB\n", peakAnon.load(), peakFile.load());
    fflush(stdout);
    stop();
    return 0;
}

} // namespace

BENCHMARK(BM_StartupToIdle)->Unit(benchmark::kMillisecond)->Iterations(8);
BENCHMARK(BM_StartupMemory)->Iterations(3)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_RowClick)->Arg(New)->Arg(Small)->Arg(Large)->Unit(benchmark::kMicrosecond);

int main(int argc, char **argv)
{
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication qapp(argc, argv);
    setInstanceLockName(QString("corvane-bench-%1").arg(QCoreApplication::applicationPid()));
    answerDialogs();
    if (argc == 3 && QByteArray(argv[1]) == "--startup-memory")
        return memoryChild(QString::fromLocal8Bit(argv[2]));
    return runBenchmarks(argc, argv);
}
