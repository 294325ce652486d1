#include "Startup.h"

#include "DataFolder.h"
#include "Finto5Unit.h"
#include "Unit1.h"
#include "Unit2.h"
#include "UnitPage1.h"
#include "Unitpage5.h"
#include "Unitpage9.h"
#include "Unitpage4a.h"
#include "Unitpage4a1.h"
#include "Unitpage4a3.h"
#include "Unitpage4a5.h"
#include "UnitDM.h"
#include "UnitNew.h"
#include "Unittree.h"
#include "Unitwel.h"
#include "yyPrintUnit13.h"
#include "db/DbfFile.h"
#include "ui/Fonts.h"
#include "ui/HandlerGuard.h"

namespace {

// The main window's section buttons open the forms of the sections.
void wireSectionOpeners()
{
    ui::connectGuarded(MainForm->btn_page01, MainForm, [] { btn_page01Click(); });
    ui::connectGuarded(MainForm->btn_page05, MainForm, [] { btn_page05Click(); });
    ui::connectGuarded(MainForm->btn_page09, MainForm, [] { btn_page09Click(); });
    ui::connectGuarded(MainForm->Button2, MainForm, [] { OpenUnitProfile(); });
    MainForm->FirstRunRegistration = [] { OpenUnitProfile(); };
}

} // namespace

void createApplication(const QString &dataDir)
{
    ui::mapSongTypeface();
    MainForm = new TMainForm;
    formwel = new Tformwel;
    DM = new TDM;
    ui::guarded([&] {
        prepareDataFolder(dataDir);
        DM->DataModuleCreate(dataDir);
    });
    FormTree = new TFormTree;
    FormNew = new TFormNew;
    Finto5 = new TFinto5;
    Fpage1 = new TFpage1;
    Fpage5 = new TFpage5;
    Fpage9 = new TFpage9;
    HelpForm = new THelpForm;
    HelpForm_rj = new THelpForm_rj;
    Fpage4a = new TFpage4a;
    formadvantage = new Tformadvantage;
    formunitintrod = new Tformunitintrod;
    Formstudy = new TFormstudy;
    wireSectionOpeners();
}

void destroyApplication()
{
    delete Formstudy;
    Formstudy = nullptr;
    delete formunitintrod;
    formunitintrod = nullptr;
    delete formadvantage;
    formadvantage = nullptr;
    delete Fpage4a;
    Fpage4a = nullptr;
    delete HelpForm_rj;
    HelpForm_rj = nullptr;
    delete HelpForm;
    HelpForm = nullptr;
    delete Fpage9;
    Fpage9 = nullptr;
    delete Fpage5;
    Fpage5 = nullptr;
    delete Fpage1;
    Fpage1 = nullptr;
    delete Finto5;
    Finto5 = nullptr;
    delete FormNew;
    FormNew = nullptr;
    delete FormTree;
    FormTree = nullptr;
    delete DM;
    DM = nullptr;
    delete formwel;
    formwel = nullptr;
    delete MainForm;
    MainForm = nullptr;
    db::DbfFile::releaseUnused();
}
