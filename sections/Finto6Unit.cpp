#include "Finto6Unit.h"

#include "PatentRows.h"
#include "RecordRoutines.h"
#include "SharedRoutines.h"
#include "UnitDM.h"
#include "Unitpage6.h"
#include "ui/HandlerGuard.h"
#include "ui/MessageBox.h"
#include "ui/SilentAbort.h"

TFinto6 *Finto6 = nullptr;

namespace {

QString u(const char *s)
{
    return QString::fromUtf8(s);
}

} // namespace

TFinto6::TFinto6(QWidget *parent) : ui::GuardedDialog(parent)
{
    setupUi(this);
    setModal(true);
    // A tool window without the title bar's buttons.
    setWindowFlags(Qt::Tool | Qt::CustomizeWindowHint | Qt::WindowTitleHint);
    // The edits hold what their columns hold, in GBK bytes.
    m_bindings.push_back(textBinding("PATENT_NO", edtzl_no, "zlqk"));
    m_bindings.push_back(textBinding("PATENT_NAM", edtzl_name, "zlqk"));
    m_bindings.push_back(dictCodeBinding("PATENT_ST", cb_st, 2, "patent_st", 1));
    m_bindings.push_back(dictCodeBinding("PATENT_TY", cb_ty, 2, "patent_ty", 1));
    ui::connectGuarded(Button1, this, &TFinto6::Button1Click);
    ui::connectGuarded(Button2, this, &TFinto6::Button2Click);
    ui::connectGuarded(cb_st, &QComboBox::currentIndexChanged, this, [this] { cb_stChange(); });
    ui::connectGuarded(cb_ty, &QComboBox::currentIndexChanged, this, [this] { cb_tyChange(); });
}

bool TFinto6::isNewMode() const
{
    return windowTitle() == TFpage6::addCaption();
}

void TFinto6::FormShow()
{
    db::Table *patents = DM->tblzlqk;
    if (isNewMode()) {
        FillComboFromDict(DM->Tblzdxx, "patent_st", cb_st, 1);
        FillComboFromDict(DM->Tblzdxx, "patent_ty", cb_ty, 1);
        edtzl_no->clear();
        edtzl_name->clear();
        cb_st->setCurrentIndex(0);
        cb_ty->setCurrentIndex(0);
    } else {
        for (const auto &b : m_bindings)
            b->load(patents);
    }
    Edit1->clear();
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

void TFinto6::Button1Click()
{
    CheckPatentInput();
    db::Table *patents = DM->tblzlqk;
    db::Dataset *record = DM->Qrykjcg;
    const bool adding = isNewMode();
    if (!patents->active())
        patents->open();
    if (adding)
        patents->append();
    const bool stored = storeBindings(patents, m_bindings, [&] {
        patents->fieldByName("item_4")->setAsString(trimmedField(record, "ITEM_4"));
        patents->fieldByName("item_dqdm")->setAsString(trimmedField(record, "ITEM_DQDM"));
    });
    if (!stored)
        ui::abortAction(); // the error has been shown; the dialog keeps what was typed
    if (!adding) {
        ShowWarning(u("存储成功！"));
        closeNow();
        return;
    }
    RenumberPatents();
    ShowWarning(u("存储成功！"));
    // Ready for the next patent; the combos keep their choice.
    edtzl_no->clear();
    edtzl_name->clear();
}

bool TFinto6::unchanged() const
{
    // In add mode the entries are compared with whatever row is current.
    db::Table *patents = DM->tblzlqk;
    return edtzl_no->text() == patents->fieldByName("PATENT_NO")->asString()
           && edtzl_name->text() == patents->fieldByName("PATENT_NAM")->asString()
           && Edit1->text() != QLatin1String("1");
}

void TFinto6::Button2Click()
{
    if (edtzl_no->text().isEmpty() && edtzl_name->text().isEmpty()) {
        closeNow();
        return;
    }
    if (!unchanged()
        && ui::messageBox(u("记录已更改，是否保存后退出？"), u("请注意！"), ui::MB_YESNO | ui::MB_ICONQUESTION)
               == ui::IDYES)
        Button1Click(); // a refused check stops here and keeps the dialog open
    closeNow();
}

void TFinto6::showEvent(QShowEvent *e)
{
    ui::GuardedDialog::showEvent(e);
    ui::guarded([this] { FormShow(); });
}

void TFinto6::done(int result)
{
    QDialog::done(result);
    FormClose();
}

void TFinto6::FormClose()
{
    Edit1->clear();
}
