// The query builder over 10,000 records of one category and year: a query of
// three conditions beside the plain list statement, in the same run.
#include "BenchData.h"
#include "QueryBuilder.h"
#include "Unit1.h"
#include "UnitDM.h"

#include <benchmark/benchmark.h>

namespace {

constexpr int kRecords = 10000;

MainWindowOverOneYear &app()
{
    return benchApp<MainWindowOverOneYear>(kRecords, "corvane-bench-query");
}

// Text contains, a number and a negated contains, as the buttons join them.
QString threeConditions()
{
    return QueryComparison("item_3", kContainsOperator, QString::fromUtf8("果1")) + "and "
           + QueryComparison("item_45", ">", "1000") + "and not "
           + QueryComparison("item_9", kContainsOperator, "7");
}

void BM_PlainListStatement(benchmark::State &state)
{
    app();
    keepReference(state, "plain_list", timedLoop(state, [] { MainForm->RefreshRecordList(); }));
    state.counters["rows"] = DM->Qrykjcg->recordCount();
}

void BM_QueryStatement(benchmark::State &state)
{
    app();
    const QStringList statement = QueryStatement(threeConditions(), 0, MainForm->cbYear->currentText());
    besideReference(state, "plain_list", timedLoop(state, [&] {
        DM->Qrykjcg->close();
        DM->Qrykjcg->setSql(statement);
        DM->Qrykjcg->open();
    }));
    state.counters["rows"] = DM->Qrykjcg->recordCount();
}

// The whole of 查询 (the result numbered and stored) beside the whole of 恢复.
void BM_QueryRun(benchmark::State &state)
{
    app();
    MainForm->MMSysV->setPlainText(threeConditions());
    besideReference(state, "plain_list", timedLoop(state, [] { MainForm->SpeedButton16Click(); }));
    state.counters["rows"] = DM->Qrykjcg->recordCount();
}

void BM_Restore(benchmark::State &state)
{
    app();
    besideReference(state, "plain_list", timedLoop(state, [] {
        MainForm->MMSysV->setPlainText(threeConditions());
        MainForm->SpeedButton26Click();
    }));
    state.counters["rows"] = DM->Qrykjcg->recordCount();
}

} // namespace

BENCHMARK(BM_PlainListStatement)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_QueryStatement)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_QueryRun)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_Restore)->Unit(benchmark::kMillisecond);

int main(int argc, char **argv)
{
    return runWindowBenchmarks(argc, argv);
}
