// Start-up to the idle main window, its peak resident memory (with the
// engine's caches and without) and the row click, over folders whose records of all years are interleaved through
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
#include "Unitin.h"
#include "archiver/Archiver.h"
#include "db/file/DbfFile.h"
#include "db/dataset/Query.h"
#include "text/Gbk.h"
#include "ui/FileChoosers.h"

#include <QApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QFileInfo>
#include <QProcess>
#include <QSet>
#include <QTemporaryDir>
#include <atomic>
#include <benchmark/benchmark.h>
#include <map>
#include <memory>
#include <sys/resource.h>
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
// its own highest, and the process's CPU time. Without the engine's caches
// (a first start, a copied folder) every table is read through.
QMap<QString, double> memoryOfStart(const QString &dir, bool withoutCaches)
{
    QProcess p;
    QTemporaryDir emptyCache;
    if (withoutCaches) {
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        env.insert("XDG_CACHE_HOME", emptyCache.path());
        p.setProcessEnvironment(env);
    }
    p.start(QCoreApplication::applicationFilePath(), {"--startup-memory", dir});
    p.waitForFinished(600000);
    QMap<QString, double> out;
    for (const QByteArray &line : p.readAllStandardOutput().split('\n')) {
        const QList<QByteArray> parts = line.simplified().split(' ');
        if (parts.size() >= 2 && parts[0].endsWith(':'))
            out[QString::fromLatin1(parts[0].chopped(1))] = parts[1].toDouble() / (parts.value(2) == "kB" ? 1024.0 : 1.0);
    }
    return out;
}

// Each folder started with the caches an earlier start left, and without
// any ("<case>_first_…"), beside the new folder started the same way.
void BM_StartupMemory(benchmark::State &state)
{
    std::map<QString, QMap<QString, double>> lowest; // of the rounds, per case and caches
    for (auto _ : state)
        for (const bool first : {false, true})
            for (const Case &c : kCases) {
                const QMap<QString, double> m = memoryOfStart(folder(c), first);
                QMap<QString, double> &low = lowest[QString(first ? "%1_first" : "%1").arg(c.name)];
                for (auto it = m.begin(); it != m.end(); ++it)
                    low[it.key()] = low.contains(it.key()) ? std::min(low[it.key()], it.value()) : it.value();
            }
    for (const bool first : {false, true})
        for (const Case &c : kCases) {
            const QString name = QString(first ? "%1_first" : "%1").arg(c.name);
            const QMap<QString, double> &m = lowest[name], &base = lowest[first ? "new_first" : "new"];
            const auto put = [&](const char *what, double v) {
                state.counters[QString("%1_%2").arg(name, what).toStdString()] = v;
            };
            put("peak_MiB", m.value("VmHWM"));
            put("heap_MiB", m.value("PeakAnon"));
            put("mapped_MiB", m.value("PeakFile"));
            put("cpu_ms", m.value("CpuMs"));
            if (c.records > 0)
                put("over_new_MiB", m.value("VmHWM") - base.value("VmHWM"));
        }
}

// The bytes the memos of the records' live rows fill in the memo file.
qint64 liveMemoBytes(const QString &dir)
{
    const auto kjcg = db::DbfFile::open(dir, "kjcg");
    QSet<QByteArray> seen;
    qint64 bytes = 0;
    for (int rec = 0; rec < kjcg->recordCount(); ++rec)
        for (int f = 0; f < kjcg->fieldCount(); ++f)
            if (!kjcg->isDeleted(rec) && kjcg->fields()[f].type == 'M') {
                const QByteArray block(kjcg->fieldData(rec, f), 10);
                if (!block.trimmed().isEmpty() && !seen.contains(block)) {
                    seen.insert(block);
                    bytes += (kjcg->value(rec, f).text.size() + 2 + 511) / 512 * 512;
                }
            }
    db::DbfFile::releaseUnused();
    return bytes;
}

double mib(qint64 bytes)
{
    return bytes / 1048576.0;
}

// 40 records whose brief and abstract are saved 3,000 times (each save
// appended, as under an operation) and that are imported over 100 times
// from a package of the same titles (every memo appended again, the old
// records deleted): the memo file before and after the start that finds
// it so, beside the memos the rows point to; that start, and the next
// one with nothing to compact, beside a start of a new folder.
void BM_MemoFileAfterSoak(benchmark::State &state)
{
    constexpr int kRecords = 40, kSaves = 3000, kImports = 100;
    for (auto _ : state) {
        state.PauseTiming();
        QTemporaryDir data, package;
        makeBenchFolder(data.path(), kRecords, BenchShape{});
        fillBenchRecords(package.path(), kRecords, {"cgwcr"}, 10);
        for (const auto &[table, member] : {std::pair{"kjcg", TextMember::Kjcg}, {"cgwcr", TextMember::Child}})
            writeBenchText(package.path(), table, QDir(package.path()).filePath(QString(table).toUpper() + ".TXT"),
                           member);
        for (const char *empty : {"CGWCDW.TXT", "JDWYHMD.TXT", "ZLQK.TXT", "UNIT.TXT", "EXPERT.TXT"})
            QFile(QDir(package.path()).filePath(empty)).open(QIODevice::WriteOnly);
        const QString arj = QDir(package.path()).filePath("cgsbqy.arj");
        archiver::addFiles(arj, {"KJCG.TXT", "CGWCDW.TXT", "CGWCR.TXT", "JDWYHMD.TXT", "ZLQK.TXT", "UNIT.TXT",
                                 "EXPERT.TXT"});
        {
            const auto kjcg = db::DbfFile::open(data.path(), "kjcg");
            for (int save = 0; save < kSaves; ++save) {
                const int rec = save % kRecords;
                QByteArray raw(kjcg->record(rec), kjcg->recordLength());
                for (const char *field : {"ITEM_13", "ITEM_13_1"}) {
                    const QString text = QString::fromUtf8("第%1次保存的成果简介，").arg(save).repeated(10 + save % 50);
                    const quint32 block = kjcg->writeMemo(gbk::encode(text));
                    raw.replace(kjcg->fields()[kjcg->fieldIndex(field)].offset, 10,
                                QByteArray::number(block).rightJustified(10, ' '));
                }
                kjcg->writeRecord(rec, raw);
            }
        }
        db::DbfFile::releaseUnused();
        ui::setFileChooser([&](const ui::FileRequest &) { return arj; });
        createApplication(data.path());
        for (int i = 0; i < kImports; ++i) {
            Formin->FormShow();
            Formin->Button1Click(); // unpack
            Formin->Button3Click(); // stage
            Formin->Button8Click(); // store over the records of the same titles
        }
        destroyApplication();
        ui::setFileChooser({});
        const QString memo = data.filePath("kjcg.DBT");
        state.counters["soaked_memo_MiB"] = mib(QFileInfo(memo).size());
        state.counters["soaked_live_MiB"] = mib(liveMemoBytes(data.path()));
        state.ResumeTiming();

        QElapsedTimer clock;
        clock.start();
        startToIdle(data.path());
        state.counters["compacting_start_ms"] = clock.elapsed();
        state.PauseTiming();
        stop();
        const qint64 live = liveMemoBytes(data.path());
        state.counters["memo_MiB"] = mib(QFileInfo(memo).size());
        state.counters["live_MiB"] = mib(live);
        state.counters["x_memo_over_live"] = double(QFileInfo(memo).size()) / double(live);
        clock.restart();
        startToIdle(data.path());
        state.counters["next_start_ms"] = clock.elapsed();
        stop();
        const QString fresh = folder(kCases[New]);
        startToIdle(fresh);
        stop();
        clock.restart();
        startToIdle(fresh);
        state.counters["new_folder_start_ms"] = clock.elapsed();
        stop();
        state.ResumeTiming();
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
    struct rusage usage;
    getrusage(RUSAGE_SELF, &usage);
    const auto ms = [](const timeval &t) { return t.tv_sec * 1000.0 + t.tv_usec / 1000.0; };
    printf("CpuMs: %.1f\n", ms(usage.ru_utime) + ms(usage.ru_stime));
    fflush(stdout);
    stop();
    return 0;
}

} // namespace

BENCHMARK(BM_StartupToIdle)->Unit(benchmark::kMillisecond)->Iterations(8);
BENCHMARK(BM_StartupMemory)->Iterations(3)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_MemoFileAfterSoak)->Iterations(1)->Unit(benchmark::kMillisecond);
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
