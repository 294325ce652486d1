#include "Finto6Unit.h"

#include "PatentRows.h"
#include "RecordRoutines.h"
#include "SharedRoutines.h"
#include "UnitDM.h"
#include "text/Utf8.h"
#include "ui/HandlerGuard.h"

TFinto6 *Finto6 = nullptr;

TFinto6::TFinto6(QWidget *parent) : RowDialog("06", parent)
{
    setupUi(this);
    // The edits hold what their columns hold, in GBK bytes.
    addBinding(textBinding("PATENT_NO", edtzl_no, "zlqk"));
    addBinding(textBinding("PATENT_NAM", edtzl_name, "zlqk"));
    addBinding(dictCodeBinding("PATENT_ST", cb_st, 2, "patent_st", 1));
    addBinding(dictCodeBinding("PATENT_TY", cb_ty, 2, "patent_ty", 1));
    wireButtons(Button1, Button2);
    ui::connectGuarded(cb_st, &QComboBox::currentIndexChanged, this, [this] { cb_stChange(); });
    ui::connectGuarded(cb_ty, &QComboBox::currentIndexChanged, this, [this] { cb_tyChange(); });
}

void TFinto6::cb_stChange()
{
    Edit1->setText(QStringLiteral("1"));
}

void TFinto6::CheckPatentInput()
{
    if (cb_st->currentText().isEmpty())
        Refuse(u("\"专利状况\"不能为空！"));
    if (cb_ty->currentText().isEmpty())
        Refuse(u("\"专利类型\"不能为空！"));
    if (edtzl_no->text().isEmpty())
        Refuse(u("\"专利号\"不能为空！"));
    if (edtzl_name->text().isEmpty())
        Refuse(u("\"专利名称\"不能为空！"));
}

bool TFinto6::nothingToLeave() const
{
    return allEmpty({edtzl_no, edtzl_name}, false);
}

void TFinto6::emptyEntries()
{
    FillComboFromDict(DM->Tblzdxx, "patent_st", cb_st, 1);
    FillComboFromDict(DM->Tblzdxx, "patent_ty", cb_ty, 1);
    edtzl_no->clear();
    edtzl_name->clear();
    cb_st->setCurrentIndex(0);
    cb_ty->setCurrentIndex(0);
    Edit1->clear();
}

void TFinto6::emptyAfterNewStore()
{
    // Ready for the next patent; the combos keep their choice.
    edtzl_no->clear();
    edtzl_name->clear();
}

void TFinto6::loadOther(db::Dataset *)
{
    Edit1->clear();
}

void TFinto6::saveOther(db::Dataset *patent)
{
    db::Dataset *record = DM->Qrykjcg;
    patent->fieldByName("item_4")->setAsString(trimmedField(record, "ITEM_4"));
    patent->fieldByName("item_dqdm")->setAsString(trimmedField(record, "ITEM_DQDM"));
}

bool TFinto6::entriesUnchanged(db::Dataset *patent) const
{
    // The edits as typed, the combos by the marker. In add mode the entries
    // are compared with whatever row is current.
    return edtzl_no->text() == patent->fieldByName("PATENT_NO")->asString()
           && edtzl_name->text() == patent->fieldByName("PATENT_NAM")->asString()
           && Edit1->text() != QLatin1String("1");
}

void TFinto6::rowStored(db::Dataset *)
{
    if (isNewMode())
        RenumberPatents();
}

void TFinto6::done(int result)
{
    QDialog::done(result);
    Edit1->clear();
}
