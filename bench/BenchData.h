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
// Creates table `name` in dir with `rows` rows. Child rows (keys > 0) cycle
// through the keys of the first `keys` records. category "" rotates 1, 2, 3.
void fillBenchTable(const QString &dir, const QString &name, int rows, int keys, int years = 5,
                    const QString &category = {});
// `records` achievement records of the category ("" rotates) and, in each
// child table named, perRecord rows a record.
void fillBenchRecords(const QString &dir, int records, const QStringList &children, int perRecord = 10,
                      int years = 5, const QString &category = {});
// The four child tables of a record.
extern const QStringList kBenchChildTables;
// A data folder as an organisation's grows: `records` achievement records,
// recordsPerYear of each year (the newest year lists about a third of them
// per category), ten rows per record in each child table, the own unit
// registered. 0 records: a new folder with the unit registered.
void makeBenchFolder(const QString &dir, int records, int recordsPerYear = 1000);
// Every field of every row of the open table read as text: the bytes of
// the texts, for the full scans the benchmarks set beside their figures.
qint64 readEveryField(db::Dataset &table);
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

// Runs on leaving runBenchmarks, newest first: what must go before the
// application object does.
void atBenchExit(std::function<void()> done);
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
