#include "Unitpage11.h"

#include "Finto11Unit.h"
#include "RecordRoutines.h"
#include "SharedRoutines.h"
#include "UnitDM.h"
#include "text/Utf8.h"
#include "ui/HandlerGuard.h"
#include "ui/ModalWindows.h"

TFpage11 *Fpage11 = nullptr;

TFpage11::TFpage11(QWidget *parent) : ListWindow("11", parent)
{
    setupUi(this);
    // Left through 退出 only.
    setWindowFlags(Qt::Dialog | Qt::CustomizeWindowHint | Qt::WindowTitleHint);
    setGrid(DBGrid4, {{"item_180", u("姓名"), 90},
                      {"item_182", u("出生年月"), 70},
                      {"V_181", u("性别"), 50},
                      {"V_124_1", u("研究领域"), 150},
                      {"item_186", u("简要说明"), 400, true}});
    ui::connectGuarded(Button2, this, &TFpage11::Button2Click);
    ui::connectGuarded(Button3, this, &TFpage11::Button3Click);
    ui::connectGuarded(Button1, this, &TFpage11::Button1Click);
    ui::connectGuarded(quit01, this, &TFpage11::quit01Click);
}

RowDialog *TFpage11::rowDialog() const
{
    return Finto11;
}

void TFpage11::enableRowCommands(bool enable)
{
    Button1->setEnabled(enable);
    Button3->setEnabled(enable);
}

void TFpage11::Button1Click()
{
    deleteRow();
    if (list()->isEmpty())
        enableRowCommands(false);
}

void TFpage11::showEvent(QShowEvent *e)
{
    ListWindow::showEvent(e);
    // The dialog is made after the list, so it is joined here.
    connect(Finto11, &TFinto11::leaderAdded, this, &TFpage11::leaderAdded, Qt::UniqueConnection);
    if (list()->isEmpty())
        enableRowCommands(false);
}

void OpenDisciplineLeaders(const QString &unitCode)
{
    openFiltered(DM->Tblexpert, "unitcode=" + SqlLiteral(unitCode));
    ui::showModal(Fpage11);
}
