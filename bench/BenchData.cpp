#include "BenchData.h"

#include "DataFolder.h"
#include "Startup.h"
#include "TableSchemas.h"
#include "Unit1.h"
#include "db/DbfFile.h"
#include "db/Table.h"
#include "ui/MessageBox.h"
#include "ui/ModalWindows.h"

#include <QApplication>
#include <benchmark/benchmark.h>

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

void fillBenchTable(const QString &dir, const QString &name, int rows, int keys, int years, const QString &category)
{
    const TableSchema *s = tableSchema(name);
    if (DbfFile::findFile(dir, s->fileName).isEmpty())
        DbfFile::create(dir, s->fileName, s->columns);
    auto f = DbfFile::open(dir, s->fileName);
    DbfFile::BulkAppend bulk(*f);
    for (int r = 0; r < rows; ++r) {
        QByteArray raw = f->blankRecord();
        const int k = keys ? r % keys : r;
        for (int c = 0; c < s->columns.size(); ++c) {
            const QString col = s->columns[c].name;
            Value v = sampleValue(s->columns[c], r);
            if (col == "ITEM_4")
                v = Value::fromString(benchKey(k, years));
            else if (col == "ITEM_DQDM")
                v = Value::fromString(".");
            else if (col == "ITEM_CGLB")
                v = Value::fromString(category.isEmpty() ? QString::number(1 + r % 3) : category);
            f->encode(raw, c, v);
        }
        f->appendRecord(raw);
    }
    bulk.finish();
}

const QStringList kBenchChildTables = {"cgwcr", "cgwcdw", "jdwyhmd", "zlqk"};

void fillBenchRecords(const QString &dir, int records, const QStringList &children, int perRecord, int years,
                      const QString &category)
{
    fillBenchTable(dir, "kjcg", records, 0, years, category);
    for (const QString &child : children)
        fillBenchTable(dir, child, perRecord * records, records, years);
}

void makeBenchFolder(const QString &dir, int records, int recordsPerYear)
{
    if (records > 0)
        fillBenchRecords(dir, records, kBenchChildTables, 10, std::max(1, records / recordsPerYear));
    prepareDataFolder(dir);
    // The own unit is registered, so that start-up goes straight to the list.
    auto unit = DbfFile::open(dir, "unit.dbf");
    QByteArray raw = unit->blankRecord();
    unit->encode(raw, unit->fieldIndex("UNITCODE"), Value::fromString("9990001000"));
    unit->encode(raw, unit->fieldIndex("ITEM_9"), Value::fromString(QString::fromUtf8("测试研究院")));
    unit->appendRecord(raw);
}

qint64 readEveryField(Dataset &table)
{
    qint64 bytes = 0;
    for (table.first(); !table.eof(); table.next())
        for (int c = 0; c < table.fieldCount(); ++c)
            bytes += table.field(c)->asString().size();
    return bytes;
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
