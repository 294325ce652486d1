#pragma once
// Generated tables for the benchmarks: every column filled, Chinese texts,
// memos of a few hundred bytes. And what every benchmark program's set-up
// and main() share.
#include "ExchangeTextWriter.h"

#include <QString>
#include <QTemporaryDir>
#include <QStringList>
#include <functional>
#include <memory>

namespace benchmark {
class State;
}
namespace db {
class Dataset;
}

// The key of record i: one of `years` years from 2005 down, and a sequence.
QString benchKey(int i, int years = 5);
// What generated records are. Records of all years are interleaved through
// the file, as years of registration and imports leave them.
struct BenchShape
{
    int years = 5;    // keys rotate through this many years from 2005 down
    QString category; // "" rotates 1, 2, 3
    // > 0: exactly this many records of 2005 and category 1 (what the main
    // window lists at start-up), spread evenly through the file; the others
    // rotate through the nine years before.
    int newest = 0;
    // Keys and texts are numbered from here, so that records made with
    // another `first` share neither keys nor titles nor person names.
    int first = 0;
};
// Creates table `name` in dir with `rows` rows. Child rows (keys > 0) cycle
// through the keys of the first `keys` records.
void fillBenchTable(const QString &dir, const QString &name, int rows, int keys, const BenchShape &shape);
void fillBenchTable(const QString &dir, const QString &name, int rows, int keys, int years = 5,
                    const QString &category = {});
// `records` achievement records and, in each child table named, perRecord
// rows a record.
void fillBenchRecords(const QString &dir, int records, const QStringList &children, int perRecord,
                      const BenchShape &shape);
void fillBenchRecords(const QString &dir, int records, const QStringList &children, int perRecord = 10,
                      int years = 5, const QString &category = {});
// The four child tables of a record.
extern const QStringList kBenchChildTables;
// A data folder as an organisation's grows: `records` achievement records
// of the shape, ten rows per record in each child table, the own unit
// registered. 0 records: a new folder with the unit registered. Without a
// shape, 1,000 records a year.
void makeBenchFolder(const QString &dir, int records, const BenchShape &shape);
void makeBenchFolder(const QString &dir, int records);
// The files of folder from (the tables of a generated folder) copied into to.
void copyBenchFolder(const QString &from, const QString &to);
// Every field of every row of the open table read as text: the bytes of
// the texts, for the full scans the benchmarks set beside their figures.
qint64 readEveryField(db::Dataset &table);
// Every field of each of the tables of dir read through a table: the scan
// the exchange benchmarks stand beside.
qint64 readEveryTable(const QString &dir, const QStringList &tables);
// A figure's name at a folder size: "export_10k".
QString sized(const char *name, int records);
// That scan of table `name` of dir, opened and closed again, once each
// iteration of the benchmark; returns the rows of one scan.
int scanEveryField(benchmark::State &state, const QString &dir, const QString &name);
// Table `table` of dir written as exchange text to file.
void writeBenchText(const QString &dir, const QString &table, const QString &file, TextMember member);

// Every dialog and message box answered at once with its first choice.
void answerDialogs();
// The application over the tables in dir, as a user starts it: the folder
// prepared, dialogs answered, its own instance lock.
void startBenchApplication(const QString &dir, const QString &lockName);

// The main window shown over a temporary folder of `records` records of
// category 1 and one year, ten completing persons each.
struct MainWindowOverOneYear
{
    QTemporaryDir tmp;
    MainWindowOverOneYear(int records, const QString &lockName);
    ~MainWindowOverOneYear();
};

// CPU seconds, user and system, of this process and of the child processes
// it has waited for (the archiver, GDAL's converter).
double cpuSeconds();
// Runs work `runs` times inside the benchmark's one iteration (prepare, and
// a sync of the disks, untimed, before each) and returns the median CPU
// seconds of a run, which
// also become the benchmark's time (register it with UseManualTime) and
// the counter cpu_ms; wall_ms is the median wall time.
double medianCpu(benchmark::State &state, int runs, const std::function<void()> &work,
                 const std::function<void()> &prepare = {});

// Runs on leaving runBenchmarks, newest first: what must go before the
// application object does.
void atBenchExit(std::function<void()> done);
// Seconds of the fastest of `runs` calls of work: a reference timed beside
// a benchmark in the same run.
double fastestSeconds(int runs, const std::function<void()> &work);
// The benchmark's loop over body; returns the mean seconds of one pass.
double timedLoop(benchmark::State &state, const std::function<void()> &body);
// A reference's seconds, kept under its name for the benchmarks that run
// after it in the same process, and shown as <name>_ms.
void keepReference(benchmark::State &state, const QString &name, double seconds);
// Shows seconds as ms and beside the reference kept under name, as the
// counter x_<name> (seconds over the reference's).
void besideReference(benchmark::State &state, const QString &name, double seconds);

// The program's application fixture, made on first use and destroyed on
// leaving runBenchmarks: its windows cannot outlive QApplication.
template<class App, class... Args>
App &benchApp(Args &&...args)
{
    static std::unique_ptr<App> app;
    if (!app) {
        app = std::make_unique<App>(std::forward<Args>(args)...);
        atBenchExit([] { app.reset(); });
    }
    return *app;
}

// Runs the benchmarks the command line names, then what atBenchExit keeps.
int runBenchmarks(int argc, char **argv);
// main() of the benchmarks over windows: offscreen, under a QApplication;
// setUp runs before the benchmarks.
int runWindowBenchmarks(int argc, char **argv, const std::function<void()> &setUp = {});
