// The main window over a list of 10,000 records of one category and year,
// with 100,000 completing persons.
#include "BenchData.h"
#include "Unit1.h"
#include "UnitDM.h"

#include <benchmark/benchmark.h>

namespace {

constexpr int kRecords = 10000;

MainWindowOverOneYear &app()
{
    return benchApp<MainWindowOverOneYear>(kRecords, "corvane-bench");
}

void BM_RefreshRecordList(benchmark::State &state)
{
    app();
    for (auto _ : state)
        MainForm->RefreshRecordList();
    state.counters["rows"] = DM->Qrykjcg->recordCount();
}

void BM_RenumberList(benchmark::State &state)
{
    app();
    for (auto _ : state)
        MainForm->RenumberList();
    state.SetItemsProcessed(state.iterations() * DM->Qrykjcg->recordCount());
}

void BM_RowClick(benchmark::State &state)
{
    app();
    int row = 0;
    for (auto _ : state) {
        DM->Qrykjcg->moveBy((row = (row + 997) % kRecords) - DM->Qrykjcg->currentRow());
        MainForm->DBGrid1CellClick();
    }
}

} // namespace

BENCHMARK(BM_RefreshRecordList)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_RenumberList)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_RowClick)->Unit(benchmark::kMillisecond);

int main(int argc, char **argv)
{
    return runWindowBenchmarks(argc, argv);
}
