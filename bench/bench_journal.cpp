// Operations over several tables with the rollback journal, each beside the
// same operation without it, in one run: deleting a record with 300 rows in
// each child table, moving such a record to another year, saving section 02
// of such a record as a software copyright (its 300 patents go), and
// storing 1,000 imported records with ten persons each. The second of each
// pair reports its time as a multiple of the first's ("x_without_journal"),
// and each reports the journal's syncs per operation ("journal_syncs").
#include "BenchData.h"
#include "DataFolder.h"
#include "ImportStore.h"
#include "SharedRoutines.h"
#include "Startup.h"
#include "Unit1.h"
#include "UnitDM.h"
#include "UnitNew.h"
#include "Unitpage2.h"
#include "db/file/DbfFile.h"
#include "db/journal/Journal.h"
#include "db/dataset/Query.h"
#include "ui/MessageBox.h"
#include "ui/ModalWindows.h"

#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QTemporaryDir>
#include <benchmark/benchmark.h>
#include <map>

namespace {

constexpr int kLargeRecords = 24;  // with 300 rows in each child table, all of 2005
constexpr int kOtherRecords = 2000; // beside the 1,000 staged ones
constexpr int kStaged = 1000;

QString largeRecords()
{
    static QTemporaryDir dir;
    static bool made = false;
    if (!made) {
        fillBenchRecords(dir.path(), kLargeRecords, kBenchChildTables, 300, 1, "1");
        makeBenchFolder(dir.path(), 0);
        db::DbfFile::releaseUnused();
        made = true;
    }
    return dir.path();
}

QString stagedPackage()
{
    static QTemporaryDir dir;
    static bool made = false;
    if (!made) {
        fillBenchRecords(dir.path(), kOtherRecords, kBenchChildTables, 10, 5);
        fillBenchTable(dir.path(), "KJCGtemp", kStaged, 0, 5);
        fillBenchTable(dir.path(), "CGWCRtemp", kStaged * 10, kStaged, 5);
        makeBenchFolder(dir.path(), 0);
        db::DbfFile::releaseUnused();
        made = true;
    }
    return dir.path();
}

// The program on a copy of the folder, every question answered Yes.
struct Program
{
    QTemporaryDir dir;
    explicit Program(const QString &from)
    {
        copyBenchFolder(from, dir.path());
        startBenchApplication(dir.path(), "corvane-bench-journal");
        ui::setMessageBoxHandler([](const ui::MessageRequest &) { return ui::IDYES; });
        MainForm->show();
    }
    ~Program()
    {
        destroyApplication();
        db::DbfFile::releaseUnused();
    }
};

// Seconds per operation of the runs without the journal, by benchmark.
std::map<std::string, double> &withoutJournal()
{
    static std::map<std::string, double> times;
    return times;
}

// Times each iteration's operation by hand (set-up between them is not
// counted) and sets the pair's ratio.
template <typename Prepare, typename Operation>
void measure(benchmark::State &state, const char *name, Prepare prepare, Operation operation)
{
    const bool journal = state.range(0) == 1;
    db::Transaction::setEnabled(journal);
    double total = 0;
    quint64 syncs = 0;
    int runs = 0;
    for (auto _ : state) {
        state.PauseTiming();
        prepare(runs);
        QElapsedTimer timer;
        const quint64 syncsBefore = db::Transaction::journalSyncs();
        timer.start();
        state.ResumeTiming();
        operation(runs);
        state.PauseTiming();
        total += timer.nsecsElapsed() / 1e9;
        syncs += db::Transaction::journalSyncs() - syncsBefore;
        ++runs;
        state.ResumeTiming();
    }
    db::Transaction::setEnabled(true);
    const double each = total / std::max(1, runs);
    state.counters["ms_each"] = each * 1000;
    state.counters["journal_syncs"] = double(syncs) / std::max(1, runs);
    if (!journal)
        withoutJournal()[name] = each;
    else if (withoutJournal().count(name))
        state.counters["x_without_journal"] = each / withoutJournal()[name];
}

void BM_DeleteRecordOf300Rows(benchmark::State &state)
{
    Program program(largeRecords());
    measure(
        state, "delete", [](int run) { DM->Qrykjcg->locate("ITEM_4", benchKey(run, 1)); },
        [](int) { MainForm->Button4Click(); });
}

void BM_ChangeYearOf300Rows(benchmark::State &state)
{
    Program program(largeRecords());
    ui::setModalHandler([](QDialog *dialog) {
        if (dialog == FormNew) {
            FormNew->cbYear->setText("2004");
            FormNew->Button1->click();
        }
        return 0;
    });
    measure(
        state, "year",
        [](int) {
            MainForm->cbYear->setCurrentText("2005");
            MainForm->RefreshRecordList();
            DM->Qrykjcg->first();
        },
        [](int) { MainForm->Button3Click(); });
}

void choose(QComboBox *combo, const char *code)
{
    combo->setCurrentIndex(combo->findText(QString(code) + "  ", Qt::MatchStartsWith));
}

void BM_SaveSection02Removing300Patents(benchmark::State &state)
{
    Program program(largeRecords());
    // Opened on the record and switched to a software copyright: the save
    // alone is measured.
    ui::setModalHandler([](QDialog *dialog) {
        if (dialog == Fpage2) {
            choose(Fpage2->cb_51, "3");
            choose(Fpage2->CB_32, "1");
            ClearChecks(Fpage2->pl_161);
            Fpage2->findChild<QAbstractButton *>("cb_161_1")->setChecked(true);
        }
        return 0;
    });
    measure(
        state, "section02",
        [](int run) {
            DM->Qrykjcg->locate("ITEM_4", benchKey(run, 1));
            MainForm->btn_page02->click();
        },
        [](int) { Fpage2->save(); });
}

void BM_Store1000ImportedRecords(benchmark::State &state)
{
    std::unique_ptr<Program> program;
    measure(
        state, "store", [&](int) { program.reset(), program = std::make_unique<Program>(stagedPackage()); },
        [](int) { StoreStagedRecords(false); });
    program.reset();
}

} // namespace

BENCHMARK(BM_DeleteRecordOf300Rows)->Arg(0)->Arg(1)->Iterations(kLargeRecords / 2)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_ChangeYearOf300Rows)->Arg(0)->Arg(1)->Iterations(kLargeRecords / 2)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_SaveSection02Removing300Patents)->Arg(0)->Arg(1)->Iterations(kLargeRecords / 2)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_Store1000ImportedRecords)->Arg(0)->Arg(1)->Iterations(3)->Unit(benchmark::kMillisecond);

int main(int argc, char **argv)
{
    return runWindowBenchmarks(argc, argv);
}
