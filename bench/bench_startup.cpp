// Start-up to the idle main window, its resident memory and the row click,
// on a new folder and on generated folders of 10,000 and 40,000 records
// (ten rows per record in each child table, 1,000 records a year). Each
// figure is reported beside the new folder's, measured in the same run.
#include "BenchData.h"
#include "Startup.h"
#include "Unit1.h"
#include "UnitDM.h"
#include "db/Query.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QProcess>
#include <QTemporaryDir>
#include <benchmark/benchmark.h>
#include <map>
#include <memory>

namespace {

// CORVANE_BENCH_FOLDERS keeps the generated folders between runs.
QString folder(int records)
{
    const QString keep = qEnvironmentVariable("CORVANE_BENCH_FOLDERS");
    if (!keep.isEmpty()) {
        const QString dir = keep + "/" + QString::number(records);
        if (!QFileInfo::exists(dir + "/kjcg.DBF")) {
            QDir(dir).removeRecursively();
            QDir().mkpath(dir);
            makeBenchFolder(dir, records);
        }
        return dir;
    }
    static std::map<int, std::unique_ptr<QTemporaryDir>> folders;
    auto &slot = folders[records];
    if (!slot) {
        slot = std::make_unique<QTemporaryDir>();
        makeBenchFolder(slot->path(), records);
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

std::map<int, double> g_startSeconds; // records → seconds per start-up

void BM_StartupToIdle(benchmark::State &state)
{
    const int records = int(state.range(0));
    const QString dir = folder(records);
    startToIdle(dir); // the first start numbers the list; later ones find it numbered
    stop();
    QElapsedTimer timer;
    qint64 ns = 0;
    for (auto _ : state) {
        timer.start();
        startToIdle(dir);
        ns += timer.nsecsElapsed();
        state.PauseTiming();
        stop();
        state.ResumeTiming();
    }
    const double seconds = ns / 1e9 / double(state.iterations());
    g_startSeconds[records] = seconds;
    if (records > 0 && g_startSeconds.count(0))
        state.counters["x_new_folder"] = seconds / g_startSeconds[0];
    if (records > 10000 && g_startSeconds.count(10000))
        state.counters["x_10k"] = seconds / g_startSeconds[10000];
}

// Resident memory of a fresh process right after start-up (VmRSS), with its
// anonymous and file-mapped parts.
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

std::map<int, double> g_rss;

void BM_StartupMemory(benchmark::State &state)
{
    const int records = int(state.range(0));
    const QString dir = folder(records);
    QMap<QString, double> m;
    for (auto _ : state)
        m = memoryOfStart(dir);
    g_rss[records] = m.value("VmRSS");
    state.counters["VmRSS_MiB"] = m.value("VmRSS");
    state.counters["RssAnon_MiB"] = m.value("RssAnon");
    state.counters["RssFile_MiB"] = m.value("RssFile");
    if (records > 0 && g_rss.count(0))
        state.counters["over_new_folder_MiB"] = m.value("VmRSS") - g_rss[0];
}

void BM_RowClick(benchmark::State &state)
{
    const int records = int(state.range(0));
    startToIdle(folder(records));
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
    state.counters["persons"] = 10.0 * records;
    stop();
}

int memoryChild(const QString &dir)
{
    startToIdle(dir);
    QFile status("/proc/self/status");
    status.open(QIODevice::ReadOnly);
    for (const QByteArray &line : status.readAll().split('\n'))
        if (line.startsWith("VmRSS") || line.startsWith("RssAnon") || line.startsWith("RssFile"))
            printf("%s\n", line.constData());
    fflush(stdout);
    stop();
    return 0;
}

} // namespace

BENCHMARK(BM_StartupToIdle)->Arg(0)->Arg(10000)->Arg(40000)->Unit(benchmark::kMillisecond)->MinTime(2);
BENCHMARK(BM_StartupMemory)->Arg(0)->Arg(10000)->Arg(40000)->Iterations(1)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_RowClick)->Arg(0)->Arg(10000)->Arg(40000)->Unit(benchmark::kMicrosecond);

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
