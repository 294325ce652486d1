#include "Startup.h"

#include "CgwcrManage.h"
#include "CodeManage.h"
#include "DataFolder.h"
#include "dw_Unit.h"
#include "Finto5Unit.h"
#include "Finto6Unit.h"
#include "PrintUnit.h"
#include "Finto7Unit.h"
#include "Finto8Unit.h"
#include "Finto11Unit.h"
#include "Unit1.h"
#include "Unit2.h"
#include "UnitPage1.h"
#include "Unitpage2.h"
#include "Unitpage3.h"
#include "Unitpage4.h"
#include "Unitpage5.h"
#include "Unitpage6.h"
#include "Unitpage7.h"
#include "Unitpage8.h"
#include "Unitpage9.h"
#include "Unitpage10.h"
#include "Unitpage11.h"
#include "Unitpage12.h"
#include "Unitpage4a.h"
#include "Unitpage4a1.h"
#include "Unitpage4a3.h"
#include "Unitpage4a5.h"
#include "UnitDM.h"
#include "UnitNew.h"
#include "Unitout.h"
#include "Unittree.h"
#include "Unitin.h"
#include "Unitwel.h"
#include "yyPrintUnit13.h"
#include "db/file/DbfFile.h"
#include "db/journal/Journal.h"
#include "ui/Fonts.h"
#include "ui/HandlerGuard.h"
#include "ui/Locale.h"

#include <functional>
#include <vector>

namespace {

// The main window's section buttons open the forms of the sections.
void wireSectionOpeners()
{
    ui::connectGuarded(MainForm->btn_page01, MainForm, [] { btn_page01Click(); });
    ui::connectGuarded(MainForm->btn_page02, MainForm, [] { btn_page02Click(); });
    ui::connectGuarded(MainForm->btn_page03, MainForm, [] { btn_page03Click(); });
    ui::connectGuarded(MainForm->btn_page04, MainForm, [] { btn_page04Click(); });
    ui::connectGuarded(MainForm->btn_page05, MainForm, [] { btn_page05Click(); });
    ui::connectGuarded(MainForm->btn_page07, MainForm, [] { btn_page07Click(); });
    ui::connectGuarded(MainForm->btn_page08, MainForm, [] { btn_page08Click(); });
    ui::connectGuarded(MainForm->btn_page09, MainForm, [] { btn_page09Click(); });
    ui::connectGuarded(MainForm->Button2, MainForm, [] { OpenUnitProfile(); });
    MainForm->FirstRunRegistration = [] { OpenUnitProfile(); };
}

// Every window is made once, in the program's order, and destroyed in the
// reverse order, its global pointer cleared.
std::vector<std::function<void()>> &destroyers()
{
    static std::vector<std::function<void()>> list;
    return list;
}

template <typename T>
void make(T *&global)
{
    global = new T;
    destroyers().push_back([&global] {
        delete global;
        global = nullptr;
    });
}

} // namespace

void createApplication(const QString &dataDir)
{
    ui::useChineseLocale();
    ui::mapSongTypeface();
    setInstanceDataFolder(dataDir);
    make(MainForm);
    make(formwel);
    make(Fpage6);
    make(DM);
    ui::guarded([&] {
        prepareDataFolder(dataDir);
        DM->DataModuleCreate(dataDir);
    });
    make(FormTree);
    make(Formout);
    make(FormNew);
    make(dw_Form);
    make(Finto8);
    make(Finto7);
    make(Finto6);
    make(Finto5);
    make(Formin);
    make(PrintForm);
    make(Fpage1);
    make(Fpage2);
    make(Fpage3);
    make(Fpage4);
    make(Fpage5);
    make(Fpage7);
    make(Fpage8);
    make(Fpage9);
    make(HelpForm);
    make(FcodeManage);
    make(FormWcr);
    make(HelpForm_rj);
    make(Fpage4a);
    make(Fpage10);
    make(Fpage11);
    make(Fpage12);
    make(Finto11);
    make(formadvantage);
    make(formunitintrod);
    make(Formstudy);
    wireSectionOpeners();
    ui::connectGuarded(MainForm->BitBtn4, MainForm, [] { BitBtn4Click(); });
    ui::connectGuarded(MainForm->BitBtn2, MainForm, [] { BitBtn2Click(); });
    ui::connectGuarded(MainForm->BitBtn3, MainForm, [] { BitBtn3Click(); });
    ui::connectGuarded(MainForm->BitBtn1, MainForm, [] { BitBtn1Click(); });
}

void destroyApplication()
{
    auto &list = destroyers();
    while (!list.empty()) {
        const auto destroy = std::move(list.back());
        list.pop_back();
        destroy();
    }
    // The operations done are made durable and the journal goes.
    ui::guarded([] { db::Transaction::checkpoint(); });
    db::DbfFile::releaseUnused();
}
