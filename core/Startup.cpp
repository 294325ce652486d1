#include "Startup.h"

#include "DataFolder.h"
#include "Unit1.h"
#include "Unit2.h"
#include "UnitDM.h"
#include "Unitwel.h"
#include "yyPrintUnit13.h"
#include "db/DbfFile.h"
#include "ui/Fonts.h"
#include "ui/HandlerGuard.h"

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
    HelpForm = new THelpForm;
    HelpForm_rj = new THelpForm_rj;
}

void destroyApplication()
{
    delete HelpForm_rj;
    HelpForm_rj = nullptr;
    delete HelpForm;
    HelpForm = nullptr;
    delete DM;
    DM = nullptr;
    delete formwel;
    formwel = nullptr;
    delete MainForm;
    MainForm = nullptr;
    db::DbfFile::releaseUnused();
}
