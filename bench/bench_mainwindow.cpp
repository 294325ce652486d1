// The main window over a list of 10,000 records of one category and year,
// with 100,000 completing persons.
#include "BenchData.h"
#include "DataFolder.h"
#include "Startup.h"
#include "Unit1.h"
#include "UnitDM.h"
#include "ui/MessageBox.h"
#include "ui/ModalWindows.h"

#include <QApplication>
#include <QTemporaryDir>
#include <benchmark/benchmark.h>
#include <memory>

namespace {

constexpr int kRecords = 10000;

struct App
{
    QTemporaryDir tmp;
    App()
    {
        fillBenchTable(tmp.path(), "kjcg", kRecords, 0, 1, "1");
        fillBenchTable(tmp.path(), "cgwcr", 10 * kRecords, kRecords, 1);
        prepareDataFolder(tmp.path());
        setInstanceLockName("corvane-bench");
        ui::setModalHandler([](QDialog *) { return 0; });
        ui::setMessageBoxHandler([](const ui::MessageRequest &) { return ui::IDOK; });
        createApplication(tmp.path());
        MainForm->show();
    }
    ~App() { destroyApplication(); }
};

// Made on first use and destroyed before the application object is: its
// windows cannot outlive QApplication.
std::unique_ptr<App> g_app;

App &app()
{
    if (!g_app)
        g_app = std::make_unique<App>();
    return *g_app;
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
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication qapp(argc, argv);
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    g_app.reset();
    return 0;
}
