// The cooperating-units list of one record with 100 units, in a child table
// of 100,000 rows and, for reference, in a table of those 100 rows alone:
// opening the list window, renumbering, and a store that moves a unit (which
// lists the rows again and renumbers them). Beside them, for reference, the
// main window's filter of the same table by the record key (the cost of
// finding the rows) and the renumbering through the update statements.
#include "BenchData.h"
#include "Finto5Unit.h"
#include "ListSection.h"
#include "RecordRoutines.h"
#include "Startup.h"
#include "Unit1.h"
#include "UnitDM.h"
#include "Unitpage5.h"
#include "ui/ModalWindows.h"

#include <QCoreApplication>
#include <QTemporaryDir>
#include <benchmark/benchmark.h>

#include <memory>

namespace {

constexpr int kUnitsPerRecord = 100;

struct App
{
    QTemporaryDir tmp;
    int childRows;
    explicit App(int rows) : childRows(rows)
    {
        fillBenchRecords(tmp.path(), rows / kUnitsPerRecord, {"cgwcdw"}, kUnitsPerRecord, 1, "1");
        startBenchApplication(tmp.path(), "corvane-bench-lists"); // the splash and first-run registration answered
        MainForm->show();
        // The list window is shown and painted, then put away.
        ui::setModalHandler([](QDialog *d) {
            d->show();
            QCoreApplication::processEvents();
            d->hide();
            return 0;
        });
    }
    ~App()
    {
        ui::setModalHandler({});
        destroyApplication();
    }
};

std::unique_ptr<App> g_app;

// The application over a cgwcdw of `rows` rows, its first record holding 100 of them.
void useApp(int rows)
{
    if (g_app && g_app->childRows == rows)
        return;
    if (!g_app)
        atBenchExit([] { g_app.reset(); }); // before the application object goes
    g_app.reset();
    g_app = std::make_unique<App>(rows);
    DM->Qrykjcg->first();
}

// The references, kept per table size.
QString keyFilterRef(const benchmark::State &state)
{
    return QString("key_filter_%1").arg(state.range(0));
}

QString statementsRef(const benchmark::State &state)
{
    return QString("statements_%1").arg(state.range(0));
}

void BM_OpenList(benchmark::State &state)
{
    useApp(int(state.range(0)));
    besideReference(state, keyFilterRef(state), timedLoop(state, [] { Fpage5->openOnCurrentRecord(); }));
    state.counters["units"] = DM->QryCgwcdw->recordCount();
}

void BM_Renumber(benchmark::State &state)
{
    useApp(int(state.range(0)));
    const ListSectionDef &def = listSection("05");
    Fpage5->openOnCurrentRecord();
    besideReference(state, statementsRef(state),
                    timedLoop(state, [&] { RenumberRows(def.rows(), def.sequenceField); }));
    state.counters["units"] = DM->QryCgwcdw->recordCount();
}

void BM_OpenAndRenumber(benchmark::State &state)
{
    useApp(int(state.range(0)));
    const ListSectionDef &def = listSection("05");
    besideReference(state, keyFilterRef(state), timedLoop(state, [&] {
        Fpage5->openOnCurrentRecord();
        RenumberRows(def.rows(), def.sequenceField);
    }));
    state.counters["units"] = DM->QryCgwcdw->recordCount();
}

// Reference: the same renumbering through the list's update statements, one
// apply per row, each a search of the table and a new reading of the list.
void BM_RenumberThroughStatements(benchmark::State &state)
{
    useApp(int(state.range(0)));
    const ListSectionDef &def = listSection("05");
    Fpage5->openOnCurrentRecord();
    db::Query *rows = def.rows();
    rows->setCachedUpdates(true);
    keepReference(state, statementsRef(state), timedLoop(state, [&] {
        int place = 0;
        for (rows->first(); !rows->eof(); rows->next()) {
            rows->edit();
            rows->fieldByName(def.sequenceField)->setAsInteger(++place);
            rows->post();
            rows->applyUpdates();
        }
    }));
    state.counters["units"] = rows->recordCount();
    rows->close();
    rows->setCachedUpdates(false);
}

// The last unit moved to the top: stored, listed again, all renumbered.
void BM_StoreMovedUnit(benchmark::State &state)
{
    useApp(int(state.range(0)));
    Fpage5->openOnCurrentRecord();
    besideReference(state, keyFilterRef(state), timedLoop(state, [] {
        DM->QryCgwcdw->last();
        Finto5->setWindowTitle(listSection("05").modifyCaption());
        Finto5->FormShow();
        Finto5->edt_176->setText("0");
        Finto5->store();
    }));
    state.counters["units"] = DM->QryCgwcdw->recordCount();
}

// Reference: the main window's filter of a child table by the record key.
void BM_KeyFilter(benchmark::State &state)
{
    useApp(int(state.range(0)));
    const QString key = DM->Qrykjcg->fieldByName("ITEM_4")->asString();
    keepReference(state, keyFilterRef(state),
                  timedLoop(state, [&] { openFiltered(DM->TblCgwcdw, keyFilter(key, kLocalRegion)); }));
    state.counters["units"] = DM->TblCgwcdw->recordCount();
}

} // namespace

// By table size, so each data folder is built once; each reference before
// the figures set beside it.
BENCHMARK(BM_KeyFilter)->Arg(100)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_RenumberThroughStatements)->Arg(100)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_OpenList)->Arg(100)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_Renumber)->Arg(100)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_OpenAndRenumber)->Arg(100)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_StoreMovedUnit)->Arg(100)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_KeyFilter)->Arg(100000)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_RenumberThroughStatements)->Arg(100000)->Iterations(2)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_OpenList)->Arg(100000)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_Renumber)->Arg(100000)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_OpenAndRenumber)->Arg(100000)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_StoreMovedUnit)->Arg(100000)->Unit(benchmark::kMillisecond);

int main(int argc, char **argv)
{
    return runWindowBenchmarks(argc, argv);
}
