#include "BenchData.h"

#include "DataFolder.h"
#include "Startup.h"
#include "TableSchemas.h"
#include "Unit1.h"
#include "db/file/DbfFile.h"
#include "db/dataset/Table.h"
#include "ui/MessageBox.h"
#include "ui/ModalWindows.h"

#include <QApplication>
#include <QDir>
#include <QFile>
#include <QElapsedTimer>
#include <benchmark/benchmark.h>
#include <map>
#include <sys/resource.h>
#include <unistd.h>
#include <vector>

using namespace db;

QString benchKey(int i, int years)
{
    return QString("%1%2").arg(2005 - i % years).arg(i + 1, 6, 10, QChar('0'));
}

namespace {

Value sampleValue(const ColumnDef &c, int i)
{
    switch (c.type) {
    case 'D':
        return Value::fromDate(QDate(2005, 1 + i % 12, 1 + i % 28));
    case 'M':
        return Value::fromString(QString::fromUtf8("简要技术说明与应用前景，第%1项。").repeated(1 + i % 20));
    case 'N':
        return Value::fromNumber(i * 1.25);
    default: {
        const QString s = QString::fromUtf8("科技成果%1").arg(i);
        return Value::fromString(s.left(c.length / 2));
    }
    }
}

} // namespace

namespace {

QString shapedKey(const BenchShape &shape, int records, int k)
{
    const int number = shape.first + k;
    if (shape.newest <= 0)
        return benchKey(number, shape.years);
    const int stride = std::max(1, records / shape.newest);
    const bool newest = k % stride == 0 && k / stride < shape.newest;
    const int year = newest ? 2005 : 2004 - k % 9;
    return QString("%1%2").arg(year).arg(number + 1, 6, 10, QChar('0'));
}

QString shapedCategory(const BenchShape &shape, const QString &key, int k)
{
    if (shape.newest > 0)
        return key.startsWith("2005") ? "1" : QString::number(1 + k % 3);
    return shape.category.isEmpty() ? QString::number(1 + k % 3) : shape.category;
}

} // namespace

void fillBenchTable(const QString &dir, const QString &name, int rows, int keys, const BenchShape &shape)
{
    const TableSchema *s = tableSchema(name);
    if (DbfFile::findFile(dir, s->fileName).isEmpty())
        DbfFile::create(dir, s->fileName, s->columns);
    auto f = DbfFile::open(dir, s->fileName);
    DbfFile::BulkAppend bulk(*f);
    const int records = keys ? keys : rows;
    const qint64 firstRow = qint64(shape.first) * (keys ? rows / keys : 1);
    for (int r = 0; r < rows; ++r) {
        QByteArray raw = f->blankRecord();
        const int k = keys ? r % keys : r;
        const QString key = shapedKey(shape, records, k);
        for (int c = 0; c < s->columns.size(); ++c) {
            const QString col = s->columns[c].name;
            Value v = sampleValue(s->columns[c], int(firstRow + r));
            if (col == "ITEM_4")
                v = Value::fromString(key);
            else if (col == "ITEM_DQDM")
                v = Value::fromString(".");
            else if (col == "ITEM_CGLB")
                v = Value::fromString(shapedCategory(shape, key, r));
            f->encode(raw, c, v);
        }
        f->appendRecord(raw);
    }
    bulk.finish();
}

void fillBenchTable(const QString &dir, const QString &name, int rows, int keys, int years, const QString &category)
{
    BenchShape shape;
    shape.years = years;
    shape.category = category;
    fillBenchTable(dir, name, rows, keys, shape);
}

const QStringList kBenchChildTables = {"cgwcr", "cgwcdw", "jdwyhmd", "zlqk"};

void fillBenchRecords(const QString &dir, int records, const QStringList &children, int perRecord,
                      const BenchShape &shape)
{
    fillBenchTable(dir, "kjcg", records, 0, shape);
    for (const QString &child : children)
        fillBenchTable(dir, child, perRecord * records, records, shape);
}

void fillBenchRecords(const QString &dir, int records, const QStringList &children, int perRecord, int years,
                      const QString &category)
{
    BenchShape shape;
    shape.years = years;
    shape.category = category;
    fillBenchRecords(dir, records, children, perRecord, shape);
}

void makeBenchFolder(const QString &dir, int records)
{
    BenchShape shape;
    shape.years = std::max(1, records / 1000);
    makeBenchFolder(dir, records, shape);
}

void makeBenchFolder(const QString &dir, int records, const BenchShape &shape)
{
    if (records > 0)
        fillBenchRecords(dir, records, kBenchChildTables, 10, shape);
    prepareDataFolder(dir);
    // The own unit is registered, so that start-up goes straight to the list.
    auto unit = DbfFile::open(dir, "unit.dbf");
    QByteArray raw = unit->blankRecord();
    unit->encode(raw, unit->fieldIndex("UNITCODE"), Value::fromString("9990001000"));
    unit->encode(raw, unit->fieldIndex("ITEM_9"), Value::fromString(QString::fromUtf8("测试研究院")));
    unit->appendRecord(raw);
}

double timedLoop(benchmark::State &state, const std::function<void()> &body)
{
    QElapsedTimer clock;
    clock.start();
    for (auto _ : state)
        body();
    return clock.nsecsElapsed() / 1e9 / double(std::max<benchmark::IterationCount>(1, state.iterations()));
}

namespace {

std::map<QString, double> &references()
{
    static std::map<QString, double> kept;
    return kept;
}

} // namespace

void keepReference(benchmark::State &state, const QString &name, double seconds)
{
    references()[name] = seconds;
    state.counters[(name + "_ms").toStdString()] = seconds * 1000;
}

void besideReference(benchmark::State &state, const QString &name, double seconds)
{
    state.counters["ms"] = seconds * 1000;
    if (const auto it = references().find(name); it != references().end() && it->second > 0)
        state.counters[("x_" + name).toStdString()] = seconds / it->second;
}

double fastestSeconds(int runs, const std::function<void()> &work)
{
    double best = 0;
    for (int i = 0; i < runs; ++i) {
        QElapsedTimer clock;
        clock.start();
        work();
        const double s = clock.nsecsElapsed() / 1e9;
        best = i == 0 ? s : std::min(best, s);
    }
    return best;
}

double cpuSeconds()
{
    double seconds = 0;
    for (const int who : {RUSAGE_SELF, RUSAGE_CHILDREN}) {
        rusage use{};
        getrusage(who, &use);
        for (const timeval &t : {use.ru_utime, use.ru_stime})
            seconds += double(t.tv_sec) + double(t.tv_usec) / 1e6;
    }
    return seconds;
}

double medianCpu(benchmark::State &state, int runs, const std::function<void()> &work,
                 const std::function<void()> &prepare)
{
    const auto median = [](std::vector<double> v) {
        std::sort(v.begin(), v.end());
        return v.empty() ? 0.0 : v[v.size() / 2];
    };
    std::vector<double> cpu, wall;
    for (auto _ : state) {
        for (int i = 0; i < runs; ++i) {
            if (prepare)
                prepare();
            // What earlier runs left to write goes first, so that no run pays
            // for another's pages.
            ::sync();
            QElapsedTimer clock;
            clock.start();
            const double before = cpuSeconds();
            work();
            cpu.push_back(cpuSeconds() - before);
            wall.push_back(clock.nsecsElapsed() / 1e9);
        }
        state.SetIterationTime(median(cpu));
    }
    state.counters["cpu_ms"] = median(cpu) * 1000;
    state.counters["wall_ms"] = median(wall) * 1000;
    return median(cpu);
}

void copyBenchFolder(const QString &from, const QString &to)
{
    for (const QFileInfo &f : QDir(from).entryInfoList(QDir::Files))
        QFile::copy(f.absoluteFilePath(), QDir(to).filePath(f.fileName()));
}

qint64 readEveryField(Dataset &table)
{
    qint64 bytes = 0;
    for (table.first(); !table.eof(); table.next())
        for (int c = 0; c < table.fieldCount(); ++c)
            bytes += table.field(c)->asString().size();
    return bytes;
}

qint64 readEveryTable(const QString &dir, const QStringList &tables)
{
    qint64 bytes = 0;
    for (const QString &name : tables) {
        db::Table t;
        t.setDatabaseName(dir);
        t.setTableName(name);
        t.open();
        bytes += readEveryField(t);
    }
    return bytes;
}

QString sized(const char *name, int records)
{
    return QString("%1_%2k").arg(name).arg(records / 1000);
}

int scanEveryField(benchmark::State &state, const QString &dir, const QString &name)
{
    Table t;
    t.setDatabaseName(dir);
    t.setTableName(name);
    int rows = 0;
    for (auto _ : state) {
        t.open();
        benchmark::DoNotOptimize(readEveryField(t));
        rows = t.recordCount();
        t.close();
    }
    return rows;
}

void writeBenchText(const QString &dir, const QString &table, const QString &file, TextMember member)
{
    Table t;
    t.setDatabaseName(dir);
    t.setTableName(table);
    t.open();
    ExportTableText(t, file, member);
}

void answerDialogs()
{
    ui::setModalHandler([](QDialog *) { return 0; });
    ui::setMessageBoxHandler([](const ui::MessageRequest &) { return ui::IDOK; });
}

void startBenchApplication(const QString &dir, const QString &lockName)
{
    prepareDataFolder(dir);
    setInstanceLockName(lockName);
    answerDialogs();
    createApplication(dir);
}

MainWindowOverOneYear::MainWindowOverOneYear(int records, const QString &lockName)
{
    fillBenchRecords(tmp.path(), records, {"cgwcr"}, 10, 1, "1");
    startBenchApplication(tmp.path(), lockName);
    MainForm->show();
}

MainWindowOverOneYear::~MainWindowOverOneYear()
{
    destroyApplication();
}

namespace {

std::vector<std::function<void()>> &exitSteps()
{
    static std::vector<std::function<void()>> steps;
    return steps;
}

} // namespace

void atBenchExit(std::function<void()> done)
{
    exitSteps().push_back(std::move(done));
}

int runBenchmarks(int argc, char **argv)
{
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    auto &steps = exitSteps();
    while (!steps.empty()) {
        const auto step = std::move(steps.back());
        steps.pop_back();
        step();
    }
    return 0;
}

int runWindowBenchmarks(int argc, char **argv, const std::function<void()> &setUp)
{
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    if (setUp)
        setUp();
    return runBenchmarks(argc, argv);
}
