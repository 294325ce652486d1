#include "Unitpage6.h"

#include "Finto6Unit.h"
#include "PatentRows.h"
#include "UnitDM.h"
#include "text/Utf8.h"
#include "ui/HandlerGuard.h"

TFpage6 *Fpage6 = nullptr;

TFpage6::TFpage6(QWidget *parent) : ListWindow("06", parent)
{
    setupUi(this);
    // Minimise and maximise only: the list is left through 退出.
    setWindowFlags(Qt::Dialog | Qt::CustomizeWindowHint | Qt::WindowTitleHint | Qt::WindowMinMaxButtonsHint);
    setGrid(DBGrid5, {{"ITEM_4", "ITEM_4", 80},
                      {"ITEM_DQDM", "ITEM_DQDM", 86},
                      {"ITEM_NO", u("序号"), 40},
                      {"PATENT_NO", u("专利号"), 110},
                      {"PATENT_NAM", u("专利名称"), 150, true},
                      {"PATENT_ST", "PATENT_ST", 80},
                      {"PATENT_TY", "PATENT_TY", 80},
                      {"V_st", u("专利状况"), 64},
                      {"V_ty", u("专利类型"), 90}});
    wireButtons(Button2, btnSave01, Button1, Button3, quit01);
}

RowDialog *TFpage6::rowDialog() const
{
    return Finto6;
}

void TFpage6::renumber()
{
    DBGrid5->setDataSource(DM->DS_null);
    try {
        RenumberPatents();
    } catch (...) {
        DBGrid5->setDataSource(DM->DSTzlqk);
        throw;
    }
    DBGrid5->setDataSource(DM->DSTzlqk);
}

void TFpage6::rowDeleted(int place)
{
    renumber();
    // The row that moved into the deleted one's place; after the last row
    // none, and the list stays on its first row.
    list()->locate("item_no", QString::number(place), true);
}

void TFpage6::countPatents()
{
    renumber();
    const PatentCounts counts = CountPatents();
    emit patentsCounted(counts.applied, counts.granted);
}

void TFpage6::showEvent(QShowEvent *e)
{
    ListWindow::showEvent(e);
    ui::guarded([this] { renumber(); });
}

void TFpage6::done(int result)
{
    ListWindow::done(result);
    ui::guarded([this] { countPatents(); });
}
