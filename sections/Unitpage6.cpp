#include "Unitpage6.h"

#include "Finto6Unit.h"
#include "PatentRows.h"
#include "SharedRoutines.h"
#include "Unit1.h"
#include "Unit2.h"
#include "UnitDM.h"
#include "Unitpage2.h"
#include "yyPrintUnit13.h"
#include "ui/FixedSize.h"
#include "ui/HandlerGuard.h"
#include "ui/MessageBox.h"
#include "ui/ModalWindows.h"

#include <QItemSelectionModel>

TFpage6 *Fpage6 = nullptr;

namespace {

QString u(const char *s)
{
    return QString::fromUtf8(s);
}

} // namespace

TFpage6::TFpage6(QWidget *parent) : ui::GuardedDialog(parent)
{
    setupUi(this);
    setModal(true);
    // Minimise and maximise only: the list is left through 退出.
    setWindowFlags(Qt::Dialog | Qt::CustomizeWindowHint | Qt::WindowTitleHint | Qt::WindowMinMaxButtonsHint);
    // Made before the data module: the grid meets its data when shown.
    DBGrid5->setColumns({{"ITEM_4", "ITEM_4", 80},
                         {"ITEM_DQDM", "ITEM_DQDM", 86},
                         {"ITEM_NO", u("序号"), 40},
                         {"PATENT_NO", u("专利号"), 110},
                         {"PATENT_NAM", u("专利名称"), 150},
                         {"PATENT_ST", "PATENT_ST", 80},
                         {"PATENT_TY", "PATENT_TY", 80},
                         {"V_st", u("专利状况"), 64},
                         {"V_ty", u("专利类型"), 90}});
    connect(DBGrid5->selectionModel(), &QItemSelectionModel::currentRowChanged, this,
            [this](const QModelIndex &index) { ui::guarded([&] { followGridRow(index.row()); }); });
    ui::connectGuarded(Button2, this, &TFpage6::Button2Click);
    ui::connectGuarded(btnSave01, this, &TFpage6::btnSave01Click);
    ui::connectGuarded(Button1, this, &TFpage6::Button1Click);
    ui::connectGuarded(Button3, this, &TFpage6::Button3Click);
    ui::connectGuarded(quit01, this, &TFpage6::quit01Click);
}

QString TFpage6::addCaption()
{
    return u("新增－－【专利情况】");
}

QString TFpage6::modifyCaption()
{
    return u("修改－－【专利情况】");
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

void TFpage6::FormShow()
{
    renumber();
    ui::fixWindowSize(this, 800, 600);
}

void TFpage6::FormResize()
{
    if (width() != 800 || height() != 600)
        resize(800, 600);
}

void TFpage6::FormClose()
{
    renumber();
    const PatentCounts counts = CountPatents();
    Fpage2->edt_51_2->setText(QString::number(counts.applied));
    Fpage2->edt_51_3->setText(QString::number(counts.granted));
    MainForm->UpdateNavigationLock();
}

void TFpage6::showRowDialog(const QString &caption)
{
    Finto6->setWindowTitle(caption);
    ui::showModal(Finto6);
}

void TFpage6::Button2Click()
{
    showRowDialog(addCaption());
}

void TFpage6::btnSave01Click()
{
    showRowDialog(DM->tblzlqk->isEmpty() ? addCaption() : modifyCaption());
}

void TFpage6::Button1Click()
{
    db::Table *patents = DM->tblzlqk;
    if (patents->isEmpty())
        return;
    const int remembered = patents->fieldByName("item_no")->asInteger();
    if (ui::messageBox(u("是否删除该项目？!"), u("提示信息"), ui::MB_YESNO | ui::MB_ICONINFORMATION) != ui::IDYES)
        return;
    patents->deleteRecord();
    renumber();
    // The row that moved into the deleted one's place; after the last row
    // none, and the list stays on its first row.
    patents->locate("item_no", QString::number(remembered), true);
}

void TFpage6::Button3Click()
{
    if (MainForm->ComboBox1->currentIndex() == 0)
        ui::showModal(HelpForm);
    else
        ui::showModal(HelpForm_rj);
}

void TFpage6::quit01Click()
{
    closeNow();
}

void TFpage6::followGridRow(int row)
{
    db::Table *patents = DM->tblzlqk;
    if (row < 0 || !patents->active() || patents->state() != db::Dataset::Browse || row == patents->currentRow()
        || row >= patents->rowCount())
        return;
    patents->moveBy(row - patents->currentRow());
}

void TFpage6::showEvent(QShowEvent *e)
{
    ui::GuardedDialog::showEvent(e);
    ui::guarded([this] { FormShow(); });
}

void TFpage6::resizeEvent(QResizeEvent *e)
{
    QDialog::resizeEvent(e);
    FormResize();
}

void TFpage6::done(int result)
{
    QDialog::done(result);
    ui::guarded([this] { FormClose(); });
}
