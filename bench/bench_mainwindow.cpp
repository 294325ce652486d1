// The main window over a list of 10,000 records of one category and year,
// with 100,000 completing persons. Beside it, in the same run: a full scan
// of the listed records (for listing and renumbering them) and the filter
// of the persons by one record's key (for a row click, which shows them).
#include "BenchData.h"
#include "RecordRoutines.h"
#include "Unit1.h"
#include "UnitDM.h"
#include "db/dataset/Table.h"

#include <benchmark/benchmark.h>

namespace {

constexpr int kRecords = 10000;

MainWindowOverOneYear &app()
{
    return benchApp<MainWindowOverOneYear>(kRecords, "corvane-bench");
}

void BM_ReferenceScanRecords(benchmark::State &state)
{
    app();
    keepReference(state, "scan", timedLoop(state, [] {
        db::Table t;
        t.setDatabaseName(DataDir);
        t.setTableName("kjcg");
        t.open();
        benchmark::DoNotOptimize(readEveryField(t));
    }));
}

void BM_ReferencePersonFilter(benchmark::State &state)
{
    app();
    const QString key = DM->Qrykjcg->fieldByName("ITEM_4")->asString();
    keepReference(state, "person_filter",
                  timedLoop(state, [&] { openFiltered(DM->TblCgwcr, keyFilter(key, kLocalRegion)); }));
}

void BM_RefreshRecordList(benchmark::State &state)
{
    app();
    besideReference(state, "scan", timedLoop(state, [] { MainForm->RefreshRecordList(); }));
    state.counters["rows"] = DM->Qrykjcg->recordCount();
}

void BM_RenumberList(benchmark::State &state)
{
    app();
    besideReference(state, "scan", timedLoop(state, [] { MainForm->RenumberList(); }));
    state.SetItemsProcessed(state.iterations() * DM->Qrykjcg->recordCount());
}

void BM_RowClick(benchmark::State &state)
{
    app();
    int row = 0;
    besideReference(state, "person_filter", timedLoop(state, [&] {
        DM->Qrykjcg->moveBy((row = (row + 997) % kRecords) - DM->Qrykjcg->currentRow());
        MainForm->DBGrid1CellClick();
    }));
}

} // namespace

BENCHMARK(BM_ReferenceScanRecords)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_ReferencePersonFilter)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_RefreshRecordList)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_RenumberList)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_RowClick)->Unit(benchmark::kMillisecond);

int main(int argc, char **argv)
{
    return runWindowBenchmarks(argc, argv);
}
